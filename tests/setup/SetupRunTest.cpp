#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <map>

#include "ApplyEnvironment.h"
#include "FileSystem.h"
#include "InstalledEnvironments.h"
#include "Patcher.h"
#include "PatcherTestSupport.h"
#include "QtsTools.h"
#include "RecordingReport.h"
#include "SetupRun.h"
#include "TRegistry.h"
#include "TestEnvironment.h"

namespace
{

// What the engine brings for each environment, written out here as the engine's installer lays
// it down: its library folder, the demo project, and which environment file each engine package
// replaces ("+" marked files are the environment's own and are kept).
struct PackageExpectation {
    std::string source; // below P
    std::string target; // below R
    bool marked;
};

struct EngineExpectation {
    std::string caption;
    std::string libraryFolder; // below P
    std::string demoProject;   // below P
    std::vector<PackageExpectation> packages;
};

// In the order of the environments.
const EngineExpectation& ExpectationFor(Environment environment)
{
    // clang-format off
    static const std::vector<EngineExpectation> expectations = {
        {"Delphi 2", "\\Lib\\Delphi2", "\\Demo\\Delphi2\\Demo.dpr", {}},
        {"Delphi 3", "\\Lib\\Delphi3", "\\Demo\\Delphi3\\Demo.dpr",
         {{"\\Lib\\Delphi3\\VCLDB30.dpl", "\\Bin\\VCLDB30.dpl", false}}},
        {"Delphi 4", "\\Lib\\Delphi4", "\\Demo\\Delphi4\\Demo.dpr",
         {{"\\Lib\\Delphi4\\VCLDB40.bpl", "\\Bin\\VCLDB40.bpl", false}}},
        {"Delphi 5", "\\Lib\\Delphi5", "\\Demo\\Delphi5\\Demo.dpr",
         {{"\\Lib\\Delphi5\\VCLBDE50.bpl", "\\Bin\\VCLBDE50.bpl", false}}},
        {"C++Builder 1", "\\Lib\\CPP", "\\Demo\\CPP\\Demo.mak", {}},
        {"C++Builder 3", "\\Lib\\CPP3", "\\Demo\\CPP3\\Demo.mak",
         {{"\\Lib\\CPP3\\VCLDB35.bpl", "\\Bin\\vcldb35.bpl", false},
          {"\\Lib\\CPP3\\Release\\VCLDB35.lib", "\\Lib\\Release\\vcldb35.lib", true},
          {"\\Lib\\CPP3\\Debug\\VCLDB35.lib", "\\Lib\\Debug\\vcldb35.lib", true}}},
        {"C++Builder 4", "\\Lib\\CPP4", "\\Demo\\CPP4\\Demo.mak",
         {{"\\Lib\\CPP4\\VCLDB40.bpl", "\\Bin\\vcldb40.bpl", false},
          {"\\Lib\\CPP4\\Release\\VCLDB40.lib", "\\Lib\\Release\\vcldb40.lib", true},
          {"\\Lib\\CPP4\\Debug\\VCLDB40.lib", "\\Lib\\Debug\\vcldb40.lib", true}}},
    };
    // clang-format on
    return expectations.at(static_cast<std::size_t>(environment));
}

const char* const ToolNames[] = {"Database Explorer", "Query Builder"};
const std::string EngineKey = "\\Software\\Quillon\\Tessarium";

void AddPatchLines(std::vector<std::string>& log, const std::string& name,
                   const std::string& target)
{
    log.insert(log.end(), {"", "Reading original " + name + "...", "Patching " + name + "...",
                           "Writing patched " + name + "...",
                           "The patched " + name + " has been written to " + target + "."});
}

std::string UserValue(const std::string& key, const std::string& name)
{
    return InstalledEnvironments::ReadValue(false, key, name);
}

// Every file below folder whose name ends in ".old".
std::vector<std::string> LeftOverBackups(const std::string& folder)
{
    std::vector<std::string> found;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(FileSystem::NativePath(folder))) {
        const std::string name = entry.path().filename().string();
        if (name.size() > 4 && name.compare(name.size() - 4, 4, ".old") == 0)
            found.push_back(entry.path().string());
    }
    return found;
}

std::string FileErrorOf(const EnvironmentProfile& profile, const SetupFields& fields,
                        SetupReport& report)
{
    try {
        RunSetupSteps(profile, fields, report);
    } catch (const EFileError& error) {
        return error.what();
    }
    return "(no error)";
}

class SetupRunEndToEnd : public testing::TestWithParam<Environment>
{
protected:
    TestEnvironment env;
    InstalledEnvironments machine{env};
    RecordingReport report;
    EnvironmentProfile profile;
    SetupFields fields;
    const Environment environment = GetParam();
    const EngineExpectation& engine = ExpectationFor(environment);
    const std::string p = machine.ProductDir();
    const std::string r = InstalledEnvironments::EnvironmentDir(environment);
    std::map<std::string, std::string> asInstalled; // the environment's files before any run

    void SetUp() override
    {
        fields.environment = environment;
        ApplyEnvironment(profile, fields, report);
        ASSERT_TRUE(report.notices.empty());
        ASSERT_EQ(fields.patchedFolder, p + engine.libraryFolder);
        for (const std::string& file : machine.OriginalFiles(environment))
            asInstalled[file] = env.ReadFile(file);
        for (const std::string& file : InstalledEnvironments::DesignToolFiles(environment))
            asInstalled[file] = env.ReadFile(file);
        for (const PackageExpectation& package : engine.packages)
            if (package.marked)
                asInstalled[r + package.target] = env.ReadFile(r + package.target);
    }

    void Choose(StepChoice design, StepChoice tools)
    {
        fields.design = design;
        UpdateDesignDefaults(profile, fields, report);
        fields.tools = tools;
        report = RecordingReport();
    }

    std::string ToolPath(std::size_t index) const
    {
        const auto tools = InstalledEnvironments::DesignToolFiles(environment);
        return index < tools.size() ? tools[index] : "";
    }

    // The place of an original file's modified copy below the folder for modified files: the
    // Release and Debug libraries keep their subfolders apart.
    std::string PatchedCopy(const std::string& original) const
    {
        std::string relative = FileNamePart(original);
        for (const char* kind : {"Release", "Debug"})
            if (original.find(std::string("\\Lib\\") + kind + "\\") != std::string::npos)
                relative = std::string(kind) + "\\" + relative;
        return p + engine.libraryFolder + "\\" + relative;
    }

    std::vector<std::string> InstallLog() const
    {
        std::vector<std::string> log;
        for (const std::string& file : machine.OriginalFiles(environment))
            AddPatchLines(log, FileNamePart(file), PatchedCopy(file));
        log.insert(log.end(), {"", "Updating unit search path and component library..."});
        if (!engine.packages.empty())
            log.push_back("Copying files to design environment...");
        for (const PackageExpectation& package : engine.packages) {
            if (package.marked)
                log.push_back("Backing up " + r + package.target + " to " + r + package.target +
                              ".old...");
            log.push_back("Copying " + p + package.source + " to " + r + package.target + "...");
        }
        for (std::size_t tool = 0; tool < 2; ++tool) {
            const std::string dll = ToolPath(tool);
            if (dll.empty())
                continue;
            const std::string name = ToolNames[tool];
            log.insert(log.end(), {"", "Saving original " + name + "...",
                                   "The original " + name + " has been saved to " + dll + ".old."});
            AddPatchLines(log, name, dll);
        }
        return log;
    }

    std::vector<std::string> RemovalLog() const
    {
        std::vector<std::string> log = {"", "Updating unit search path and component library..."};
        if (!engine.packages.empty())
            log.push_back("Removing files from design environment...");
        for (const PackageExpectation& package : engine.packages) {
            log.push_back("Removing " + r + package.target + "...");
            if (package.marked)
                log.push_back("Restoring " + r + package.target + ".old...");
        }
        for (std::size_t tool = 0; tool < 2; ++tool) {
            const std::string dll = ToolPath(tool);
            const std::string name = ToolNames[tool];
            log.insert(log.end(), {"", "Restoring original " + name + "..."});
            if (dll.empty())
                log.insert(log.end(),
                           {"The .old was never converted,",
                            "or the saved original file .old has been deleted.", "Aborted."});
            else
                log.insert(log.end(),
                           {"Deleting existing modified copy of " + name + "...",
                            "The original " + name + " has been restored to " + dll + "."});
        }
        return log;
    }
};

} // namespace

TEST_P(SetupRunEndToEnd, InstallsEverythingThenRemovesEverything)
{
    const std::string libraryKey = InstalledEnvironments::LibraryKey(environment);
    const std::string searchPathValue = InstalledEnvironments::SearchPathValueName(environment);
    const std::string sessionKey =
        InstalledEnvironments::InstallationKey(environment) + "\\Session";
    ASSERT_TRUE(fields.generate);

    // Everything installed.
    Choose(StepChoice::Install, StepChoice::Install);
    RunSetupSteps(profile, fields, report);

    EXPECT_EQ(report.log, InstallLog());
    EXPECT_EQ(report.events.size(), report.log.size()); // no dialog, no notice
    EXPECT_EQ(UserValue(libraryKey, searchPathValue), fields.libraryPath);
    if (!InstalledEnvironments::SeededComponentLibrary(environment).empty()) {
        EXPECT_EQ(UserValue(libraryKey, "ComponentLibrary"), fields.complib);
    }
    EXPECT_EQ(UserValue(sessionKey, "Project"), p + engine.demoProject);
    EXPECT_EQ(UserValue(EngineKey, "LastEnvironment"), engine.caption);
    for (const std::string& file : machine.OriginalFiles(environment))
        EXPECT_EQ(env.ReadFile(PatchedCopy(file)), ReferencePatch(asInstalled.at(file))) << file;
    for (const std::string& dll : InstalledEnvironments::DesignToolFiles(environment)) {
        EXPECT_EQ(env.ReadFile(dll + ".old"), asInstalled.at(dll)) << dll;
        EXPECT_EQ(env.ReadFile(dll), ReferencePatch(asInstalled.at(dll))) << dll;
    }
    for (const PackageExpectation& package : engine.packages) {
        EXPECT_EQ(env.ReadFile(r + package.target), env.ReadFile(p + package.source));
        if (package.marked) {
            EXPECT_EQ(env.ReadFile(r + package.target + ".old"),
                      asInstalled.at(r + package.target));
        }
    }

    // Everything removed. The demo project is set again on the way out.
    InstalledEnvironments::WriteValue(false, sessionKey, "Project", "");
    fields.generate = false;
    Choose(StepChoice::Remove, StepChoice::Remove);
    RunSetupSteps(profile, fields, report);

    EXPECT_EQ(report.log, RemovalLog());
    EXPECT_EQ(report.events.size(), report.log.size());
    EXPECT_EQ(UserValue(libraryKey, searchPathValue), fields.libraryPath);
    EXPECT_EQ(UserValue(sessionKey, "Project"), p + engine.demoProject);
    for (const auto& [file, content] : asInstalled)
        EXPECT_EQ(env.ReadFile(file), content) << file;
    for (const PackageExpectation& package : engine.packages) {
        if (!package.marked) {
            EXPECT_FALSE(env.Exists(r + package.target)) << package.target;
        }
    }
    EXPECT_EQ(LeftOverBackups(r), std::vector<std::string>());
}

std::string CaptionLetters(const testing::TestParamInfo<Environment>& info)
{
    std::string name;
    for (const char c : ExpectationFor(info.param).caption)
        if (std::isalnum(static_cast<unsigned char>(c)))
            name += c;
    return name;
}

INSTANTIATE_TEST_SUITE_P(AllEnvironments, SetupRunEndToEnd, testing::ValuesIn(AllEnvironments()),
                         CaptionLetters);

namespace
{

class SetupRunSteps : public testing::Test
{
protected:
    TestEnvironment env;
    RecordingReport report;
    EnvironmentProfile profile;
    SetupFields fields;

    SetupRunSteps()
    {
        profile.EngineSuffix = "3x";
        profile.FormerSuffixes = "35,30";
        profile.DisplayName = "Delphi 3.0";
        profile.LibraryKey = "Software\\Borland\\Delphi\\3.0\\Library";
        profile.SearchPathValue = "SearchPath";
        profile.EnvironmentKey = "Software\\Borland\\Delphi\\3.0";
        fields.environment = Environment::Delphi3;
        fields.generate = false;
        fields.patchedFolder = "C:\\Engine\\Lib\\Delphi3";
        env.WriteFile("C:\\Delphi\\Lib\\BDE.dcu", "uses idapi32.dll");
        env.WriteFile("C:\\Delphi\\Lib\\Release\\VCLDB35.lib", "IDAPI32.DLL");
    }
};

} // namespace

TEST_F(SetupRunSteps, OriginalFileLinesNameTheSourceAndTheCopysPlaceUntilOneFails)
{
    fields.generate = true;
    fields.design = StepChoice::Install;
    // A line whose text after "=" is blank names a file whose name ends in "= ".
    fields.originalFiles = {" C:\\Delphi\\Lib\\Release\\VCLDB35.lib = Release\\VCLDB35.lib ",
                            "C:\\Delphi\\Lib\\BDE.dcu",
                            "C:\\Delphi\\Lib\\BDE.dcu= ", "C:\\Delphi\\Lib\\BDE.dcu"};

    EXPECT_EQ(FileErrorOf(profile, fields, report), "Cannot open file C:\\Delphi\\Lib\\BDE.dcu= ");

    EXPECT_EQ(env.ReadFile("C:\\Engine\\Lib\\Delphi3\\Release\\VCLDB35.lib"), "QTS323x.DLL");
    EXPECT_EQ(env.ReadFile("C:\\Engine\\Lib\\Delphi3\\BDE.dcu"), "uses QTS323x.DLL");
    std::vector<std::string> expected;
    AddPatchLines(expected, "VCLDB35.lib", "C:\\Engine\\Lib\\Delphi3\\Release\\VCLDB35.lib");
    AddPatchLines(expected, "BDE.dcu", "C:\\Engine\\Lib\\Delphi3\\BDE.dcu");
    expected.insert(expected.end(), {"", "Reading original BDE.dcu= ..."});
    // The run ends there: no further line, no design environment step, nothing remembered.
    EXPECT_EQ(report.log, expected);
    EXPECT_EQ(UserValue(EngineKey, "LastEnvironment"), "");
}

TEST_F(SetupRunSteps, ReportedFailuresDoNotStopTheRun)
{
    // The library key is missing, and the Query Builder's saving fails (its saved copy's name is
    // taken by a folder); the Explorer is still switched and the run goes on to the end.
    env.WriteFile("C:\\Delphi\\Bin\\DBX30.DPL", "idapi32.dll");
    env.WriteFile("C:\\Delphi\\Bin\\VQBLib32.dll", "idapi32.dll");
    env.WriteFile("C:\\Delphi\\Bin\\VQBLib32.dll.old\\inside", "");
    fields.explorerPath = "C:\\Delphi\\Bin\\DBX30.DPL";
    fields.queryBuilderPath = "C:\\Delphi\\Bin\\VQBLib32.dll";
    fields.tools = StepChoice::Install;
    fields.design = StepChoice::Remove;

    RunSetupSteps(profile, fields, report);

    EXPECT_EQ(report.notices,
              (std::vector<std::string>{"Delphi 3.0 does not seem to be installed properly."}));
    EXPECT_EQ(env.ReadFile("C:\\Delphi\\Bin\\DBX30.DPL"), "QTS323x.DLL");
    ASSERT_EQ(report.errors.size(), 1u);
    EXPECT_EQ(
        report.errors[0].message,
        "Failed to rename C:\\Delphi\\Bin\\VQBLib32.dll to C:\\Delphi\\Bin\\VQBLib32.dll.old.");
    EXPECT_EQ(report.log.back(), "Aborted.");
    EXPECT_EQ(env.ReadFile("C:\\Delphi\\Bin\\VQBLib32.dll"), "idapi32.dll");
    EXPECT_EQ(UserValue(EngineKey, "LastEnvironment"), "Delphi 3");
}

// First start: no environment chosen, so no profile either. The design environment steps have no
// keys to write to and end at once; the design tools step runs as chosen; nothing is written into
// the root of the user's registry.
TEST_F(SetupRunSteps, WithoutAnEnvironmentTheDesignEnvironmentStepsAbortAndWriteNothing)
{
    profile = EnvironmentProfile();
    fields = SetupFields();
    ApplyEnvironment(profile, fields, report);
    fields.generate = false;
    env.WriteFile(fields.explorerPath, "idapi32.dll");
    const std::vector<std::string> aborted = {
        "", "Updating unit search path and component library...", "Aborted."};

    for (const StepChoice design : {StepChoice::Install, StepChoice::Remove}) {
        fields.design = design;
        UpdateDesignDefaults(profile, fields, report);
        fields.tools = design == StepChoice::Install ? StepChoice::Install : StepChoice::Skip;
        report = RecordingReport();
        RunSetupSteps(profile, fields, report);

        std::vector<std::string> expected = aborted;
        if (design == StepChoice::Install) {
            expected.insert(expected.end(), {"", "Saving original Database Explorer...",
                                             "The original Database Explorer has been saved to " +
                                                 fields.explorerPath + ".old."});
            AddPatchLines(expected, "Database Explorer", fields.explorerPath);
        }
        EXPECT_EQ(report.log, expected);
        EXPECT_EQ(report.events.size(), report.log.size()); // no notice, no dialog
    }
    EXPECT_EQ(env.ReadFile(fields.explorerPath), "QTS323x.DLL");

    TRegistry registry;
    registry.SelectRoot(RegistryRoot::CurrentUser);
    ASSERT_TRUE(registry.OpenKeyPath("", false)); // the root itself
    EXPECT_FALSE(registry.HasValue(""));
    std::vector<std::string> keys;
    registry.ListSubkeys(keys);
    for (std::string key : keys) {
        for (char& c : key)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_NE(key, "session");
    }
    // The engine's key is made ready, but there is no environment to remember.
    ASSERT_TRUE(registry.OpenKeyPath(EngineKey, false));
    EXPECT_FALSE(registry.HasValue("LastEnvironment"));
}

namespace
{

// Whether the host itself has a path (not through the drive table).
bool HostHas(const std::string& nativePath)
{
    std::error_code error;
    return std::filesystem::exists(nativePath, error);
}

void RemoveMachineValue(const std::string& key, const std::string& name)
{
    TRegistry registry;
    registry.SelectRoot(RegistryRoot::LocalMachine);
    ASSERT_TRUE(registry.OpenKeyPath(key, false));
    ASSERT_TRUE(registry.RemoveValue(name));
}

} // namespace

// With the engine's "RootDir" missing, the folders built from it begin with "\": they lie on the
// current drive, C:, and the run writes there, never into the host's own "\Lib\Delphi3". With the
// environment's "RootDir" missing as well, its package goes to C:\Bin and is taken out of there.
TEST(SetupRunWithoutRootDir, WritesOnDriveCAndNeverInTheHostsOwnFolders)
{
    TestEnvironment env;
    const InstalledEnvironments machine(env);
    const CurrentFolder onDriveC(env.DriveFolder('c'));
    const Environment delphi3 = Environment::Delphi3;
    const std::string r = InstalledEnvironments::EnvironmentDir(delphi3);
    const std::vector<std::string> originals = machine.OriginalFiles(delphi3);
    RemoveMachineValue(InstalledEnvironments::EngineKey(), "RootDir");
    [[maybe_unused]] const bool hostLibBefore = HostHas("/lib/Delphi3");
    [[maybe_unused]] const bool hostBinBefore = HostHas("/bin/VCLDB30.dpl");

    // The run as the window proposes it.
    RecordingReport report;
    EnvironmentProfile profile;
    SetupFields fields;
    fields.environment = delphi3;
    ApplyEnvironment(profile, fields, report);
    ASSERT_EQ(fields.patchedFolder, "\\Lib\\Delphi3");
    ASSERT_TRUE(fields.generate);
    ASSERT_EQ(fields.design, StepChoice::Install);
    const std::string patchedPackage = ReferencePatch(env.ReadFile(originals.at(1)));
    RunSetupSteps(profile, fields, report);

    EXPECT_EQ(env.ReadFile("C:\\Lib\\Delphi3\\BDE.dcu"),
              ReferencePatch(env.ReadFile(originals[0])));
    EXPECT_EQ(env.ReadFile("C:\\Lib\\Delphi3\\VCLDB30.dpl"), patchedPackage);
    EXPECT_EQ(env.ReadFile(r + "\\Bin\\VCLDB30.dpl"), patchedPackage);
    EXPECT_EQ(UserValue(InstalledEnvironments::InstallationKey(delphi3) + "\\Session", "Project"),
              "\\Demo\\Delphi3\\Demo.dpr");

    RemoveMachineValue(InstalledEnvironments::InstallationKey(delphi3), "RootDir");
    ApplyEnvironment(profile, fields, report);
    ASSERT_EQ(profile.EnvironmentDir, "");
    ASSERT_TRUE(FileSystem::CreateFolder("C:\\Bin"));
    fields.generate = false;
    fields.design = StepChoice::Install;
    report = RecordingReport();
    RunSetupSteps(profile, fields, report);
    const std::string updating = "Updating unit search path and component library...";
    EXPECT_EQ(report.log, (std::vector<std::string>{
                              "", updating, "Copying files to design environment...",
                              "Copying \\Lib\\Delphi3\\VCLDB30.dpl to \\Bin\\VCLDB30.dpl..."}));
    EXPECT_EQ(env.ReadFile("C:\\Bin\\VCLDB30.dpl"), patchedPackage);

    fields.design = StepChoice::Remove;
    report = RecordingReport();
    RunSetupSteps(profile, fields, report);
    EXPECT_EQ(report.log,
              (std::vector<std::string>{"", updating, "Removing files from design environment...",
                                        "Removing \\Bin\\VCLDB30.dpl..."}));
    EXPECT_FALSE(env.Exists("C:\\Bin\\VCLDB30.dpl"));
#ifndef _WIN32
    EXPECT_EQ(HostHas("/lib/Delphi3"), hostLibBefore);
    EXPECT_EQ(HostHas("/bin/VCLDB30.dpl"), hostBinBefore);
#endif
}
