// How Windows paths land on a system without drive letters: the drive table, network shares,
// files held under a lock, and writes that stop short.
#ifndef _WIN32

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include "FileSystem.h"
#include "QtsTools.h"
#include "TestEnvironment.h"

namespace fs = std::filesystem;
using namespace FileSystem;

class DriveTable : public testing::Test
{
protected:
    TestEnvironment env;
    const std::string table = env.Root() + "/dosdevices";
    const std::string c = env.DriveFolder('c');

    std::size_t Count(const std::string& folder) const
    {
        return static_cast<std::size_t>(
            std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    }
};

TEST_F(DriveTable, DriveLettersResolveThroughTheTableIgnoringCase)
{
    EXPECT_EQ(NativePath("C:\\..\\..\\etc\\passwd"), table + "/c:/etc/passwd");
    EXPECT_EQ(NativePath("/usr/x\\Lib\\y"), "/usr/x/Lib/y");
    EXPECT_EQ(NativePath("qts-none\\.\\y"), "qts-none/y");
    fs::create_directories(c + "/Program Files/Borland");
    EXPECT_EQ(NativePath("c:/PROGRAM FILES\\borland\\Bin\\x.exe"),
              table + "/c:/Program Files/Borland/Bin/x.exe");

    fs::create_directories(env.Root() + "/other");
    fs::create_directory_symlink(env.Root() + "/other", table + "/D:");
    EXPECT_EQ(DriveType("d:\\"), 3u);
    EXPECT_EQ(DriveType("Y:\\"), 1u);
    EXPECT_EQ(Find("Y:\\"), EntryKind::None);

    // Both spellings exist: the exact one wins, and a rename onto the other still fails.
    env.WriteFile("C:\\a", "lower");
    env.WriteFile("C:\\A", "upper");
    env.WriteFile("C:\\x", "x");
    EXPECT_EQ(env.ReadFile("C:\\A"), "upper");
    EXPECT_FALSE(RenameFile("C:\\x", "C:\\A"));
    EXPECT_EQ(env.ReadFile("C:\\A"), "upper");
}

TEST_F(DriveTable, RootsSharesAndTheTableAreNeverChanged)
{
    EXPECT_FALSE(CreateFolder("E:"));
    EXPECT_FALSE(CreateFolder("E:\\dir"));
    EXPECT_FALSE(RemoveFile("C:"));
    EXPECT_FALSE(RenameFile("C:\\", "F:\\"));
    EXPECT_EQ(ReplaceWholeFile("C:", "x"), WriteResult::CannotCreate);
    EXPECT_EQ(Count(table), 1u);

    fs::create_directories(table + "/unc/server/Share");
    EXPECT_EQ(NativePath("\\\\SERVER\\share\\x"), table + "/unc/server/Share/x");
    EXPECT_EQ(DriveType("\\\\server\\share\\"), 4u);
    EXPECT_EQ(ReplaceWholeFile("\\\\server\\share\\f", "data"), WriteResult::Ok);
    EXPECT_EQ(env.ReadFile("\\\\server\\share\\f"), "data");
    EXPECT_EQ(ReplaceWholeFile("\\\\server\\gone\\f", "data"), WriteResult::CannotCreate);
    EXPECT_FALSE(CreateFolder("\\\\server"));
    EXPECT_EQ(Find("\\\\"), EntryKind::None);
    EXPECT_EQ(Find("\\\\..\\..\\x"), EntryKind::None);
    EXPECT_TRUE(fs::is_symlink(table + "/c:"));
}

TEST_F(DriveTable, LockedFilesAreInUse)
{
    env.WriteFile("C:\\tool.dll", "in use");
    env.WriteFile("C:\\other.dll", "other");
    const int held = ::open(NativePath("C:\\tool.dll").c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0); // another program's open without sharing
    std::string image;
    EXPECT_EQ(ReadWholeFile("C:\\tool.dll", image), ReadResult::CannotOpen);
    EXPECT_FALSE(RemoveFile("C:\\tool.dll"));
    EXPECT_FALSE(RenameFile("C:\\tool.dll", "C:\\tool.dll.old"));
    EXPECT_FALSE(CopyFileOver("C:\\other.dll", "C:\\tool.dll"));
    EXPECT_EQ(ReplaceWholeFile("C:\\tool.dll", "patched"), WriteResult::CannotCreate);
    ::close(held);
    EXPECT_EQ(env.ReadFile("C:\\tool.dll"), "in use");
    EXPECT_EQ(Count(c), 2u);
}

TEST_F(DriveTable, ShortWritesKeepTheOldFile)
{
    env.WriteFile("C:\\big.dcu", "old content");
    env.WriteFile("C:\\src.dcu", std::string(4096, 's'));
    // A file size limit makes writes stop short as on a full disk.
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved;
    limit.rlim_cur = 100;
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const WriteResult replaced = ReplaceWholeFile("C:\\big.dcu", std::string(4096, 'n'));
    const bool copied = CopyFileOver("C:\\src.dcu", "C:\\big.dcu");
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_EQ(replaced, WriteResult::ShortWrite);
    EXPECT_FALSE(copied);
    EXPECT_EQ(env.ReadFile("C:\\big.dcu"), "old content");
    EXPECT_EQ(Count(c), 2u);
}

TEST_F(DriveTable, ReplacingThroughALinkWritesTheLinkedFile)
{
    env.WriteFile("C:\\real.lib", "old");
    fs::create_symlink(c + "/real.lib", c + "/link.lib");
    EXPECT_EQ(ReplaceWholeFile("C:\\link.lib", "new"), WriteResult::Ok);
    EXPECT_TRUE(fs::is_symlink(c + "/link.lib"));
    EXPECT_EQ(env.ReadFile("C:\\real.lib"), "new");
}

// A path that begins with one "\" is on drive C:, whatever the native current folder, even the
// host's own root; the host's folders of the same names are never read, created or removed.
TEST_F(DriveTable, RootedPathsNeverReachTheHostsRoot)
{
    const std::string probe = "qts-rooted-" + std::to_string(::getpid());
    bool leaked = false;
    {
        const CurrentFolder atHostRoot("/");
        EXPECT_EQ(NativePath("\\ETC\\Passwd"), table + "/c:/ETC/Passwd");
        std::string image;
        EXPECT_EQ(ReadWholeFile("\\ETC\\Passwd", image), ReadResult::CannotOpen);
        EXPECT_EQ(Find("\\..\\etc\\passwd"), EntryKind::None);
        EXPECT_FALSE(FolderExists("\\etc"));
        EXPECT_TRUE(CreatePath("\\" + probe + "\\x"));
        EXPECT_EQ(ReplaceWholeFile("\\" + probe + "\\f", "f"), WriteResult::Ok);
        leaked = fs::exists("/" + probe);
    }
    if (leaked)
        fs::remove_all("/" + probe);
    EXPECT_FALSE(leaked);
    EXPECT_TRUE(fs::is_directory(c + "/" + probe + "/x"));
    EXPECT_TRUE(fs::is_regular_file(c + "/" + probe + "/f"));
    // Written with "/" first, a path is the host's own.
    EXPECT_EQ(NativePath("/etc\\passwd"), "/etc/passwd");
    EXPECT_EQ(Find("/etc"), EntryKind::Folder);

    // Without a drive C: such a path names nothing, like one on any missing drive.
    fs::remove(table + "/c:");
    EXPECT_FALSE(FolderExists("\\"));
    EXPECT_EQ(Find("\\" + probe), EntryKind::None);
    EXPECT_FALSE(CreatePath("\\y"));
    EXPECT_EQ(ReplaceWholeFile("\\y.bin", "y"), WriteResult::CannotCreate);
    EXPECT_EQ(Count(table), 0u);
}

#endif // _WIN32
