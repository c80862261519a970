#include <gtest/gtest.h>

#include <filesystem>

#include "EnvironmentInstall.h"
#include "FileSystem.h"
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
    std::vector<std::string> log; // "backup", "copy", "remove", "restore" or a whole line
};

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
    {true, false, true, Entry::None, Entry::None, "engine", "-", {"copy"}},
    {true, false, true, Entry::ReadOnly, Entry::None, "engine", "-", {"copy"}},
    {true, false, false, Entry::File, Entry::None, "target", "-", {"copy", CopyFailed}},
    // Installing a marked item keeps the environment's file once, and never replaces a backup.
    {true, true, true, Entry::None, Entry::File, "engine", "backup", {"copy"}},
    {true, true, true, Entry::ReadOnly, Entry::None, "engine", "target", {"backup", "copy"}},
    {true, true, true, Entry::File, Entry::File, "engine", "backup", {"copy"}},
    {true, true, true, Entry::File, Entry::Folder, "target", "/", {"backup", BackupFailed}},
    // Removing a plain item deletes a target file; a failed delete goes unmentioned.
    {false, false, true, Entry::File, Entry::None, "-", "-", {"remove"}},
    {false, false, true, Entry::None, Entry::None, "-", "-", {}},
    {false, false, true, Entry::ReadOnly, Entry::None, "target!", "-", {"remove"}},
    {false, false, true, Entry::Folder, Entry::None, "/", "-", {}},
    // Removing a marked item puts its backup back; without one the target is the environment's.
    {false, true, true, Entry::File, Entry::None, "target", "-", {}},
    {false, true, true, Entry::File, Entry::File, "backup", "-", {"remove", "restore"}},
    {false, true, true, Entry::None, Entry::File, "backup", "-", {"restore"}},
    {false, true, true, Entry::ReadOnly, Entry::File, "target!", "backup", {"remove", RemoveFailed}},
    {false, true, true, Entry::Folder, Entry::File, "/", "backup", {"restore", RestoreFailed}},
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
        for (const std::string& line : c.log) {
            if (line == "backup")
                expected.push_back("Backing up " + target + " to " + backup + "...");
            else if (line == "copy")
                expected.push_back("Copying " + source + " to " + target + "...");
            else if (line == "remove")
                expected.push_back("Removing " + target + "...");
            else if (line == "restore")
                expected.push_back("Restoring " + backup + "...");
            else
                expected.push_back(line);
        }
        EXPECT_EQ(report.log, expected);
    }
}

namespace
{

class EnvironmentSettings : public testing::Test
{
protected:
    TestEnvironment env;
    RecordingReport report;
    EnvironmentProfile profile;
    SetupFields fields;
    const std::string session = "Software\\Borland\\Delphi\\2.0\\Session";

    EnvironmentSettings()
    {
        profile.DisplayName = "Delphi 2.0";
        profile.EnvironmentKey = "Software\\Borland\\Delphi\\2.0";
        profile.LibraryKey = "Software\\Borland\\Delphi\\2.0\\Library";
        profile.SearchPathValue = "SearchPath";
        profile.ComplibKey = "Software\\Borland\\Delphi\\2.0\\Library";
        profile.ComplibValue = "ComponentLibrary";
        profile.DemoProject = "\\Demo\\Delphi2\\Demo.dpr";
        profile.ProductDir = "C:\\Quillon";
        fields.libraryPath = "C:\\Quillon\\Lib\\Delphi2;$(DELPHI)\\Lib";
        fields.complib = "C:\\Quillon\\Lib\\Delphi2\\CmpLib32.dcl";
        // The installation key lives with the machine; the demo project goes to the user's.
        Write(RegistryRoot::CurrentUser, profile.LibraryKey, "SearchPath");
        Write(RegistryRoot::LocalMachine, profile.EnvironmentKey, "RootDir");
    }
    static void Write(RegistryRoot root, const std::string& key, const std::string& name)
    {
        TRegistry registry;
        registry.SelectRoot(root);
        ASSERT_TRUE(registry.OpenKeyPath(key, true));
        registry.WriteText(name, "before");
    }
    // "(no key)", "(no value)" or the text.
    static std::string Read(const std::string& key, const std::string& name,
                            RegistryRoot root = RegistryRoot::CurrentUser)
    {
        TRegistry registry;
        registry.SelectRoot(root);
        if (!registry.OpenKeyPath(key, false))
            return "(no key)";
        return registry.HasValue(name) ? registry.ReadText(name) : "(no value)";
    }
};

} // namespace

TEST_F(EnvironmentSettings, WritesSearchPathComponentLibraryAndDemoProjectForTheUser)
{
    // Without the demo project and a component library key, only the search path is written.
    fields.installDemo = false;
    profile.ComplibKey.clear();
    UpdateEnvironmentSettings(profile, fields, report);
    EXPECT_EQ(Read(profile.LibraryKey, "SearchPath"), fields.libraryPath);
    EXPECT_EQ(Read(profile.LibraryKey, "ComponentLibrary"), "(no value)");
    EXPECT_NE(Read("", "ComponentLibrary"), fields.complib); // not at the root either
    EXPECT_EQ(Read(session, "Project"), "(no key)");

    fields.installDemo = true;
    profile.ComplibKey = profile.LibraryKey;
    UpdateEnvironmentSettings(profile, fields, report);
    EXPECT_EQ(Read(profile.LibraryKey, "ComponentLibrary"), fields.complib);
    EXPECT_EQ(Read(session, "Project"), "C:\\Quillon\\Demo\\Delphi2\\Demo.dpr");
    EXPECT_EQ(Read(session, "Project", RegistryRoot::LocalMachine), "(no key)");
    EXPECT_TRUE(report.events.empty());
}

TEST_F(EnvironmentSettings, MissingLibraryKeysAreNoticedAndTheDemoProjectIsStillSet)
{
    profile.LibraryKey = "Software\\Borland\\Delphi\\2.0\\Missing";
    profile.ComplibKey = "Software\\Borland\\Delphi\\2.0\\AlsoMissing";

    UpdateEnvironmentSettings(profile, fields, report);

    EXPECT_EQ(report.notices,
              (std::vector<std::string>{"Delphi 2.0 does not seem to be installed properly.",
                                        "Delphi 2.0 does not seem to be installed properly."}));
    EXPECT_EQ(Read(profile.LibraryKey, "SearchPath"), "(no key)");
    EXPECT_EQ(Read(session, "Project"), "C:\\Quillon\\Demo\\Delphi2\\Demo.dpr");
}
