// The registry and the drives on a Wine prefix (QTS_WINEPREFIX), with a prefix made in code: the
// 32-bit programs' view, nothing written while a Wine server serves the prefix, whole-file
// replacement that leaves every other key's text alone, and the system folder of the 32-bit
// view. The same behaviour against real Wine is in WinePrefixWineTest.cpp.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "FileSystem.h"
#include "RegistryStore.h"
#include "TRegistry.h"
#include "TestEnvironment.h"
#include "WinePrefix.h"
#include "WineRegistryStore.h"

namespace fs = std::filesystem;

namespace
{

const std::string MachineText = "WINE REGISTRY Version 2\n"
                                ";; All keys relative to REGISTRY\\\\Machine\n"
                                "\n"
                                "#arch=win64\n"
                                "\n"
                                "[Software\\\\Borland\\\\Delphi\\\\3.0] 1796698985\n"
                                "#time=1dd86c0a547c4a0\n"
                                "\"RootDir\"=\"C:\\\\Delphi 64\"\n"
                                "\n"
                                "[Software\\\\Classes\\\\.txt] 1796698985\n"
                                "#time=1dd86c0a52c7150\n"
                                "@=\"txtfile\"\n"
                                "\n"
                                "[Software\\\\Wow6432Node\\\\Borland\\\\Delphi\\\\3.0] 1796698985\n"
                                "#time=1dd86c0a547c4a0\n"
                                "\"RootDir\"=\"C:\\\\Program Files\\\\Borland\\\\Delphi 3\"\n"
                                "\n"
                                "[Software\\\\Wow6432Node\\\\Registered Applications] 1796698981\n"
                                "#time=1dd86c0a2bb955e\n";

const std::string UserText = "WINE REGISTRY Version 2\n"
                             ";; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n"
                             "\n"
                             "#arch=win64\n"
                             "\n"
                             "[Control Panel\\\\Desktop] 1796698985\n"
                             "#time=1dd86c0a54815d6\n"
                             "\"Wallpaper\"=\"\"\n";

std::string Contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void Put(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

// A Wine server stand-in: a child process that holds the lock of the prefix's server folder, as
// a running wineserver does, until it is destroyed.
class ServerLock
{
public:
    explicit ServerLock(const std::string& lockFile)
    {
        int ready[2];
        if (::pipe(ready) != 0 || ::pipe(release_) != 0)
            return;
        child_ = ::fork();
        if (child_ == 0) {
            ::close(ready[0]);
            ::close(release_[1]);
            const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT, 0600);
            struct flock lock {
            };
            lock.l_type = F_WRLCK;
            lock.l_whence = SEEK_SET;
            const char ok = (fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0) ? 'y' : 'n';
            (void)!::write(ready[1], &ok, 1);
            char done;
            (void)!::read(release_[0], &done, 1);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(release_[0]);
        char ok = 'n';
        held_ = ::read(ready[0], &ok, 1) == 1 && ok == 'y';
        ::close(ready[0]);
    }
    ~ServerLock()
    {
        if (child_ > 0) {
            ::close(release_[1]);
            ::waitpid(child_, nullptr, 0);
        }
    }
    ServerLock(const ServerLock&) = delete;
    ServerLock& operator=(const ServerLock&) = delete;
    bool Held() const { return held_; }

private:
    pid_t child_ = -1;
    int release_[2] = {-1, -1};
    bool held_ = false;
};

class WinePrefixStore : public testing::Test
{
protected:
    WinePrefixStore() : prefix(environment.Root() + "/prefix")
    {
        fs::create_directories(prefix + "/dosdevices");
        fs::create_directories(prefix + "/drive_c/windows/system32");
        fs::create_directories(prefix + "/drive_c/windows/syswow64");
        fs::create_symlink("../drive_c", prefix + "/dosdevices/c:");
        Put(prefix + "/system.reg", MachineText);
        Put(prefix + "/user.reg", UserText);
        // Where this prefix's server keeps its lock (the prefix records its server folder).
        Put(prefix + "/wineserver", environment.Root() + "/server\n");
        struct stat st {
        };
        ::stat(prefix.c_str(), &st);
        char name[64];
        std::snprintf(name, sizeof name, "/server/server-%llx-%llx",
                      static_cast<unsigned long long>(st.st_dev),
                      static_cast<unsigned long long>(st.st_ino));
        serverFolder = environment.Root() + name;
        fs::create_directories(serverFolder);
        SetEnv("QTS_WINEPREFIX", prefix);
    }

    std::string Machine() const { return Contents(prefix + "/system.reg"); }
    std::string User() const { return Contents(prefix + "/user.reg"); }

    TestEnvironment environment;
    std::string prefix;
    std::string serverFolder;
};

TEST_F(WinePrefixStore, TheMachineRootShowsThe32BitViewAndTheUserRootIsShared)
{
    TRegistry registry;
    registry.SelectRoot(HKEY_LOCAL_MACHINE_ROOT);
    ASSERT_TRUE(registry.OpenKeyPath("\\Software\\Borland\\Delphi\\3.0", false));
    EXPECT_EQ(registry.ReadText("RootDir"), "C:\\Program Files\\Borland\\Delphi 3");
    // Software\Classes is not redirected.
    ASSERT_TRUE(registry.OpenKeyPath("\\Software\\Classes\\.txt", false));
    EXPECT_EQ(registry.ReadText(""), "txtfile");

    ASSERT_TRUE(registry.OpenKeyPath("\\Software\\Quillon\\Tessarium", true));
    registry.WriteText("RootDir", "C:\\Qu\xC3\xAF"
                                  "llon");
    registry.SelectRoot(HKEY_CURRENT_USER_ROOT);
    ASSERT_TRUE(registry.OpenKeyPath("\\Software\\Quillon\\Tessarium", true));
    registry.WriteText("LastEnvironment", "Delphi 3");

    const std::string machine = Machine();
    EXPECT_NE(machine.find("\n[Software\\\\Wow6432Node\\\\Quillon\\\\Tessarium] "),
              std::string::npos);
    EXPECT_NE(machine.find("\"RootDir\"=\"C:\\\\Qu\\xefllon\"\n"), std::string::npos);
    EXPECT_EQ(machine.find("[Software\\\\Quillon"), std::string::npos);
    const std::string user = User();
    EXPECT_NE(user.find("\n[Software\\\\Quillon\\\\Tessarium] "), std::string::npos);
    EXPECT_NE(user.find("\"LastEnvironment\"=\"Delphi 3\"\n"), std::string::npos);

    // A second program sees the change at its next look.
    TRegistry other;
    other.SelectRoot(HKEY_LOCAL_MACHINE_ROOT);
    ASSERT_TRUE(other.OpenKeyPath("\\SOFTWARE\\quillon\\TESSARIUM", false));
    EXPECT_EQ(other.ReadText("rootdir"), "C:\\Qu\xC3\xAFllon");
}

TEST_F(WinePrefixStore, AWriteReplacesTheFileAndLeavesEveryOtherKeyAsItWas)
{
    ::chmod((prefix + "/system.reg").c_str(), 0640);
    // The old file, held open: a replacement leaves it as it was, without a name.
    const int old = ::open((prefix + "/system.reg").c_str(), O_RDONLY);
    ASSERT_GE(old, 0);
    TRegistry registry;
    registry.SelectRoot(HKEY_LOCAL_MACHINE_ROOT);
    ASSERT_TRUE(registry.OpenKeyPath("\\Software\\Borland\\Delphi\\3.0", false));
    registry.WriteNumber("Count", 7);
    EXPECT_TRUE(registry.RemoveValue("RootDir"));

    const std::string machine = Machine();
    const std::size_t header =
        machine.find("[Software\\\\Wow6432Node\\\\Borland\\\\Delphi\\\\3.0] ");
    ASSERT_NE(header, std::string::npos);
    const std::size_t end = machine.find("\n\n", header);
    // Everything before and after the touched key is the old text.
    EXPECT_EQ(machine.substr(0, header), MachineText.substr(0, header));
    EXPECT_EQ(machine.substr(end), MachineText.substr(MachineText.find("\n\n", header)));
    const std::string block = machine.substr(header, end - header);
    EXPECT_NE(block.find("\"Count\"=dword:00000007"), std::string::npos);
    EXPECT_EQ(block.find("RootDir"), std::string::npos);
    EXPECT_EQ(block.find("1dd86c0a547c4a0"), std::string::npos); // a fresh modification time

    struct stat held {
    };
    ::fstat(old, &held);
    std::string oldText(MachineText.size() + 1, '\0');
    oldText.resize(static_cast<std::size_t>(::pread(old, &oldText[0], oldText.size(), 0)));
    ::close(old);
    EXPECT_EQ(held.st_nlink, 0u);
    EXPECT_EQ(oldText, MachineText);
    struct stat after {
    };
    ::stat((prefix + "/system.reg").c_str(), &after);
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    for (const auto& entry : fs::directory_iterator(prefix))
        EXPECT_EQ(entry.path().filename().string().find(".qts-"), std::string::npos)
            << entry.path();
    EXPECT_EQ(User(), UserText);
}

TEST_F(WinePrefixStore, NothingIsWrittenWhileAWineServerServesThePrefix)
{
    TRegistry early;
    early.SelectRoot(HKEY_LOCAL_MACHINE_ROOT);
    ASSERT_TRUE(early.OpenKeyPath("\\Software\\Borland\\Delphi\\3.0", false));
    EXPECT_FALSE(WinePrefix::InUse(prefix));
    {
        ServerLock server(serverFolder + "/lock");
        ASSERT_TRUE(server.Held());
        EXPECT_TRUE(WinePrefix::InUse(prefix));
        EXPECT_EQ(WinePrefix::InUseMessage(prefix),
                  "The Wine prefix " + prefix +
                      " is in use. Close its programs (or run \"wineserver -k\") and start again.");
        // What the windows and qtsctl start with; nothing without the variable.
        EXPECT_EQ(WinePrefix::InUseNotice(), WinePrefix::InUseMessage(prefix));
        UnsetEnv("QTS_WINEPREFIX");
        EXPECT_EQ(WinePrefix::InUseNotice(), "");
        SetEnv("QTS_WINEPREFIX", prefix);

        // Both roots are unavailable for opening, and a key opened before the server started
        // is not written either.
        TRegistry registry;
        registry.SelectRoot(HKEY_LOCAL_MACHINE_ROOT);
        EXPECT_FALSE(registry.OpenKeyPath("\\Software\\Borland\\Delphi\\3.0", false));
        EXPECT_FALSE(registry.OpenKeyPath("\\Software\\Quillon", true));
        registry.SelectRoot(HKEY_CURRENT_USER_ROOT);
        EXPECT_FALSE(registry.OpenKeyPath("\\Software\\Quillon", true));
        testing::internal::CaptureStderr();
        EXPECT_THROW(early.WriteText("RootDir", "C:\\elsewhere"), ERegistryException);
        EXPECT_FALSE(early.RemoveValue("RootDir"));
        EXPECT_NE(testing::internal::GetCapturedStderr().find(WinePrefix::InUseMessage(prefix)),
                  std::string::npos);
        EXPECT_EQ(Machine(), MachineText);
        EXPECT_EQ(User(), UserText);
    }
    EXPECT_FALSE(WinePrefix::InUse(prefix));
    EXPECT_EQ(WinePrefix::InUseNotice(), "");
    early.WriteText("RootDir", "C:\\elsewhere");
    EXPECT_NE(Machine().find("\"RootDir\"=\"C:\\\\elsewhere\""), std::string::npos);
}

TEST_F(WinePrefixStore, AFileThatDoesNotParseIsNeverWritten)
{
    const std::string broken = MachineText + "this line is no part of a registry file\n";
    Put(prefix + "/system.reg", broken);
    testing::internal::CaptureStderr();
    TRegistry registry;
    registry.SelectRoot(HKEY_LOCAL_MACHINE_ROOT);
    EXPECT_FALSE(registry.OpenKeyPath("\\Software\\Borland\\Delphi\\3.0", false));
    EXPECT_FALSE(registry.OpenKeyPath("\\Software\\Quillon", true));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(prefix + "/system.reg: line 20: "), std::string::npos) << said;
    EXPECT_EQ(Machine(), broken);
    // The other root is still usable.
    registry.SelectRoot(HKEY_CURRENT_USER_ROOT);
    EXPECT_TRUE(registry.OpenKeyPath("\\Control Panel\\Desktop", false));
}

TEST_F(WinePrefixStore, TheDrivesAreThePrefixsAndSystem32IsTheSyswow64Folder)
{
    const std::string driveC = fs::canonical(prefix + "/drive_c").string();
    const auto native = [](const std::string& path) {
        return fs::weakly_canonical(FileSystem::NativePath(path)).string();
    };
    EXPECT_EQ(native("C:\\Windows\\System32\\bde.dll"), driveC + "/windows/syswow64/bde.dll");
    EXPECT_EQ(native("C:\\windows\\system32\\drivers\\etc\\hosts"),
              driveC + "/windows/system32/drivers/etc/hosts");
    EXPECT_EQ(native("C:\\Program Files\\x"), driveC + "/Program Files/x");
    // A prefix for 32-bit programs only has no second view.
    fs::remove(prefix + "/drive_c/windows/syswow64");
    EXPECT_EQ(native("C:\\windows\\system32\\bde.dll"), driveC + "/windows/system32/bde.dll");
}

} // namespace
