// qtsctl end to end: the real program, started as a script would start it, against the private
// registry store and drive table of each test.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "FileSystem.h"
#include "InstalledEnvironments.h"
#include "TRegistry.h"
#include "TestEnvironment.h"

namespace
{

struct Result {
    int code = -1;
    std::string out;
    std::string err;
};

std::string Quoted(const std::string& arg)
{
    std::string quoted = "'";
    for (const char c : arg) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted.push_back(c);
    }
    return quoted + "'";
}

std::string Slurp(const std::string& file)
{
    std::ifstream stream(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(stream), std::istreambuf_iterator<char>());
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return lines;
}

class QtsCtl : public testing::Test
{
protected:
    Result Run(const std::vector<std::string>& args, const std::string& input = "")
    {
        std::string command = Quoted(QTSCTL_PROGRAM);
        for (const std::string& arg : args)
            command += " " + Quoted(arg);
        const std::string out = environment.Root() + "/stdout";
        const std::string err = environment.Root() + "/stderr";
        const std::string in = environment.Root() + "/stdin";
        std::ofstream(in, std::ios::binary) << input;
        command += " <" + Quoted(in) + " >" + Quoted(out) + " 2>" + Quoted(err);
        const int status = std::system(command.c_str());
        Result result;
        result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        result.out = Slurp(out);
        result.err = Slurp(err);
        return result;
    }

    std::string MachineStore() const { return Slurp(environment.MachineRegistryFile()); }

    TestEnvironment environment;
};

std::string ReadValue(RegistryRoot root, const std::string& key, const std::string& name)
{
    TRegistry registry;
    registry.SelectRoot(root);
    if (!registry.OpenKeyPath(key, false))
        return "(no key)";
    return registry.HasValue(name) ? registry.ReadText(name) : "(no value)";
}

const std::string AliasesKey = "\\Software\\Quillon\\Tessarium\\Configuration\\Aliases";

} // namespace

TEST_F(QtsCtl, SetSavesAsApplyDoesAndShowAndListReadItBack)
{
    ASSERT_EQ(Run({"alias", "set", "Sales", "--path", "C:\\db\\sales.mdb", "--exclusive",
                   "--read-only", "--no-read-only", "--no-see-changes", "--user-name=admin",
                   "--prefetch-threshold", "abc"})
                  .code,
              0);
    const std::string key = AliasesKey + "\\Sales";
    EXPECT_EQ(ReadValue(RegistryRoot::LocalMachine, key, "Exclusive"), "True");
    EXPECT_EQ(ReadValue(RegistryRoot::LocalMachine, key, "Read Only"), "(no value)");
    EXPECT_EQ(ReadValue(RegistryRoot::LocalMachine, key, "Disable SeeChanges"), "True");
    EXPECT_EQ(ReadValue(RegistryRoot::LocalMachine, key, "Prefetch Threshold"), "abc");

    // A later set keeps what it does not name, and an empty text deletes its value.
    ASSERT_EQ(Run({"alias", "set", "Sales", "--user-name", "", "--see-changes"}).code, 0);
    EXPECT_EQ(ReadValue(RegistryRoot::LocalMachine, key, "User Name"), "(no value)");
    EXPECT_EQ(ReadValue(RegistryRoot::LocalMachine, key, "Disable SeeChanges"), "(no value)");

    const Result show = Run({"alias", "show", "Sales"});
    EXPECT_EQ(show.code, 0);
    const std::vector<std::string> lines = Lines(show.out);
    ASSERT_EQ(lines.size(), 18u);
    EXPECT_EQ(lines[0], "Database File: C:\\db\\sales.mdb");
    EXPECT_EQ(lines[1], "Exclusive: on");
    EXPECT_EQ(lines[2], "Read Only: off");
    EXPECT_EQ(lines[14], "Use dbSeeChanges: on");
    EXPECT_EQ(lines[16], "Prefetch Threshold: abc");
    EXPECT_NE(Run({"alias", "show", "Sales", "--json"}).out.find("\"see-changes\": true"),
              std::string::npos);

    Run({"alias", "set", "sales2", "--path", "C:\\tab\there \"q\""});
    Run({"alias", "set", "SALES"});
    Run({"alias", "set", "co-op"});
    Run({"alias", "set", "coop"});
    Run({"alias", "set", "Mine", "--scope", "user"});
    // Sorted as the alias window sorts; the other scope apart.
    EXPECT_EQ(Run({"alias", "list"}).out,
              "coop\t\nco-op\t\nSales\tC:\\db\\sales.mdb\nsales2\tC:\\tab\there \"q\"\n");
    EXPECT_EQ(Run({"alias", "list", "--scope", "user", "--json"}).out,
              "[\n {\"name\": \"Mine\", \"path\": \"\"}\n]\n");
    EXPECT_NE(Run({"alias", "list", "--json"}).out.find("\"C:\\\\tab\\there \\\"q\\\"\""),
              std::string::npos);
}

TEST_F(QtsCtl, RenameAndDeleteRefuseWhatTheListWouldLeaveUnchanged)
{
    Run({"alias", "set", "Sales", "--path", "s"});
    Run({"alias", "set", "Stock", "--path", "t"});
    const std::string before = MachineStore();

    const Result onto = Run({"alias", "rename", "Sales", "Stock"});
    EXPECT_EQ(onto.code, 1);
    EXPECT_NE(onto.err.find("exists already"), std::string::npos);
    const Result caseOnly = Run({"alias", "rename", "Sales", "SALES"});
    EXPECT_EQ(caseOnly.code, 1);
    EXPECT_NE(caseOnly.err.find("ignoring case"), std::string::npos);
    EXPECT_EQ(Run({"alias", "rename", "Nobody", "X"}).code, 1);
    EXPECT_EQ(Run({"alias", "delete", "Nobody"}).code, 1);
    EXPECT_EQ(MachineStore(), before);

    for (const std::vector<std::string>& wrong :
         std::vector<std::vector<std::string>>{{"alias", "rename", "Sales", ""},
                                               {"alias", "delete", ""},
                                               {"alias", "set", "a\\b"},
                                               {"alias", "show"},
                                               {"alias", "list", "--scope", "machine"}}) {
        const Result result = Run(wrong);
        EXPECT_EQ(result.code, 2) << wrong.back();
        EXPECT_NE(result.err.find("Usage: qtsctl alias "), std::string::npos) << result.err;
    }
    EXPECT_EQ(MachineStore(), before);

    EXPECT_EQ(Run({"alias", "rename", "Sales", "Revenue"}).code, 0);
    EXPECT_EQ(ReadValue(RegistryRoot::LocalMachine, AliasesKey + "\\Revenue", "Path"), "s");
    EXPECT_EQ(Run({"alias", "delete", "Revenue"}).code, 0);
    EXPECT_EQ(Run({"alias", "list"}).out, "Stock\tt\n");
}

TEST_F(QtsCtl, ExportThenImportIntoAnEmptyStoreGivesTheSameAliases)
{
    Run({"alias", "set", "Sales", "--path", "C:\\db\\sales.mdb", "--exclusive", "--connect",
         "ODBC;DSN=\"x\""});
    Run({"alias", "set", "Stock", "--system-db", "C:\\db\\s.mdw", "--no-see-changes"});
    {
        TRegistry registry;
        registry.SelectRoot(RegistryRoot::LocalMachine);
        ASSERT_TRUE(registry.OpenKeyPath(AliasesKey + "\\Stock\\Extra", true));
        registry.WriteNumber("Count", 7);
        registry.WriteText("Note", "kept \\ as is");
    }
    const std::string file = environment.Root() + "/aliases.reg";
    ASSERT_EQ(Run({"alias", "export", "-o", file}).code, 0);
    const std::string exported = Slurp(file);
    const std::string aliasesBefore = Run({"alias", "export"}).out;
    EXPECT_EQ(aliasesBefore, exported);

    TestEnvironment empty;
    const Result import = Run({"alias", "import", file});
    EXPECT_EQ(import.code, 0) << import.err;
    EXPECT_EQ(Run({"alias", "export"}).out, exported);
    EXPECT_EQ(Run({"alias", "export", "stock"}).out.find("Sales"), std::string::npos);
    // Standard input works as well, and a file for the other scope is pointed there.
    const Result user = Run({"alias", "import", "-", "--scope", "user"}, exported);
    EXPECT_EQ(user.code, 1);
    EXPECT_NE(user.err.find("<stdin>:3: "), std::string::npos) << user.err;
    EXPECT_NE(user.err.find("--scope global"), std::string::npos);
}

TEST_F(QtsCtl, AFileWithAKeyOutsideTheAliasesKeyWritesNothing)
{
    Run({"alias", "set", "Sales", "--path", "s"});
    const std::string before = MachineStore();
    const std::string file = environment.Root() + "/evil.reg";
    std::ofstream(file, std::ios::binary)
        << "REGEDIT4\r\n\r\n"
           "[HKEY_LOCAL_MACHINE\\Software\\Quillon\\Tessarium\\Configuration\\Aliases\\New]\r\n"
           "\"Path\"=\"n\"\r\n\r\n"
           "[-HKEY_LOCAL_MACHINE\\Software\\Quillon\\Tessarium\\Configuration\\Aliases\\Sales]\r\n"
           "\r\n"
           "[HKEY_LOCAL_MACHINE\\Software\\Quillon\\Tessarium]\r\n"
           "\"RootDir\"=\"C:\\\\evil\"\r\n";
    const Result result = Run({"alias", "import", file});
    EXPECT_EQ(result.code, 1);
    EXPECT_NE(result.err.find(file + ":8: the key HKEY_LOCAL_MACHINE\\Software\\Quillon\\"
                                     "Tessarium lies outside"),
              std::string::npos)
        << result.err;
    EXPECT_NE(result.err.find("nothing was imported"), std::string::npos);
    EXPECT_EQ(MachineStore(), before);
    EXPECT_EQ(Run({"alias", "import", environment.Root() + "/missing.reg"}).code, 1);
}

TEST_F(QtsCtl, CheckReportsEachFileAndFailsForAProblem)
{
    std::string jet4("\x00\x01\x00\x00Standard Jet DB\0\x01", 21);
    environment.WriteFile("C:\\db\\sales.mdb", jet4 + std::string(100, '\0'));
    environment.WriteFile("C:\\db\\text.mdw", "just text");
    Run({"alias", "set", "Sales", "--path", "C:\\db\\sales.mdb"});
    const Result good = Run({"alias", "check", "Sales"});
    EXPECT_EQ(good.code, 0);
    EXPECT_EQ(good.out, "Database file: C:\\db\\sales.mdb: Jet 4.0\nSystem file: none\n");

    Run({"alias", "set", "Sales", "--system-db", "C:\\db\\text.mdw"});
    const Result bad = Run({"alias", "check", "Sales"});
    EXPECT_EQ(bad.code, 1);
    EXPECT_NE(bad.out.find("System file: C:\\db\\text.mdw: not a Jet database"), std::string::npos);
    Run({"alias", "set", "Sales", "--path", "C:\\db\\gone.mdb", "--system-db", ""});
    EXPECT_EQ(Run({"alias", "check", "Sales"}).out,
              "Database file: C:\\db\\gone.mdb: missing\nSystem file: none\n");
    EXPECT_EQ(Run({"alias", "check", "Nobody"}).code, 1);
}

TEST_F(QtsCtl, SetupRunIntegratesAnEnvironmentAndSaysWhenAStepAborted)
{
    InstalledEnvironments machine(environment);
    const std::string p = machine.ProductDir();

    const Result show = Run({"setup", "show", "--environment", "Delphi 3", "--design", "skip"});
    EXPECT_EQ(show.code, 0) << show.err;
    EXPECT_NE(show.out.find("patched: " + p + "\\Lib\\Delphi3\n"), std::string::npos);
    EXPECT_NE(show.out.find("design: skip\n"), std::string::npos);

    const Result run = Run({"setup", "run", "--environment", "Delphi 3", "--tools", "install"});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::vector<std::string> lines = Lines(run.out);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "");
    EXPECT_EQ(lines.back(), "Done.");
    EXPECT_EQ(
        ReadValue(RegistryRoot::CurrentUser, "\\Software\\Quillon\\Tessarium", "LastEnvironment"),
        "Delphi 3");
    EXPECT_EQ(ReadValue(RegistryRoot::CurrentUser,
                        "\\" + InstalledEnvironments::LibraryKey(Environment::Delphi3),
                        InstalledEnvironments::SearchPathValueName(Environment::Delphi3))
                  .rfind(p + "\\Lib\\Delphi3;", 0),
              0u);
    EXPECT_TRUE(environment.Exists(p + "\\Lib\\Delphi3\\BDE.dcu"));

    // The saved copies exist now: the question is answered Cancel unless the option says OK.
    const Result again = Run({"setup", "run", "--environment", "Delphi 3", "--no-generate",
                              "--design", "skip", "--tools", "install"});
    EXPECT_EQ(again.code, 1);
    EXPECT_NE(again.out.find("Aborted."), std::string::npos);
    EXPECT_NE(again.err.find("Answered Cancel; pass --overwrite-saved-copies"), std::string::npos);
    const Result overwrite = Run({"setup", "run", "--environment", "Delphi 3", "--no-generate",
                                  "--design=skip", "--tools=install", "--overwrite-saved-copies"});
    EXPECT_EQ(overwrite.code, 0) << overwrite.err;

    // An original file that cannot be read ends the run: Done. still closes the log. (The
    // modified BDE.dcu is there now, so generating is off unless asked for.)
    const Result failed = Run({"setup", "run", "--environment", "Delphi 3", "--generate",
                               "--original", "C:\\nowhere\\BDE.dcu", "--design", "skip"});
    EXPECT_EQ(failed.code, 3);
    EXPECT_EQ(Lines(failed.out).back(), "Done.");
    EXPECT_EQ(failed.err, "qtsctl: Cannot open file C:\\nowhere\\BDE.dcu\n");
}

TEST_F(QtsCtl, ANoticeMakesTheExitCodeOneAndWrongUsageTwo)
{
    // Not installed: the window would keep its initial texts, which name Delphi 2.0's files.
    environment.WriteFile("C:\\Program Files\\Borland\\Delphi 2.0\\Bin\\DBX.dll", "idapi32.dll");
    const Result missing = Run({"setup", "run", "--environment", "Delphi 4", "--tools", "install"});
    EXPECT_EQ(missing.code, 1);
    EXPECT_NE(missing.err.find("Delphi 4.0 does not seem to be installed properly."),
              std::string::npos);
    EXPECT_NE(missing.err.find("the setup was not run"), std::string::npos);
    EXPECT_EQ(missing.out, "");
    EXPECT_FALSE(environment.Exists("C:\\Program Files\\Borland\\Delphi 2.0\\Bin\\DBX.dll.old"));
    const Result shown = Run({"setup", "show", "--environment", "Delphi 4"});
    EXPECT_EQ(shown.code, 1);
    EXPECT_NE(shown.out.find("explorer-dll: C:\\Program Files\\Borland\\Delphi 2.0\\Bin\\DBX.dll"),
              std::string::npos);

    for (const std::vector<std::string>& wrong : std::vector<std::vector<std::string>>{
             {"setup", "run"},
             {"setup", "run", "--environment", "delphi 3"},
             {"setup", "show", "--environment", "Delphi 3", "--tools", "maybe"},
             {"setup", "run", "--environment"},
             {"setup", "run", "--environment", "Delphi 3", "--json"},
             {"setup", "go"},
             {"bogus"},
             {}}) {
        const Result result = Run(wrong);
        EXPECT_EQ(result.code, 2);
        EXPECT_NE(result.err.find("Usage: qtsctl"), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(Lines(Run({"--version"}).out), std::vector<std::string>({"qtsctl 3.0"}));
}

TEST_F(QtsCtl, EveryLevelHasHelpAndWhereNamesTheFiles)
{
    for (const std::vector<std::string>& level :
         std::vector<std::vector<std::string>>{{"--help"},
                                               {"where", "--help"},
                                               {"alias", "--help"},
                                               {"alias", "list", "--help"},
                                               {"alias", "show", "-h"},
                                               {"alias", "set", "--help"},
                                               {"alias", "rename", "--help"},
                                               {"alias", "delete", "--help"},
                                               {"alias", "export", "--help"},
                                               {"alias", "import", "--help"},
                                               {"alias", "check", "--help"},
                                               {"setup", "--help"},
                                               {"setup", "show", "--help"},
                                               {"setup", "run", "--help"}}) {
        const Result result = Run(level);
        EXPECT_EQ(result.code, 0);
        EXPECT_EQ(result.out.rfind("Usage: qtsctl", 0), 0u) << result.out;
    }
    const Result where = Run({"where"});
    EXPECT_EQ(where.code, 0);
    EXPECT_NE(where.out.find("HKEY_LOCAL_MACHINE: " + environment.MachineRegistryFile() +
                             " (from QTS_MACHINE_REGISTRY)\n"),
              std::string::npos)
        << where.out;
    EXPECT_NE(where.out.find("HKEY_CURRENT_USER: " + environment.UserRegistryFile()),
              std::string::npos);
}

TEST_F(QtsCtl, TheWinePrefixOptionChoosesThePrefixAndAPrefixInUseStopsEveryCommand)
{
    // A prefix as Wine leaves it, whose server (were one running) keeps its lock in `server`.
    const std::string prefix = environment.Root() + "/prefix";
    const std::string server = environment.Root() + "/server";
    std::filesystem::create_directories(prefix + "/dosdevices");
    std::ofstream(prefix + "/system.reg", std::ios::binary)
        << "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win32\n"
           "\n[Software\\\\Borland] 1796698985\n#time=1dd86c0a547c4a0\n";
    std::ofstream(prefix + "/user.reg", std::ios::binary)
        << "WINE REGISTRY Version 2\n;; All keys relative to "
           "REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n#arch=win32\n";
    std::ofstream(prefix + "/wineserver") << server << "\n";

    const Result where = Run({"--wine-prefix", prefix, "where"});
    EXPECT_EQ(where.code, 0) << where.err;
    EXPECT_EQ(where.out, "HKEY_LOCAL_MACHINE: " + prefix + "/system.reg (from --wine-prefix)\n" +
                             "HKEY_CURRENT_USER: " + prefix + "/user.reg (from --wine-prefix)\n" +
                             "Drive table: " + prefix + "/dosdevices (from --wine-prefix)\n");
    // After the command too; the store of the variables stays untouched.
    const std::string before = MachineStore();
    ASSERT_EQ(
        Run({"alias", "set", "Sales", "--path", "C:\\db\\sales.mdb", "--wine-prefix=" + prefix})
            .code,
        0);
    EXPECT_NE(Slurp(prefix + "/system.reg")
                  .find("[Software\\\\Quillon\\\\Tessarium\\\\Configuration"
                        "\\\\Aliases\\\\Sales]"),
              std::string::npos);
    EXPECT_EQ(MachineStore(), before);
    EXPECT_EQ(Run({"alias", "list", "--wine-prefix"}).code, 2);

    // The server's lock, held by this process as a running wineserver holds it.
    struct stat st {
    };
    ASSERT_EQ(::stat(prefix.c_str(), &st), 0);
    char name[64];
    std::snprintf(name, sizeof name, "/server-%llx-%llx",
                  static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    std::filesystem::create_directories(server + name);
    const int lock = ::open((server + name + "/lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    struct flock hold {
    };
    hold.l_type = F_WRLCK;
    hold.l_whence = SEEK_SET;
    ASSERT_EQ(::fcntl(lock, F_SETLK, &hold), 0);
    const std::string machine = Slurp(prefix + "/system.reg");
    const std::string user = Slurp(prefix + "/user.reg");
    const std::string message = "qtsctl: The Wine prefix " + prefix +
                                " is in use. Close its programs (or run \"wineserver -k\") and "
                                "start again.\n";
    for (const std::vector<std::string>& command :
         std::vector<std::vector<std::string>>{{"alias", "set", "Other", "--path", "C:\\o.mdb"},
                                               {"alias", "delete", "Sales"},
                                               {"alias", "list", "--scope", "user"},
                                               {"setup", "run", "--environment", "Delphi 3"}}) {
        std::vector<std::string> args = command;
        args.insert(args.begin(), {"--wine-prefix", prefix});
        const Result result = Run(args);
        EXPECT_EQ(result.code, 1) << command[1];
        EXPECT_EQ(result.err, message) << command[1];
        EXPECT_EQ(result.out, "") << command[1];
    }
    // "where" still says where, and that the prefix is in use.
    const Result inUse = Run({"where", "--wine-prefix", prefix});
    EXPECT_EQ(inUse.code, 1);
    EXPECT_EQ(inUse.out, where.out);
    EXPECT_EQ(inUse.err, message);
    EXPECT_EQ(Slurp(prefix + "/system.reg"), machine);
    EXPECT_EQ(Slurp(prefix + "/user.reg"), user);
    ::close(lock);
    EXPECT_EQ(Run({"alias", "delete", "Sales", "--wine-prefix", prefix}).code, 0);
}
