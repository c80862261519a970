#include <gtest/gtest.h>

#include <memory>

#include "ApplyEnvironment.h"
#include "InstalledEnvironments.h"
#include "QtsTools.h"
#include "RecordingReport.h"
#include "TRegistry.h"
#include "TestEnvironment.h"

namespace
{

const std::string NotInstalled = " does not seem to be installed properly.";

struct Expected {
    Environment environment;
    const char* displayName;
    const char* libSubfolder;
    bool addsDelphi2Folder;
};

const Expected Environments[] = {
    {Environment::Delphi2, "Delphi 2.0", "\\Lib\\Delphi2", false},
    {Environment::Delphi3, "Delphi 3.0", "\\Lib\\Delphi3", true},
    {Environment::Delphi4, "Delphi 4.0", "\\Lib\\Delphi4", true},
    {Environment::Delphi5, "Delphi 5.0", "\\Lib\\Delphi5", true},
    {Environment::CPP1, "C++Builder 1.0", "\\Lib\\CPP", false},
    {Environment::CPP3, "C++Builder 3", "\\Lib\\CPP3", false},
    {Environment::CPP4, "C++Builder 4", "\\Lib\\CPP4", false},
};

class SetupDefaults : public testing::Test
{
protected:
    void Install(MachineSetup setup = {})
    {
        machine = std::make_unique<InstalledEnvironments>(testEnvironment, std::move(setup));
    }
    // Selecting an environment radio button.
    void Choose(Environment environment)
    {
        fields.environment = environment;
        ApplyEnvironment(profile, fields, report);
    }
    // Choosing Install or Remove on the design environment page.
    void Recompute(StepChoice design)
    {
        fields.design = design;
        UpdateDesignDefaults(profile, fields, report);
    }
    std::string P() const { return machine->ProductDir(); }
    static std::string R(Environment e) { return InstalledEnvironments::EnvironmentDir(e); }

    TestEnvironment testEnvironment;
    std::unique_ptr<InstalledEnvironments> machine;
    EnvironmentProfile profile;
    SetupFields fields;
    RecordingReport report;
};

void PrintTo(const Expected& expected, std::ostream* out)
{
    *out << expected.displayName;
}

class EachEnvironment : public SetupDefaults, public testing::WithParamInterface<Expected>
{
};

} // namespace

TEST_P(EachEnvironment, FillsProfileAndDefaultsThenChoosesInstallOrSkipByTheSearchPath)
{
    Install();
    const Environment e = GetParam().environment;
    const std::string r = R(e);
    const std::string l = GetParam().libSubfolder;
    const auto proposal = [&](const std::string& stored) {
        return P() + l + ";" + P() + "\\Lib\\Src;" + stored +
               (GetParam().addsDelphi2Folder ? ";" + r + "\\Lib\\Delphi2" : "");
    };
    Choose(e);

    EXPECT_EQ(report.events, std::vector<std::string>{});
    EXPECT_EQ(profile.EngineSuffix, "3x");
    EXPECT_EQ(profile.FormerSuffixes, "35,30");
    EXPECT_EQ(profile.DisplayName, GetParam().displayName);
    EXPECT_EQ(profile.LibSubfolder, l);
    EXPECT_EQ(profile.RootDirValue, "RootDir");
    EXPECT_EQ(profile.ProductDir, P());
    EXPECT_EQ(profile.EnvironmentDir, r);
    EXPECT_EQ(profile.CurrentComplib, InstalledEnvironments::ComponentLibraryFile(e));

    // The defaults name the files the environment really has.
    std::vector<std::string> original = machine->OriginalFiles(e);
    if (e == Environment::CPP3 || e == Environment::CPP4) {
        original[1] += "=Release\\" + FileNamePart(original[1]);
        original[2] += "=Debug\\" + FileNamePart(original[2]);
    }
    EXPECT_EQ(fields.originalFiles, original);
    const auto tools = InstalledEnvironments::DesignToolFiles(e);
    EXPECT_EQ(fields.explorerPath, tools[0]);
    EXPECT_EQ(fields.queryBuilderPath, tools.size() > 1 ? tools[1] : "");
    EXPECT_EQ(fields.queryBuilderEnabled, tools.size() > 1);
    if (e == Environment::Delphi2 || e == Environment::CPP1) {
        EXPECT_EQ(fields.complib, P() + l + "\\" + FileNamePart(profile.CurrentComplib));
        EXPECT_TRUE(fields.complibEnabled);
    } else {
        EXPECT_EQ(fields.complib, "(not applicable)");
        EXPECT_FALSE(fields.complibEnabled);
    }
    EXPECT_EQ(fields.patchedFolder, P() + l);
    EXPECT_TRUE(fields.generate);
    EXPECT_EQ(fields.design, StepChoice::Install);
    EXPECT_EQ(fields.libraryPath, proposal(InstalledEnvironments::SeededSearchPath(e)));

    // The engine's folder in other letter case is not the engine's folder.
    std::string upper = P();
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    machine->SetSearchPath(e, upper + l + ";$(DELPHI)\\Lib");
    Choose(e);
    EXPECT_EQ(fields.design, StepChoice::Install);
    EXPECT_EQ(fields.libraryPath, proposal(upper + l + ";$(DELPHI)\\Lib"));

    // Anywhere in the stored path, even inside a longer name, it selects Skip.
    const std::string stored = "$(DELPHI)\\Lib;X" + P() + "Old\\Lib";
    machine->SetSearchPath(e, stored);
    fields.design = StepChoice::Remove;
    Choose(e);
    EXPECT_EQ(fields.design, StepChoice::Skip);
    EXPECT_EQ(fields.libraryPath, stored);
    EXPECT_TRUE(report.events.empty());
}

INSTANTIATE_TEST_SUITE_P(SetupDefaults, EachEnvironment, testing::ValuesIn(Environments),
                         [](const auto& info) {
                             std::string name = info.param.displayName;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

TEST_F(SetupDefaults, Delphi2ComponentLibraryDefaultsAndMacros)
{
    MachineSetup setup;
    setup.componentLibraryValues = false;
    Install(setup);
    const std::string r = R(Environment::Delphi2);
    Choose(Environment::Delphi2);
    EXPECT_EQ(fields.originalFiles,
              (std::vector<std::string>{r + "\\Lib\\BDE.dcu", r + "\\Bin\\CmpLib32.dcl"}));
    EXPECT_EQ(fields.complib, P() + "\\Lib\\Delphi2\\CmpLib32.dcl");

    machine->SetComponentLibrary(Environment::Delphi2, "$(DELPHI)\\Lib\\Mine.dcl");
    Choose(Environment::Delphi2);
    EXPECT_EQ(fields.originalFiles.back(), r + "\\Lib\\Mine.dcl");
    EXPECT_EQ(fields.complib, P() + "\\Lib\\Delphi2\\Mine.dcl");

    machine->SetComponentLibrary(Environment::Delphi2, "$(Delphi)\\Lib\\Mine.dcl");
    Choose(Environment::Delphi2);
    EXPECT_EQ(fields.originalFiles.back(), "$(Delphi)\\Lib\\Mine.dcl");

    // Every macro of both environments stands for the environment's folder; the default of
    // C++Builder 1 is its own file.
    const std::string cb = R(Environment::CPP1);
    Choose(Environment::CPP1);
    EXPECT_EQ(fields.originalFiles.back(), cb + "\\Bin\\CmpLib32.ccl");
    machine->SetComponentLibrary(Environment::CPP1, "$(bcb)\\a;$(delphi)\\b;$(BCB)\\c");
    Choose(Environment::CPP1);
    EXPECT_EQ(profile.CurrentComplib, cb + "\\a;" + cb + "\\b;" + cb + "\\c");
    EXPECT_TRUE(report.events.empty());
}

// Engine missing: P stays empty and the proposal begins with the bare subfolders. Environment
// missing as well: its notice comes twice, and its fields keep the earlier environment's texts.
TEST_F(SetupDefaults, MissingEngineAndEnvironmentAreReportedAndKeepEarlierFields)
{
    MachineSetup setup;
    setup.engineKey = false;
    setup.environments = {Environment::Delphi3};
    Install(setup);
    const std::string patched = fields.patchedFolder;
    const std::string engineNotice = "Quillon Tessarium" + NotInstalled;
    Choose(Environment::Delphi3);
    EXPECT_EQ(report.notices, std::vector<std::string>{engineNotice});
    EXPECT_EQ(profile.ProductDir, "");
    EXPECT_EQ(fields.patchedFolder, patched);
    EXPECT_EQ(fields.design, StepChoice::Install);
    EXPECT_EQ(fields.libraryPath,
              "\\Lib\\Delphi3;\\Lib\\Src;" +
                  InstalledEnvironments::SeededSearchPath(Environment::Delphi3) + ";" +
                  R(Environment::Delphi3) + "\\Lib\\Delphi2");

    const SetupFields before = fields;
    report = RecordingReport();
    Choose(Environment::Delphi4);
    const std::string notice = "Delphi 4.0" + NotInstalled;
    EXPECT_EQ(report.notices, (std::vector<std::string>{engineNotice, notice, notice}));
    EXPECT_EQ(profile.DisplayName, "Delphi 4.0");
    EXPECT_EQ(profile.EnvironmentDir, R(Environment::Delphi3));
    EXPECT_EQ(fields.originalFiles, before.originalFiles);
    EXPECT_EQ(fields.explorerPath, before.explorerPath);
    EXPECT_EQ(fields.libraryPath, before.libraryPath);
}

// Choosing the environment ends at the missing key with its notice; recomputing for Remove
// sets the component library first, then gives the same notice.
TEST_F(SetupDefaults, MissingLibraryKeyEndsTheCallWithOneNotice)
{
    Install();
    machine->RemoveLibraryKey(Environment::CPP1);
    fields.design = StepChoice::Remove;
    const std::string shown = fields.libraryPath;
    Choose(Environment::CPP1);
    EXPECT_EQ(report.notices, std::vector<std::string>{"C++Builder 1.0" + NotInstalled});
    EXPECT_EQ(fields.explorerPath, R(Environment::CPP1) + "\\Bin\\DBX.DLL");
    EXPECT_EQ(fields.design, StepChoice::Remove);
    EXPECT_EQ(fields.libraryPath, shown);

    fields.complib = "C:\\x.ccl";
    Recompute(StepChoice::Remove);
    EXPECT_EQ(report.notices, std::vector<std::string>(2, "C++Builder 1.0" + NotInstalled));
    EXPECT_EQ(fields.complib, R(Environment::CPP1) + "\\Bin\\CmpLib32.ccl");
    EXPECT_EQ(fields.libraryPath, shown);
}

TEST_F(SetupDefaults, GenerateIsClearedWhenTheFolderHoldsAnInterfaceAlready)
{
    Install();
    testEnvironment.WriteFile(P() + "\\Lib\\Delphi3\\bde.DCU", "generated");
    Choose(Environment::Delphi3);
    EXPECT_FALSE(fields.generate);
    Choose(Environment::Delphi4);
    EXPECT_TRUE(fields.generate);

    // Without the engine key the folder as typed is tested, trailing backslash or not.
    machine->RemoveEngineKey();
    fields.patchedFolder = P() + "\\Lib\\Delphi3\\\\";
    Choose(Environment::Delphi4);
    EXPECT_FALSE(fields.generate);
}

TEST_F(SetupDefaults, NonTextSearchPathRaisesTheRegistryFailure)
{
    Install();
    {
        TRegistry registry;
        registry.SelectRoot(RegistryRoot::CurrentUser);
        ASSERT_TRUE(
            registry.OpenKeyPath(InstalledEnvironments::LibraryKey(Environment::Delphi3), false));
        registry.WriteNumber("SearchPath", 7);
    }
    try {
        Choose(Environment::Delphi3);
        FAIL() << "no exception";
    } catch (const ERegistryException& error) {
        EXPECT_STREQ(error.what(), "Invalid data type for 'SearchPath'");
    }
}

TEST_F(SetupDefaults, RemoveAndInstallRecomputeFromTheRegistryNotTheField)
{
    Install();
    const Environment e = Environment::Delphi2;
    const std::string r = R(e);
    const std::string stored =
        P() + "\\Lib\\Delphi2;" + P() + "\\Lib\\Src;$(DELPHI)\\LIB;" + r + "\\Lib\\Delphi2";
    machine->SetSearchPath(e, stored);
    Choose(e);
    ASSERT_EQ(fields.design, StepChoice::Skip);

    fields.libraryPath = "typed by hand";
    Recompute(StepChoice::Remove);
    EXPECT_EQ(fields.libraryPath, "$(DELPHI)\\LIB;" + r + "\\Lib\\Delphi2");
    EXPECT_EQ(fields.complib, r + "\\Bin\\CmpLib32.dcl");
    EXPECT_TRUE(fields.complibEnabled);

    Recompute(StepChoice::Install);
    EXPECT_EQ(fields.libraryPath, stored);
    EXPECT_EQ(fields.complib, P() + "\\Lib\\Delphi2\\CmpLib32.dcl");

    machine->SetSearchPath(e, "$(DELPHI)\\LIB");
    Recompute(StepChoice::Remove);
    EXPECT_EQ(fields.libraryPath, "$(DELPHI)\\LIB");
    EXPECT_TRUE(report.notices.empty());
}

// Install becoming selected recomputes the component library even when the environment's own
// defaults could not be read; when Install was selected already, nothing recomputes it. Before
// any environment is chosen there is no library key: the search path keeps its text rather than
// showing a proposal made of the bare engine subfolders.
TEST_F(SetupDefaults, InstallBecomingSelectedRecomputesTheDesignFields)
{
    Install();
    machine->RemoveEnvironmentKey(Environment::Delphi2);
    const std::string shown = fields.libraryPath;
    for (const StepChoice design : {StepChoice::Remove, StepChoice::Install}) {
        Recompute(design);
        EXPECT_EQ(fields.libraryPath, shown);
        EXPECT_EQ(fields.complib, "(not applicable)");
        EXPECT_TRUE(report.events.empty());
    }

    Choose(Environment::Delphi2);
    EXPECT_EQ(report.notices, std::vector<std::string>{"Delphi 2.0" + NotInstalled});
    EXPECT_EQ(fields.complib, "(not applicable)");
    EXPECT_FALSE(fields.complibEnabled);

    fields.design = StepChoice::Skip;
    Choose(Environment::Delphi2);
    EXPECT_EQ(fields.design, StepChoice::Install);
    EXPECT_EQ(fields.complib, P() + "\\Lib\\Delphi2\\CmpLib32.dcl");
    EXPECT_TRUE(fields.complibEnabled);
}
