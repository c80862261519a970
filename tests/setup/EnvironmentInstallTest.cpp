#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "EnvironmentInstall.h"
#include "FileSystem.h"
#include "RecordingReport.h"
#include "TRegistry.h"
#include "TestEnvironment.h"

namespace
{

const std::string Borland = "C:\\Borland\\CBuilder3";
const std::string Quillon = "C:\\Quillon";
const std::string Package = Borland + "\\Bin\\vcldb35.bpl"; // plain: the engine's own package
const std::string Library = Borland + "\\Lib\\Release\\vcldb35.lib"; // marked: the environment's
const std::string LibraryBackup = Library + ".old";
const std::string EnginePackage = Quillon + "\\Lib\\CPP3\\VCLDB35.bpl";
const std::string EngineLibrary = Quillon + "\\Lib\\CPP3\\Release\\VCLDB35.lib";

const char* const CopyFailed =
    "Failed to copy file; design environment may not function correctly.";

std::string ReadText(RegistryRoot root, const std::string& key, const std::string& name)
{
    TRegistry registry;
    registry.SelectRoot(root);
    if (!registry.OpenKeyPath(key, false) || !registry.HasValue(name))
        return "(missing)";
    return registry.ReadText(name);
}

void WriteText(RegistryRoot root, const std::string& key, const std::string& name,
               const std::string& text)
{
    TRegistry registry;
    registry.SelectRoot(root);
    ASSERT_TRUE(registry.OpenKeyPath(key, true));
    registry.WriteText(name, text);
}

class PackageFiles : public testing::Test
{
protected:
    TestEnvironment env;
    RecordingReport report;
    EnvironmentProfile profile;

    PackageFiles()
    {
        profile.DisplayName = "C++Builder 3";
        profile.EnvironmentDir = Borland;
        profile.ProductDir = Quillon;
        profile.PackageList = "%quillon\\Lib\\CPP3\\VCLDB35.bpl=%borland\\Bin\\vcldb35.bpl,"
                              "%quillon\\Lib\\CPP3\\Release\\VCLDB35.lib=%borland\\Lib\\Release\\"
                              "vcldb35.lib+";
        env.WriteFile(EnginePackage, "engine package");
        env.WriteFile(EngineLibrary, "engine library");
        std::filesystem::create_directories(FileSystem::NativePath(Borland + "\\Bin"));
        std::filesystem::create_directories(FileSystem::NativePath(Borland + "\\Lib\\Release"));
    }

    void Install() { InstallPackageFiles(profile, report); }
    void Remove() { RemovePackageFiles(profile, report); }
};

} // namespace

TEST_F(PackageFiles, InstallingTwiceKeepsTheFirstBackupAndRemovalRestoresTheEnvironmentsFile)
{
    env.WriteFile(Library, "environment library");
    Install();
    Install();
    EXPECT_EQ(env.ReadFile(LibraryBackup), "environment library");
    EXPECT_EQ(report.log.back(), "Copying " + EngineLibrary + " to " + Library + "...");
    report.log.clear();

    Remove();

    EXPECT_EQ(env.ReadFile(Library), "environment library");
    EXPECT_FALSE(env.Exists(LibraryBackup));
    EXPECT_FALSE(env.Exists(Package));
    EXPECT_EQ(report.log, (std::vector<std::string>{
                              "Removing " + Package + "...",
                              "Removing " + Library + "...",
                              "Restoring " + LibraryBackup + "...",
                          }));
}

TEST_F(PackageFiles, InstallClearsReadOnlyTargetsAndTheBackupKeepsTheClearedAttribute)
{
    env.WriteFile(Package, "old package");
    env.WriteFile(Library, "environment library");
    ASSERT_TRUE(FileSystem::SetReadOnly(Package));
    ASSERT_TRUE(FileSystem::SetReadOnly(Library));

    Install();

    EXPECT_EQ(env.ReadFile(Package), "engine package");
    EXPECT_EQ(env.ReadFile(Library), "engine library");
    EXPECT_FALSE(FileSystem::IsReadOnly(LibraryBackup));
    EXPECT_EQ(std::count(report.log.begin(), report.log.end(), CopyFailed), 0);
}

TEST_F(PackageFiles, AFolderWhereTheBackupGoesBlocksTheBackupAndTheCopy)
{
    env.WriteFile(Library, "environment library");
    env.WriteFile(LibraryBackup + "\\inside", "x"); // the backup name is a folder, not a file

    Install();

    EXPECT_EQ(report.log[1], "Backing up " + Library + " to " + LibraryBackup + "...");
    EXPECT_EQ(report.log[2],
              "Failed to backup original file; design environment may not function correctly.");
    EXPECT_EQ(report.log.size(), 3u);
    EXPECT_EQ(env.ReadFile(Library), "environment library");
}

TEST_F(PackageFiles, RemovingWithoutInstallationLeavesTheEnvironmentsOwnFileAlone)
{
    env.WriteFile(Library, "environment library");
    env.WriteFile(Package, "stray package");

    Remove();

    EXPECT_EQ(env.ReadFile(Library), "environment library");
    EXPECT_FALSE(env.Exists(Package));
    EXPECT_EQ(report.log, (std::vector<std::string>{"Removing " + Package + "..."}));
}

TEST_F(PackageFiles, RemovalFailuresAreLoggedOnlyForMarkedItems)
{
    env.WriteFile(Package, "engine package");
    env.WriteFile(Library, "engine library");
    env.WriteFile(LibraryBackup, "environment library");
    ASSERT_TRUE(FileSystem::SetReadOnly(Package));
    ASSERT_TRUE(FileSystem::SetReadOnly(Library));

    Remove();

    EXPECT_TRUE(env.Exists(Package));
    EXPECT_EQ(env.ReadFile(Library), "engine library");
    EXPECT_EQ(env.ReadFile(LibraryBackup), "environment library");
    EXPECT_EQ(report.log, (std::vector<std::string>{
                              "Removing " + Package + "...",
                              "Removing " + Library + "...",
                              "Failed to remove file; design environment may not function "
                              "correctly.",
                          }));
}

TEST_F(PackageFiles, AFolderIsNoTargetToRemove)
{
    env.WriteFile(Package + "\\inside", "x");

    Remove();

    EXPECT_TRUE(report.log.empty());
    EXPECT_TRUE(env.Exists(Package + "\\inside"));
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

    EnvironmentSettings()
    {
        profile.DisplayName = "Delphi 2.0";
        profile.EnvironmentKey = "Software\\Borland\\Delphi\\2.0";
        profile.LibraryKey = "Software\\Borland\\Delphi\\2.0\\Library";
        profile.SearchPathValue = "SearchPath";
        profile.ComplibKey = "Software\\Borland\\Delphi\\2.0\\Library";
        profile.ComplibValue = "ComponentLibrary";
        profile.DemoProject = "\\Demo\\Delphi2\\Demo.dpr";
        profile.ProductDir = Quillon;
        fields.libraryPath = "C:\\Quillon\\Lib\\Delphi2;C:\\Quillon\\Lib\\Src;$(DELPHI)\\Lib";
        fields.complib = "C:\\Quillon\\Lib\\Delphi2\\CmpLib32.dcl";
        WriteText(RegistryRoot::CurrentUser, profile.LibraryKey, "SearchPath", "$(DELPHI)\\Lib");
        // The installation key lives with the machine; the demo project goes to the user's.
        WriteText(RegistryRoot::LocalMachine, profile.EnvironmentKey, "RootDir", Borland);
    }
    std::string User(const std::string& key, const std::string& name) const
    {
        return ReadText(RegistryRoot::CurrentUser, key, name);
    }
};

} // namespace

TEST_F(EnvironmentSettings, WritesSearchPathComponentLibraryAndDemoProjectForTheUser)
{
    UpdateEnvironmentSettings(profile, fields, report);

    EXPECT_EQ(User(profile.LibraryKey, "SearchPath"), fields.libraryPath);
    EXPECT_EQ(User(profile.LibraryKey, "ComponentLibrary"), fields.complib);
    EXPECT_EQ(User("Software\\Borland\\Delphi\\2.0\\Session", "Project"),
              "C:\\Quillon\\Demo\\Delphi2\\Demo.dpr");
    EXPECT_EQ(
        ReadText(RegistryRoot::LocalMachine, "Software\\Borland\\Delphi\\2.0\\Session", "Project"),
        "(missing)");
    EXPECT_TRUE(report.events.empty());
}

TEST_F(EnvironmentSettings, MissingLibraryKeyIsNoticedAndTheOtherStepsStillRun)
{
    profile.LibraryKey = "Software\\Borland\\Delphi\\2.0\\Missing";
    profile.ComplibKey = "Software\\Borland\\Delphi\\2.0\\AlsoMissing";

    UpdateEnvironmentSettings(profile, fields, report);

    EXPECT_EQ(report.notices,
              (std::vector<std::string>{"Delphi 2.0 does not seem to be installed properly.",
                                        "Delphi 2.0 does not seem to be installed properly."}));
    EXPECT_EQ(User(profile.LibraryKey, "SearchPath"), "(missing)");
    EXPECT_EQ(User("Software\\Borland\\Delphi\\2.0\\Session", "Project"),
              "C:\\Quillon\\Demo\\Delphi2\\Demo.dpr");
}
