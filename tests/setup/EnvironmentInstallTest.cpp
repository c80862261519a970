#include <gtest/gtest.h>

#include <filesystem>

#include "EnvironmentInstall.h"
#include "FileSystem.h"
#include "InstalledEnvironments.h"
#include "QtsTools.h"
#include "RecordingReport.h"
#include "TRegistry.h"
#include "TestEnvironment.h"

namespace
{

// What is found at a path before or after an operation.
enum class Entry { None, File, ReadOnly, Folder };

struct PackageCase {
    bool install;
    bool marked;
    bool sourceThere;
    Entry target; // holds "target" when a file
    Entry backup; // holds "backup" when a file
    const char* targetAfter;
    const char* backupAfter;
    std::vector<std::string> log; // {S} source, {T} target, {B} backup
};

const char* const Backup = "Backing up {T} to {B}...";
const char* const Copy = "Copying {S} to {T}...";
const char* const Remove = "Removing {T}...";
const char* const Restore = "Restoring {B}...";
const char* const BackupFailed =
    "Failed to backup original file; design environment may not function correctly.";
const char* const CopyFailed =
    "Failed to copy file; design environment may not function correctly.";
const char* const RemoveFailed =
    "Failed to remove file; design environment may not function correctly.";
const char* const RestoreFailed =
    "Failed to restore original file; design environment may not function correctly.";

// After: "-" nothing, "/" a folder, else the file's content with "!" when it is read-only.
// clang-format off
const std::vector<PackageCase> PackageCases = {
    // Installing a plain item copies over whatever is there.
    {true, false, true, Entry::None, Entry::None, "engine", "-", {Copy}},
    {true, false, true, Entry::ReadOnly, Entry::None, "engine", "-", {Copy}},
    {true, false, false, Entry::File, Entry::None, "target", "-", {Copy, CopyFailed}},
    // Installing a marked item keeps the environment's file once, and never replaces a backup.
    {true, true, true, Entry::None, Entry::File, "engine", "backup", {Copy}},
    {true, true, true, Entry::ReadOnly, Entry::None, "engine", "target", {Backup, Copy}},
    {true, true, true, Entry::File, Entry::File, "engine", "backup", {Copy}},
    {true, true, true, Entry::File, Entry::Folder, "target", "/", {Backup, BackupFailed}},
    // Removing a plain item deletes a target file; a failed delete goes unmentioned.
    {false, false, true, Entry::File, Entry::None, "-", "-", {Remove}},
    {false, false, true, Entry::None, Entry::None, "-", "-", {}},
    {false, false, true, Entry::ReadOnly, Entry::None, "target!", "-", {Remove}},
    {false, false, true, Entry::Folder, Entry::None, "/", "-", {}},
    // Removing a marked item puts its backup back; without one the target is the environment's.
    {false, true, true, Entry::File, Entry::None, "target", "-", {}},
    {false, true, true, Entry::File, Entry::File, "backup", "-", {Remove, Restore}},
    {false, true, true, Entry::None, Entry::File, "backup", "-", {Restore}},
    {false, true, true, Entry::ReadOnly, Entry::File, "target!", "backup", {Remove, RemoveFailed}},
    {false, true, true, Entry::Folder, Entry::File, "/", "backup", {Restore, RestoreFailed}},
};
// clang-format on

void Make(const TestEnvironment& env, const std::string& path, Entry entry,
          const std::string& content)
{
    if (entry == Entry::Folder)
        std::filesystem::create_directories(FileSystem::NativePath(path));
    if (entry == Entry::File || entry == Entry::ReadOnly)
        env.WriteFile(path, content);
    if (entry == Entry::ReadOnly) {
        ASSERT_TRUE(FileSystem::SetReadOnly(path));
    }
}

std::string Describe(const TestEnvironment& env, const std::string& path)
{
    if (FileSystem::Find(path) == FileSystem::EntryKind::Folder)
        return "/";
    if (!FileSystem::FileExists(path))
        return "-";
    return env.ReadFile(path) + (FileSystem::IsReadOnly(path) ? "!" : "");
}

} // namespace

TEST(PackageFiles, EachItemStateGivesItsResultAndLines)
{
    TestEnvironment env;
    for (std::size_t index = 0; index < PackageCases.size(); ++index) {
        const PackageCase& c = PackageCases[index];
        SCOPED_TRACE("case " + std::to_string(index));
        EnvironmentProfile profile;
        profile.EnvironmentDir = "C:\\Borland\\Case" + std::to_string(index);
        profile.ProductDir = "C:\\Quillon";
        profile.PackageList = "%quillon\\Lib\\Case" + std::to_string(index) +
                              ".lib=%borland\\Lib\\vcldb.lib" + (c.marked ? "+" : "");
        const std::string source = "C:\\Quillon\\Lib\\Case" + std::to_string(index) + ".lib";
        const std::string target = profile.EnvironmentDir + "\\Lib\\vcldb.lib";
        const std::string backup = target + ".old";
        if (c.sourceThere)
            env.WriteFile(source, "engine");
        std::filesystem::create_directories(
            FileSystem::NativePath(profile.EnvironmentDir + "\\Lib"));
        Make(env, target, c.target, "target");
        Make(env, backup, c.backup, "backup");

        RecordingReport report;
        if (c.install)
            InstallPackageFiles(profile, report);
        else
            RemovePackageFiles(profile, report);

        EXPECT_EQ(Describe(env, target), c.targetAfter);
        EXPECT_EQ(Describe(env, backup), c.backupAfter);
        std::vector<std::string> expected;
        for (const std::string& line : c.log)
            expected.push_back(ReplaceAll(
                ReplaceAll(ReplaceAll(line, "{S}", source), "{T}", target), "{B}", backup));
        EXPECT_EQ(report.log, expected);
    }
}

namespace
{

// Reads a value under HKEY_CURRENT_USER: "(no key)", "(no value)" or the text.
std::string UserValue(const std::string& key, const std::string& name)
{
    TRegistry registry;
    registry.SelectRoot(RegistryRoot::CurrentUser);
    if (!registry.OpenKeyPath(key, false))
        return "(no key)";
    return registry.HasValue(name) ? registry.ReadText(name) : "(no value)";
}

} // namespace

TEST(EnvironmentSettings, WritesWhatIsChosenForTheUserAndNoticesMissingKeys)
{
    TestEnvironment env;
    RecordingReport report;
    const std::string library = "Software\\Borland\\Delphi\\2.0\\Library";
    const std::string session = "Software\\Borland\\Delphi\\2.0\\Session";
    EnvironmentProfile profile;
    profile.DisplayName = "Delphi 2.0";
    profile.EnvironmentKey = "Software\\Borland\\Delphi\\2.0";
    profile.LibraryKey = library;
    profile.SearchPathValue = "SearchPath";
    profile.ComplibValue = "ComponentLibrary";
    profile.DemoProject = "\\Demo\\Delphi2\\Demo.dpr";
    profile.ProductDir = "C:\\Quillon";
    SetupFields fields;
    fields.libraryPath = "C:\\Quillon\\Lib\\Delphi2;$(DELPHI)\\Lib";
    fields.complib = "C:\\Quillon\\Lib\\Delphi2\\CmpLib32.dcl";
    fields.installDemo = false;
    InstalledEnvironments::WriteValue(false, library, "SearchPath", "$(DELPHI)\\Lib");
    // The installation key lives with the machine; the demo project goes to the user's.
    InstalledEnvironments::WriteValue(true, profile.EnvironmentKey, "RootDir", "C:\\Delphi");

    // No component library key and no demo project: only the search path is written.
    UpdateEnvironmentSettings(profile, fields, report);
    EXPECT_EQ(UserValue(library, "SearchPath"), fields.libraryPath);
    EXPECT_EQ(UserValue(library, "ComponentLibrary"), "(no value)");
    EXPECT_NE(UserValue("", "ComponentLibrary"), fields.complib); // not at the root either
    EXPECT_EQ(UserValue(session, "Project"), "(no key)");

    fields.installDemo = true;
    profile.ComplibKey = library;
    UpdateEnvironmentSettings(profile, fields, report);
    EXPECT_EQ(UserValue(library, "ComponentLibrary"), fields.complib);
    EXPECT_EQ(UserValue(session, "Project"), "C:\\Quillon\\Demo\\Delphi2\\Demo.dpr");
    EXPECT_EQ(InstalledEnvironments::ReadValue(true, session, "Project"), "");
    EXPECT_TRUE(report.events.empty());

    // Missing keys are noticed, and the demo project is still set.
    profile.LibraryKey = profile.ComplibKey = "Software\\Borland\\Delphi\\2.0\\Missing";
    InstalledEnvironments::WriteValue(false, session, "Project", "");
    UpdateEnvironmentSettings(profile, fields, report);
    EXPECT_EQ(report.notices,
              (std::vector<std::string>{"Delphi 2.0 does not seem to be installed properly.",
                                        "Delphi 2.0 does not seem to be installed properly."}));
    EXPECT_EQ(UserValue(profile.LibraryKey, "SearchPath"), "(no key)");
    EXPECT_EQ(UserValue(session, "Project"), "C:\\Quillon\\Demo\\Delphi2\\Demo.dpr");
}
