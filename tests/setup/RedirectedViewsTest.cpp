// What only a 32-bit program on 64-bit Windows shows: the development environments, their
// installers and the engine are 32-bit programs, and the system shows them
// HKEY_LOCAL_MACHINE\Software through Software\WOW6432Node and the system folder through
// SysWOW64. The program must find what they wrote there and write where they read.
//
// The tests stand for the other programs by naming a registry view or the native system folder
// themselves (KEY_WOW64_32KEY, KEY_WOW64_64KEY, "sysnative"); the program never does.
#ifdef _WIN32

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <utility>
#include <vector>

#include <windows.h>

#include "AliasStore.h"
#include "ApplyEnvironment.h"
#include "FileSystem.h"
#include "InstalledEnvironments.h"
#include "PatcherTestSupport.h"
#include "QtsTools.h"
#include "RecordingReport.h"
#include "SetupRun.h"
#include "TRegistry.h"
#include "TestEnvironment.h"

namespace
{

const REGSAM View32 = KEY_WOW64_32KEY; // what a 32-bit installer writes and the engine reads
const REGSAM View64 = KEY_WOW64_64KEY; // what a 64-bit program writes and reads

class OpenKey
{
public:
    OpenKey() = default;
    ~OpenKey()
    {
        if (handle)
            RegCloseKey(handle);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    HKEY handle = nullptr;
};

void WriteInView(HKEY root, const std::string& key, const std::string& name,
                 const std::string& text, REGSAM view)
{
    OpenKey opened;
    ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_SET_VALUE | view, nullptr, &opened.handle, nullptr),
              ERROR_SUCCESS)
        << key;
    ASSERT_EQ(RegSetValueExA(opened.handle, name.c_str(), 0, REG_SZ,
                             reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>(text.size() + 1)),
              ERROR_SUCCESS);
}

// The text of a value as one view shows it, or "<no key>" / "<no value>".
std::string ReadInView(HKEY root, const std::string& key, const std::string& name, REGSAM view)
{
    OpenKey opened;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE | view, &opened.handle) !=
        ERROR_SUCCESS)
        return "<no key>";
    char data[1024] = {};
    DWORD size = sizeof data - 1;
    if (RegQueryValueExA(opened.handle, name.c_str(), nullptr, nullptr,
                         reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS)
        return "<no value>";
    return data;
}

// Windows reports its folders in the letter case it was installed with.
std::string Lower(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string WindowsFolder()
{
    char folder[MAX_PATH + 1] = {};
    const UINT length = GetWindowsDirectoryA(folder, sizeof folder);
    return length > 0 && length < sizeof folder ? std::string(folder) : std::string();
}

std::string SysWow64Folder()
{
    char folder[MAX_PATH + 1] = {};
    const UINT length = GetSystemWow64DirectoryA(folder, sizeof folder);
    return length > 0 && length < sizeof folder ? std::string(folder) : std::string();
}

// A file in the system folder that 64-bit programs see, placed for the length of a test.
class NativeSystemFile
{
public:
    NativeSystemFile(const std::string& name, const std::string& bytes)
        : path_(WindowsFolder() + "\\sysnative\\" + name)
    {
        if (FileSystem::ReplaceWholeFile(path_, bytes) != FileSystem::WriteResult::Ok)
            ADD_FAILURE() << "cannot place " << path_;
    }
    ~NativeSystemFile() { FileSystem::RemoveFile(path_); }
    NativeSystemFile(const NativeSystemFile&) = delete;
    NativeSystemFile& operator=(const NativeSystemFile&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

const std::string EngineKey = "Software\\Quillon\\Tessarium";
const std::string AliasesKey = "Software\\Quillon\\Tessarium\\Configuration\\Aliases";

} // namespace

TEST(RedirectedViews, TheWindowsBuildIsA32BitProgramOn64BitWindows)
{
    EXPECT_EQ(sizeof(void*), 4u);
    BOOL wow64 = FALSE;
    ASSERT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
    EXPECT_TRUE(wow64) << "the views below are only redirected for a 32-bit program on 64-bit "
                          "Windows (scripts/test-windows.sh makes a 64-bit Wine prefix)";
}

class RegistryView : public testing::Test
{
protected:
    TestEnvironment env;
    TRegistry registry;
    AliasStore aliases{registry};

    std::vector<std::pair<std::string, std::string>> List(AliasScope scope)
    {
        std::vector<std::pair<std::string, std::string>> listed;
        aliases.ListAliases(scope, listed);
        return listed;
    }
};

TEST_F(RegistryView, ApplyEnvironmentFindsWhatThe32BitInstallersWrote)
{
    const std::string p = "C:\\Program Files (x86)\\Quillon\\Tessarium";
    const std::string r = "C:\\Program Files (x86)\\Borland\\Delphi5";
    const std::string delphi5 = "Software\\Borland\\Delphi\\5.0";
    WriteInView(HKEY_LOCAL_MACHINE, EngineKey, "RootDir", p, View32);
    WriteInView(HKEY_LOCAL_MACHINE, delphi5, "RootDir", r, View32);
    // The same keys as a 64-bit program would see them, with folders that must not be taken.
    WriteInView(HKEY_LOCAL_MACHINE, EngineKey, "RootDir", "C:\\Seen64\\Quillon", View64);
    WriteInView(HKEY_LOCAL_MACHINE, delphi5, "RootDir", "C:\\Seen64\\Delphi5", View64);
    // Delphi 4 installed as far as a 64-bit program can tell, which no Delphi is.
    WriteInView(HKEY_LOCAL_MACHINE, "Software\\Borland\\Delphi\\4.0", "RootDir",
                "C:\\Seen64\\Delphi4", View64);
    // The user's settings are one key for both views: written by a 64-bit program, read here.
    WriteInView(HKEY_CURRENT_USER, delphi5 + "\\Library", "Search Path", "$(DELPHI)\\Lib", View64);

    EnvironmentProfile profile;
    SetupFields fields;
    RecordingReport report;
    fields.environment = Environment::Delphi5;
    ApplyEnvironment(profile, fields, report);

    EXPECT_EQ(report.notices, std::vector<std::string>{});
    EXPECT_EQ(profile.ProductDir, p);
    EXPECT_EQ(profile.EnvironmentDir, r);
    EXPECT_EQ(fields.patchedFolder, p + "\\Lib\\Delphi5");
    ASSERT_FALSE(fields.originalFiles.empty());
    EXPECT_EQ(fields.originalFiles[0], r + "\\Lib\\BDE.dcu");
    EXPECT_EQ(fields.explorerPath, r + "\\Bin\\DBX50.BPL");
    EXPECT_EQ(fields.design, StepChoice::Install);
    EXPECT_EQ(fields.libraryPath,
              p + "\\Lib\\Delphi5;" + p + "\\Lib\\Src;$(DELPHI)\\Lib;" + r + "\\Lib\\Delphi2");

    fields.environment = Environment::Delphi4;
    ApplyEnvironment(profile, fields, report);
    EXPECT_EQ(report.notices,
              (std::vector<std::string>{"Delphi 4.0 does not seem to be installed properly.",
                                        "Delphi 4.0 does not seem to be installed properly."}));
    EXPECT_EQ(profile.EnvironmentDir, r);
}

TEST_F(RegistryView, GlobalAliasesAreThoseOfThe32BitView)
{
    WriteInView(HKEY_LOCAL_MACHINE, AliasesKey + "\\Sales", "Path", "C:\\db\\sales.mdb", View32);
    WriteInView(HKEY_LOCAL_MACHINE, AliasesKey + "\\Stock", "Path", "C:\\db\\stock.mdb", View64);

    using Listed = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(List(AliasScope::Global), (Listed{{"Sales", "C:\\db\\sales.mdb"}}));
    EXPECT_FALSE(aliases.LoadAlias("Stock").has_value());
}

TEST_F(RegistryView, WhatTheProgramWritesUnderLocalMachineIsInThe32BitViewOnly)
{
    AliasSettings orders;
    orders.Path = "C:\\db\\orders.mdb";
    orders.ReadOnly = true;
    List(AliasScope::Global);
    ASSERT_TRUE(aliases.SaveAlias("Orders", orders));

    const std::string key = AliasesKey + "\\Orders";
    EXPECT_EQ(ReadInView(HKEY_LOCAL_MACHINE, key, "Path", View32), orders.Path);
    EXPECT_EQ(ReadInView(HKEY_LOCAL_MACHINE, key, "Read Only", View32), "True");
    EXPECT_EQ(ReadInView(HKEY_LOCAL_MACHINE, key, "Path", View64), "<no key>");
    EXPECT_EQ(ReadInView(HKEY_LOCAL_MACHINE, EngineKey, "", View64), "<no key>");

    // Renaming and deleting stay in the same view.
    aliases.RenameAlias("Orders", "Archive");
    EXPECT_EQ(ReadInView(HKEY_LOCAL_MACHINE, key, "Path", View32), "<no key>");
    EXPECT_EQ(ReadInView(HKEY_LOCAL_MACHINE, AliasesKey + "\\Archive", "Path", View32),
              orders.Path);
    EXPECT_EQ(ReadInView(HKEY_LOCAL_MACHINE, AliasesKey + "\\Archive", "Path", View64), "<no key>");
    EXPECT_TRUE(aliases.DeleteAlias("Archive"));
    EXPECT_EQ(ReadInView(HKEY_LOCAL_MACHINE, AliasesKey + "\\Archive", "Path", View32), "<no key>");
}

TEST_F(RegistryView, CurrentUserSoftwareIsTheSameInBothViews)
{
    AliasSettings mine;
    mine.Path = "C:\\db\\mine.mdb";
    List(AliasScope::CurrentUser);
    ASSERT_TRUE(aliases.SaveAlias("Mine", mine));
    WriteInView(HKEY_CURRENT_USER, AliasesKey + "\\Theirs", "Path", "C:\\db\\theirs.mdb", View64);

    EXPECT_EQ(ReadInView(HKEY_CURRENT_USER, AliasesKey + "\\Mine", "Path", View32), mine.Path);
    EXPECT_EQ(ReadInView(HKEY_CURRENT_USER, AliasesKey + "\\Mine", "Path", View64), mine.Path);
    auto listed = List(AliasScope::CurrentUser);
    std::sort(listed.begin(), listed.end());
    using Listed = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(listed, (Listed{{"Mine", "C:\\db\\mine.mdb"}, {"Theirs", "C:\\db\\theirs.mdb"}}));
}

class SystemFolderView : public testing::Test
{
protected:
    TestEnvironment env;
};

TEST_F(SystemFolderView, SystemDirectoryIsSystem32AndReachesTheSysWow64Files)
{
    EXPECT_EQ(Lower(SystemDirectory()), Lower(WindowsFolder() + "\\system32"));
    const std::string wow64 = SysWow64Folder();
    ASSERT_FALSE(wow64.empty());
    ASSERT_EQ(FileSystem::ReplaceWholeFile(wow64 + "\\QtsView.bin", "32-bit side"),
              FileSystem::WriteResult::Ok);
    const NativeSystemFile native("QtsView.bin", "64-bit side");

    const std::string seen = SystemDirectory() + "\\QtsView.bin";
    EXPECT_TRUE(FileSystem::FileExists(seen));
    std::string image;
    ASSERT_EQ(FileSystem::ReadWholeFile(seen, image), FileSystem::ReadResult::Ok);
    EXPECT_EQ(image, "32-bit side");

    // Copies through the system folder read and write the SysWOW64 side.
    ASSERT_TRUE(CreatePath("C:\\out"));
    ASSERT_TRUE(FileSystem::CopyFileOver(seen, "C:\\out\\QtsView.bin"));
    EXPECT_EQ(env.ReadFile("C:\\out\\QtsView.bin"), "32-bit side");
    ASSERT_EQ(FileSystem::ReplaceWholeFile("C:\\out\\QtsView.bin", "copied back"),
              FileSystem::WriteResult::Ok);
    ASSERT_TRUE(FileSystem::CopyFileOver("C:\\out\\QtsView.bin", seen));
    EXPECT_EQ(env.ReadFile(wow64 + "\\QtsView.bin"), "copied back");
    EXPECT_EQ(env.ReadFile(native.Path()), "64-bit side");
}

// The Delphi 3-5 and C++Builder 3-4 defaults name their database package in the system folder
// ("C:\windows\system32\VCLDB30.dpl"); the package itself is where its 32-bit installer put it.
TEST_F(SystemFolderView, SystemPackagesArePatchedFromWhereThe32BitInstallerPutThem)
{
    const InstalledEnvironments machine(env);
    const std::pair<Environment, const char*> packages[] = {{Environment::Delphi3, "VCLDB30.dpl"},
                                                            {Environment::Delphi4, "VCLDB40.bpl"},
                                                            {Environment::Delphi5, "VCLBDE50.bpl"},
                                                            {Environment::CPP3, "VCLDB35.bpl"},
                                                            {Environment::CPP4, "VCLDB40.bpl"}};
    const std::string wow64 = SysWow64Folder();
    ASSERT_FALSE(wow64.empty());

    for (const auto& [environment, name] : packages) {
        SCOPED_TRACE(name);
        const std::string installed = "32-bit package " + std::string(name) +
                                      std::string("\0idapi32.dll\0", 13) + "IDAPI32.DLL";
        ASSERT_EQ(FileSystem::ReplaceWholeFile(wow64 + "\\" + name, installed),
                  FileSystem::WriteResult::Ok);
        const NativeSystemFile native(name, "64-bit package idapi32.dll");

        EnvironmentProfile profile;
        SetupFields fields;
        RecordingReport report;
        fields.environment = environment;
        ApplyEnvironment(profile, fields, report);
        ASSERT_EQ(report.notices, std::vector<std::string>{});
        ASSERT_FALSE(fields.originalFiles.empty());
        EXPECT_EQ(Lower(fields.originalFiles.back()),
                  Lower("C:\\windows\\system32\\" + std::string(name)));

        fields.generate = true;
        fields.design = StepChoice::Skip;
        fields.tools = StepChoice::Skip;
        RunSetupSteps(profile, fields, report);
        EXPECT_EQ(env.ReadFile(fields.patchedFolder + "\\" + name), ReferencePatch(installed));
        EXPECT_EQ(env.ReadFile(wow64 + "\\" + name), installed);
        EXPECT_EQ(env.ReadFile(native.Path()), "64-bit package idapi32.dll");
    }
}

#endif // _WIN32
