// The Wine prefix store against Wine itself, in a prefix that "wineboot -i" makes: what "reg
// add" writes is read here, what is written here "reg export" and "reg query" show; nothing
// changes while "wineserver -p" serves the prefix (qtsctl and the windows say so and write
// nothing); a write changes only the keys it touches, and Wine starts on the files afterwards
// without a complaint; Delphi 3 registered by "reg add" is found, and a setup run and qtsctl's
// aliases land where Wine reads them. Skipped when Wine is not installed.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#ifdef QTS_WINE_WINDOW_TESTS
#include "../setup/SetupFormTestSupport.h"
#include "ConfigForm.h"
#include <QRadioButton>
#include <QTreeWidget>
#endif

#include "AliasStore.h"
#include "RegistryStore.h"
#include "TRegistry.h"
#include "TestEnvironment.h"
#include "WinePrefix.h"
#include "WineRegistryFile.h"

namespace fs = std::filesystem;

namespace
{

std::string Contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Quoted(const std::string& text)
{
    std::string out = "'";
    for (const char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs a shell command; answers its exit code and, in `output`, what it wrote (both streams).
int RunShell(const std::string& command, std::string* output = nullptr)
{
    const std::string full = command + " 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(::popen(full.c_str(), "r"), ::pclose);
    if (!pipe)
        return -1;
    std::string text;
    char buffer[4096];
    while (const std::size_t got = std::fread(buffer, 1, sizeof buffer, pipe.get()))
        text.append(buffer, got);
    const int status = ::pclose(pipe.release());
    if (output)
        *output = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Runs qtsctl with the arguments (each quoted for the shell).
int QtsCtl(const std::vector<std::string>& args, std::string* output = nullptr)
{
    std::string command = Quoted(QTSCTL_PROGRAM);
    for (const std::string& arg : args)
        command += " " + Quoted(arg);
    return RunShell(command, output);
}

bool WineInstalled()
{
    return RunShell("command -v wine && command -v wineboot && command -v wineserver") == 0;
}

// The keys of a registry file by path, each with its text; the text before the first key
// under "".
std::map<std::string, std::string> Blocks(const std::string& text)
{
    std::map<std::string, std::string> blocks;
    std::string current;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        end = end == std::string::npos ? text.size() : end + 1;
        const std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line[0] == '[')
            current = line.substr(0, line.find("] "));
        blocks[current] += line;
        pos = end;
    }
    return blocks;
}

std::set<std::string> Differences(const std::string& before, const std::string& after)
{
    const auto a = Blocks(before);
    const auto b = Blocks(after);
    std::set<std::string> keys;
    for (const auto& [key, text] : a)
        if (!b.count(key) || b.at(key) != text)
            keys.insert(key);
    for (const auto& [key, text] : b)
        if (!a.count(key))
            keys.insert(key);
    return keys;
}

class WineItself : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!WineInstalled())
            return;
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/qts-wineprefix-XXXXXX";
        if (!::mkdtemp(&pattern[0]))
            return;
        prefix_ = pattern;
        std::string said;
        if (Wine("wineboot -i", &said) != 0 || Wine("wineserver -w") != 0) {
            std::fprintf(stderr, "wineboot -i failed:\n%s\n", said.c_str());
            prefix_ += "(failed)";
        }
    }
    static void TearDownTestSuite()
    {
        if (prefix_.empty())
            return;
        Wine("wineserver -k");
        std::error_code ignored;
        fs::remove_all(prefix_.substr(0, prefix_.find("(failed)")), ignored);
    }

    void SetUp() override
    {
        if (!WineInstalled())
            GTEST_SKIP() << "Wine is not installed (scripts/install-deps.sh --windows installs it)";
        ASSERT_FALSE(prefix_.empty() || prefix_.find("(failed)") != std::string::npos)
            << "no Wine prefix could be made";
        SetEnv("QTS_WINEPREFIX", prefix_);
    }

    // Runs a command with Wine's variables for the prefix (a 64-bit one, texts in UTF-8).
    static int Wine(const std::string& command, std::string* output = nullptr)
    {
        return RunShell("WINEPREFIX=" + Quoted(prefix_) +
                            " WINEARCH=win64 WINEDEBUG=-all LC_ALL=C.UTF-8 timeout 300 " + command,
                        output);
    }
    // Waits until the prefix's server has ended (and written the registry).
    static void Settle() { ASSERT_EQ(Wine("wineserver -w"), 0); }

    // What "reg export" writes for a key (UTF-16 with a byte order mark) as UTF-8 text.
    std::string Exported(const std::string& key, const std::string& view)
    {
        const std::string file = prefix_ + "/drive_c/export.reg";
        fs::remove(file);
        std::string said;
        EXPECT_EQ(
            Wine("wine reg export " + Quoted(key) + " 'C:\\export.reg' " + view + " /y", &said), 0)
            << said;
        std::string bytes = Contents(file);
        if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE')
            bytes.erase(0, 2);
        std::string text = WineRegistry::Utf8FromUtf16(WineRegistry::Utf16FromBytes(bytes));
        std::string lf;
        for (const char c : text)
            if (c != '\r')
                lf += c;
        return lf;
    }

    std::string Machine() const { return Contents(prefix_ + "/system.reg"); }
    std::string User() const { return Contents(prefix_ + "/user.reg"); }

    TestEnvironment environment;
    static std::string prefix_;
};

std::string WineItself::prefix_;

using Typed = std::pair<std::uint32_t, std::string>;

Typed Read(RegistryStore& store, RegistryRoot root, const std::string& key, const std::string& name)
{
    std::unique_ptr<RegistryKey> handle;
    Typed typed{0xFFFFFFFF, "(missing key)"};
    if (store.OpenKey(root, nullptr, key, KeyAccess::Read, handle) == StoreStatus::Ok &&
        store.QueryValue(*handle, name, typed.first, typed.second) != StoreStatus::Ok)
        typed.second = "(missing value)";
    return typed;
}

TEST_F(WineItself, WhatRegAddWritesIsReadAndWhatIsWrittenWineShows)
{
    const std::string key = "HKLM\\Software\\Quillon\\Tessarium\\RoundTrip";
    const std::string text = "C:\\Q\xC3\xBC\xE2\x82\xAC\xF0\x9F\x98\x80 [x]";
    for (const std::string& add : {"/v RootDir /t REG_SZ /d " + Quoted(text),
                                   "/v " + Quoted("N\xC3\xA4me") + " /t REG_EXPAND_SZ /d " +
                                       Quoted("%SystemRoot%\\\xC3\xBC"),
                                   std::string("/v Multi /t REG_MULTI_SZ /d 'a\\0b\xC3\xBC'"),
                                   std::string("/v Number /t REG_DWORD /d 0x80000001"),
                                   std::string("/v Blob /t REG_BINARY /d 00ff10ab")}) {
        std::string said;
        ASSERT_EQ(Wine("wine reg add " + Quoted(key) + " " + add + " /reg:32 /f", &said), 0)
            << said;
    }
    ASSERT_EQ(Wine("wine reg add 'HKCU\\Software\\Quillon\\Tessarium' /v " +
                   Quoted("\xC3\x9Cnic\xC3\xB6"
                          "de") +
                   " /d " + Quoted("\xCE\xA9mega") + " /f"),
              0);
    Settle();

    auto store = CreateRegistryStore();
    const std::string at = "Software\\Quillon\\Tessarium\\RoundTrip";
    const auto machine = RegistryRoot::LocalMachine;
    EXPECT_EQ(Read(*store, machine, at, "RootDir"), Typed(1, text + std::string(1, '\0')));
    EXPECT_EQ(Read(*store, machine, at, "n\xC3\x84ME"),
              Typed(2, std::string("%SystemRoot%\\\xC3\xBC\0", 16)));
    EXPECT_EQ(Read(*store, machine, at, "Multi"), Typed(7, std::string("a\0b\xC3\xBC\0\0", 7)));
    EXPECT_EQ(Read(*store, machine, at, "Number"), Typed(4, std::string("\x01\0\0\x80", 4)));
    EXPECT_EQ(Read(*store, machine, at, "Blob"), Typed(3, std::string("\x00\xff\x10\xab", 4)));
    EXPECT_EQ(Read(*store, RegistryRoot::CurrentUser, "Software\\Quillon\\Tessarium",
                   "\xC3\x9Cnic\xC3\xB6"
                   "de"),
              Typed(1, std::string("\xCE\xA9mega\0", 7)));

    // Every kind of value back the other way, with names and texts beyond ASCII.
    std::unique_ptr<RegistryKey> handle;
    ASSERT_EQ(store->CreateKey(machine, nullptr, at + "\\Written \xC3\xA9t\xC3\xA9",
                               KeyAccess::ReadWrite, handle),
              StoreStatus::Ok);
    const std::string longBlob(100, '\x5A');
    ASSERT_EQ(store->SetValue(*handle, "Text \xE2\x82\xAC", 1,
                              std::string("C:\\\"quoted\"\\\xF0\x9F\x98\x80\0", 17)),
              StoreStatus::Ok);
    ASSERT_EQ(store->SetValue(*handle, "Expand", 2, std::string("%TEMP%\\\xC3\xA5\0", 10)),
              StoreStatus::Ok);
    ASSERT_EQ(store->SetValue(*handle, "Multi", 7, std::string("one\0tw\xC3\xB6\0\0", 10)),
              StoreStatus::Ok);
    ASSERT_EQ(store->SetValue(*handle, "Number", 4, std::string("\x2A\0\0\0", 4)), StoreStatus::Ok);
    ASSERT_EQ(store->SetValue(*handle, "Blob", 3, longBlob), StoreStatus::Ok);
    ASSERT_EQ(store->SetValue(*handle, "", 1, std::string("default\0", 8)), StoreStatus::Ok);
    handle.reset();

    const std::string exported = Exported(
        "HKLM\\Software\\Quillon\\Tessarium\\RoundTrip\\Written \xC3\xA9t\xC3\xA9", "/reg:32");
    EXPECT_NE(exported.find("[HKEY_LOCAL_MACHINE\\Software\\Quillon\\Tessarium\\RoundTrip\\Written "
                            "\xC3\xA9t\xC3\xA9]\n"),
              std::string::npos)
        << exported;
    for (const std::string line :
         {"@=\"default\"\n", "\"Text \xE2\x82\xAC\"=\"C:\\\\\\\"quoted\\\"\\\\\xF0\x9F\x98\x80\"\n",
          "\"Expand\"=hex(2):25,00,54,00,45,00,4d,00,50,00,25,00,5c,00,e5,00,00,00\n",
          "\"Multi\"=hex(7):6f,00,6e,00,65,00,00,00,74,00,77,00,f6,00,00,00,00,00\n",
          "\"Number\"=dword:0000002a\n"})
        EXPECT_NE(exported.find(line), std::string::npos) << line << "\nin\n" << exported;
    EXPECT_NE(exported.find("\"Blob\"=hex:5a,5a,"), std::string::npos) << exported;
    // The 64-bit view does not have it; "reg query" of the 32-bit one does.
    EXPECT_NE(Wine("wine reg query 'HKLM\\Software\\Quillon\\Tessarium\\RoundTrip' /reg:64"), 0);
    std::string said;
    EXPECT_EQ(Wine("wine reg query 'HKLM\\Software\\Quillon\\Tessarium\\RoundTrip' /s /v Number "
                   "/reg:32",
                   &said),
              0);
    EXPECT_NE(said.find("0x2a"), std::string::npos) << said;
    Settle();
}

TEST_F(WineItself, NoByteOfEitherFileChangesWhileTheServerRuns)
{
    Settle();
    // Started in the background: its output must not hold the pipe open.
    ASSERT_EQ(Wine("wineserver -p >/dev/null 2>&1 </dev/null"), 0);
    EXPECT_TRUE(WinePrefix::InUse(prefix_));
    const std::string machine = Machine();
    const std::string user = User();

    TRegistry registry;
    registry.SelectRoot(HKEY_LOCAL_MACHINE_ROOT);
    EXPECT_FALSE(registry.OpenKeyPath("\\Software\\Quillon\\Tessarium\\Configuration", true));
    EXPECT_FALSE(registry.OpenKeyPath("\\Software\\Microsoft", false));
    registry.SelectRoot(HKEY_CURRENT_USER_ROOT);
    EXPECT_FALSE(registry.OpenKeyPath("\\Software\\Quillon\\Tessarium", true));

    // qtsctl stops at once with the notice, whether the variable or the option names the prefix.
    const std::string notice = "qtsctl: " + WinePrefix::InUseMessage(prefix_) + "\n";
    std::string said;
    EXPECT_EQ(QtsCtl({"alias", "set", "Sales", "--path", "C:\\Elsewhere.mdb"}, &said), 1);
    EXPECT_EQ(said, notice);
    UnsetEnv("QTS_WINEPREFIX");
    EXPECT_EQ(QtsCtl({"setup", "run", "--wine-prefix", prefix_, "--environment", "Delphi 3",
                      "--design", "install"},
                     &said),
              1);
    EXPECT_EQ(said, notice);
    SetEnv("QTS_WINEPREFIX", prefix_);
#ifdef QTS_WINE_WINDOW_TESTS
    // Both windows start with the notice and find both roots unavailable: no aliases, and the
    // setup finds nothing installed.
    {
        DialogWatcher dialogs;
        TFormConfig config;
        config.show();
        ASSERT_FALSE(dialogs.seen.empty());
        EXPECT_EQ(dialogs.seen[0].text, WinePrefix::InUseMessage(prefix_));
        EXPECT_EQ(dialogs.seen.size(), 1u);
        EXPECT_EQ(config.LstAliases->topLevelItemCount(), 0);
        config.close();

        TFormSetup setup;
        ASSERT_EQ(dialogs.seen.size(), 2u);
        EXPECT_EQ(dialogs.seen[1].text, WinePrefix::InUseMessage(prefix_));
        setup.show();
        setup.RadDelphi30->click();
        ASSERT_GE(dialogs.seen.size(), 3u);
        EXPECT_EQ(dialogs.seen[2].text,
                  "Quillon Tessarium does not seem to be installed properly.");
        setup.close();
    }
#endif
    EXPECT_EQ(Machine(), machine);
    EXPECT_EQ(User(), user);

    ASSERT_EQ(Wine("wineserver -k"), 0);
    Settle();
    EXPECT_FALSE(WinePrefix::InUse(prefix_));
    EXPECT_TRUE(registry.OpenKeyPath("\\Software\\Quillon\\Tessarium", true));
}

TEST_F(WineItself, AWriteChangesOnlyTheKeysItTouchesAndWineStartsOnTheFilesAfterwards)
{
    Settle();
    ASSERT_EQ(Wine("wine reg add 'HKLM\\Software\\Borland\\Delphi\\3.0' /v RootDir /d "
                   "'C:\\Program Files\\Borland\\Delphi 3' /reg:32 /f"),
              0);
    Settle();
    const std::string machine = Machine();
    const std::string user = User();

    TRegistry registry;
    AliasStore aliases(registry);
    std::vector<std::pair<std::string, std::string>> listed;
    aliases.ListAliases(AliasScope::Global, listed); // as the alias window starts
    AliasSettings settings;
    settings.Path = "C:\\Data\\Sales.mdb";
    settings.ReadOnly = true;
    ASSERT_TRUE(aliases.SaveAlias("Sales", settings));
    registry.SelectRoot(HKEY_LOCAL_MACHINE_ROOT);
    ASSERT_TRUE(registry.OpenKeyPath("\\Software\\Borland\\Delphi\\3.0\\Library", true));
    registry.WriteText("SearchPath", "$(DELPHI)\\Lib;C:\\Quillon\\Lib");
    registry.SelectRoot(HKEY_CURRENT_USER_ROOT);
    ASSERT_TRUE(registry.OpenKeyPath("\\Software\\Quillon\\Tessarium", true));
    registry.WriteText("LastEnvironment", "Delphi 3");
    registry.CloseCurrentKey();

    // The keys written, and the Aliases key that the first listing created.
    const std::string aliasesKey =
        "[Software\\\\Wow6432Node\\\\Quillon\\\\Tessarium\\\\Configuration\\\\Aliases";
    EXPECT_EQ(
        Differences(machine, Machine()),
        (std::set<std::string>{"[Software\\\\Wow6432Node\\\\Borland\\\\Delphi\\\\3.0\\\\Library",
                               aliasesKey, aliasesKey + "\\\\Sales"}));
    const auto userChanges = Differences(user, User());
    EXPECT_EQ(userChanges, (std::set<std::string>{"[Software\\\\Quillon\\\\Tessarium"}));

    // Wine starts on these files, reads what was written and finds nothing to complain about.
    std::string said;
    EXPECT_EQ(Wine("wine reg query "
                   "'HKLM\\Software\\Quillon\\Tessarium\\Configuration\\Aliases\\Sales' /reg:32",
                   &said),
              0)
        << said;
    EXPECT_NE(said.find("C:\\Data\\Sales.mdb"), std::string::npos) << said;
    EXPECT_NE(said.find("True"), std::string::npos) << said;
    EXPECT_EQ(said.find("Unrecognized"), std::string::npos) << said;
    EXPECT_EQ(Wine("wine reg query 'HKCU\\Software\\Quillon\\Tessarium' /v LastEnvironment", &said),
              0);
    EXPECT_NE(said.find("Delphi 3"), std::string::npos) << said;
    EXPECT_EQ(Wine("wine reg query 'HKLM\\Software\\Borland\\Delphi\\3.0\\Library' /reg:32", &said),
              0);
    EXPECT_NE(said.find("C:\\Quillon\\Lib"), std::string::npos) << said;
    Settle();
}

TEST_F(WineItself, DelphiThreeRegisteredByRegAddIsFoundAndTheSetupRunLandsWhereWineReadsIt)
{
    Settle();
    // The engine and Delphi 3 as their installers leave them: files on drive C:, the
    // installation keys in the 32-bit view, the library key of the user.
    const std::string product = "C:\\Program Files\\Quillon\\Tessarium";
    const std::string delphi = "C:\\Program Files\\Borland\\Delphi 3";
    const std::string driveC = prefix_ + "/drive_c/Program Files";
    fs::create_directories(driveC + "/Quillon/Tessarium/Lib/Delphi3");
    fs::create_directories(driveC + "/Quillon/Tessarium/Demo/Delphi3");
    fs::create_directories(driveC + "/Borland/Delphi 3/Bin");
    std::ofstream(driveC + "/Quillon/Tessarium/Lib/Delphi3/VCLDB30.dpl") << "ENGINE PACKAGE";
    std::ofstream(driveC + "/Quillon/Tessarium/Demo/Delphi3/Demo.dpr") << "program Demo;\r\n";
    std::ofstream(driveC + "/Borland/Delphi 3/Bin/VCLDB30.dpl") << "DELPHI PACKAGE";
    for (const std::string& add :
         {"'HKLM\\Software\\Quillon\\Tessarium' /v RootDir /d " + Quoted(product) + " /reg:32",
          "'HKLM\\Software\\Borland\\Delphi\\3.0' /v RootDir /d " + Quoted(delphi) + " /reg:32",
          std::string("'HKCU\\Software\\Borland\\Delphi\\3.0\\Library' /v SearchPath /d "
                      "'$(DELPHI)\\Lib;$(DELPHI)\\Bin;$(DELPHI)\\Imports'"),
          // The user last set up Delphi 5.
          std::string("'HKCU\\Software\\Quillon\\Tessarium' /v LastEnvironment /d 'Delphi 5'")}) {
        std::string said;
        ASSERT_EQ(Wine("wine reg add " + add + " /f", &said), 0) << said;
    }
    Settle();
    const std::string engineLib = product + "\\Lib\\Delphi3";
    std::string said;

#ifdef QTS_WINE_WINDOW_TESTS
    {
        DialogWatcher dialogs;
        TFormSetup setup;
        setup.show();
        // It starts on the environment set up last, which is not in this prefix.
        ASSERT_FALSE(dialogs.seen.empty());
        for (const auto& seen : dialogs.seen)
            EXPECT_EQ(seen.text, "Delphi 5.0 does not seem to be installed properly.");
        const std::size_t shown = dialogs.seen.size();
        setup.RadDelphi30->click();
        EXPECT_EQ(dialogs.seen.size(), shown) << dialogs.seen.back().text;
        EXPECT_EQ(TextOf(setup.EditPatched), engineLib);
        EXPECT_TRUE(setup.ChkInstallDesign->isChecked());
        EXPECT_NE(TextOf(setup.EditLibraryPath).find(engineLib), std::string::npos)
            << TextOf(setup.EditLibraryPath);
        setup.close();
    }
#endif
    ASSERT_EQ(QtsCtl({"setup", "show", "--environment", "Delphi 3"}, &said), 0) << said;
    EXPECT_NE(said.find(engineLib), std::string::npos) << said;
    EXPECT_EQ(said.find("not seem"), std::string::npos) << said;

    const std::string machine = Machine();
    const std::string user = User();
    UnsetEnv("QTS_WINEPREFIX");
    ASSERT_EQ(QtsCtl({"setup", "run", "--wine-prefix", prefix_, "--environment", "Delphi 3",
                      "--no-generate", "--design", "install", "--tools", "skip"},
                     &said),
              0)
        << said;
    ASSERT_EQ(QtsCtl({"--wine-prefix", prefix_, "alias", "set", "Orders", "--path",
                      "C:\\Data\\Orders.mdb", "--exclusive"},
                     &said),
              0)
        << said;
    ASSERT_EQ(QtsCtl({"--wine-prefix", prefix_, "alias", "set", "Mine", "--scope", "user", "--path",
                      "C:\\Users\\Mine.mdb"},
                     &said),
              0)
        << said;
    SetEnv("QTS_WINEPREFIX", prefix_);

    // Only the keys written changed. The Aliases keys themselves hold no values: whether they
    // appear as a block of their own depends on who wrote the file last (Wine leaves them out).
    const std::string aliases = "[Software\\\\Wow6432Node\\\\Quillon\\\\Tessarium\\\\Configuration"
                                "\\\\Aliases";
    const std::string userAliases = "[Software\\\\Quillon\\\\Tessarium\\\\Configuration\\\\Aliases";
    std::set<std::string> machineKeys = Differences(machine, Machine());
    machineKeys.erase(aliases);
    std::set<std::string> userKeys = Differences(user, User());
    userKeys.erase(userAliases);
    EXPECT_EQ(machineKeys, (std::set<std::string>{aliases + "\\\\Orders"}));
    EXPECT_EQ(userKeys, (std::set<std::string>{"[Software\\\\Borland\\\\Delphi\\\\3.0\\\\Library",
                                               "[Software\\\\Borland\\\\Delphi\\\\3.0\\\\Session",
                                               "[Software\\\\Quillon\\\\Tessarium",
                                               userAliases + "\\\\Mine"}));

    // Wine starts on the files and reads what was written.
    EXPECT_EQ(
        Wine("wine reg query 'HKCU\\Software\\Borland\\Delphi\\3.0\\Library' /v SearchPath", &said),
        0)
        << said;
    EXPECT_NE(said.find(engineLib + ";" + product +
                        "\\Lib\\Src;$(DELPHI)\\Lib;$(DELPHI)\\Bin;"
                        "$(DELPHI)\\Imports;"),
              std::string::npos)
        << said;
    EXPECT_EQ(
        Wine("wine reg query 'HKCU\\Software\\Borland\\Delphi\\3.0\\Session' /v Project", &said),
        0);
    EXPECT_NE(said.find(product + "\\Demo\\Delphi3\\Demo.dpr"), std::string::npos) << said;
    EXPECT_EQ(Wine("wine reg query "
                   "'HKLM\\Software\\Quillon\\Tessarium\\Configuration\\Aliases\\Orders' /reg:32",
                   &said),
              0)
        << said;
    EXPECT_NE(said.find("C:\\Data\\Orders.mdb"), std::string::npos) << said;
    EXPECT_EQ(
        Wine("wine reg query 'HKCU\\Software\\Quillon\\Tessarium\\Configuration\\Aliases\\Mine'",
             &said),
        0)
        << said;
    EXPECT_NE(said.find("C:\\Users\\Mine.mdb"), std::string::npos) << said;
    EXPECT_EQ(Wine("wine reg query 'HKCU\\Software\\Quillon\\Tessarium' /v LastEnvironment", &said),
              0);
    EXPECT_NE(said.find("Delphi 3"), std::string::npos) << said;
    EXPECT_EQ(Wine("wine cmd /c echo started", &said), 0) << said;
    EXPECT_NE(said.find("started"), std::string::npos) << said;
    EXPECT_EQ(Contents(driveC + "/Borland/Delphi 3/Bin/VCLDB30.dpl"), "ENGINE PACKAGE");
    Settle();
}

} // namespace
