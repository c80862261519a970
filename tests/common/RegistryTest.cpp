// How TRegistry behaves on the store of the system it runs on. Every key lies below a base key of
// its own that is removed afterwards, and nothing depends on the order of enumeration, so these
// tests run unchanged against the Win32 registry.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "RegistryStore.h"
#include "TRegistry.h"
#include "TestEnvironment.h"

namespace
{

using Typed = std::pair<std::uint32_t, std::string>;
using Names = std::vector<std::string>;

// What an action gives: its result as text, or the message of the registry error it raised.
template <class Action> std::string Outcome(Action action)
{
    try {
        if constexpr (std::is_void_v<decltype(action())>) {
            action();
            return "(nothing raised)";
        } else if constexpr (std::is_same_v<decltype(action()), std::string>) {
            return action();
        } else {
            return std::to_string(action());
        }
    } catch (const ERegistryException& error) {
        return error.what();
    }
}

// The system's store, except that keys named "Locked" may be read but not written, as a Windows
// key whose rights grant the user reading only: every open that asks for write access is refused.
class ReadOnlyLockedKeys : public RegistryStore
{
public:
    StoreStatus OpenKey(RegistryRoot root, const RegistryKey* parent, const std::string& subKey,
                        std::uint32_t access, std::unique_ptr<RegistryKey>& key) override
    {
        if ((access & KeyAccess::WriteMask) && NamesLockedKey(subKey))
            return StoreStatus::AccessDenied;
        return inner_->OpenKey(root, parent, subKey, access, key);
    }
    StoreStatus CreateKey(RegistryRoot root, const RegistryKey* parent, const std::string& subKey,
                          std::uint32_t access, std::unique_ptr<RegistryKey>& key) override
    {
        if (NamesLockedKey(subKey))
            return StoreStatus::AccessDenied;
        return inner_->CreateKey(root, parent, subKey, access, key);
    }
    StoreStatus QueryValueInfo(const RegistryKey& key, const std::string& name, std::uint32_t& type,
                               std::uint32_t& size) override
    {
        return inner_->QueryValueInfo(key, name, type, size);
    }
    StoreStatus QueryValue(const RegistryKey& key, const std::string& name, std::uint32_t& type,
                           std::string& data) override
    {
        return inner_->QueryValue(key, name, type, data);
    }
    StoreStatus SetValue(const RegistryKey& key, const std::string& name, std::uint32_t type,
                         const std::string& data) override
    {
        return inner_->SetValue(key, name, type, data);
    }
    StoreStatus DeleteValue(const RegistryKey& key, const std::string& name) override
    {
        return inner_->DeleteValue(key, name);
    }
    StoreStatus DeleteKey(RegistryRoot root, const RegistryKey* parent,
                          const std::string& subKey) override
    {
        return NamesLockedKey(subKey) ? StoreStatus::AccessDenied
                                      : inner_->DeleteKey(root, parent, subKey);
    }
    StoreStatus EnumKey(const RegistryKey& key, std::uint32_t index, std::string& name) override
    {
        return inner_->EnumKey(key, index, name);
    }
    StoreStatus EnumValue(const RegistryKey& key, std::uint32_t index, std::string& name) override
    {
        return inner_->EnumValue(key, index, name);
    }
    StoreStatus QueryInfo(const RegistryKey& key, RegistryKeyInfo& info) override
    {
        return inner_->QueryInfo(key, info);
    }

private:
    static bool NamesLockedKey(const std::string& subKey)
    {
        return subKey.substr(subKey.find_last_of('\\') + 1) == "Locked";
    }
    std::unique_ptr<RegistryStore> inner_ = CreateRegistryStore();
};

class Registry : public testing::Test
{
protected:
    Registry() : base("Software\\QtsTest\\" + std::string(CurrentTest()->name())) {}
    ~Registry() override { TRegistry().RemoveKeyTree("\\" + base); }
    static const testing::TestInfo* CurrentTest()
    {
        return testing::UnitTest::GetInstance()->current_test_info();
    }

    // Absolute path of a key below the base key.
    std::string At(const std::string& below = std::string()) const
    {
        return "\\" + base + (below.empty() ? "" : "\\" + below);
    }

    // Stores a value of any type through the store itself (TRegistry writes only two types).
    void Seed(const std::string& key, const std::string& name, std::uint32_t type,
              const std::string& data)
    {
        std::unique_ptr<RegistryKey> handle;
        ASSERT_EQ(store->CreateKey(RegistryRoot::CurrentUser, nullptr, At(key).substr(1),
                                   KeyAccess::ReadWrite, handle),
                  StoreStatus::Ok);
        ASSERT_EQ(store->SetValue(*handle, name, type, data), StoreStatus::Ok);
    }

    // Type and bytes of a value, read through the store.
    Typed Stored(const std::string& key, const std::string& name)
    {
        std::unique_ptr<RegistryKey> handle;
        Typed typed{0xFFFFFFFF, "(missing)"};
        if (store->OpenKey(RegistryRoot::CurrentUser, nullptr, At(key).substr(1), KeyAccess::Read,
                           handle) == StoreStatus::Ok)
            store->QueryValue(*handle, name, typed.first, typed.second);
        return typed;
    }

    // Sorted names of the subkeys of a key.
    Names Subkeys(const std::string& path)
    {
        TRegistry other;
        Names names{"(missing)"};
        if (other.OpenKeyPath(path, false))
            other.ListSubkeys(names);
        std::sort(names.begin(), names.end());
        return names;
    }

    TestEnvironment environment;
    std::string base;
    TRegistry registry;
    std::unique_ptr<RegistryStore> store = CreateRegistryStore();
};

TEST_F(Registry, PathsResolveFromTheOpenKeyOrTheRootAndAFailedOpenKeepsTheKey)
{
    ASSERT_TRUE(registry.OpenKeyPath(At("Outer"), true));
    ASSERT_TRUE(registry.OpenKeyPath("Inner", true));
    EXPECT_EQ(registry.CurrentPath(), base + "\\Outer\\Inner");
    EXPECT_EQ(Subkeys(At("Outer")), Names{"Inner"});

    EXPECT_FALSE(registry.OpenKeyPath("Missing", false));
    EXPECT_FALSE(registry.OpenKeyPath(At("Missing\\Deeper"), false));
    EXPECT_EQ(registry.CurrentPath(), base + "\\Outer\\Inner");
    registry.WriteText("Where", "inner");
    EXPECT_EQ(Stored("Outer\\Inner", "Where"), Typed(REG_TYPE_SZ, std::string("inner\0", 6)));

    // The same root keeps the key; the other root closes it, and relative paths then start at
    // that root, which is separate.
    registry.SelectRoot(HKEY_CURRENT_USER_ROOT);
    EXPECT_EQ(registry.CurrentPath(), base + "\\Outer\\Inner");
    registry.SelectRoot(HKEY_LOCAL_MACHINE_ROOT);
    EXPECT_FALSE(registry.HasOpenKey());
    EXPECT_EQ(registry.CurrentPath(), "");
    EXPECT_FALSE(registry.OpenKeyPath(base + "\\Outer\\Inner", false));
    ASSERT_TRUE(registry.OpenKeyPath(base + "\\Outer\\Inner", true));
    EXPECT_FALSE(registry.HasValue("Where"));
    registry.CloseCurrentKey();
    EXPECT_TRUE(registry.RemoveKeyTree(At()));
    registry.SelectRoot(HKEY_CURRENT_USER_ROOT);
    ASSERT_TRUE(registry.OpenKeyPath(base + "\\Outer\\Inner", false));
    EXPECT_EQ(registry.ReadText("Where"), "inner");
}

TEST_F(Registry, KeyOpenedBelowItselfByItsOwnPathNamesBothInItsPath)
{
    ASSERT_TRUE(registry.OpenKeyPath(At("Outer"), true));
    ASSERT_TRUE(registry.OpenKeyPath(registry.CurrentPath(), true));
    EXPECT_EQ(registry.CurrentPath(), base + "\\Outer\\" + base + "\\Outer");
    registry.WriteText("Where", "nested");
    EXPECT_EQ(Stored("Outer\\" + base + "\\Outer", "Where"),
              Typed(REG_TYPE_SZ, std::string("nested\0", 7)));

    // An absolute path replaces the whole path; one that fails leaves it as it was.
    ASSERT_TRUE(registry.OpenKeyPath(At("Outer"), false));
    EXPECT_FALSE(registry.OpenKeyPath(At("Missing"), false));
    EXPECT_EQ(registry.CurrentPath(), base + "\\Outer");
    ASSERT_TRUE(registry.OpenKeyPath(base + "\\Outer", false));
    EXPECT_EQ(registry.CurrentPath(), base + "\\Outer\\" + base + "\\Outer");
    EXPECT_EQ(registry.ReadText("Where"), "nested");
}

TEST_F(Registry, ReadsTellMissingEmptyAndWrongTypedValuesApartInTheirOwnOrder)
{
    // name, type, bytes, what ReadText gives, what ReadNumber gives (or their errors)
    const struct {
        const char* name;
        std::uint32_t type;
        std::string data;
        std::string text, number;
    } cases[] = {
        {"Missing", 0, "-", "", "Failed to get data for 'Missing'"},
        {"NoBytes", REG_TYPE_DWORD, "", "", "0"}, // size 0: ReadText never looks at the type
        {"Dword", REG_TYPE_DWORD, std::string("\x04\x03\x02\x81", 4),
         "Invalid data type for 'Dword'", "-2130574588"},
        {"Binary", REG_TYPE_BINARY, "abc", "Invalid data type for 'Binary'",
         "Invalid data type for 'Binary'"},
        {"Four", REG_TYPE_SZ, std::string("abcd\0", 5), "abcd", "Failed to get data for 'Four'"},
        {"Two", REG_TYPE_SZ, std::string("ab\0", 3), "ab", "Invalid data type for 'Two'"},
        {"Expand", REG_TYPE_EXPAND_SZ, std::string("%TEMP%\\x\0junk\0", 14), "%TEMP%\\x",
         "Failed to get data for 'Expand'"},
        {"Unterminated", REG_TYPE_SZ, "abc", "abc", "Invalid data type for 'Unterminated'"},
    };
    ASSERT_TRUE(registry.OpenKeyPath(At("Values"), true));
    for (const auto& value : cases) {
        if (value.data != "-")
            Seed("Values", value.name, value.type, value.data);
        EXPECT_EQ(Outcome([&] { return registry.ReadText(value.name); }), value.text) << value.name;
        EXPECT_EQ(Outcome([&] { return registry.ReadNumber(value.name); }), value.number)
            << value.name;
    }

    registry.WriteText("Empty", "");
    EXPECT_EQ(Stored("Values", "Empty"), Typed(REG_TYPE_SZ, std::string(1, '\0')));
    EXPECT_EQ(registry.ReadText("Empty"), "");
    registry.WriteNumber("Number", 0x01020304);
    EXPECT_EQ(Stored("Values", "Number"), Typed(REG_TYPE_DWORD, "\x04\x03\x02\x01"));
    for (const std::int32_t value : {0, -1, INT32_MIN, INT32_MAX}) {
        registry.WriteNumber("Number", value);
        EXPECT_EQ(registry.ReadNumber("Number"), value);
    }

    // Without an open key: reads of text give "", the rest raise or answer false.
    registry.CloseCurrentKey();
    EXPECT_EQ(registry.ReadText("Expand"), "");
    EXPECT_EQ(Outcome([&] { registry.ReadNumber("Number"); }), "Failed to get data for 'Number'");
    EXPECT_EQ(Outcome([&] { registry.WriteText("Name", "x"); }), "Failed to set data for 'Name'");
    EXPECT_EQ(Outcome([&] { registry.WriteNumber("Count", 1); }), "Failed to set data for 'Count'");
    EXPECT_FALSE(registry.HasValue("Name"));
    EXPECT_FALSE(registry.RemoveValue("Name"));
    Names names{"stale"};
    registry.ListSubkeys(names);
    EXPECT_TRUE(names.empty());
}

TEST_F(Registry, NamesCompareIgnoringCaseAndListSubkeysGivesImmediateChildren)
{
    ASSERT_TRUE(registry.OpenKeyPath(At("Sales\\Deep"), true));
    ASSERT_TRUE(registry.OpenKeyPath(At("SALES"), true));
    ASSERT_TRUE(registry.OpenKeyPath(At("Stock"), true));
    registry.WriteText("Read Only", "True");
    EXPECT_TRUE(registry.HasValue("READ ONLY"));
    registry.WriteText("read only", "False");
    EXPECT_EQ(registry.ReadText("Read Only"), "False");
    EXPECT_TRUE(registry.RemoveValue("READ only"));
    EXPECT_FALSE(registry.HasValue("Read Only"));
    EXPECT_FALSE(registry.RemoveValue("Read Only"));

    ASSERT_TRUE(registry.OpenKeyPath(At(), false));
    Names names{"stale"};
    registry.ListSubkeys(names);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (Names{"Sales", "Stock"})); // a key keeps the spelling of its creation
}

TEST_F(Registry, PathsWithAnEmptyComponentNeverResolve)
{
    ASSERT_TRUE(registry.OpenKeyPath(At("Aliases\\x"), true));
    for (const std::string& path : {At("Aliases\\"), At("Aliases\\\\x"), "\\" + At("Aliases"),
                                    At("New\\"), At("New\\\\Deeper")}) {
        EXPECT_FALSE(registry.OpenKeyPath(path, false)) << path;
        EXPECT_FALSE(registry.OpenKeyPath(path, true)) << path;
        EXPECT_FALSE(registry.RemoveKeyTree(path)) << path;
    }
    EXPECT_EQ(Subkeys(At()), Names{"Aliases"});
    // Relative to the open key as well.
    ASSERT_TRUE(registry.OpenKeyPath(At("Aliases"), false));
    EXPECT_FALSE(registry.OpenKeyPath("x\\", false));
    EXPECT_FALSE(registry.RemoveKeyTree("x\\"));
    registry.MoveKeyTree("x\\", "y", true);
    EXPECT_EQ(Subkeys(At("Aliases")), Names{"x"});
}

TEST_F(Registry, RemoveKeyTreeRemovesNestedKeysAndLeavesTheOpenKeyAlone)
{
    for (const char* path : {"Tree\\A\\B\\C", "Tree\\A\\D", "Tree\\E", "Sibling"}) {
        ASSERT_TRUE(registry.OpenKeyPath(At(path), true));
        registry.WriteText("Value", path);
    }
    EXPECT_TRUE(registry.RemoveKeyTree(At("Tree")));
    EXPECT_EQ(Subkeys(At()), Names{"Sibling"});
    EXPECT_EQ(registry.ReadText("Value"), "Sibling");
    EXPECT_FALSE(registry.RemoveKeyTree(At("Tree")));

    // A relative path goes from the open key.
    ASSERT_TRUE(registry.OpenKeyPath("Child\\Grandchild", true));
    ASSERT_TRUE(registry.OpenKeyPath(At("Sibling"), false));
    EXPECT_FALSE(registry.RemoveKeyTree("Missing"));
    EXPECT_TRUE(registry.RemoveKeyTree("Child"));
    EXPECT_EQ(Subkeys(At("Sibling")), Names{});
}

TEST_F(Registry, MoveKeyTreeCopiesEverythingAndRemovesTheSourceEvenWhileItIsOpen)
{
    const std::pair<std::string, Typed> values[] = {
        {"", {REG_TYPE_SZ, std::string("default\0", 8)}},
        {"Expand", {REG_TYPE_EXPAND_SZ, std::string("%X%\0", 4)}},
        {"Number", {REG_TYPE_DWORD, std::string("\x01\x00\x00\x80", 4)}},
        {"Binary", {REG_TYPE_BINARY, std::string("\x00\xFF", 2)}},
        {"Multi", {7, std::string("a\0b\0\0", 5)}},
        {"Empty", {REG_TYPE_SZ, ""}},
    };
    for (const auto& [name, typed] : values)
        Seed("Old", name, typed.first, typed.second);
    Seed("Old\\Sub\\Deeper", "Inner", REG_TYPE_SZ, std::string("in\0", 3));
    Seed("Old\\Other", "", REG_TYPE_SZ, std::string("x\0", 2));

    ASSERT_TRUE(registry.OpenKeyPath(At("Old"), false));
    registry.MoveKeyTree(At("Old"), At("New"), true);
    EXPECT_EQ(Subkeys(At()), Names{"New"});
    for (const auto& [name, typed] : values) {
        const Typed expected = name == "Multi"   ? Typed(REG_TYPE_NONE, typed.second)
                               : name == "Empty" ? Typed(0xFFFFFFFF, "(missing)")
                                                 : typed;
        EXPECT_EQ(Stored("New", name), expected) << name;
    }
    EXPECT_EQ(Stored("New\\Sub\\Deeper", "Inner"), Typed(REG_TYPE_SZ, std::string("in\0", 3)));
    EXPECT_EQ(Stored("New\\Other", ""), Typed(REG_TYPE_SZ, std::string("x\0", 2)));

    // The object still has the removed source open under its old path.
    EXPECT_EQ(registry.CurrentPath(), base + "\\Old");
    EXPECT_EQ(registry.ReadText("Expand"), "");
    EXPECT_FALSE(registry.HasValue("Expand"));
    EXPECT_EQ(Outcome([&] { registry.WriteText("Value", "y"); }), "Failed to set data for 'Value'");
    // A target that cannot be created is named exactly as passed.
    EXPECT_EQ(Outcome([&] { registry.MoveKeyTree(At("New"), "Below\\Old", true); }),
              "Failed to create key Below\\Old");
    EXPECT_EQ(Subkeys(At()), Names{"New"});
}

TEST_F(Registry, MoveKeyTreeChangesNothingWhenItCannotMove)
{
    Seed("Source\\Child", "Value", REG_TYPE_SZ, std::string("source\0", 7));
    Seed("Target", "Value", REG_TYPE_SZ, std::string("target\0", 7));
    ASSERT_TRUE(registry.OpenKeyPath(At(), false));
    for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
             {"Source", "TARGET"},         // onto an existing key
             {"Source", "SOURCE"},         // onto itself in other letter case
             {"Missing", "Elsewhere"},     // from a missing key
             {"Source", "Source\\Inside"}, // into its own subtree
         })
        registry.MoveKeyTree(from, to, true);
    EXPECT_EQ(Subkeys(At()), (Names{"Source", "Target"}));
    EXPECT_EQ(Subkeys(At("Source")), Names{"Child"});
    EXPECT_EQ(Stored("Target", "Value").second, std::string("target\0", 7));

    // Without removal the source stays; relative paths go from the open key, which stays open.
    registry.MoveKeyTree("Source", "Copy", false);
    EXPECT_EQ(Stored("Source\\Child", "Value").second, std::string("source\0", 7));
    EXPECT_EQ(Stored("Copy\\Child", "Value").second, std::string("source\0", 7));
    EXPECT_EQ(registry.CurrentPath(), base);
}

// A rename through a move whose source holds a key the user may not write: the copy cannot take
// that key, so the source stays whole beside the copy rather than being split between the two.
TEST_F(Registry, MoveKeyTreeKeepsTheSourceWhenASubkeyCannotBeOpened)
{
    Seed("Sales", "Path", REG_TYPE_SZ, std::string("C:\\db\\sales.mdb\0", 17));
    Seed("Sales\\Orders\\Locked", "Inner", REG_TYPE_SZ, std::string("kept\0", 5));
    Seed("Sales\\Orders", "Outer", REG_TYPE_SZ, std::string("copied\0", 7));
    Seed("Sales\\Notes", "", REG_TYPE_SZ, std::string("notes\0", 6));
    Seed("Stock\\Notes", "", REG_TYPE_SZ, std::string("stock\0", 6));
    TRegistry guarded(std::make_unique<ReadOnlyLockedKeys>());

    EXPECT_EQ(Outcome([&] { guarded.MoveKeyTree(At("Sales"), At("Renamed"), true); }),
              "(nothing raised)");
    EXPECT_EQ(Subkeys(At()), (Names{"Renamed", "Sales", "Stock"}));
    EXPECT_EQ(Subkeys(At("Sales")), (Names{"Notes", "Orders"}));
    EXPECT_EQ(Subkeys(At("Sales\\Orders")), Names{"Locked"});
    EXPECT_EQ(Stored("Sales\\Orders\\Locked", "Inner").second, std::string("kept\0", 5));
    EXPECT_EQ(Stored("Sales", "Path").second, std::string("C:\\db\\sales.mdb\0", 17));
    // The copy made stays, with everything but the key it could not open.
    EXPECT_EQ(Subkeys(At("Renamed")), (Names{"Notes", "Orders"}));
    EXPECT_EQ(Subkeys(At("Renamed\\Orders")), Names{});
    EXPECT_EQ(Stored("Renamed\\Orders", "Outer").second, std::string("copied\0", 7));
    EXPECT_EQ(Stored("Renamed", "Path").second, std::string("C:\\db\\sales.mdb\0", 17));

    // A tree without such a key moves whole on the same store.
    guarded.MoveKeyTree(At("Stock"), At("Goods"), true);
    EXPECT_EQ(Subkeys(At()), (Names{"Goods", "Renamed", "Sales"}));
    EXPECT_EQ(Stored("Goods\\Notes", "").second, std::string("stock\0", 6));
}

} // namespace
