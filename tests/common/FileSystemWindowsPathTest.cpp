// What a file or folder dialog hands back becomes a Windows path again: inside a mapped drive
// it is the path on that drive, anywhere else it stays as it was chosen.
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

#include "FileSystem.h"
#include "TestEnvironment.h"

using FileSystem::NativePath;
using FileSystem::WindowsPath;

TEST(WindowsPathTest, APathOnADriveComesBackAsItsWindowsPath)
{
    TestEnvironment env;
    env.WriteFile("C:\\db\\beta.mdb", "x");
    for (const char* path : {"C:\\db\\beta.mdb", "C:\\db", "C:\\db\\not yet there.mdb", "C:\\"})
        EXPECT_EQ(WindowsPath(NativePath(path)), path);
}

#ifndef _WIN32
TEST(WindowsPathTest, LinksNestedDrivesAndPathsOutsideEveryDrive)
{
    namespace fs = std::filesystem;
    TestEnvironment env;
    env.WriteFile("C:\\db\\beta.mdb", "x");
    const std::string c = env.DriveFolder('c');
    // The table's entry is a link; the folder it names is the same drive.
    EXPECT_EQ(WindowsPath(fs::canonical(c).string() + "/db/beta.mdb"), "C:\\db\\beta.mdb");
    EXPECT_EQ(WindowsPath(c + "/db/../db/./beta.mdb"), "C:\\db\\beta.mdb");
    // Spelled in another letter case the folder is another folder on this system.
    EXPECT_EQ(WindowsPath(NativePath("c:\\DB\\BETA.MDB")), "C:\\db\\beta.mdb");

    // D: lies inside drive C:'s folder: the deeper drive names it.
    fs::create_directories(c + "/shared");
    fs::create_directory_symlink(c + "/shared", env.Root() + "/dosdevices/d:");
    EXPECT_EQ(WindowsPath(c + "/shared/orders.mdb"), "D:\\orders.mdb");
    EXPECT_EQ(WindowsPath(c + "/sharedx/orders.mdb"), "C:\\sharedx\\orders.mdb");

    // Outside every drive, relative, or empty: as given.
    const std::string outside = env.Root() + "/elsewhere/x.mdb";
    for (const std::string& path : {outside, std::string("db/x.mdb"), std::string()})
        EXPECT_EQ(WindowsPath(path), path);
    // Without a drive table nothing maps.
    fs::remove_all(env.Root() + "/dosdevices");
    EXPECT_EQ(WindowsPath(c + "/db/beta.mdb"), c + "/db/beta.mdb");
}
#endif
