// The file operations the setup relies on, on drive T: of a private test environment: files
// found whatever their letter case, renames that never replace, read-only files that refuse to
// go away (also for root), and whole-file replacement that never loses the old file.
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "FileSystem.h"
#include "TestEnvironment.h"

namespace fs = std::filesystem;
using namespace FileSystem;

class FileSystemOnDrive : public testing::Test
{
protected:
    TestEnvironment env;
    const fs::path drive = env.AddDrive('t');

    // Names in a folder of drive T:, as the native file system lists them.
    std::vector<std::string> Names(const fs::path& folder) const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

TEST_F(FileSystemOnDrive, FindsFilesAndFoldersWhateverTheirLetterCase)
{
    env.WriteFile("T:\\Lib\\BDE.dcu", "unit");
    EXPECT_EQ(Find("T:\\Lib"), EntryKind::Folder);
    EXPECT_EQ(Find("t:\\LIB\\bde.DCU"), EntryKind::File);
    EXPECT_EQ(Find("T:\\Lib\\none"), EntryKind::None);
    EXPECT_FALSE(FileExists("T:\\Lib"));
    EXPECT_EQ(DriveType("T:\\"), 3u);
    EXPECT_EQ(DriveType("T:\\Lib"), 1u);

    std::string image;
    ASSERT_EQ(ReadWholeFile("T:\\lib\\Bde.Dcu", image), ReadResult::Ok);
    EXPECT_EQ(image, "unit");
    ASSERT_EQ(ReplaceWholeFile("T:\\LIB\\BDE.DCU", "patched"), WriteResult::Ok);
    EXPECT_EQ(Names(drive / "Lib"), std::vector<std::string>{"BDE.dcu"});
    EXPECT_EQ(env.ReadFile("T:\\Lib\\BDE.dcu"), "patched");
}

TEST_F(FileSystemOnDrive, RenameNeverReplacesButRespellsLetterCase)
{
    env.WriteFile("T:\\a.dll", "original");
    env.WriteFile("T:\\a.dll.old", "saved");
    EXPECT_FALSE(RenameFile("T:\\a.dll", "T:\\A.DLL.OLD"));
    EXPECT_EQ(env.ReadFile("T:\\a.dll"), "original");
    EXPECT_EQ(env.ReadFile("T:\\a.dll.old"), "saved");
    EXPECT_FALSE(RenameFile("T:\\missing.dll", "T:\\b.dll"));

    ASSERT_TRUE(RemoveFile("T:\\a.dll.old"));
    EXPECT_TRUE(RenameFile("T:\\a.dll", "T:\\a.dll.old"));
    EXPECT_EQ(env.ReadFile("T:\\a.dll.old"), "original");
    EXPECT_TRUE(RenameFile("T:\\a.dll.old", "T:\\A.DLL.OLD"));
    EXPECT_EQ(Names(drive), std::vector<std::string>{"A.DLL.OLD"});
}

TEST_F(FileSystemOnDrive, ReadOnlyFilesResistRemovalAndOverwriting)
{
    env.WriteFile("T:\\ro.lib", "keep");
    env.WriteFile("T:\\new.lib", "new");
    ASSERT_TRUE(SetReadOnly("T:\\ro.lib"));
    EXPECT_TRUE(IsReadOnly("T:\\ro.lib"));
    EXPECT_FALSE(RemoveFile("T:\\ro.lib"));
    EXPECT_FALSE(CopyFileOver("T:\\new.lib", "T:\\ro.lib"));
    EXPECT_EQ(ReplaceWholeFile("T:\\ro.lib", "lost"), WriteResult::CannotCreate);
    EXPECT_EQ(env.ReadFile("T:\\ro.lib"), "keep");

    ASSERT_TRUE(ClearReadOnly("T:\\ro.lib"));
    EXPECT_FALSE(IsReadOnly("T:\\ro.lib"));
    EXPECT_TRUE(CopyFileOver("T:\\new.lib", "T:\\ro.lib"));
    EXPECT_EQ(env.ReadFile("T:\\ro.lib"), "new");
    EXPECT_TRUE(RemoveFile("T:\\ro.lib"));
    EXPECT_FALSE(FileExists("T:\\ro.lib"));
}

TEST_F(FileSystemOnDrive, MissingFilesAndFoldersAreNoFiles)
{
    std::string image;
    EXPECT_EQ(ReadWholeFile("T:\\missing", image), ReadResult::CannotOpen);
    ASSERT_TRUE(CreateFolder("T:\\dir"));
    EXPECT_EQ(ReadWholeFile("T:\\dir", image), ReadResult::CannotOpen);
    EXPECT_FALSE(CreateFolder("T:\\dir"));
    EXPECT_FALSE(CreateFolder("T:\\none\\dir"));
    EXPECT_FALSE(RemoveFile("T:\\dir"));
    EXPECT_FALSE(RemoveFile("T:\\missing"));
    EXPECT_FALSE(IsReadOnly("T:\\missing"));
    EXPECT_FALSE(ClearReadOnly("T:\\missing"));
    EXPECT_EQ(ReplaceWholeFile("T:\\none\\f.bin", "x"), WriteResult::CannotCreate);
    EXPECT_EQ(ReplaceWholeFile("T:\\dir", "x"), WriteResult::CannotCreate);
    EXPECT_FALSE(CopyFileOver("T:\\missing.bpl", "T:\\other.bpl"));
    EXPECT_EQ(Find("T:\\dir"), EntryKind::Folder);
    EXPECT_EQ(Names(drive), std::vector<std::string>{"dir"});
}

TEST_F(FileSystemOnDrive, WholeFilesAndCopiesKeepEveryByte)
{
    const std::string bytes("MZ\0\0idapi32.dll\0\xff", 18);
    ASSERT_EQ(ReplaceWholeFile("T:\\src.bpl", bytes), WriteResult::Ok);
    EXPECT_FALSE(IsReadOnly("T:\\src.bpl"));
    ASSERT_TRUE(SetReadOnly("T:\\src.bpl"));
    // ".." is resolved by name, as Windows does, so T:\Bin need not exist.
    EXPECT_TRUE(CopyFileOver("T:\\src.bpl", "T:\\Bin\\..\\dst.bpl"));
    std::string image = "stale";
    ASSERT_EQ(ReadWholeFile("T:\\dst.bpl", image), ReadResult::Ok);
    EXPECT_EQ(image, bytes);
    EXPECT_TRUE(IsReadOnly("T:\\dst.bpl"));

    ASSERT_EQ(ReplaceWholeFile("T:\\empty.bin", ""), WriteResult::Ok);
    ASSERT_EQ(ReadWholeFile("T:\\empty.bin", image), ReadResult::Ok);
    EXPECT_EQ(image, "");
    EXPECT_EQ(Names(drive), (std::vector<std::string>{"dst.bpl", "empty.bin", "src.bpl"}));
}

// A path that begins with one "\" is on the current drive, here C:. On Windows the system resolves
// it; elsewhere the drive table does, and C: is the only current drive there is.
TEST(FileSystemOnCurrentDrive, RootedPathsReachTheFilesOfDriveC)
{
    TestEnvironment env;
    const CurrentFolder onDriveC(env.DriveFolder('c'));
    env.WriteFile("C:\\QtsRooted\\Bin\\VCLDB30.dpl", "package");

    EXPECT_EQ(Find("\\QtsRooted\\Bin"), EntryKind::Folder);
    EXPECT_TRUE(FileExists("\\qtsrooted\\BIN\\vcldb30.dpl"));
    EXPECT_EQ(DriveType("\\"), 3u);
    std::string image;
    ASSERT_EQ(ReadWholeFile("\\QtsRooted\\Bin\\VCLDB30.dpl", image), ReadResult::Ok);
    EXPECT_EQ(image, "package");

    EXPECT_TRUE(CopyFileOver("\\QtsRooted\\Bin\\VCLDB30.dpl", "\\QtsRooted\\copy.dpl"));
    EXPECT_TRUE(RenameFile("\\QtsRooted\\copy.dpl", "\\QtsRooted\\Lib\\..\\moved.dpl"));
    EXPECT_EQ(env.ReadFile("C:\\QtsRooted\\moved.dpl"), "package");
    EXPECT_EQ(ReplaceWholeFile("\\QtsRooted\\new.bin", "new"), WriteResult::Ok);
    EXPECT_EQ(env.ReadFile("C:\\QtsRooted\\new.bin"), "new");
    ASSERT_TRUE(SetReadOnly("\\QtsRooted\\new.bin"));
    EXPECT_TRUE(IsReadOnly("C:\\QtsRooted\\new.bin"));
    EXPECT_TRUE(ClearReadOnly("\\QtsRooted\\new.bin"));
    EXPECT_TRUE(RemoveFile("\\QtsRooted\\new.bin"));
    EXPECT_TRUE(CreateFolder("\\QtsRooted\\Made"));
    EXPECT_EQ(Find("C:\\QtsRooted\\Made"), EntryKind::Folder);
    EXPECT_FALSE(env.Exists("C:\\QtsRooted\\new.bin"));
    EXPECT_TRUE(env.Exists("C:\\QtsRooted\\Bin\\VCLDB30.dpl"));
}
