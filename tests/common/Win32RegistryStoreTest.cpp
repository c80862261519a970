// The Win32 registry store on its own: paths the system would collapse are refused before they
// reach it, names and data of any length come back whole, and a key the user may only read
// keeps a move from taking its source apart.
#ifdef _WIN32

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include <windows.h>

#include <sddl.h>

#include "TRegistry.h"
#include "TestEnvironment.h"
#include "Win32RegistryStore.h"

namespace
{

class Win32RegistryStoreTest : public testing::Test
{
protected:
    TestEnvironment env;
    Win32RegistryStore store;
    std::unique_ptr<RegistryKey> key;

    void SetUp() override
    {
        ASSERT_EQ(store.CreateKey(RegistryRoot::CurrentUser, nullptr, "Software\\QtsTest\\Store",
                                  KeyAccess::ReadWrite, key),
                  StoreStatus::Ok);
    }
};

TEST_F(Win32RegistryStoreTest, PathsWithAnEmptyComponentAreRefusedNotCollapsed)
{
    std::unique_ptr<RegistryKey> other;
    for (const char* path : {"Software\\QtsTest\\\\Store", "Software\\QtsTest\\Store\\",
                             "\\Software\\QtsTest\\Store"}) {
        EXPECT_EQ(
            store.OpenKey(RegistryRoot::CurrentUser, nullptr, path, KeyAccess::ReadWrite, other),
            StoreStatus::InvalidName)
            << path;
        EXPECT_EQ(
            store.CreateKey(RegistryRoot::CurrentUser, nullptr, path, KeyAccess::ReadWrite, other),
            StoreStatus::InvalidName)
            << path;
        EXPECT_EQ(store.DeleteKey(RegistryRoot::CurrentUser, nullptr, path),
                  StoreStatus::InvalidName)
            << path;
    }
    // Nor does the empty path delete the key it starts from.
    EXPECT_EQ(store.DeleteKey(RegistryRoot::CurrentUser, key.get(), ""), StoreStatus::Failed);
    EXPECT_EQ(store.OpenKey(RegistryRoot::CurrentUser, nullptr, "Software\\QtsTest\\Store",
                            KeyAccess::ReadWrite, other),
              StoreStatus::Ok);
}

TEST_F(Win32RegistryStoreTest, LongNamesAndDataComeBackWhole)
{
    const std::string longName(300, 'v');
    const std::string data(70000, 'd');
    ASSERT_EQ(store.SetValue(*key, longName, REG_TYPE_BINARY, data), StoreStatus::Ok);
    std::uint32_t type = 0;
    std::string read;
    ASSERT_EQ(store.QueryValue(*key, longName, type, read), StoreStatus::Ok);
    EXPECT_EQ(type, REG_TYPE_BINARY);
    EXPECT_EQ(read, data);
    std::string name;
    ASSERT_EQ(store.EnumValue(*key, 0, name), StoreStatus::Ok);
    EXPECT_EQ(name, longName);
    EXPECT_EQ(store.EnumValue(*key, 1, name), StoreStatus::NoMoreItems);
    EXPECT_EQ(store.QueryValue(*key, "missing", type, read), StoreStatus::NotFound);
}

// Gives a key rights that let everybody read it but nobody write it, while it lives; then gives
// everybody every right again, so that the test's keys can be removed.
class ReadOnlyRights
{
public:
    explicit ReadOnlyRights(const std::string& path) : path_(path) { Apply("D:P(A;;KR;;;WD)"); }
    ~ReadOnlyRights() { Apply("D:P(A;;KA;;;WD)"); }
    ReadOnlyRights(const ReadOnlyRights&) = delete;
    ReadOnlyRights& operator=(const ReadOnlyRights&) = delete;
    bool Applied() const { return applied_; }

private:
    void Apply(const char* rights)
    {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        HKEY key = nullptr;
        applied_ =
            ConvertStringSecurityDescriptorToSecurityDescriptorA(rights, SDDL_REVISION_1,
                                                                 &descriptor, nullptr) &&
            RegOpenKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, WRITE_DAC, &key) == ERROR_SUCCESS &&
            RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, descriptor) == ERROR_SUCCESS;
        if (key)
            RegCloseKey(key);
        LocalFree(descriptor);
    }
    std::string path_;
    bool applied_ = false;
};

std::vector<std::string> SortedSubkeys(const std::string& path)
{
    TRegistry registry;
    std::vector<std::string> names{"(missing)"};
    if (registry.OpenKeyPath(path, false))
        registry.ListSubkeys(names);
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(Win32RegistryStoreTest, MoveKeepsTheSourceWhenASubkeyMayOnlyBeRead)
{
    const std::string sales = "\\Software\\QtsTest\\Store\\Sales";
    const std::string renamed = "\\Software\\QtsTest\\Store\\Renamed";
    TRegistry registry;
    for (const char* below : {"\\Orders\\Locked", "\\Orders", "\\Notes", ""}) {
        ASSERT_TRUE(registry.OpenKeyPath(sales + below, true));
        registry.WriteText("Value", below);
    }
    registry.CloseCurrentKey();
    const ReadOnlyRights rights(sales.substr(1) + "\\Orders\\Locked");
    ASSERT_TRUE(rights.Applied());
    ASSERT_FALSE(registry.OpenKeyPath(sales + "\\Orders\\Locked", false));

    registry.MoveKeyTree(sales, renamed, true);

    EXPECT_EQ(SortedSubkeys(sales), (std::vector<std::string>{"Notes", "Orders"}));
    EXPECT_EQ(SortedSubkeys(sales + "\\Orders"), std::vector<std::string>{"Locked"});
    EXPECT_EQ(SortedSubkeys(renamed), (std::vector<std::string>{"Notes", "Orders"}));
    EXPECT_EQ(SortedSubkeys(renamed + "\\Orders"), std::vector<std::string>{});
    ASSERT_TRUE(registry.OpenKeyPath(renamed + "\\Orders", false));
    EXPECT_EQ(registry.ReadText("Value"), "\\Orders");
    HKEY locked = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (sales.substr(1) + "\\Orders\\Locked").c_str(), 0,
                            KEY_READ, &locked),
              ERROR_SUCCESS);
    RegCloseKey(locked);
}

} // namespace

#endif // _WIN32
