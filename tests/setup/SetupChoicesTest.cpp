// The setup pages filled in by a script: an environment chosen on a fresh window, then the
// choices of the later pages with the window's reactions, and the run with its closing lines.
#include <gtest/gtest.h>

#include "ApplyEnvironment.h"
#include "InstalledEnvironments.h"
#include "RecordingReport.h"
#include "SetupChoices.h"
#include "SetupRun.h"
#include "TestEnvironment.h"

namespace
{

class ScriptedSetup : public testing::Test
{
protected:
    TestEnvironment testEnvironment;
    InstalledEnvironments machine{testEnvironment};
    EnvironmentProfile profile;
    SetupFields fields;
    RecordingReport report;
};

} // namespace

TEST_F(ScriptedSetup, ChoosingAnEnvironmentFillsWhatTheWindowFillsFromItsInitialLayout)
{
    // The window: its initial layout, then one radio button selected.
    EnvironmentProfile windowProfile;
    SetupFields window;
    window.environment = Environment::Delphi2;
    RecordingReport windowReport;
    ApplyEnvironment(windowProfile, window, windowReport);

    // A script that had chosen another environment before starts from a fresh window all the
    // same.
    ChooseEnvironment(Environment::Delphi5, profile, fields, report);
    ChooseEnvironment(Environment::Delphi2, profile, fields, report);

    EXPECT_EQ(fields.originalFiles, window.originalFiles);
    EXPECT_EQ(fields.libraryPath, window.libraryPath);
    EXPECT_EQ(fields.complib, window.complib);
    EXPECT_EQ(fields.design, StepChoice::Install);
    EXPECT_EQ(fields.patchedFolder, machine.ProductDir() + "\\Lib\\Delphi2");
    EXPECT_EQ(profile.DisplayName, "Delphi 2.0");
    EXPECT_TRUE(report.notices.empty());
}

TEST_F(ScriptedSetup, RemoveRecomputesFromTheRegistryAndTypedTextsWinOverIt)
{
    const Environment e = Environment::Delphi2;
    const std::string p = machine.ProductDir();
    const std::string r = InstalledEnvironments::EnvironmentDir(e);
    machine.SetSearchPath(e, p + "\\Lib\\Delphi2;" + p + "\\Lib\\Src;" + r + "\\Lib");
    ChooseEnvironment(e, profile, fields, report);
    ASSERT_EQ(fields.design, StepChoice::Skip);

    SetupChoices remove;
    remove.design = StepChoice::Remove;
    ApplySetupChoices(remove, profile, fields, report);
    EXPECT_EQ(fields.libraryPath, r + "\\Lib");
    EXPECT_EQ(fields.complib, r + "\\Bin\\CmpLib32.dcl");

    SetupChoices typed;
    typed.design = StepChoice::Install;
    typed.libraryPath = "X:\\mine";
    typed.complib = "X:\\my.dcl";
    typed.originalFiles = std::vector<std::string>{"X:\\a.dcu", "X:\\b.lib=Release\\b.lib"};
    typed.generate = false;
    typed.installDemo = false;
    typed.tools = StepChoice::Remove;
    ApplySetupChoices(typed, profile, fields, report);
    EXPECT_EQ(fields.design, StepChoice::Install);
    EXPECT_EQ(fields.libraryPath, "X:\\mine");
    EXPECT_EQ(fields.complib, "X:\\my.dcl");
    EXPECT_EQ(fields.originalFiles, *typed.originalFiles);
    EXPECT_FALSE(fields.generate);
    EXPECT_FALSE(fields.installDemo);
    EXPECT_EQ(fields.tools, StepChoice::Remove);

    // Install chosen again is the button already selected: the typed path stays.
    SetupChoices again;
    again.design = StepChoice::Install;
    ApplySetupChoices(again, profile, fields, report);
    EXPECT_EQ(fields.libraryPath, "X:\\mine");
    EXPECT_TRUE(report.notices.empty());
}

TEST_F(ScriptedSetup, TheRunEndsWithDoneAlsoWhenAStepFails)
{
    ChooseEnvironment(Environment::Delphi3, profile, fields, report);
    fields.originalFiles = {};
    fields.design = StepChoice::Skip;
    RunSetup(profile, fields, report);
    EXPECT_EQ(report.log, std::vector<std::string>({"", "Done."}));

    report.log.clear();
    fields.originalFiles = {"C:\\nowhere\\BDE.dcu"};
    EXPECT_THROW(RunSetup(profile, fields, report), std::exception);
    ASSERT_GE(report.log.size(), 2u);
    EXPECT_EQ(report.log[report.log.size() - 2], "");
    EXPECT_EQ(report.log.back(), "Done.");
}
