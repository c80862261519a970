// The registry store of systems without a registry: its REGEDIT4 files, sharing between
// processes, crashes, damaged files and access rights.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <numeric>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <grp.h>
#include <locale.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <wctype.h>

#include "FileRegistryStore.h"
#include "FileRegistryStoreText.h"
#include "PosixFile.h"
#include "RegistryNames.h"
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

// Temporary files that writers left behind in a folder.
std::vector<std::string> Leftovers(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.find(".tmp") != std::string::npos)
            names.push_back(name);
    }
    return names;
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
    EXPECT_EQ(Leftovers(environment.Root()), std::vector<std::string>{});
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKeyPath("\\Software\\Shared", false));
    for (const std::string prefix : {"First", "Second"})
        for (int n = 0; n < Count; ++n)
            EXPECT_EQ(registry.ReadText(prefix + std::to_string(n)), "value " + std::to_string(n));
}

// A store of several megabytes is read into memory of its own: every value is there, changes
// another process appends afterwards are seen, and a damaged line still makes the root unusable.
TEST_F(FileRegistry, LargeStoreReadsWholeFollowsAppendsAndStillFindsDamage)
{
    constexpr int Keys = 30000;
    std::string file = "REGEDIT4\r\n\r\n";
    for (int n = 0; n < Keys; ++n)
        file += "[HKEY_CURRENT_USER\\Big\\K" + std::to_string(n) + "]\r\n\"Path\"=\"C:\\\\db\\\\" +
                std::to_string(n) + ".mdb\"\r\n\"Flag\"=dword:0000002a\r\n\r\n";
    ASSERT_GT(file.size(), 2u << 20);
    WriteBytes(environment.UserRegistryFile(), file);

    FileRegistryStore reader(environment.UserRegistryFile(), environment.MachineRegistryFile());
    std::unique_ptr<RegistryKey> big;
    ASSERT_EQ(reader.OpenKey(RegistryRoot::CurrentUser, nullptr, "Big", KeyAccess::Read, big),
              StoreStatus::Ok);
    RegistryKeyInfo info;
    ASSERT_EQ(reader.QueryInfo(*big, info), StoreStatus::Ok);
    EXPECT_EQ(info.SubKeys, static_cast<std::uint32_t>(Keys));
    EXPECT_EQ(Stored("Big\\K0", "Path"), Typed(1, std::string("C:\\db\\0.mdb\0", 12)));
    EXPECT_EQ(Stored("Big\\K29999", "Flag"), Typed(4, std::string("\x2a\0\0\0", 4)));

    std::unique_ptr<RegistryKey> last;
    ASSERT_EQ(
        reader.OpenKey(RegistryRoot::CurrentUser, nullptr, "Big\\K29999", KeyAccess::Read, last),
        StoreStatus::Ok);
    {
        FileRegistryStore other(environment.UserRegistryFile(), environment.MachineRegistryFile());
        std::unique_ptr<RegistryKey> key;
        ASSERT_EQ(other.OpenKey(RegistryRoot::CurrentUser, nullptr, "Big\\K29999",
                                KeyAccess::ReadWrite, key),
                  StoreStatus::Ok);
        ASSERT_EQ(other.SetValue(*key, "Path", 1, std::string("D:\\moved.mdb\0", 13)),
                  StoreStatus::Ok);
    }
    std::uint32_t type = 0;
    std::string data;
    ASSERT_EQ(reader.QueryValue(*last, "Path", type, data), StoreStatus::Ok);
    EXPECT_EQ(data, std::string("D:\\moved.mdb\0", 13));

    WriteBytes(environment.UserRegistryFile(), file + "no value here\r\n");
    testing::internal::CaptureStderr();
    EXPECT_EQ(Stored("Big\\K0", "Path").second, "(missing)");
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("line " + std::to_string(3 + 4 * Keys)), std::string::npos) << said;
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

// Runs `checks` in a child process as a user of the given ids (which need no account), when this
// process runs as root; answers what `checks` answered, or -1 when it cannot run so.
int AsUser(uid_t uid, gid_t gid, const std::vector<gid_t>& groups,
           const std::function<int()>& checks)
{
    if (geteuid() != 0)
        return -1;
    const int answer = Reap(Spawn([&] {
        if (setgroups(groups.size(), groups.data()) != 0 || setgid(gid) != 0 || setuid(uid) != 0)
            return 255;
        return checks();
    }));
    return answer == 255 ? -1 : answer;
}

// Owner, group and permissions of a file (not followed when it is a link).
struct Status {
    uid_t owner = 0;
    gid_t group = 0;
    mode_t mode = 0;
    bool operator==(const Status& o) const
    {
        return owner == o.owner && group == o.group && mode == o.mode;
    }
};

std::ostream& operator<<(std::ostream& out, const Status& status)
{
    return out << status.owner << ":" << status.group << " " << std::oct << status.mode << std::dec;
}

Status StatusOf(const std::string& path)
{
    struct stat st {
    };
    if (lstat(path.c_str(), &st) != 0)
        return {};
    return {st.st_uid, st.st_gid, st.st_mode & 07777};
}

// Writes values with a large scratch value rewritten between them (as WriteRun does), into the
// root chosen, so that the file keeps needing compaction. Answers the writes that failed.
int WriteMany(RegistryRoot root, const std::string& prefix, int count)
{
    TRegistry registry;
    registry.SelectRoot(root);
    if (!registry.OpenKeyPath("\\Software\\Shared", true))
        return count;
    int failed = 0;
    for (int n = 0; n < count; ++n) {
        try {
            registry.WriteText(prefix + std::to_string(n), "value " + std::to_string(n));
            registry.WriteText(prefix + "Scratch",
                               std::string(2000, static_cast<char>('a' + n % 26)));
        } catch (const ERegistryException&) {
            ++failed;
        }
    }
    return failed;
}

// How many of the values WriteMany wrote are missing or wrong.
int MissingOf(RegistryRoot root, const std::string& prefix, int count)
{
    TRegistry registry;
    registry.SelectRoot(root);
    if (!registry.OpenKeyPath("\\Software\\Shared", false))
        return count;
    int missing = 0;
    for (int n = 0; n < count; ++n)
        missing += registry.ReadText(prefix + std::to_string(n)) != "value " + std::to_string(n);
    return missing;
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

// How often a text occurs in another.
int Occurrences(const std::string& text, const std::string& part)
{
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

ino_t InodeOf(const std::string& path)
{
    struct stat st {
    };
    return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

// An administrator writes stores that lie in folders another user may write too: the links that
// user planted at the names a store uses lead nowhere.
TEST_F(FileRegistry, LinksAnotherUserPlantsAreNeverWrittenThrough)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root, to plant links as another user";
    const std::string secret = environment.Root() + "/secret";
    WriteBytes(secret, "the administrator's own\n");
    fs::permissions(secret, fs::perms::owner_read | fs::perms::owner_write);
    const std::string madeByLock = environment.Root() + "/made-by-lock";
    const std::string madeByStore = environment.Root() + "/made-by-store";
    // One store written already, one whose lock file is missing, one not created yet.
    std::vector<std::string> stores;
    for (int n = 0; n < 3; ++n) {
        const std::string folder = environment.Root() + "/shared" + std::to_string(n);
        fs::create_directory(folder);
        fs::permissions(folder, fs::perms::all);
        stores.push_back(folder + "/machine.reg");
    }
    for (int n = 0; n < 2; ++n) {
        SetEnv("QTS_MACHINE_REGISTRY", stores[n]);
        ASSERT_EQ(WriteMany(RegistryRoot::LocalMachine, "Before", 1), 0);
    }
    fs::remove(stores[1] + ".lock");
    const int planted = AsUnprivilegedUser([&] {
        return (symlink(secret.c_str(), (stores[0] + ".tmp").c_str()) == 0 ? 0 : 1) |
               (symlink(madeByLock.c_str(), (stores[1] + ".lock").c_str()) == 0 ? 0 : 2) |
               (symlink(madeByStore.c_str(), stores[2].c_str()) == 0 ? 0 : 4);
    });
    ASSERT_EQ(planted, 0);

    // Writes enough to compact the first store several times over.
    SetEnv("QTS_MACHINE_REGISTRY", stores[0]);
    EXPECT_EQ(WriteMany(RegistryRoot::LocalMachine, "Admin", 100), 0);
    EXPECT_EQ(MissingOf(RegistryRoot::LocalMachine, "Admin", 100), 0);
    EXPECT_LT(fs::file_size(stores[0]), 100u * 1024u);
    EXPECT_FALSE(fs::is_symlink(stores[0]));
    EXPECT_EQ(ReadBytes(secret), "the administrator's own\n");
    EXPECT_EQ(StatusOf(secret), (Status{0, 0, 0600}));

    // A link at the lock's name or the store's name: nothing is written, and the reason is told.
    for (int n = 1; n < 3; ++n) {
        SCOPED_TRACE(stores[n]);
        SetEnv("QTS_MACHINE_REGISTRY", stores[n]);
        testing::internal::CaptureStderr();
        EXPECT_EQ(WriteMany(RegistryRoot::LocalMachine, "Admin", 1), 1);
        const std::string error = testing::internal::GetCapturedStderr();
        EXPECT_NE(error.find(stores[n] + (n == 1 ? ".lock" : "")), std::string::npos) << error;
        EXPECT_NE(error.find("symbolic link"), std::string::npos) << error;
        TRegistry registry;
        registry.SelectRoot(HKEY_LOCAL_MACHINE_ROOT);
        EXPECT_EQ(registry.OpenKeyPath("", false), n == 1);
    }
    EXPECT_FALSE(fs::exists(madeByLock));
    EXPECT_FALSE(fs::exists(madeByStore));
}

// A user keeps the store in a dotfiles folder and links to it from where the program looks.
TEST_F(FileRegistry, StoreReachedThroughALinkLosesNoWriteAndStaysALink)
{
    const std::string dotfiles = environment.Root() + "/dotfiles";
    const std::string config = environment.Root() + "/config";
    fs::create_directory(dotfiles);
    fs::create_directory(config);
    WriteBytes(dotfiles + "/user.reg", "REGEDIT4\r\n\r\n");
    fs::create_symlink("../dotfiles/user.reg", config + "/user.reg");
    SetEnv("QTS_USER_REGISTRY", config + "/user.reg");

    constexpr int Count = 100;
    const std::vector<std::string> prefixes = {"First", "Second", "Third", "Fourth"};
    std::vector<pid_t> writers;
    for (const std::string& prefix : prefixes)
        writers.push_back(Spawn(
            [&] { return WriteMany(RegistryRoot::CurrentUser, prefix, Count) == 0 ? 0 : 1; }));
    for (const pid_t writer : writers)
        EXPECT_EQ(Reap(writer), 0);
    for (const std::string& prefix : prefixes)
        EXPECT_EQ(MissingOf(RegistryRoot::CurrentUser, prefix, Count), 0) << prefix;

    // The link stays; its target was compacted in its own folder (800 KB were appended).
    EXPECT_TRUE(fs::is_symlink(config + "/user.reg"));
    EXPECT_LT(fs::file_size(dotfiles + "/user.reg"), 200u * 1024u);
    EXPECT_TRUE(fs::exists(dotfiles + "/user.reg.lock"));
    EXPECT_EQ(Leftovers(dotfiles), std::vector<std::string>{});
    EXPECT_EQ(Leftovers(config), std::vector<std::string>{});
    // Read by the target's own name, the store is the same.
    SetEnv("QTS_USER_REGISTRY", dotfiles + "/user.reg");
    for (const std::string& prefix : prefixes)
        EXPECT_EQ(MissingOf(RegistryRoot::CurrentUser, prefix, Count), 0) << prefix;
}

TEST_F(FileRegistry, StoreWithASecondHardLinkLosesNoWriteAndKeepsTheLink)
{
    const std::string file = environment.UserRegistryFile();
    const std::string backup = environment.Root() + "/backup.reg";
    WriteBytes(file, "REGEDIT4\r\n\r\n");
    fs::create_hard_link(file, backup);

    testing::internal::CaptureStderr();
    EXPECT_EQ(WriteMany(RegistryRoot::CurrentUser, "Value", 150), 0);
    EXPECT_EQ(MissingOf(RegistryRoot::CurrentUser, "Value", 150), 0);
    const std::string error = testing::internal::GetCapturedStderr();
    // Replacing the file would part the two names: it is not compacted, and says so once.
    EXPECT_EQ(fs::hard_link_count(file), 2u);
    EXPECT_EQ(ReadBytes(backup), ReadBytes(file));
    EXPECT_EQ(Occurrences(error, "hard links"), 1) << error;
}

TEST_F(FileRegistry, KeysNestedDeeperThanTheRegistryAllowsAreAParseErrorNotACrash)
{
    const std::string file = environment.UserRegistryFile();
    std::string deep = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER";
    for (int n = 0; n < 400000; ++n)
        deep += "\\k";
    deep += "]\r\n";
    WriteBytes(file, deep);
    // In a child: this crashed every program that opened the store.
    const int opened = Reap(Spawn([&] {
        testing::internal::CaptureStderr();
        bool opens = false;
        {
            TRegistry registry;
            opens = registry.OpenKeyPath("\\k", false) || registry.OpenKeyPath("", false);
        }
        const std::string error = testing::internal::GetCapturedStderr();
        return (opens ? 1 : 0) |
               (error.find(file + ": line 3: key path deeper than 512 levels") != std::string::npos
                    ? 0
                    : 2);
    }));
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(ReadBytes(file), deep);

    // 512 levels below the root are allowed, one more is not: neither created nor read.
    fs::remove(file);
    std::string path;
    for (int n = 0; n < 512; ++n)
        path += "\\k";
    {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKeyPath(path, true));
        EXPECT_FALSE(registry.OpenKeyPath("k", true));
        EXPECT_FALSE(registry.OpenKeyPath(path + "\\k", true));
        TRegistry other;
        EXPECT_TRUE(other.OpenKeyPath(path, false));
    }
    const std::string written = ReadBytes(file);
    WriteBytes(file, written + "[HKEY_CURRENT_USER" + path + "\\k]\r\n");
    testing::internal::CaptureStderr();
    {
        TRegistry registry;
        EXPECT_FALSE(registry.OpenKeyPath("\\k", false));
    }
    EXPECT_NE(testing::internal::GetCapturedStderr().find("key path deeper than 512 levels"),
              std::string::npos);
}

TEST(FileRegistryTree, TreeDeeperThanTheStackIsWalkedAndFreedWithoutRecursion)
{
    const int answer = Reap(Spawn([] {
        RegistryFile::TreeArena arena;
        RegistryFile::Node root({}, arena);
        RegistryFile::Node* node = &root;
        for (int n = 0; n < 300000; ++n) {
            node = &node->AddChild("k");
            node->fileBytes = 1;
        }
        if (root.SubtreeBytes() != 300000)
            return 1;
        if (root.RemoveChild("K") != 300000 || root.Child("k"))
            return 2;
        node = &root;
        for (int n = 0; n < 300000; ++n)
            node = &node->AddChild("k");
        return 0; // and freed with the root
    }));
    EXPECT_EQ(answer, 0);
}

// A value's name and data lie in the file's bytes where the file holds them as they are, else in
// copies of the value's own; a value set again switches between the two.
TEST(FileRegistryTree, ValueSetAgainInOtherFormsKeepsItsBytes)
{
    RegistryFile::Reader reader("HKEY_CURRENT_USER", "HKCU");
    ASSERT_TRUE(reader.Feed("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n"
                            "\"A\\\"b\"=\"x\\\\y\"\r\n"
                            "\"Plain\"=\"one\"\r\n\r\n"));
    ASSERT_TRUE(reader.Feed("[HKEY_CURRENT_USER\\K]\r\n\"a\\\"B\"=\"two\"\r\n"
                            "\"plain\"=\"t\\\\hree\"\r\n\r\n"));
    ASSERT_TRUE(reader.Feed("[HKEY_CURRENT_USER\\K]\r\n\"A\\\"B\"=hex:01,00,02\r\n"
                            "\"PLAIN\"=\"four\"\r\n\r\n"));
    const RegistryFile::Node* key = reader.Tree().Child("k");
    ASSERT_NE(key, nullptr);
    const RegistryFile::Value* quoted = key->FindValue("a\"b");
    const RegistryFile::Value* plain = key->FindValue("plain");
    ASSERT_NE(quoted, nullptr);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(quoted->Name(), "A\"b");
    EXPECT_EQ(quoted->type, 3u);
    EXPECT_EQ(quoted->Data(), std::string("\x01\x00\x02", 3));
    EXPECT_EQ(plain->Name(), "Plain");
    EXPECT_EQ(plain->Data(), std::string("four\0", 5));
}

TEST(FileRegistryTree, KeysNamedBesideEachOtherLandUnderTheRightParent)
{
    RegistryFile::Reader reader("HKEY_CURRENT_USER", "HKCU");
    ASSERT_TRUE(reader.Feed("REGEDIT4\r\n\r\n"
                            "[HKEY_CURRENT_USER\\K\\P\\A]\r\n\"v\"=\"1\"\r\n\r\n"
                            "[HKEY_CURRENT_USER\\K\\P\\B]\r\n\r\n"
                            "[HKEY_CURRENT_USER\\K\\Q]\r\n\r\n"
                            "[HKEY_CURRENT_USER\\K\\P\\A\\Deeper]\r\n\r\n"
                            "[HKCU\\K\\P\\C]\r\n\r\n"
                            "[HKEY_CURRENT_USER\\K\\P\\B2]\r\n\r\n"
                            "[-HKEY_CURRENT_USER\\K\\P]\r\n\r\n"
                            "[HKEY_CURRENT_USER\\K\\P\\D]\r\n\"v\"=\"2\"\r\n\r\n"
                            "[HKEY_CURRENT_USER\\K\\p\\E]\r\n\r\n"))
        << reader.Error();
    const RegistryFile::Node* k = reader.Tree().Child("K");
    ASSERT_NE(k, nullptr);
    ASSERT_EQ(k->ChildCount(), 2u);
    EXPECT_NE(k->Child("Q"), nullptr);
    const RegistryFile::Node* p = k->Child("P");
    ASSERT_NE(p, nullptr);
    ASSERT_EQ(p->ChildCount(), 2u);
    EXPECT_EQ(p->ChildAt(0).name, "D");
    EXPECT_EQ(p->ChildAt(1).name, "E");
    EXPECT_EQ(p->Child("D")->FindValue("v")->Data(), std::string("2\0", 2));
    EXPECT_EQ(reader.Tree().ChildCount(), 1u);
}

TEST(FileRegistryTree, ValuesStayInNameOrderWhateverTheirNumberAndOrder)
{
    // Values set and deleted at random, in records fed one at a time, against a map that does
    // the same: a key passes from few values to many and back, in every order.
    struct ByRegistryName {
        bool operator()(const std::string& a, const std::string& b) const
        {
            return RegistryFile::CompareNames(a, b) < 0;
        }
    };
    std::map<std::string, std::pair<std::string, std::string>, ByRegistryName> expected;
    RegistryFile::Reader reader("HKEY_CURRENT_USER", "HKCU");
    ASSERT_TRUE(reader.Feed("REGEDIT4\r\n\r\n"));
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        const int number = static_cast<int>(random() % 60);
        const std::string name = std::string(random() % 2 ? "V" : "v") + (number < 10 ? "0" : "") +
                                 std::to_string(number);
        std::string record = "[HKEY_CURRENT_USER\\K]\r\n\"" + name + "\"=";
        // Deletions weigh more once the key has many values, so that it shrinks again.
        if (random() % 100 < (expected.size() > 40 ? 60u : 25u)) {
            record += "-";
            expected.erase(name);
        } else {
            const std::string data = "d" + std::to_string(round) + (round % 3 ? "" : "\\x");
            record += "\"" + (round % 3 ? data : "d" + std::to_string(round) + "\\\\x") + "\"";
            auto [at, added] = expected.try_emplace(name, name, data);
            at->second.second = data;
        }
        ASSERT_TRUE(reader.Feed(record + "\r\n\r\n")) << reader.Error();
        const RegistryFile::Node* key = reader.Tree().Child("K");
        ASSERT_NE(key, nullptr);
        ASSERT_EQ(key->ValueCount(), expected.size()) << "round " << round;
        std::size_t index = 0;
        for (const auto& [lookup, spellingAndData] : expected) {
            const RegistryFile::Value& value = key->ValueAt(index++);
            ASSERT_EQ(value.Name(), spellingAndData.first) << "round " << round;
            ASSERT_EQ(value.Data(), spellingAndData.second + '\0') << "round " << round;
            ASSERT_EQ(key->FindValue(lookup), &value);
            std::string otherCase = lookup;
            otherCase[0] = otherCase[0] == 'V' ? 'v' : 'V';
            ASSERT_EQ(key->FindValue(otherCase), &value);
        }
    }
}

// A file read in one go puts the values of each new key in order only at the key's end; it must
// come to the same tree, and the same estimate of live bytes, as the same lines read one record
// at a time. Keys repeat the names of the key before (in the same or another order, spelling or
// number), repeat a name within a key, delete values and hold more than fit side by side.
TEST(FileRegistryTree, KeysReadInOneGoEqualTheSameLinesReadOneAtATime)
{
    std::mt19937 random(11);
    const auto pick = [&random](std::size_t count) { return random() % count; };
    std::string whole = "REGEDIT4\r\n\r\n";
    std::vector<std::string> records;
    std::vector<std::string> names;
    for (int key = 0; key < 300; ++key) {
        const std::string header =
            "[HKEY_CURRENT_USER\\K\\A" + std::to_string(pick(key % 7 ? 1000 : 20)) + "]\r\n";
        if (pick(3) != 0) {
            // Half of the keys name each value once.
            std::vector<std::size_t> numbers(45);
            std::iota(numbers.begin(), numbers.end(), 0);
            std::shuffle(numbers.begin(), numbers.end(), random);
            const bool once = pick(2);
            names.clear();
            const std::size_t count = pick(5) == 0 ? 33 + pick(10) : pick(20);
            for (std::size_t n = 0; n < count; ++n)
                names.push_back((pick(2) ? "V" : "v") +
                                std::to_string(numbers[once ? n : pick(45)]) +
                                (pick(8) ? "" : "\\\"q"));
        } else if (!names.empty() && pick(2)) {
            std::swap(names[pick(names.size())], names[pick(names.size())]);
        }
        whole += header;
        records.push_back(header + "\r\n");
        for (const std::string& name : names) {
            std::string line = "\"" + name + "\"=";
            switch (pick(6)) {
            case 0:
                line += "-";
                break;
            case 1:
                line += "dword:" + std::to_string(10000 + pick(90000));
                break;
            case 2:
                line += "hex:01," + std::to_string(10 + pick(90));
                break;
            default:
                line += "\"t" + std::to_string(key) + (pick(2) ? "\\\\x" : "") + "\"";
            }
            whole += line + "\r\n";
            records.push_back(header + line + "\r\n\r\n");
        }
        whole += "\r\n";
    }
    RegistryFile::Reader inOneGo("HKEY_CURRENT_USER", "HKCU");
    ASSERT_TRUE(inOneGo.Feed(whole)) << inOneGo.Error();
    RegistryFile::Reader byRecord("HKEY_CURRENT_USER", "HKCU");
    ASSERT_TRUE(byRecord.Feed("REGEDIT4\r\n\r\n"));
    for (const std::string& record : records)
        ASSERT_TRUE(byRecord.Feed(record)) << byRecord.Error();

    EXPECT_EQ(inOneGo.LiveBytes(), byRecord.LiveBytes());
    const RegistryFile::Node* read = inOneGo.Tree().Child("K");
    const RegistryFile::Node* expected = byRecord.Tree().Child("K");
    ASSERT_NE(read, nullptr);
    ASSERT_NE(expected, nullptr);
    ASSERT_EQ(read->ChildCount(), expected->ChildCount());
    for (std::size_t k = 0; k < expected->ChildCount(); ++k) {
        const RegistryFile::Node& key = read->ChildAt(k);
        const RegistryFile::Node& wanted = expected->ChildAt(k);
        ASSERT_EQ(key.name, wanted.name);
        ASSERT_EQ(key.ValueCount(), wanted.ValueCount()) << key.name;
        for (std::size_t v = 0; v < wanted.ValueCount(); ++v) {
            const RegistryFile::Value& value = key.ValueAt(v);
            ASSERT_EQ(value.Name(), wanted.ValueAt(v).Name()) << key.name;
            ASSERT_EQ(value.type, wanted.ValueAt(v).type) << key.name << " " << value.Name();
            ASSERT_EQ(value.Data(), wanted.ValueAt(v).Data()) << key.name << " " << value.Name();
            std::string otherCase(value.Name());
            otherCase[0] = otherCase[0] == 'V' ? 'v' : 'V';
            ASSERT_EQ(key.FindValue(otherCase), &value) << key.name;
        }
    }
}

// Texts of every length, with every character that needs an escape at every place, come back
// byte for byte from the lines the writer makes of them.
TEST(FileRegistryTree, QuotedTextsReadBackWithTheirEscapesWhereverTheyStand)
{
    const std::string special("\"\\\r\n", 4);
    std::string file = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n";
    std::vector<std::pair<std::string, std::string>> written;
    for (std::size_t length = 0; length <= 20; ++length)
        for (std::size_t at = 0; at <= length; ++at)
            for (const char c : special) {
                std::string text(length, 'a');
                if (at < length)
                    text[at] = c;
                std::string name = "n" + std::to_string(written.size()) + text.substr(0, at);
                file += RegistryFile::ValueLine(name, 1, text + '\0') + "\r\n";
                written.emplace_back(std::move(name), text + '\0');
            }
    RegistryFile::Reader reader("HKEY_CURRENT_USER", "HKCU");
    ASSERT_TRUE(reader.Feed(file)) << reader.Error();
    const RegistryFile::Node* key = reader.Tree().Child("K");
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(key->ValueCount(), written.size());
    for (const auto& [name, data] : written) {
        const RegistryFile::Value* value = key->FindValue(name);
        ASSERT_NE(value, nullptr) << name;
        EXPECT_EQ(value->Name(), name);
        EXPECT_EQ(value->Data(), data) << name;
    }
}

// A key that has subkeys and more values than lie side by side keeps both, and each shrinks
// back on its own.
TEST(FileRegistryTree, KeyWithSubkeysAndManyValuesKeepsEachApart)
{
    std::string file = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K\\B]\r\n\"In B\"=\"b\"\r\n\r\n"
                       "[HKEY_CURRENT_USER\\K]\r\n";
    for (int n = 39; n >= 0; --n)
        file +=
            "\"v" + std::to_string(100 + n) + "\"=dword:0000000" + std::to_string(n % 10) + "\r\n";
    file += "\r\n[HKEY_CURRENT_USER\\K\\a]\r\n\r\n";
    RegistryFile::Reader reader("HKEY_CURRENT_USER", "HKCU");
    ASSERT_TRUE(reader.Feed(file)) << reader.Error();
    const RegistryFile::Node* key = reader.Tree().Child("k");
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(key->ValueCount(), 40u);
    EXPECT_EQ(key->ValueAt(0).Name(), "v100");
    EXPECT_EQ(key->ValueAt(39).Name(), "v139");
    ASSERT_EQ(key->ChildCount(), 2u);
    EXPECT_EQ(key->ChildAt(0).name, "a");
    EXPECT_EQ(key->ChildAt(1).name, "B");
    EXPECT_EQ(key->LongestChildName(), 1u);

    std::string removals = "[HKEY_CURRENT_USER\\K]\r\n";
    for (int n = 0; n < 38; ++n)
        removals += "\"V" + std::to_string(100 + n) + "\"=-\r\n";
    ASSERT_TRUE(reader.Feed(removals + "\r\n[-HKEY_CURRENT_USER\\K\\A]\r\n\r\n")) << reader.Error();
    ASSERT_EQ(key->ValueCount(), 2u);
    EXPECT_EQ(key->ValueAt(0).Name(), "v138");
    EXPECT_EQ(key->FindValue("V139")->Data(), std::string("\x09\0\0\0", 4));
    ASSERT_EQ(key->ChildCount(), 1u);
    ASSERT_NE(key->Child("b"), nullptr);
    EXPECT_EQ(key->Child("b")->FindValue("in b")->Data(), std::string("b\0", 2));
    EXPECT_EQ(key->Child("a"), nullptr);
    EXPECT_EQ(RegistryFile::WholeFile(reader.Tree(), "HKEY_CURRENT_USER"),
              "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n\"v138\"=dword:00000008\r\n"
              "\"v139\"=dword:00000009\r\n\r\n[HKEY_CURRENT_USER\\K\\B]\r\n\"In B\"=\"b\"\r\n\r\n");
}

TEST(FileRegistryTree, SubkeysListInNameOrderHoweverTheyWereAdded)
{
    RegistryFile::TreeArena arena;
    RegistryFile::Node key("K", arena);
    key.AddChild("Beta");
    key.AddChild("Gamma ray");
    ASSERT_EQ(key.ChildCount(), 2u);
    EXPECT_EQ(key.ChildAt(1).name, "Gamma ray");
    EXPECT_EQ(key.LongestChildName(), 9u);
    key.AddChild("alpha");
    key.AddChild("zeta");
    std::vector<std::string> listed;
    for (std::size_t i = 0; i < key.ChildCount(); ++i)
        listed.emplace_back(key.ChildAt(i).name);
    EXPECT_EQ(listed, (std::vector<std::string>{"alpha", "Beta", "Gamma ray", "zeta"}));
    EXPECT_EQ(key.Child("GAMMA RAY"), &key.ChildAt(2));

    for (const char* name : {"alpha", "Beta", "Gamma ray", "zeta"})
        key.RemoveChild(name);
    EXPECT_EQ(key.ChildCount(), 0u);
    EXPECT_EQ(key.LongestChildName(), 0u);
}

TEST_F(FileRegistry, StorePathThatIsNoRegularFileIsRefusedAtOnce)
{
    const std::string file = environment.UserRegistryFile();
    const std::vector<std::pair<std::string, std::function<bool()>>> kinds = {
        {"named pipe", [&] { return mkfifo(file.c_str(), 0666) == 0; }},
        {"folder", [&] { return fs::create_directory(file); }},
        {"socket",
         [&] {
             const int socketFd = socket(AF_UNIX, SOCK_STREAM, 0);
             sockaddr_un address{};
             address.sun_family = AF_UNIX;
             std::strncpy(address.sun_path, file.c_str(), sizeof address.sun_path - 1);
             const bool bound =
                 bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
             close(socketFd);
             return bound;
         }},
        {"device", [&] { return symlink("/dev/null", file.c_str()) == 0; }},
    };
    for (const auto& [kind, make] : kinds) {
        SCOPED_TRACE(kind);
        fs::remove_all(file);
        ASSERT_TRUE(make());
        const int failures = Reap(Spawn([&] {
            alarm(30); // a hang ends the child and fails the test
            testing::internal::CaptureStderr();
            int failed = 0;
            {
                TRegistry registry;
                failed |= registry.OpenKeyPath("", false) ? 1 : 0;
                failed |= registry.OpenKeyPath("\\Software\\New", true) ? 2 : 0;
                // The other root is not affected.
                registry.SelectRoot(HKEY_LOCAL_MACHINE_ROOT);
                failed |= registry.OpenKeyPath("\\Software\\Machine", true) ? 0 : 4;
            }
            const std::string error = testing::internal::GetCapturedStderr();
            failed |= error.find(file + ": ") != std::string::npos &&
                              error.find("not a regular file") != std::string::npos
                          ? 0
                          : 8;
            return failed;
        }));
        EXPECT_EQ(failures, 0);
        EXPECT_FALSE(fs::is_regular_file(file));
    }
}

TEST_F(FileRegistry, LockFileOpensOnlyToThoseWhoMayWriteTheStore)
{
    const std::string file = environment.UserRegistryFile();
    const std::string lock = file + ".lock";
    const mode_t mask = umask(022);
    {
        TRegistry registry;
        EXPECT_TRUE(registry.OpenKeyPath("\\Software", true));
    }
    umask(mask);
    EXPECT_EQ(StatusOf(file).mode, 0644u);
    EXPECT_EQ(StatusOf(lock).mode, 0600u);
    // The group may write the store: it may take the lock too.
    int writes = 0;
    const auto write = [&writes] {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKeyPath("\\Software", true));
        registry.WriteText("Written", std::to_string(++writes));
    };
    chmod(file.c_str(), 0664);
    write();
    EXPECT_EQ(StatusOf(lock).mode, 0660u);
    // A lock file left open to all is closed again by the next write.
    chmod(file.c_str(), 0644);
    chmod(lock.c_str(), 0666);
    write();
    EXPECT_EQ(StatusOf(lock).mode, 0600u);

    if (geteuid() == 0) {
        // Another user may read the store, and cannot open the lock to hold it.
        const int other = AsUnprivilegedUser([&] {
            const int store = open(file.c_str(), O_RDONLY);
            const int held = open(lock.c_str(), O_RDONLY);
            const int error = errno;
            return (store >= 0 ? 0 : 1) | (held < 0 && error == EACCES ? 0 : 2);
        });
        EXPECT_EQ(other, 0);
    }
}

TEST_F(FileRegistry, WriterThatCannotGetTheLockGivesUpAfterAFewSecondsAndSaysWhy)
{
    const std::string lock = environment.UserRegistryFile() + ".lock";
    {
        TRegistry registry;
        ASSERT_TRUE(registry.OpenKeyPath("\\Software", true));
    }
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    // Anyone who may read the lock file could hold it so.
    const pid_t holder = Spawn([&] {
        const int fd = open(lock.c_str(), O_RDONLY);
        const char held = fd >= 0 && flock(fd, LOCK_SH) == 0 ? 1 : 0;
        if (write(ready[1], &held, 1) != 1 || !held)
            return 1;
        pause();
        return 0;
    });
    char held = 0;
    ASSERT_EQ(read(ready[0], &held, 1), 1);
    ASSERT_EQ(held, 1);
    const int answer = Reap(Spawn([&] {
        alarm(60); // waiting for good ends the child and fails the test
        testing::internal::CaptureStderr();
        TRegistry registry;
        if (!registry.OpenKeyPath("\\Software", true))
            return 1;
        const auto start = std::chrono::steady_clock::now();
        std::string raised;
        try {
            registry.WriteText("Name", "x");
        } catch (const ERegistryException& error) {
            raised = error.what();
        }
        const auto waited = std::chrono::steady_clock::now() - start;
        const std::string error = testing::internal::GetCapturedStderr();
        return (raised == "Failed to set data for 'Name'" ? 0 : 2) |
               (waited >= std::chrono::seconds(2) && waited < std::chrono::seconds(30) ? 0 : 4) |
               (error.find(lock + ": ") != std::string::npos ? 0 : 8);
    }));
    kill(holder, SIGKILL);
    Reap(holder);
    close(ready[0]);
    close(ready[1]);
    EXPECT_EQ(answer, 0);
    // Once the lock is free, writes go through again.
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKeyPath("\\Software", true));
    registry.WriteText("Name", "y");
    EXPECT_EQ(Stored("Software", "Name").second, std::string("y\0", 2));
}

// Two members of a group share the machine store, which belongs to one of them.
TEST_F(FileRegistry, GroupSharedStoreStaysOpenToEveryMemberThroughCompactions)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root, to act as two users of one group";
    constexpr uid_t Ann = 60001;
    constexpr uid_t Bob = 60002;
    constexpr gid_t Staff = 60000;
    const std::string folder = environment.Root() + "/staff";
    fs::create_directory(folder);
    ASSERT_EQ(chown(folder.c_str(), 0, Staff), 0);
    ASSERT_EQ(chmod(folder.c_str(), 0770), 0);
    const std::string store = folder + "/machine.reg";
    WriteBytes(store, "REGEDIT4\r\n\r\n");
    ASSERT_EQ(chown(store.c_str(), Ann, Staff), 0);
    ASSERT_EQ(chmod(store.c_str(), 0660), 0);
    SetEnv("QTS_MACHINE_REGISTRY", store);
    const auto as = [](uid_t user, const std::function<int()>& checks) {
        return AsUser(user, user, {Staff}, [&] { return std::min(checks(), 200); });
    };
    constexpr auto Machine = RegistryRoot::LocalMachine;

    // Bob writes enough to need a compaction, which would take the file from Ann: he appends.
    // (The original file is held open, so that no later file can be given its inode number.)
    const PosixFile::Descriptor holdOriginal(::open(store.c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(holdOriginal.Valid());
    const ino_t original = InodeOf(store);
    EXPECT_EQ(as(Bob, [] { return WriteMany(Machine, "Bob", 60); }), 0);
    EXPECT_EQ(StatusOf(store), (Status{Ann, Staff, 0660}));
    EXPECT_EQ(InodeOf(store), original);
    EXPECT_GT(fs::file_size(store), 100u * 1024u);
    EXPECT_EQ(StatusOf(store + ".lock"), (Status{Bob, Staff, 0660}));

    // Ann sees all of it; her writes compact the file, which stays hers and the group's.
    EXPECT_EQ(as(Ann, [] { return MissingOf(Machine, "Bob", 60) + WriteMany(Machine, "Ann", 60); }),
              0);
    EXPECT_EQ(StatusOf(store), (Status{Ann, Staff, 0660}));
    EXPECT_NE(InodeOf(store), original);

    // Bob still reads and writes everything.
    EXPECT_EQ(as(Bob,
                 [] {
                     return MissingOf(Machine, "Ann", 60) + MissingOf(Machine, "Bob", 60) +
                            WriteMany(Machine, "Later", 1);
                 }),
              0);
    EXPECT_EQ(StatusOf(store), (Status{Ann, Staff, 0660}));
}

TEST_F(FileRegistry, ManyValuesWrittenInRandomOrderAreAllThereAfterOpening)
{
    // 100,000 values in one key, as many writes in random order leave them: one record each.
    // (How long opening such a file takes is measured by bench_RegistryStoreBench.)
    constexpr int Count = 100000;
    std::vector<int> order(Count);
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    std::string text = "REGEDIT4\r\n\r\n";
    for (const int n : order)
        text += "[HKEY_CURRENT_USER\\Software\\Many]\r\n\"Value" + std::to_string(n) + "\"=\"" +
                std::to_string(n) + "\"\r\n\r\n";
    WriteBytes(environment.UserRegistryFile(), text);

    TRegistry registry;
    ASSERT_TRUE(registry.OpenKeyPath("\\Software\\Many", false));
    for (const int n : {0, Count / 2, Count - 1})
        EXPECT_EQ(registry.ReadText("Value" + std::to_string(n)), std::to_string(n));
}

TEST_F(FileRegistry, FolderTheUserMayNotWriteSaysOnceWhyNothingIsLockedOrCompacted)
{
    // The user's own store in a folder the user may not write.
    const std::string folder = environment.Root() + "/kept";
    fs::create_directory(folder);
    const std::string file = folder + "/user.reg";
    WriteBytes(file, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Shared]\r\n\r\n");
    const passwd* nobody = getpwnam("nobody");
    if (geteuid() == 0 && nobody) {
        ASSERT_EQ(chown(file.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    }
    ASSERT_EQ(chmod(folder.c_str(), 0555), 0);
    SetEnv("QTS_USER_REGISTRY", file);
    constexpr auto User = RegistryRoot::CurrentUser;

    // No lock file, and none can be made: every write fails, and the reason is told once.
    const int withoutLock = AsUnprivilegedUser([&] {
        testing::internal::CaptureStderr();
        const int failed = WriteMany(User, "Value", 3);
        const std::string error = testing::internal::GetCapturedStderr();
        return (failed == 3 ? 0 : 1) | (Occurrences(error, file + ".lock: ") == 1 ? 0 : 2) |
               (error.find(std::strerror(EACCES)) != std::string::npos ? 0 : 4);
    });
    if (withoutLock < 0)
        GTEST_SKIP() << "running as root with no way to run the checks as user 'nobody'";
    EXPECT_EQ(withoutLock, 0);

    // With a lock file, writes go through; the file cannot be compacted, which is told once.
    chmod(folder.c_str(), 0755);
    WriteBytes(file + ".lock", "");
    if (geteuid() == 0) {
        ASSERT_EQ(chown((file + ".lock").c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    }
    chmod(folder.c_str(), 0555);
    const int withLock = AsUnprivilegedUser([&] {
        testing::internal::CaptureStderr();
        const int failed = WriteMany(User, "Value", 60) + MissingOf(User, "Value", 60);
        const std::string error = testing::internal::GetCapturedStderr();
        return (failed == 0 ? 0 : 1) |
               (Occurrences(error, file + ": no temporary file can be created in " + folder) == 1
                    ? 0
                    : 2);
    });
    EXPECT_EQ(withLock, 0);
    EXPECT_GT(fs::file_size(file), 100u * 1024u);
    chmod(folder.c_str(), 0755);
}

TEST_F(FileRegistry, NamesCompareIgnoringTheCaseOfEveryLetterAndKeepTheirSpelling)
{
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKeyPath("\\Software\\Café", true));
    registry.WriteText("Ölmühle", "mill");
    registry.WriteText("Σοφία", "wisdom");
    ASSERT_TRUE(registry.OpenKeyPath("\\SOFTWARE\\CAFÉ", false));
    EXPECT_EQ(registry.ReadText("ÖLMÜHLE"), "mill");
    EXPECT_EQ(registry.ReadText("ΣΟΦΊΑ"), "wisdom");
    registry.WriteText("öLMÜHLE", "changed");
    EXPECT_EQ(Stored("Software\\café", "Ölmühle").second, std::string("changed\0", 8));
    ASSERT_TRUE(registry.OpenKeyPath("\\Software\\МОСКВА", true));
    EXPECT_TRUE(registry.OpenKeyPath("\\Software\\москва", false));

    // Other letters stay apart; so do bytes that are not UTF-8 and letters beyond the Basic
    // Multilingual Plane, which the Windows registry does not fold either.
    for (const char* name : {"Cafe", "Caf\xe9", "\xf0\x90\x90\xa8"})
        ASSERT_TRUE(registry.OpenKeyPath(std::string("\\Software\\") + name, true)) << name;
    for (const char* name : {"CAFE\xcc\x81", "Caf\xc9", "\xf0\x90\x90\x80"})
        EXPECT_FALSE(registry.OpenKeyPath(std::string("\\Software\\") + name, false)) << name;

    ASSERT_TRUE(registry.OpenKeyPath("\\Software", false));
    std::vector<std::string> names;
    registry.ListSubkeys(names);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names,
              (std::vector<std::string>{"Cafe", "Café", "Caf\xe9", "МОСКВА", "\xf0\x90\x90\xa8"}));
}

TEST_F(FileRegistry, RenameOntoOrIntoTheSameNameInOtherLettersMovesNothing)
{
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKeyPath("\\Software\\Aliases\\Café", true));
    registry.WriteText("Path", "C:\\café.mdb");
    registry.MoveKeyTree("\\Software\\Aliases\\Café", "\\Software\\Aliases\\CAFÉ", true);
    // Nor into itself under another spelling ("Café" renamed to "CAFÉ\x").
    registry.MoveKeyTree("\\Software\\Aliases\\Café", "\\Software\\Aliases\\CAFÉ\\x", true);
    ASSERT_TRUE(registry.OpenKeyPath("\\Software\\Aliases\\Café", false));
    std::vector<std::string> inside;
    registry.ListSubkeys(inside);
    EXPECT_TRUE(inside.empty());
    ASSERT_TRUE(registry.OpenKeyPath("\\Software\\Aliases", false));
    std::vector<std::string> names;
    registry.ListSubkeys(names);
    EXPECT_EQ(names, std::vector<std::string>{"Café"});
    EXPECT_EQ(Stored("Software\\Aliases\\Café", "Path").second, std::string("C:\\café.mdb\0", 13));
}

} // namespace

namespace
{

std::string ReadThrough(FileRegistryStore& store, const RegistryKey& key, const std::string& name)
{
    std::uint32_t type = 0;
    std::string data;
    if (store.QueryValue(key, name, type, data) != StoreStatus::Ok)
        return "(missing)";
    return data.substr(0, data.find('\0'));
}

} // namespace

TEST_F(FileRegistry, KeysKeptOpenSeeWhatOtherProcessesChangedAtTheirNextRead)
{
    const std::string file = environment.UserRegistryFile();
    const auto other = [](const std::function<void(TRegistry&)>& change) {
        return Reap(Spawn([&] {
            TRegistry registry;
            change(registry);
            return 0;
        }));
    };
    FileRegistryStore store(file, environment.MachineRegistryFile());
    std::unique_ptr<RegistryKey> sales;
    std::unique_ptr<RegistryKey> aliases;
    ASSERT_EQ(store.CreateKey(RegistryRoot::CurrentUser, nullptr, "Software\\Aliases\\Sales",
                              KeyAccess::ReadWrite, sales),
              StoreStatus::Ok);
    ASSERT_EQ(store.SetValue(*sales, "Path", 1, std::string("first\0", 6)), StoreStatus::Ok);
    ASSERT_EQ(store.OpenKey(RegistryRoot::CurrentUser, nullptr, "Software\\Aliases",
                            KeyAccess::ReadWrite, aliases),
              StoreStatus::Ok);

    // Appended by another process.
    ASSERT_EQ(other([](TRegistry& r) {
                  r.OpenKeyPath("\\Software\\Aliases\\Sales", false);
                  r.WriteText("Path", "second");
              }),
              0);
    EXPECT_EQ(ReadThrough(store, *sales, "Path"), "second");

    // Deleted and made again under the same name: the handle reads the new key, found by its
    // path, not the one it found before.
    ASSERT_EQ(other([](TRegistry& r) {
                  r.RemoveKeyTree("\\Software\\Aliases\\Sales");
                  r.OpenKeyPath("\\Software\\Aliases\\sales", true);
                  r.WriteText("Connect", "again");
              }),
              0);
    EXPECT_EQ(ReadThrough(store, *sales, "Path"), "(missing)");
    EXPECT_EQ(ReadThrough(store, *sales, "Connect"), "again");
    // The same path opened again from the root finds the new key too.
    std::unique_ptr<RegistryKey> reopened;
    ASSERT_EQ(store.OpenKey(RegistryRoot::CurrentUser, nullptr, "Software\\Aliases\\Sales",
                            KeyAccess::ReadWrite, reopened),
              StoreStatus::Ok);
    EXPECT_EQ(ReadThrough(store, *reopened, "Connect"), "again");

    // The file replaced by a new one (as a compaction does) under an unchanged size: the open
    // file has no name left, and the next read goes to the new one.
    const std::string bytes = ReadBytes(file);
    const std::string changed = [&] {
        std::string copy = bytes;
        copy.replace(copy.rfind("again"), 5, "later");
        return copy;
    }();
    WriteBytes(environment.Root() + "/new.reg", changed);
    ASSERT_EQ(::rename((environment.Root() + "/new.reg").c_str(), file.c_str()), 0);
    EXPECT_EQ(ReadThrough(store, *sales, "Connect"), "later");
    // And a write through the old handle goes to the new file.
    EXPECT_EQ(store.SetValue(*sales, "User Name", 1, std::string("Admin\0", 6)), StoreStatus::Ok);
    EXPECT_EQ(Stored("Software\\Aliases\\Sales", "User Name"), Typed(1, std::string("Admin\0", 6)));
    EXPECT_EQ(Stored("Software\\Aliases\\Sales", "Connect"), Typed(1, std::string("later\0", 6)));
}

namespace
{

// Puts `bytes` in place of `file` as another process's compaction would, in a file that gets
// the inode number `freed` where the file system gives a freed number out again: the file at
// the name goes first, then new files are made until one has that number.
void ReplaceReusingInode(const std::string& file, ino_t freed, const std::string& bytes)
{
    const std::string folder = PosixFile::FolderOf(file);
    WriteBytes(folder + "/placeholder.reg", "REGEDIT4\r\n\r\n");
    ASSERT_EQ(::rename((folder + "/placeholder.reg").c_str(), file.c_str()), 0);
    std::vector<std::string> made;
    for (bool reused = false; !reused && made.size() < 16;) {
        made.push_back(folder + "/candidate" + std::to_string(made.size()) + ".reg");
        PosixFile::Descriptor fd(
            ::open(made.back().c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        struct stat st {
        };
        ASSERT_TRUE(fd.Valid() && ::fstat(fd.Get(), &st) == 0);
        reused = st.st_ino == freed;
    }
    WriteBytes(made.back(), bytes);
    ASSERT_EQ(::rename(made.back().c_str(), file.c_str()), 0);
    made.pop_back();
    for (const std::string& name : made)
        fs::remove(name);
}

} // namespace

TEST_F(FileRegistry, FileGivenTheInodeNumberOfTheStoresOwnCompactionIsReadAsANewFile)
{
    fs::create_directory(environment.Root() + "/plain");
    fs::create_directory(environment.Root() + "/dotfiles");
    fs::create_directory(environment.Root() + "/config");
    const std::string linked = environment.Root() + "/config/user.reg";
    fs::create_symlink("../dotfiles/user.reg", linked);
    const std::pair<std::string, std::string> ways[] = {
        {environment.Root() + "/plain/user.reg", environment.Root() + "/plain/user.reg"},
        {linked, environment.Root() + "/dotfiles/user.reg"}};
    for (const auto& [name, file] : ways) {
        SCOPED_TRACE(name);
        WriteBytes(file, "REGEDIT4\r\n\r\n");
        FileRegistryStore store(name, environment.MachineRegistryFile());
        std::unique_ptr<RegistryKey> key;
        ASSERT_EQ(store.CreateKey(RegistryRoot::CurrentUser, nullptr, "Software\\Shared",
                                  KeyAccess::ReadWrite, key),
                  StoreStatus::Ok);
        ASSERT_EQ(store.SetValue(*key, "Kept", 1, std::string("yes\0", 4)), StoreStatus::Ok);
        // Rewritten until the store compacts the file into a new one.
        const ino_t before = InodeOf(file);
        ino_t compacted = before;
        for (int n = 0; n < 200 && compacted == before; ++n) {
            const std::string scratch(2000, static_cast<char>('a' + n % 26));
            ASSERT_EQ(store.SetValue(*key, "Scratch", 1, scratch + '\0'), StoreStatus::Ok);
            compacted = InodeOf(file);
        }
        ASSERT_NE(compacted, before);

        // Another process's file, longer than the compacted one, with a line running across
        // where that one ends: read on from there, it would be damaged.
        const std::string filler(2 * fs::file_size(file), 'x');
        const std::string replacement =
            "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Shared]\r\n\"Kept\"=\"replaced\"\r\n"
            "\"Filler\"=\"" +
            filler + "\"\r\n\r\n";
        ASSERT_NO_FATAL_FAILURE(ReplaceReusingInode(file, compacted, replacement));

        testing::internal::CaptureStderr();
        EXPECT_EQ(ReadThrough(store, *key, "Kept"), "replaced");
        EXPECT_TRUE(ReadThrough(store, *key, "Filler") == filler);
        EXPECT_EQ(store.SetValue(*key, "After", 1, std::string("yes\0", 4)), StoreStatus::Ok);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_TRUE(ReadBytes(file) == replacement + "[HKEY_CURRENT_USER\\Software\\Shared]\r\n"
                                                     "\"After\"=\"yes\"\r\n\r\n");
    }
}

namespace
{

// Whether another process could take the store's lock now (it is given back at once).
bool LockIsFree(const std::string& storeFile)
{
    PosixFile::Descriptor fd(::open((storeFile + ".lock").c_str(), O_RDWR | O_CLOEXEC));
    if (!fd.Valid() || ::flock(fd.Get(), LOCK_EX | LOCK_NB) != 0)
        return false;
    ::flock(fd.Get(), LOCK_UN);
    return true;
}

} // namespace

TEST_F(FileRegistry, BatchWritesEachChangeAtOnceAndHoldsOtherWritersOnlyUntilItEnds)
{
    const std::string file = environment.UserRegistryFile();
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKeyPath("\\Software\\Batch", true));
    registry.WriteText("Kept", "one");
    {
        const TRegistry::Batch batch(registry);
        registry.WriteText("A", "1");
        EXPECT_EQ(Stored("Software\\Batch", "A"), Typed(1, std::string("1\0", 2)));
        EXPECT_FALSE(LockIsFree(file));
        EXPECT_TRUE(registry.RemoveValue("Kept"));
        EXPECT_EQ(Stored("Software\\Batch", "Kept").second, "(missing)");
    }
    EXPECT_TRUE(LockIsFree(file));

    // What others write after the batch is seen at the next read.
    TRegistry other;
    ASSERT_TRUE(other.OpenKeyPath("\\Software\\Batch", false));
    other.WriteText("A", "2");
    EXPECT_EQ(registry.ReadText("A"), "2");

    // A batch left by an exception gives the lock back too.
    EXPECT_THROW(
        {
            const TRegistry::Batch batch(registry);
            registry.WriteText("Text", "x");
            registry.ReadNumber("Text");
        },
        ERegistryException);
    EXPECT_TRUE(LockIsFree(file));

    // Batches that grow the file get it compacted when they end.
    for (int n = 0; n < 100; ++n) {
        const TRegistry::Batch batch(registry);
        registry.WriteText("Scratch", std::string(2000, static_cast<char>('a' + n % 26)));
        registry.WriteText("Count", std::to_string(n));
    }
    EXPECT_LT(fs::file_size(file), 100u * 1024u);
    EXPECT_EQ(Stored("Software\\Batch", "Count"), Typed(1, std::string("99\0", 3)));
    EXPECT_EQ(Stored("Software\\Batch", "A"), Typed(1, std::string("2\0", 2)));
}

TEST_F(FileRegistry, BatchDecidesItsChangesOnWhatOthersWroteSinceItsFirstLook)
{
    TRegistry registry;
    ASSERT_TRUE(registry.OpenKeyPath("\\Software\\Batch", true));
    registry.WriteText("Path", "mine");
    TRegistry other;
    ASSERT_TRUE(other.OpenKeyPath("\\Software\\Batch", false));
    {
        const TRegistry::Batch batch(registry);
        EXPECT_EQ(registry.ReadText("Path"), "mine");
        // Written by another process after the batch first looked at the file.
        other.WriteText("Path", "theirs");
        other.WriteText("Extra", "theirs");
        // The same text as the batch saw, and a value it did not see: both still change.
        registry.WriteText("Path", "mine");
        EXPECT_TRUE(registry.RemoveValue("Extra"));
    }
    EXPECT_EQ(Stored("Software\\Batch", "Path"), Typed(1, std::string("mine\0", 5)));
    EXPECT_EQ(Stored("Software\\Batch", "Extra").second, "(missing)");
}

namespace
{

// Names read character by character from their start, as the registry compares them: UTF-8
// characters upper-cased (then A-Z as a-z), bytes outside well-formed UTF-8 after all of them.
std::vector<char32_t> FoldedCharacters(std::string_view name)
{
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
    std::vector<char32_t> folded;
    for (std::size_t at = 0; at < name.size();) {
        const auto lead = static_cast<unsigned char>(name[at]);
        const std::size_t length = lead < 0x80             ? 1
                                   : (lead & 0xE0) == 0xC0 ? 2
                                   : (lead & 0xF0) == 0xE0 ? 3
                                   : (lead & 0xF8) == 0xF0 ? 4
                                                           : 0;
        char32_t code = length == 1   ? lead
                        : length == 2 ? lead & 0x1F
                        : length == 3 ? lead & 0x0F
                                      : lead & 0x07;
        bool wellFormed = length != 0 && at + length <= name.size();
        for (std::size_t k = 1; wellFormed && k < length; ++k) {
            const auto next = static_cast<unsigned char>(name[at + k]);
            wellFormed = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        const char32_t least = length == 2 ? 0x80 : length == 3 ? 0x800 : length == 4 ? 0x10000 : 0;
        if (!wellFormed || code < least || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
            folded.push_back(0x110000 + lead);
            ++at;
            continue;
        }
        at += length;
        if (code >= 0x80 && code <= 0xFFFF)
            code = static_cast<char32_t>(towupper_l(static_cast<wint_t>(code), utf8));
        folded.push_back(code >= 'A' && code <= 'Z' ? code - 'A' + 'a' : code);
    }
    return folded;
}

} // namespace

TEST(RegistryNameOrder, NamesThatShareTheirFirstBytesCompareCharacterByCharacter)
{
    // Pieces that start, end or break UTF-8 characters: a common beginning may end inside a
    // character of one name and at a character's end in the other.
    const std::vector<std::string> pieces = {"a",        "A",    "z",    "\xC3\xA9",
                                             "\xC3\x89", "\xC3", "\xA9", "\xE2\x82\xAC",
                                             "\xE2\x82", "\x82", "_"};
    std::mt19937 random(2024);
    std::vector<std::string> names;
    for (int n = 0; n < 600; ++n) {
        std::string name = n % 2 ? "Alias" : "";
        for (std::size_t count = random() % 5; count > 0; --count)
            name += pieces[random() % pieces.size()];
        names.push_back(name);
    }
    for (const auto& a : names)
        for (const auto& b : names) {
            const auto x = FoldedCharacters(a);
            const auto y = FoldedCharacters(b);
            const int expected = x < y ? -1 : (y < x ? 1 : 0);
            const int got = CompareRegistryNames(a, b);
            ASSERT_EQ((got > 0) - (got < 0), expected)
                << testing::PrintToString(a) << " vs " << testing::PrintToString(b);
        }
}

#endif
