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
#include "TestEnvironment.h"

namespace fs = std::filesystem;
using namespace FileSystem;

namespace
{

// Holds an exclusive lock on a file, as another program using it without sharing would.
class HeldFile
{
public:
    explicit HeldFile(const std::string& native) : fd_(::open(native.c_str(), O_RDONLY))
    {
        if (fd_ < 0 || ::flock(fd_, LOCK_EX | LOCK_NB) != 0)
            throw std::runtime_error("cannot lock " + native);
    }
    ~HeldFile() { ::close(fd_); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

private:
    int fd_;
};

// Limits the size of files this process may write, so that a write stops short as on a full
// disk; the signal such a write raises is ignored meanwhile.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

} // namespace

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

TEST_F(DriveTable, DriveLettersResolveThroughTheTable)
{
    EXPECT_EQ(NativePath("C:\\a\\b.txt"), table + "/c:/a/b.txt");
    EXPECT_EQ(NativePath("c:/a"), table + "/c:/a");
    EXPECT_EQ(NativePath("C:\\..\\..\\etc\\passwd"), table + "/c:/etc/passwd");
    EXPECT_EQ(NativePath("/usr/x\\Lib\\y"), "/usr/x/Lib/y");
    EXPECT_EQ(NativePath("qts-none\\.\\y"), "qts-none/y");

    fs::create_directories(env.Root() + "/other");
    fs::create_directory_symlink(env.Root() + "/other", table + "/D:");
    EXPECT_EQ(DriveType("d:\\"), 3u);
    EXPECT_EQ(DriveType("Y:\\"), 1u);
    EXPECT_EQ(Find("Y:\\"), EntryKind::None);
}

TEST_F(DriveTable, MissingComponentsMatchIgnoringCase)
{
    fs::create_directories(c + "/Program Files/Borland");
    EXPECT_EQ(NativePath("C:\\PROGRAM FILES\\borland\\Bin\\x.exe"),
              table + "/c:/Program Files/Borland/Bin/x.exe");
    // Both spellings exist: the exact one wins, and a rename onto the other still fails.
    env.WriteFile("C:\\a", "lower");
    env.WriteFile("C:\\A", "upper");
    EXPECT_EQ(env.ReadFile("C:\\A"), "upper");
    env.WriteFile("C:\\x", "x");
    EXPECT_FALSE(RenameFile("C:\\x", "C:\\A"));
    EXPECT_EQ(env.ReadFile("C:\\A"), "upper");
}

TEST_F(DriveTable, DriveRootsAndTheTableAreNeverChanged)
{
    EXPECT_FALSE(CreateFolder("E:"));
    EXPECT_FALSE(CreateFolder("E:\\dir"));
    EXPECT_FALSE(RemoveFile("C:"));
    EXPECT_FALSE(RenameFile("C:\\", "F:\\"));
    EXPECT_EQ(ReplaceWholeFile("C:", "x"), WriteResult::CannotCreate);
    EXPECT_EQ(Count(table), 1u);
    EXPECT_TRUE(fs::is_symlink(table + "/c:"));
}

TEST_F(DriveTable, NetworkSharesAreTableEntriesUnderUnc)
{
    fs::create_directories(table + "/unc/server/Share");
    EXPECT_EQ(NativePath("\\\\SERVER\\share\\x"), table + "/unc/server/Share/x");
    EXPECT_EQ(DriveType("\\\\server\\share\\"), 4u);
    EXPECT_EQ(ReplaceWholeFile("\\\\server\\share\\f", "data"), WriteResult::Ok);
    EXPECT_EQ(env.ReadFile("\\\\server\\share\\f"), "data");
    EXPECT_EQ(ReplaceWholeFile("\\\\server\\gone\\f", "data"), WriteResult::CannotCreate);
    EXPECT_FALSE(CreateFolder("\\\\server"));
    EXPECT_EQ(Find("\\\\"), EntryKind::None);
    EXPECT_EQ(Find("\\\\..\\..\\x"), EntryKind::None);
}

TEST_F(DriveTable, LockedFilesAreInUse)
{
    env.WriteFile("C:\\tool.dll", "in use");
    env.WriteFile("C:\\other.dll", "other");
    const HeldFile held(NativePath("C:\\tool.dll"));
    std::string image;
    EXPECT_EQ(ReadWholeFile("C:\\tool.dll", image), ReadResult::CannotOpen);
    EXPECT_FALSE(RemoveFile("C:\\tool.dll"));
    EXPECT_FALSE(RenameFile("C:\\tool.dll", "C:\\tool.dll.old"));
    EXPECT_FALSE(CopyFileOver("C:\\other.dll", "C:\\tool.dll"));
    EXPECT_EQ(ReplaceWholeFile("C:\\tool.dll", "patched"), WriteResult::CannotCreate);
    EXPECT_EQ(env.ReadFile("C:\\tool.dll"), "in use");
    EXPECT_EQ(Count(c), 2u);
}

TEST_F(DriveTable, ShortWritesKeepTheOldFile)
{
    env.WriteFile("C:\\big.dcu", "old content");
    env.WriteFile("C:\\src.dcu", std::string(4096, 's'));
    {
        const FileSizeLimit limit(100);
        EXPECT_EQ(ReplaceWholeFile("C:\\big.dcu", std::string(4096, 'n')), WriteResult::ShortWrite);
        EXPECT_FALSE(CopyFileOver("C:\\src.dcu", "C:\\big.dcu"));
    }
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

#endif // _WIN32
