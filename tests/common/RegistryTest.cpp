// How TRegistry behaves on the store of the system it runs on. Every key lies below a base key of
// its own that is removed afterwards, and nothing depends on the order of enumeration, so these
// tests run unchanged against the Win32 registry.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "RegistryStore.h"
#include "TRegistry.h"
#include "TestEnvironment.h"

namespace
{

std::vector<std::string> Sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

std::string ErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const ERegistryException& error) {
        return error.what();
    }
    return "(nothing raised)";
}

class Registry : public testing::Test
{
protected:
    Registry()
    {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        base = std::string("Software\\QtsTest\\") + info->name();
        registry.SelectRoot(HKEY_CURRENT_USER_ROOT);
    }
    ~Registry() override
    {
        TRegistry cleanup;
        cleanup.SelectRoot(HKEY_CURRENT_USER_ROOT);
        cleanup.RemoveKeyTree("\\" + base);
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
    std::pair<std::uint32_t, std::string> Stored(const std::string& key, const std::string& name)
    {
        std::unique_ptr<RegistryKey> handle;
        std::uint32_t type = 0xFFFFFFFF;
        std::string data = "(missing)";
        if (store->OpenKey(RegistryRoot::CurrentUser, nullptr, At(key).substr(1), KeyAccess::Read,
                           handle) == StoreStatus::Ok)
            store->QueryValue(*handle, name, type, data);
        return {type, data};
    }

    bool KeyExists(const std::string& path)
    {
        TRegistry probe;
        probe.SelectRoot(HKEY_CURRENT_USER_ROOT);
        return probe.OpenKeyPath(path, false);
    }

    TestEnvironment environment;
    TRegistry registry;
    std::unique_ptr<RegistryStore> store = CreateRegistryStore();
    std::string base;
};

TEST_F(Registry, RelativePathsStartAtTheOpenKeyAndAbsoluteOnesAtTheRoot)
{
    ASSERT_TRUE(registry.OpenKeyPath(At("Outer"), true));
    EXPECT_EQ(registry.CurrentPath(), base + "\\Outer");

    ASSERT_TRUE(registry.OpenKeyPath("Inner", true));
    EXPECT_EQ(registry.CurrentPath(), base + "\\Outer\\Inner");
    registry.WriteText("Where", "inner");

    ASSERT_TRUE(registry.OpenKeyPath(At("Other"), true));
    EXPECT_EQ(registry.CurrentPath(), base + "\\Other");
    EXPECT_FALSE(registry.HasValue("Where"));

    EXPECT_TRUE(KeyExists(At("Outer\\Inner")));
    EXPECT_FALSE(KeyExists(At("Inner")));

    // Without an open key, a relative path is taken from the root.
    registry.CloseCurrentKey();
    EXPECT_EQ(registry.CurrentPath(), "");
    ASSERT_TRUE(registry.OpenKeyPath(base + "\\Outer\\Inner", false));
    EXPECT_EQ(registry.ReadText("Where"), "inner");
}

TEST_F(Registry, FailedOpenKeepsThePreviousKeyOpenAndUsable)
{
    ASSERT_TRUE(registry.OpenKeyPath(At("Kept"), true));
    EXPECT_FALSE(registry.OpenKeyPath("Missing", false));
    EXPECT_FALSE(registry.OpenKeyPath(At("Missing\\Deeper"), false));
    EXPECT_TRUE(registry.HasOpenKey());
    EXPECT_EQ(registry.CurrentPath(), base + "\\Kept");

    registry.WriteText("Still", "here");
    ASSERT_TRUE(registry.OpenKeyPath("Child", true));
    EXPECT_EQ(registry.CurrentPath(), base + "\\Kept\\Child");
    EXPECT_TRUE(KeyExists(At("Kept\\Child")));
    EXPECT_EQ(Stored("Kept", "Still"),
              std::make_pair(std::uint32_t(REG_TYPE_SZ), std::string("here\0", 5)));
}

TEST_F(Registry, SelectingTheSameRootKeepsTheKeyAndSwitchingClosesIt)
{
    ASSERT_TRUE(registry.OpenKeyPath(At("Key"), true));
    registry.SelectRoot(HKEY_CURRENT_USER_ROOT);
    EXPECT_TRUE(registry.HasOpenKey());
    EXPECT_EQ(registry.CurrentPath(), base + "\\Key");

    registry.SelectRoot(HKEY_LOCAL_MACHINE_ROOT);
    EXPECT_FALSE(registry.HasOpenKey());
    EXPECT_EQ(registry.CurrentPath(), "");
    // The relative path now goes from the machine root, where the key does not exist.
    EXPECT_FALSE(registry.OpenKeyPath(base + "\\Key", false));
    registry.SelectRoot(HKEY_CURRENT_USER_ROOT);
    EXPECT_TRUE(registry.OpenKeyPath(base + "\\Key", false));
}

TEST_F(Registry, TheTwoRootsAreSeparate)
{
    registry.SelectRoot(HKEY_LOCAL_MACHINE_ROOT);
    ASSERT_TRUE(registry.OpenKeyPath(At("Shared"), true));
    registry.WriteText("Scope", "machine");
    registry.SelectRoot(HKEY_CURRENT_USER_ROOT);
    ASSERT_TRUE(registry.OpenKeyPath(At("Shared"), true));
    EXPECT_FALSE(registry.HasValue("Scope"));
    registry.WriteText("Scope", "user");

    TRegistry machine;
    machine.SelectRoot(HKEY_LOCAL_MACHINE_ROOT);
    ASSERT_TRUE(machine.OpenKeyPath(At("Shared"), false));
    EXPECT_EQ(machine.ReadText("Scope"), "machine");
    machine.CloseCurrentKey();
    EXPECT_TRUE(machine.RemoveKeyTree(At()));
}

TEST_F(Registry, ReadTextOfMissingEmptyAndNonTextValues)
{
    ASSERT_TRUE(registry.OpenKeyPath(At("Values"), true));
    EXPECT_EQ(registry.ReadText("Missing"), "");

    registry.WriteText("Empty", "");
    EXPECT_EQ(Stored("Values", "Empty"),
              std::make_pair(std::uint32_t(REG_TYPE_SZ), std::string(1, '\0')));
    EXPECT_EQ(registry.ReadText("Empty"), "");

    // A value of size 0 reads as empty whatever its type: the type is never looked at.
    Seed("Values", "NoBytes", REG_TYPE_DWORD, "");
    EXPECT_EQ(registry.ReadText("NoBytes"), "");

    registry.WriteNumber("Number", 7);
    EXPECT_EQ(ErrorOf([&] { registry.ReadText("Number"); }), "Invalid data type for 'Number'");
    Seed("Values", "Binary", REG_TYPE_BINARY, "abc");
    EXPECT_EQ(ErrorOf([&] { registry.ReadText("Binary"); }), "Invalid data type for 'Binary'");

    // Expandable text is read as stored; the text ends at the first NUL.
    Seed("Values", "Expand", REG_TYPE_EXPAND_SZ, std::string("%TEMP%\\x\0junk\0", 14));
    EXPECT_EQ(registry.ReadText("Expand"), "%TEMP%\\x");
    Seed("Values", "Unterminated", REG_TYPE_SZ, "abc");
    EXPECT_EQ(registry.ReadText("Unterminated"), "abc");

    registry.CloseCurrentKey();
    EXPECT_EQ(registry.ReadText("Expand"), "");
}

TEST_F(Registry, ReadNumberChecksSizeBeforeType)
{
    ASSERT_TRUE(registry.OpenKeyPath(At("Numbers"), true));
    EXPECT_EQ(ErrorOf([&] { registry.ReadNumber("Missing"); }), "Failed to get data for 'Missing'");

    registry.WriteText("Four", "abcd"); // 5 bytes with its NUL
    EXPECT_EQ(ErrorOf([&] { registry.ReadNumber("Four"); }), "Failed to get data for 'Four'");
    registry.WriteText("Two", "ab"); // 3 bytes
    EXPECT_EQ(ErrorOf([&] { registry.ReadNumber("Two"); }), "Invalid data type for 'Two'");

    for (const std::int32_t value : {0, 1, -1, 0x12345678, INT32_MIN, INT32_MAX}) {
        registry.WriteNumber("Value", value);
        EXPECT_EQ(registry.ReadNumber("Value"), value);
    }
    registry.WriteNumber("Value", 0x01020304);
    EXPECT_EQ(Stored("Numbers", "Value"),
              std::make_pair(std::uint32_t(REG_TYPE_DWORD), std::string("\x04\x03\x02\x01", 4)));

    registry.CloseCurrentKey();
    EXPECT_EQ(ErrorOf([&] { registry.ReadNumber("Value"); }), "Failed to get data for 'Value'");
}

TEST_F(Registry, WritesWithoutAnOpenKeyRaise)
{
    EXPECT_EQ(ErrorOf([&] { registry.WriteText("Name", "x"); }), "Failed to set data for 'Name'");
    EXPECT_EQ(ErrorOf([&] { registry.WriteNumber("Count", 1); }), "Failed to set data for 'Count'");
    EXPECT_FALSE(registry.HasValue("Name"));
    EXPECT_FALSE(registry.RemoveValue("Name"));
    std::vector<std::string> names{"stale"};
    registry.ListSubkeys(names);
    EXPECT_TRUE(names.empty());
}

TEST_F(Registry, ValuesAreFoundIgnoringCaseAndRemovedOnce)
{
    ASSERT_TRUE(registry.OpenKeyPath(At("Case"), true));
    registry.WriteText("Read Only", "True");
    EXPECT_TRUE(registry.HasValue("READ ONLY"));
    registry.WriteText("read only", "False");
    EXPECT_EQ(registry.ReadText("Read Only"), "False");
    EXPECT_TRUE(registry.RemoveValue("READ only"));
    EXPECT_FALSE(registry.HasValue("Read Only"));
    EXPECT_FALSE(registry.RemoveValue("Read Only"));

    // Key names too; a key keeps the spelling it was created with.
    ASSERT_TRUE(registry.OpenKeyPath(At("Sales"), true));
    ASSERT_TRUE(registry.OpenKeyPath(At("SALES"), true));
    ASSERT_TRUE(registry.OpenKeyPath(At(), false));
    std::vector<std::string> names;
    registry.ListSubkeys(names);
    EXPECT_EQ(Sorted(names), (std::vector<std::string>{"Case", "Sales"}));
}

TEST_F(Registry, ListSubkeysGivesImmediateChildrenOnly)
{
    for (const char* path : {"List\\A", "List\\B\\Deep", "List\\C"})
        ASSERT_TRUE(registry.OpenKeyPath(At(path), true));
    ASSERT_TRUE(registry.OpenKeyPath(At("List"), false));
    registry.WriteText("NotAKey", "x");
    std::vector<std::string> names{"stale"};
    registry.ListSubkeys(names);
    EXPECT_EQ(Sorted(names), (std::vector<std::string>{"A", "B", "C"}));
}

TEST_F(Registry, PathsWithAnEmptyComponentNeverResolve)
{
    ASSERT_TRUE(registry.OpenKeyPath(At("Aliases\\x"), true));
    for (const std::string& path : {At("Aliases\\"), At("Aliases\\\\x"), "\\" + At("Aliases"),
                                    At("New\\"), At("New\\\\Deeper")}) {
        SCOPED_TRACE(path);
        EXPECT_FALSE(registry.OpenKeyPath(path, false));
        EXPECT_FALSE(registry.OpenKeyPath(path, true));
        EXPECT_FALSE(registry.RemoveKeyTree(path));
    }
    EXPECT_FALSE(KeyExists(At("New")));
    EXPECT_TRUE(KeyExists(At("Aliases\\x")));
    // Relative to the open key as well.
    ASSERT_TRUE(registry.OpenKeyPath(At("Aliases"), false));
    EXPECT_FALSE(registry.OpenKeyPath("x\\", false));
    EXPECT_FALSE(registry.RemoveKeyTree("x\\"));
    registry.MoveKeyTree("x\\", "y", true);
    EXPECT_TRUE(KeyExists(At("Aliases\\x")));
    EXPECT_FALSE(KeyExists(At("Aliases\\y")));
    EXPECT_EQ(registry.CurrentPath(), base + "\\Aliases");
}

TEST_F(Registry, RemoveKeyTreeRemovesNestedKeysAndLeavesTheOpenKeyAlone)
{
    for (const char* path : {"Tree\\A\\B\\C", "Tree\\A\\D", "Tree\\E", "Sibling"}) {
        ASSERT_TRUE(registry.OpenKeyPath(At(path), true));
        registry.WriteText("Value", path);
    }
    ASSERT_TRUE(registry.OpenKeyPath(At("Sibling"), false));
    EXPECT_TRUE(registry.RemoveKeyTree(At("Tree")));
    EXPECT_FALSE(KeyExists(At("Tree")));
    EXPECT_FALSE(KeyExists(At("Tree\\A\\B\\C")));
    EXPECT_EQ(registry.CurrentPath(), base + "\\Sibling");
    EXPECT_EQ(registry.ReadText("Value"), "Sibling");

    EXPECT_FALSE(registry.RemoveKeyTree(At("Tree")));
    EXPECT_FALSE(registry.RemoveKeyTree("Missing"));

    // A relative path goes from the open key.
    ASSERT_TRUE(registry.OpenKeyPath("Child\\Grandchild", true));
    ASSERT_TRUE(registry.OpenKeyPath(At("Sibling"), false));
    EXPECT_TRUE(registry.RemoveKeyTree("Child"));
    EXPECT_FALSE(KeyExists(At("Sibling\\Child")));
    EXPECT_TRUE(KeyExists(At("Sibling")));
}

TEST_F(Registry, TheOpenKeyMayBeRemovedUnderTheObject)
{
    ASSERT_TRUE(registry.OpenKeyPath(At("Doomed"), true));
    registry.WriteText("Value", "x");
    TRegistry other;
    other.SelectRoot(HKEY_CURRENT_USER_ROOT);
    EXPECT_TRUE(other.RemoveKeyTree(At("Doomed")));

    EXPECT_EQ(registry.ReadText("Value"), "");
    EXPECT_FALSE(registry.HasValue("Value"));
    EXPECT_EQ(ErrorOf([&] { registry.WriteText("Value", "y"); }), "Failed to set data for 'Value'");
    EXPECT_FALSE(KeyExists(At("Doomed")));
}

TEST_F(Registry, MoveKeyTreeCopiesEverythingAndRemovesTheSource)
{
    Seed("Old", "", REG_TYPE_SZ, std::string("default\0", 8));
    Seed("Old", "Text", REG_TYPE_SZ, std::string("C:\\db\\sales.mdb\0", 16));
    Seed("Old", "Expand", REG_TYPE_EXPAND_SZ, std::string("%X%\0", 4));
    Seed("Old", "Number", REG_TYPE_DWORD, std::string("\x01\x00\x00\x80", 4));
    Seed("Old", "Binary", REG_TYPE_BINARY, std::string("\x00\xFF", 2));
    Seed("Old", "Multi", 7, std::string("a\0b\0\0", 5));
    Seed("Old", "Empty", REG_TYPE_SZ, "");
    Seed("Old\\Sub\\Deeper", "Inner", REG_TYPE_SZ, std::string("in\0", 3));
    Seed("Old\\Other", "Flag", REG_TYPE_SZ, std::string("True\0", 5));

    ASSERT_TRUE(registry.OpenKeyPath(At("Old"), false));
    registry.MoveKeyTree(At("Old"), At("New"), true);

    EXPECT_FALSE(KeyExists(At("Old")));
    using Typed = std::pair<std::uint32_t, std::string>;
    EXPECT_EQ(Stored("New", ""), Typed(REG_TYPE_SZ, std::string("default\0", 8)));
    EXPECT_EQ(Stored("New", "Text"), Typed(REG_TYPE_SZ, std::string("C:\\db\\sales.mdb\0", 16)));
    EXPECT_EQ(Stored("New", "Expand"), Typed(REG_TYPE_EXPAND_SZ, std::string("%X%\0", 4)));
    EXPECT_EQ(Stored("New", "Number"), Typed(REG_TYPE_DWORD, std::string("\x01\x00\x00\x80", 4)));
    EXPECT_EQ(Stored("New", "Binary"), Typed(REG_TYPE_BINARY, std::string("\x00\xFF", 2)));
    EXPECT_EQ(Stored("New", "Multi"), Typed(REG_TYPE_NONE, std::string("a\0b\0\0", 5)));
    EXPECT_EQ(Stored("New", "Empty").second, "(missing)");
    EXPECT_EQ(Stored("New\\Sub\\Deeper", "Inner"), Typed(REG_TYPE_SZ, std::string("in\0", 3)));
    EXPECT_EQ(Stored("New\\Other", "Flag"), Typed(REG_TYPE_SZ, std::string("True\0", 5)));

    // The object still has the (now removed) source open under its old path.
    EXPECT_EQ(registry.CurrentPath(), base + "\\Old");
    EXPECT_EQ(registry.ReadText("Text"), "");
}

TEST_F(Registry, MoveKeyTreeChangesNothingWhenItCannotMove)
{
    Seed("Source", "Value", REG_TYPE_SZ, std::string("source\0", 7));
    Seed("Target", "Value", REG_TYPE_SZ, std::string("target\0", 7));
    registry.MoveKeyTree(At("Source"), At("TARGET"), true);
    EXPECT_EQ(Stored("Source", "Value").second, std::string("source\0", 7));
    EXPECT_EQ(Stored("Target", "Value").second, std::string("target\0", 7));

    // Onto itself in other letter case: the key counts as existing.
    registry.MoveKeyTree(At("Source"), At("SOURCE"), true);
    ASSERT_TRUE(registry.OpenKeyPath(At(), false));
    std::vector<std::string> names;
    registry.ListSubkeys(names);
    EXPECT_EQ(Sorted(names), (std::vector<std::string>{"Source", "Target"}));

    // A missing source: nothing happens and nothing is raised.
    registry.MoveKeyTree(At("Missing"), At("Elsewhere"), true);
    EXPECT_FALSE(KeyExists(At("Elsewhere")));

    // Into its own subtree: refused rather than copying the copy.
    registry.MoveKeyTree(At("Source"), At("Source\\Inside"), true);
    EXPECT_FALSE(KeyExists(At("Source\\Inside")));
    EXPECT_EQ(Stored("Source", "Value").second, std::string("source\0", 7));
    EXPECT_EQ(registry.CurrentPath(), base);
}

TEST_F(Registry, MoveKeyTreeWithoutRemovalCopies)
{
    Seed("From\\Child", "Value", REG_TYPE_SZ, std::string("v\0", 2));
    ASSERT_TRUE(registry.OpenKeyPath(At(), false));
    registry.MoveKeyTree("From", "To", false); // relative to the open key
    EXPECT_EQ(Stored("From\\Child", "Value").second, std::string("v\0", 2));
    EXPECT_EQ(Stored("To\\Child", "Value").second, std::string("v\0", 2));
    EXPECT_EQ(registry.CurrentPath(), base);
}

} // namespace
