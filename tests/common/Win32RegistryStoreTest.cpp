// The Win32 registry store on its own: paths the system would collapse are refused before they
// reach it, and names and data of any length come back whole.
#ifdef _WIN32

#include <gtest/gtest.h>
#include <string>

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

} // namespace

#endif // _WIN32
