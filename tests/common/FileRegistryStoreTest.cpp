// The registry store of systems without a registry: its REGEDIT4 files, sharing between
// processes, crashes, damaged files and access rights.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "FileRegistryStore.h"
#include "TRegistry.h"
#include "TestEnvironment.h"

namespace
{

namespace fs = std::filesystem;
using Typed = std::pair<std::uint32_t, std::string>;

std::string ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::string& bytes, bool append = false)
{
    std::ofstream out(path, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    out << bytes;
}

class FileRegistry : public testing::Test
{
protected:
    // Type and bytes of a value as a freshly created store reads them from the file.
    Typed Stored(const std::string& key, const std::string& name,
                 RegistryRoot root = RegistryRoot::CurrentUser)
    {
        FileRegistryStore store(environment.UserRegistryFile(), environment.MachineRegistryFile());
        std::unique_ptr<RegistryKey> handle;
        Typed typed{0xFFFFFFFF, "(missing)"};
        if (store.OpenKey(root, nullptr, key, KeyAccess::Read, handle) == StoreStatus::Ok)
            store.QueryValue(*handle, name, typed.first, typed.second);
        return typed;
    }

    // Writes `count` values "<prefix><n>" = "value <n>" into one key, with a large scratch value
    // rewritten between them so that the file keeps being compacted. Calls `written` after
    // each value that was stored.
    static void WriteRun(const std::string& prefix, int count,
                         const std::function<void(int)>& written)
    {
        TRegistry registry;
        registry.SelectRoot(HKEY_CURRENT_USER_ROOT);
        if (!registry.OpenKeyPath("\\Software\\Shared", true))
            return;
        for (int n = 0; n < count; ++n) {
            registry.WriteText(prefix + std::to_string(n), "value " + std::to_string(n));
            registry.WriteText(prefix + "Scratch",
                               std::string(2000, static_cast<char>('a' + n % 26)));
            written(n);
        }
    }

    TestEnvironment environment;
};

TEST_F(FileRegistry, HandWrittenRegeditFileLoadsWithItsTypesAndBytes)
{
    WriteBytes(
        environment.UserRegistryFile(),
        "REGEDIT4\r\n"
        "\r\n"
        "; exported by hand\r\n"
        "[HKEY_CURRENT_USER\\Software\\Quillon\\Tessarium\\Configuration\\Aliases\\Sales]\r\n"
        "@=\"the default\"\r\n"
        "\"Path\"=\"C:\\\\db\\\\sales.mdb\"\r\n"
        "\"Quote \\\"q\\\"\"=\"a=[b]\"\r\n"
        "\"Read Only\"=\"TRUE\"\r\n"
        "\"Expand\"=hex(2):25,54,45,4d,50,25,00\r\n"
        "\"Count\"=dword:0000002a\r\n"
        "\"Minus\"=dword:FFFFFFFF\r\n"
        "\"Blob\"=hex:00,01,fe,\\\r\n"
        "  ff\r\n"
        "\"Multi\"=hex(7):61,00,62,00,00,00\r\n"
        "\"Odd\"=hex(12345678):\r\n"
        "\"Gone\"=\"x\"\r\n"
        "\"Gone\"=-\r\n"
        "\n" // a line end without CR, as some editors leave it
        "[HKEY_CURRENT_USER\\Software\\Quillon\\Deep\\A\\B]\n"
        "[-HKEY_CURRENT_USER\\Software\\Quillon\\Removed]\n"
        "\"Ignored\"=\"after a deletion\"\n"
        "[HKCU\\Software\\Quillon\\Short]\n");
    const std::string aliases = "Software\\Quillon\\Tessarium\\Configuration\\Aliases\\Sales";
    EXPECT_EQ(Stored(aliases, ""), Typed(1, std::string("the default\0", 12)));
    EXPECT_EQ(Stored(aliases, "Path"), Typed(1, std::string("C:\\db\\sales.mdb\0", 16)));
    EXPECT_EQ(Stored(aliases, "Quote \"q\""), Typed(1, std::string("a=[b]\0", 6)));
    EXPECT_EQ(Stored(aliases, "Expand"), Typed(2, std::string("%TEMP%\0", 7)));
    EXPECT_EQ(Stored(aliases, "Count"), Typed(4, std::string("\x2a\0\0\0", 4)));
    EXPECT_EQ(Stored(aliases, "Minus"), Typed(4, std::string("\xff\xff\xff\xff", 4)));
    EXPECT_EQ(Stored(aliases, "Blob"), Typed(3, std::string("\x00\x01\xfe\xff", 4)));
    EXPECT_EQ(Stored(aliases, "Multi"), Typed(7, std::string("a\0b\0\0\0", 6)));
    EXPECT_EQ(Stored(aliases, "Odd"), Typed(0x12345678, ""));
    EXPECT_EQ(Stored(aliases, "Gone").second, "(missing)");

    TRegistry registry;
    registry.SelectRoot(HKEY_CURRENT_USER_ROOT);
    ASSERT_TRUE(registry.OpenKeyPath(
        "\\SOFTWARE\\quillon\\TESSARIUM\\Configuration\\Aliases\\SALES", false));
    EXPECT_EQ(registry.ReadText("read only"), "TRUE");
    EXPECT_EQ(registry.ReadText("Expand"), "%TEMP%");
    EXPECT_EQ(registry.ReadNumber("Minus"), -1);
    // A header names its whole path: the keys above it exist too.
    ASSERT_TRUE(registry.OpenKeyPath("\\Software\\Quillon", false));
    std::vector<std::string> names;
    registry.ListSubkeys(names);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Deep", "Short", "Tessarium"}));
    EXPECT_TRUE(registry.OpenKeyPath("Deep\\A\\B", false));
}

TEST_F(FileRegistry, ValuesKeepTypeAndBytesThroughTheFile)
{
    const std::vector<std::pair<std::string, Typed>> values = {
        {"Plain", {1, std::string("text\0", 5)}},
        {"Quotes \"=[]\\", {1, std::string("\"q\" = [x] \\ \\\\\0", 15)}},
        {"Line\r\nBreak", {1, std::string("two\r\nlines\0", 11)}},
        {"High \xe9\xff", {1, std::string("caf\xc3\xa9 \xff\0", 8)}},
        {"NoNul", {1, "abc"}},
        {"TwoNuls", {1, std::string("ab\0\0", 4)}},
        {"InnerNul", {1, std::string("a\0b\0", 4)}},
        {"EmptySz", {1, ""}},
        {"Expand", {2, std::string("%PATH%\0", 7)}},
        {"Dword", {4, std::string("\x78\x56\x34\x12", 4)}},
        {"ShortDword", {4, std::string("\x01", 1)}},
        {"Binary", {3, std::string("\x00\x0d\x0a\xff", 4)}},
        {"None", {0, "raw"}},
        {"Strange", {0xFFFFFFFF, std::string("\0", 1)}},
        {"", {1, std::string("default\0", 8)}},
    };
    {
        FileRegistryStore store(environment.UserRegistryFile(), environment.MachineRegistryFile());
        std::unique_ptr<RegistryKey> key;
        ASSERT_EQ(store.CreateKey(RegistryRoot::CurrentUser, nullptr, "Software\\Key [1] = \"x\"",
                                  KeyAccess::ReadWrite, key),
                  StoreStatus::Ok);
        for (const auto& [name, typed] : values)
            ASSERT_EQ(store.SetValue(*key, name, typed.first, typed.second), StoreStatus::Ok);
    }
    const std::string file = ReadBytes(environment.UserRegistryFile());
    for (const auto& [name, typed] : values)
        EXPECT_EQ(Stored("Software\\Key [1] = \"x\"", name), typed) << name;

    // CRLF line ends only; the quoted form only where it reads back exactly.
    for (std::size_t at = file.find('\n'); at != std::string::npos; at = file.find('\n', at + 1))
        EXPECT_EQ(file[at - 1], '\r');
    EXPECT_NE(file.find("\"Plain\"=\"text\"\r\n"), std::string::npos);
    EXPECT_NE(file.find("\"NoNul\"=hex(1):61,62,63\r\n"), std::string::npos);
    EXPECT_NE(file.find("\"Dword\"=dword:12345678\r\n"), std::string::npos);
    EXPECT_NE(file.find("\"Binary\"=hex:00,0d,0a,ff\r\n"), std::string::npos);
    EXPECT_NE(file.find("@=\"default\"\r\n"), std::string::npos);
}

TEST_F(FileRegistry, DamagedFileIsNeverWrittenAndNamesTheLine)
{
    const std::vector<std::pair<std::string, int>> damaged = {
        {"REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n\"Path\"=C:\\db\r\n", 4},
        {"Windows Registry Editor\r\n", 1},
        {"REGEDIT4\r\n\"Orphan\"=\"no key\"\r\n", 2},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\Software]\r\n\"Bad\"=\"\\q\"\r\n", 3},
        {"REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n", 2},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\r\n", 2},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\Software]\r\n\"N\"=dword:123456789\r\n", 3},
        {"REGEDIT4\r\n[HKEY_CURRENT_USER\\Software]\r\n\"N\"=hex:1,2g\r\n", 3},
    };
    for (const auto& [text, line] : damaged) {
        SCOPED_TRACE(text);
        WriteBytes(environment.UserRegistryFile(), text);
        testing::internal::CaptureStderr();
        {
            TRegistry registry;
            registry.SelectRoot(HKEY_CURRENT_USER_ROOT);
            EXPECT_FALSE(registry.OpenKeyPath("\\Software", false));
            EXPECT_FALSE(registry.OpenKeyPath("\\Software\\New", true));
            EXPECT_FALSE(registry.OpenKeyPath("", false));
            EXPECT_THROW(registry.WriteText("Path", "x"), ERegistryException);
            EXPECT_FALSE(registry.RemoveKeyTree("\\Software"));
            registry.MoveKeyTree("\\Software", "\\Elsewhere", true);
            // The other root is not affected.
            registry.SelectRoot(HKEY_LOCAL_MACHINE_ROOT);
            EXPECT_TRUE(registry.OpenKeyPath("\\Software\\Machine", true));
        }
        const std::string error = testing::internal::GetCapturedStderr();
        EXPECT_EQ(ReadBytes(environment.UserRegistryFile()), text);
        EXPECT_NE(error.find(environment.UserRegistryFile()), std::string::npos) << error;
        EXPECT_NE(error.find("line " + std::to_string(line) + ":"), std::string::npos) << error;
    }
}

TEST_F(FileRegistry, UnfinishedLastLineIsIgnoredAndCutOffByTheNextWriter)
{
    for (const std::string torn : {"\"Path\"=\"C:\\\\d", "\"Blob\"=hex:01,02,\\\r\n  03,\\\r\n"}) {
        SCOPED_TRACE(torn);
        {
            TRegistry registry;
            registry.SelectRoot(HKEY_CURRENT_USER_ROOT);
            ASSERT_TRUE(registry.OpenKeyPath("\\Software\\Torn", true));
            registry.WriteText("Kept", "yes");
        }
        const std::string before = ReadBytes(environment.UserRegistryFile());
        WriteBytes(environment.UserRegistryFile(), "[HKEY_CURRENT_USER\\Software\\Torn]\r\n" + torn,
                   true);

        testing::internal::CaptureStderr();
        TRegistry registry;
        registry.SelectRoot(HKEY_CURRENT_USER_ROOT);
        ASSERT_TRUE(registry.OpenKeyPath("\\Software\\Torn", false));
        EXPECT_EQ(registry.ReadText("Kept"), "yes");
        EXPECT_FALSE(registry.HasValue("Path"));
        EXPECT_FALSE(registry.HasValue("Blob"));
        registry.WriteText("After", "crash");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");

        const std::string after = ReadBytes(environment.UserRegistryFile());
        EXPECT_EQ(after.find(torn), std::string::npos);
        EXPECT_EQ(after.compare(0, before.size(), before), 0);
        EXPECT_EQ(Stored("Software\\Torn", "After"), Typed(1, std::string("crash\0", 6)));
        fs::remove(environment.UserRegistryFile());
    }
}

TEST_F(FileRegistry, FileIsCompactedAndOthersFollowTheNewFile)
{
    TRegistry writer;
    writer.SelectRoot(HKEY_CURRENT_USER_ROOT);
    ASSERT_TRUE(writer.OpenKeyPath("\\Software\\Compact", true));
    writer.WriteText("Stable", "stays");
    TRegistry reader;
    reader.SelectRoot(HKEY_CURRENT_USER_ROOT);
    ASSERT_TRUE(reader.OpenKeyPath("\\Software\\Compact", false));
    EXPECT_EQ(reader.ReadText("Stable"), "stays");

    std::uintmax_t largest = 0;
    for (int n = 0; n < 2000; ++n) {
        writer.WriteText("Busy", std::to_string(n) + std::string(200, 'x'));
        largest = std::max(largest, fs::file_size(environment.UserRegistryFile()));
    }
    // 2000 appended records of some 250 bytes would make half a megabyte.
    EXPECT_LT(largest, 200u * 1024u);
    EXPECT_EQ(reader.ReadText("Busy"), "1999" + std::string(200, 'x'));
    EXPECT_EQ(reader.ReadText("Stable"), "stays");
    EXPECT_EQ(Stored("Software\\Compact", "Busy").second,
              "1999" + std::string(200, 'x') + std::string(1, '\0'));
    EXPECT_FALSE(fs::exists(environment.UserRegistryFile() + ".tmp"));
}

TEST_F(FileRegistry, MissingFileIsAnEmptyRootAndTheFirstWriteCreatesItsFolder)
{
    const std::string file = environment.Root() + "/not/yet/there/user.reg";
    SetEnv("QTS_USER_REGISTRY", file);
    TRegistry registry;
    registry.SelectRoot(HKEY_CURRENT_USER_ROOT);
    EXPECT_FALSE(registry.OpenKeyPath("\\Software", false));
    EXPECT_TRUE(registry.OpenKeyPath("", false));
    EXPECT_FALSE(fs::exists(file));
    ASSERT_TRUE(registry.OpenKeyPath("\\Software\\First", true));
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(ReadBytes(file).rfind("REGEDIT4\r\n\r\n", 0), 0u);
}

TEST_F(FileRegistry, StoreFilesAreLocatedFromTheEnvironment)
{
    const char* savedConfig = std::getenv("XDG_CONFIG_HOME");
    const char* savedHome = std::getenv("HOME");
    const std::string config = savedConfig ? savedConfig : "", home = savedHome ? savedHome : "";

    EXPECT_EQ(FileRegistryStore::UserFileFromEnvironment(), environment.UserRegistryFile());
    EXPECT_EQ(FileRegistryStore::MachineFileFromEnvironment(), environment.MachineRegistryFile());
    UnsetEnv("QTS_USER_REGISTRY");
    UnsetEnv("QTS_MACHINE_REGISTRY");
    SetEnv("XDG_CONFIG_HOME", "/xdg");
    EXPECT_EQ(FileRegistryStore::UserFileFromEnvironment(), "/xdg/quillon-tessarium/user.reg");
    UnsetEnv("XDG_CONFIG_HOME");
    SetEnv("HOME", "/home/someone");
    EXPECT_EQ(FileRegistryStore::UserFileFromEnvironment(),
              "/home/someone/.config/quillon-tessarium/user.reg");
    EXPECT_EQ(FileRegistryStore::MachineFileFromEnvironment(),
              "/etc/quillon-tessarium/machine.reg");

    savedConfig ? SetEnv("XDG_CONFIG_HOME", config) : UnsetEnv("XDG_CONFIG_HOME");
    savedHome ? SetEnv("HOME", home) : UnsetEnv("HOME");
}

TEST_F(FileRegistry, TwoProcessesWritingAtOnceLoseNothing)
{
    constexpr int Count = 150;
    std::vector<pid_t> children;
    for (const char* prefix : {"First", "Second"}) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int written = 0;
            try {
                WriteRun(prefix, Count, [&](int) { ++written; });
            } catch (...) {
            }
            _exit(written == Count ? 0 : 1);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    TRegistry registry;
    registry.SelectRoot(HKEY_CURRENT_USER_ROOT);
    ASSERT_TRUE(registry.OpenKeyPath("\\Software\\Shared", false));
    for (const std::string prefix : {"First", "Second"})
        for (int n = 0; n < Count; ++n)
            EXPECT_EQ(registry.ReadText(prefix + std::to_string(n)), "value " + std::to_string(n))
                << prefix << n;
}

TEST_F(FileRegistry, ProcessKilledWhileWritingLeavesEveryFinishedWrite)
{
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(pipeEnds[0]);
        try {
            WriteRun("Value", 1000000, [&](int n) {
                if (write(pipeEnds[1], &n, sizeof n) != sizeof n)
                    _exit(1);
            });
        } catch (...) {
        }
        _exit(0);
    }
    close(pipeEnds[1]);
    int last = -1;
    int n = 0;
    while (last < 300 && read(pipeEnds[0], &n, sizeof n) == sizeof n)
        last = n;
    kill(child, SIGKILL);
    while (read(pipeEnds[0], &n, sizeof n) == sizeof n)
        last = n;
    close(pipeEnds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_GE(last, 300);

    testing::internal::CaptureStderr();
    TRegistry registry;
    registry.SelectRoot(HKEY_CURRENT_USER_ROOT);
    ASSERT_TRUE(registry.OpenKeyPath("\\Software\\Shared", false));
    for (int i = 0; i <= last; ++i)
        ASSERT_EQ(registry.ReadText("Value" + std::to_string(i)), "value " + std::to_string(i));
    registry.WriteText("Afterwards", "fine");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(Stored("Software\\Shared", "Afterwards").second, std::string("fine\0", 5));
}

// Runs `checks` where file modes bind: as user "nobody" in a child process when this process
// runs as root (as CI does), else right here. Answers what `checks` answered, or -1 with a
// reason when there is no way to run it unprivileged.
int AsUnprivilegedUser(const std::function<int()>& checks, std::string& whyNot)
{
    if (geteuid() != 0)
        return checks();
    const passwd* nobody = getpwnam("nobody");
    if (!nobody) {
        whyNot = "running as root and there is no user 'nobody' to run the check as";
        return -1;
    }
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    const pid_t child = fork();
    if (child < 0) {
        whyNot = "cannot start a child process";
        return -1;
    }
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
            _exit(255);
        int answer = 254;
        try {
            answer = checks();
        } catch (...) {
        }
        _exit(answer);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) == 255) {
        whyNot = "could not run the check as user 'nobody'";
        return -1;
    }
    return WEXITSTATUS(status);
}

TEST_F(FileRegistry, RootTheUserMayNotWriteRefusesEveryOpen)
{
    {
        TRegistry registry;
        registry.SelectRoot(HKEY_LOCAL_MACHINE_ROOT);
        ASSERT_TRUE(registry.OpenKeyPath("\\Software\\Quillon\\Tessarium", true));
        registry.WriteText("RootDir", "C:\\QTS");
    }
    const std::string machineFile = environment.MachineRegistryFile();
    const std::string before = ReadBytes(machineFile);
    fs::permissions(environment.Root(), fs::perms::owner_all | fs::perms::group_read |
                                            fs::perms::group_exec | fs::perms::others_read |
                                            fs::perms::others_exec);
    fs::permissions(machineFile,
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    // The user's own root lies in a folder anybody may write.
    const std::string open = environment.Root() + "/open";
    fs::create_directory(open);
    fs::permissions(open, fs::perms::all);
    const std::string userFile = open + "/user.reg";

    std::string whyNot;
    const int failures = AsUnprivilegedUser(
        [&] {
            SetEnv("QTS_USER_REGISTRY", userFile);
            int failed = 0; // bit n: check n went wrong
            TRegistry registry;
            registry.SelectRoot(HKEY_LOCAL_MACHINE_ROOT);
            failed |= registry.OpenKeyPath("\\Software\\Quillon", false) ? 1 : 0;
            failed |= registry.OpenKeyPath("\\Software\\Quillon\\New", true) ? 2 : 0;
            failed |=
                registry.OpenKeyPath("", false) || registry.OpenKeyPath("Software", false) ? 4 : 0;
            failed |= registry.RemoveKeyTree("\\Software\\Quillon") ? 8 : 0;
            registry.MoveKeyTree("\\Software\\Quillon", "\\Software\\Moved", true);
            failed |= registry.HasOpenKey() ? 16 : 0;
            // The user's own root stays usable.
            registry.SelectRoot(HKEY_CURRENT_USER_ROOT);
            failed |= registry.OpenKeyPath("\\Software\\Mine", true) ? 0 : 32;
            return failed;
        },
        whyNot);
    SetEnv("QTS_USER_REGISTRY", environment.UserRegistryFile());
    if (failures < 0)
        GTEST_SKIP() << whyNot;
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(ReadBytes(machineFile), before);
    EXPECT_TRUE(fs::exists(userFile));
}

TEST_F(FileRegistry, MissingRootInAFolderTheUserMayNotWriteIsRefusedToo)
{
    fs::permissions(environment.Root(), fs::perms::owner_all | fs::perms::group_read |
                                            fs::perms::group_exec | fs::perms::others_read |
                                            fs::perms::others_exec);
    const std::string closed = environment.Root() + "/closed";
    fs::create_directory(closed);
    fs::permissions(closed, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::others_read |
                                fs::perms::others_exec);
    SetEnv("QTS_MACHINE_REGISTRY", closed + "/sub/machine.reg");
    std::string whyNot;
    const int failures = AsUnprivilegedUser(
        [&] {
            TRegistry registry;
            registry.SelectRoot(HKEY_LOCAL_MACHINE_ROOT);
            return (registry.OpenKeyPath("\\Software", true) ? 1 : 0) |
                   (registry.OpenKeyPath("", false) ? 2 : 0);
        },
        whyNot);
    if (failures < 0)
        GTEST_SKIP() << whyNot;
    EXPECT_EQ(failures, 0);
    EXPECT_FALSE(fs::exists(closed + "/sub"));
}

} // namespace

#endif
