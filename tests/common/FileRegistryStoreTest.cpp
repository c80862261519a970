// The registry store of systems without a registry: its REGEDIT4 files, sharing between
// processes, crashes, damaged files and access rights.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
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

void WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

class FileRegistry : public testing::Test
{
protected:
    // Type and bytes of a value as a freshly created store reads them from the file.
    Typed Stored(const std::string& key, const std::string& name)
    {
        FileRegistryStore store(environment.UserRegistryFile(), environment.MachineRegistryFile());
        std::unique_ptr<RegistryKey> handle;
        Typed typed{0xFFFFFFFF, "(missing)"};
        if (store.OpenKey(RegistryRoot::CurrentUser, nullptr, key, KeyAccess::Read, handle) ==
            StoreStatus::Ok)
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
        "\"Minus\"=dword:FFFFFFFF\r\n"
        "\"Blob\"=hex:00,01,fe,\\\r\n"
        "  ff\r\n"
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
    EXPECT_EQ(Stored(aliases, "Minus"), Typed(4, std::string("\xff\xff\xff\xff", 4)));
    EXPECT_EQ(Stored(aliases, "Blob"), Typed(3, std::string("\x00\x01\xfe\xff", 4)));
    EXPECT_EQ(Stored(aliases, "Odd"), Typed(0x12345678, ""));
    EXPECT_EQ(Stored(aliases, "Gone").second, "(missing)");

    TRegistry registry;
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
        {"EndsInCr", {1, "ab\r"}},
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
    // Torn lines longer than the record appended after them, which must not leave their ends.
    for (const std::string& torn :
         {"\"Path\"=\"C:\\\\" + std::string(100, 'd'),
          "\"Blob\"=hex:01,02,\\\r\n  03,\\\r\n" + std::string(100, ' ')}) {
        const std::string kept =
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Torn]\r\n\"Kept\"=\"yes\"\r\n";
        WriteBytes(environment.UserRegistryFile(), kept + torn);
        testing::internal::CaptureStderr();
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKeyPath("\\Software\\Torn", false)) << torn;
        EXPECT_EQ(registry.ReadText("Kept"), "yes");
        EXPECT_FALSE(registry.HasValue("Path") || registry.HasValue("Blob")) << torn;
        registry.WriteText("After", "crash");
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(ReadBytes(environment.UserRegistryFile()),
                  kept + "[HKEY_CURRENT_USER\\Software\\Torn]\r\n\"After\"=\"crash\"\r\n\r\n");
    }
}

TEST_F(FileRegistry, MissingFileIsAnEmptyRootAndTheFirstWriteCreatesItsFolder)
{
    const std::string file = environment.Root() + "/not/yet/there/user.reg";
    SetEnv("QTS_USER_REGISTRY", file);
    TRegistry registry;
    EXPECT_FALSE(registry.OpenKeyPath("\\Software", false));
    EXPECT_TRUE(registry.OpenKeyPath("", false));
    EXPECT_FALSE(fs::exists(file));
    ASSERT_TRUE(registry.OpenKeyPath("\\Software\\First", true));
    EXPECT_EQ(ReadBytes(file), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\First]\r\n\r\n");
}

// Runs `body` in a child process, whose exit status is its answer (254 when it throws).
pid_t Spawn(const std::function<int()>& body)
{
    const pid_t child = fork();
    if (child == 0) {
        int answer = 254;
        try {
            answer = body();
        } catch (...) {
        }
        _exit(answer);
    }
    return child;
}

// The exit status of a child, or -1 when it did not end by itself.
int Reap(pid_t child)
{
    int status = 0;
    return waitpid(child, &status, 0) == child && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(FileRegistry, TwoProcessesWritingAtOnceLoseNothing)
{
    constexpr int Count = 150;
    std::vector<pid_t> children;
    for (const char* prefix : {"First", "Second"})
        children.push_back(Spawn([&] {
            int written = 0;
            WriteRun(prefix, Count, [&](int) { ++written; });
            return written == Count ? 0 : 1;
        }));
    for (const pid_t child : children)
        EXPECT_EQ(Reap(child), 0);
    // Each process has compacted the file under the other: 600 appended writes of 2 KB would
    // make more than a megabyte.
    EXPECT_LT(fs::file_size(environment.UserRegistryFile()), 200u * 1024u);
    EXPECT_FALSE(fs::exists(environment.UserRegistryFile() + ".tmp"));
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKeyPath("\\Software\\Shared", false));
    for (const std::string prefix : {"First", "Second"})
        for (int n = 0; n < Count; ++n)
            EXPECT_EQ(registry.ReadText(prefix + std::to_string(n)), "value " + std::to_string(n));
}

TEST_F(FileRegistry, ProcessKilledWhileWritingLeavesEveryFinishedWrite)
{
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t child = Spawn([&] {
        close(pipeEnds[0]);
        WriteRun("Value", 1000000, [&](int n) {
            if (write(pipeEnds[1], &n, sizeof n) != sizeof n)
                _exit(1);
        });
        return 0;
    });
    close(pipeEnds[1]);
    int last = -1, n = 0;
    while (last < 300 && read(pipeEnds[0], &n, sizeof n) == sizeof n)
        last = n;
    kill(child, SIGKILL);
    while (read(pipeEnds[0], &n, sizeof n) == sizeof n)
        last = n;
    close(pipeEnds[0]);
    ASSERT_EQ(Reap(child), -1);
    ASSERT_GE(last, 300);

    testing::internal::CaptureStderr();
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKeyPath("\\Software\\Shared", false));
    for (int i = 0; i <= last; ++i)
        ASSERT_EQ(registry.ReadText("Value" + std::to_string(i)), "value " + std::to_string(i));
    registry.WriteText("Afterwards", "fine");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(Stored("Software\\Shared", "Afterwards").second, std::string("fine\0", 5));
}

// Runs `checks` where file modes bind: as user "nobody" in a child process when this process
// runs as root (as CI does), else right here. Answers what `checks` answered, or -1 when it
// cannot run unprivileged.
int AsUnprivilegedUser(const std::function<int()>& checks)
{
    if (geteuid() != 0)
        return checks();
    const passwd* nobody = getpwnam("nobody");
    if (!nobody)
        return -1;
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    const int answer = Reap(Spawn([&] {
        if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
            return 255;
        return checks();
    }));
    return answer == 255 ? -1 : answer;
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
    const auto readable = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    const auto enterable = fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
    fs::permissions(environment.Root(), fs::perms::owner_write | readable | enterable);
    fs::permissions(machineFile, readable);
    // A missing root in a folder the user may not write is refused too.
    const std::string closed = environment.Root() + "/closed";
    fs::create_directory(closed);
    fs::permissions(closed, readable | enterable);
    // The user's own root lies in a folder anybody may write.
    const std::string open = environment.Root() + "/open";
    fs::create_directory(open);
    fs::permissions(open, fs::perms::all);
    SetEnv("QTS_USER_REGISTRY", open + "/user.reg");

    const int failures = AsUnprivilegedUser([&] {
        int failed = 0; // bit n: check n went wrong
        TRegistry registry;
        registry.SelectRoot(HKEY_LOCAL_MACHINE_ROOT);
        failed |= registry.OpenKeyPath("\\Software\\Quillon", false) ? 1 : 0;
        failed |= registry.OpenKeyPath("\\Software\\Quillon\\New", true) ? 2 : 0;
        failed |=
            registry.OpenKeyPath("", false) || registry.OpenKeyPath("Software", false) ? 4 : 0;
        failed |= registry.RemoveKeyTree("\\Software\\Quillon") ? 8 : 0;
        registry.MoveKeyTree("\\Software\\Quillon", "\\Software\\Moved", true);
        // The user's own root stays usable.
        registry.SelectRoot(HKEY_CURRENT_USER_ROOT);
        failed |= registry.OpenKeyPath("\\Software\\Mine", true) ? 0 : 16;
        SetEnv("QTS_MACHINE_REGISTRY", closed + "/sub/machine.reg");
        TRegistry missing;
        missing.SelectRoot(HKEY_LOCAL_MACHINE_ROOT);
        failed |=
            missing.OpenKeyPath("\\Software", true) || missing.OpenKeyPath("", false) ? 32 : 0;
        return failed;
    });
    if (failures < 0)
        GTEST_SKIP() << "running as root with no way to run the checks as user 'nobody'";
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(ReadBytes(machineFile), before);
    EXPECT_TRUE(fs::exists(open + "/user.reg"));
    EXPECT_FALSE(fs::exists(closed + "/sub"));
}

} // namespace

#endif
