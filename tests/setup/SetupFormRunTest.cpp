// "Setup Now" in the window: what the log shows, what is remembered, how the button reads after
// a run, and how a failing step and the design tool confirmation reach the person.
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "SetupFormTestSupport.h"

namespace
{

const std::string P = "C:\\Program Files\\Quillon\\Tessarium";

class SetupWindowRun : public SetupWindowTest
{
protected:
    // Delphi 3 chosen, every step switched off, the "Setup Now" page showing.
    TFormSetup& OpenWithEverythingOff()
    {
        Install();
        TFormSetup& window = OpenWindow();
        window.RadDelphi30->click();
        window.ChkGenerate->setChecked(false);
        window.ChkSkipDesign->setChecked(true);
        window.ChkSkipTools->setChecked(true);
        window.Pages->setCurrentWidget(window.TabProgress);
        return window;
    }
};

} // namespace

TEST_F(SetupWindowRun, RunWithEveryStepOffLogsOnlyTheEndAndRemembersTheEnvironment)
{
    TFormSetup& window = OpenWithEverythingOff();
    window.MemoProgress->setPlainText("left from before");
    ASSERT_EQ(window.BtnNext->text().toStdString(), "&Setup");

    window.BtnNext->click();

    EXPECT_EQ(LinesOf(window.MemoProgress), (std::vector<std::string>{"", "Done."}));
    EXPECT_EQ(Remembered(), "Delphi 3");
    EXPECT_EQ(window.BtnNext->text().toStdString(), "&Redo");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(dialogs.seen.empty());

    // "&Redo" runs again with a cleared log; a change of page gives the ordinary caption back.
    window.BtnNext->click();
    EXPECT_EQ(LinesOf(window.MemoProgress), (std::vector<std::string>{"", "Done."}));
    window.Pages->setCurrentWidget(window.TabDesignTools);
    EXPECT_EQ(window.BtnNext->text().toStdString(), "&Next");
    window.Pages->setCurrentWidget(window.TabProgress);
    EXPECT_EQ(window.BtnNext->text().toStdString(), "&Setup");
}

TEST_F(SetupWindowRun, EmptyLineInOriginalFilesEndsTheRunWithTheErrorBoxAfterDone)
{
    TFormSetup& window = OpenWithEverythingOff();
    const std::vector<std::string> originals = machine->OriginalFiles(Environment::Delphi3);
    window.ChkGenerate->setChecked(true);
    window.MemoOriginal->setPlainText(QString::fromStdString(originals[0] + "\n\n" + originals[1]));
    std::vector<std::string> logWhenShown;
    bool waitCursorWhenShown = true;
    dialogs.script.push_back([&](QWidget& box) {
        logWhenShown = LinesOf(window.MemoProgress);
        waitCursorWhenShown = QApplication::overrideCursor() != nullptr;
        QTest::keyClick(&box, Qt::Key_Return);
    });

    window.BtnNext->click();

    ASSERT_EQ(dialogs.seen.size(), 1u);
    EXPECT_EQ(dialogs.seen[0].text, "Cannot open file ");
    EXPECT_EQ(dialogs.seen[0].title, "QTS Configuration Utility");
    // Cursor back and the closing lines written before the box came up.
    EXPECT_FALSE(waitCursorWhenShown);
    ASSERT_GE(logWhenShown.size(), 2u);
    EXPECT_EQ(std::vector<std::string>(logWhenShown.end() - 2, logWhenShown.end()),
              (std::vector<std::string>{"", "Done."}));
    EXPECT_EQ(LinesOf(window.MemoProgress), logWhenShown);
    // The first file was done; nothing after the failing line, and nothing remembered.
    EXPECT_TRUE(environment.Exists(P + "\\Lib\\Delphi3\\BDE.dcu"));
    for (const std::string& line : logWhenShown)
        EXPECT_EQ(line.find("VCLDB30"), std::string::npos) << line;
    EXPECT_EQ(Remembered(), "");
    EXPECT_EQ(window.BtnNext->text().toStdString(), "&Setup");
}

TEST_F(SetupWindowRun, FinalLineBreakInOriginalFilesIsNotAnotherEntry)
{
    TFormSetup& window = OpenWithEverythingOff();
    const std::vector<std::string> originals = machine->OriginalFiles(Environment::Delphi3);
    window.ChkGenerate->setChecked(true);
    window.MemoOriginal->setPlainText(
        QString::fromStdString(originals[0] + "\n" + originals[1] + "\n"));

    window.BtnNext->click();

    EXPECT_TRUE(dialogs.seen.empty());
    EXPECT_TRUE(environment.Exists(P + "\\Lib\\Delphi3\\BDE.dcu"));
    EXPECT_TRUE(environment.Exists(P + "\\Lib\\Delphi3\\VCLDB30.dpl"));
    EXPECT_EQ(LinesOf(window.MemoProgress).back(), "Done.");
    EXPECT_EQ(Remembered(), "Delphi 3");
    EXPECT_EQ(window.BtnNext->text().toStdString(), "&Redo");
}

TEST_F(SetupWindowRun, InstallingTheDesignToolsTwiceAsksAndCancelLeavesBothFiles)
{
    TFormSetup& window = OpenWithEverythingOff();
    window.ChkInstallTools->setChecked(true);
    const std::string explorer = TextOf(window.EditExplorerPath);
    const std::string builder = TextOf(window.EditQueryBuilderPath);
    window.BtnNext->click();
    ASSERT_TRUE(dialogs.seen.empty());
    ASSERT_TRUE(environment.Exists(explorer + ".old"));
    ASSERT_TRUE(environment.Exists(builder + ".old"));
    const std::vector<std::string> before = {
        environment.ReadFile(explorer), environment.ReadFile(explorer + ".old"),
        environment.ReadFile(builder), environment.ReadFile(builder + ".old")};

    // Both questions are answered with Escape in the real dialog; the log shows the line of the
    // step that asks while the run still waits for the answer.
    std::vector<std::vector<std::string>> logWhileAsking;
    for (int question = 0; question < 2; ++question)
        dialogs.script.push_back([&](QWidget& dialog) {
            logWhileAsking.push_back(LinesOf(window.MemoProgress));
            QTest::keyClick(&dialog, Qt::Key_Escape);
        });
    ASSERT_EQ(window.BtnNext->text().toStdString(), "&Redo");
    window.BtnNext->click();

    ASSERT_EQ(dialogs.seen.size(), 2u);
    EXPECT_EQ(dialogs.seen[0].title, "Patch Database Explorer");
    EXPECT_EQ(dialogs.seen[1].title, "Patch Query Builder");
    EXPECT_EQ(dialogs.seen[0].text.rfind("DANGER!! READ THIS CAREFULLY!!\r\n\r\nThere already is a "
                                         "saved copy of Database Explorer.  Overwrite it?",
                                         0),
              0u);
    ASSERT_EQ(logWhileAsking.size(), 2u);
    EXPECT_EQ(logWhileAsking[0],
              (std::vector<std::string>{"", "Saving original Database Explorer..."}));
    EXPECT_EQ(logWhileAsking[1].back(), "Saving original Query Builder...");
    EXPECT_EQ(
        LinesOf(window.MemoProgress),
        (std::vector<std::string>{"", "Saving original Database Explorer...", "Aborted.", "",
                                  "Saving original Query Builder...", "Aborted.", "", "Done."}));
    const std::vector<std::string> after = {
        environment.ReadFile(explorer), environment.ReadFile(explorer + ".old"),
        environment.ReadFile(builder), environment.ReadFile(builder + ".old")};
    EXPECT_EQ(after, before);
    EXPECT_EQ(window.BtnNext->text().toStdString(), "&Redo");
}

TEST_F(SetupWindowRun, DesignEnvironmentRunWritesWhatThePageShows)
{
    Install();
    Remember("Delphi 4");
    TFormSetup& window = OpenWindow();
    window.ChkGenerate->setChecked(false);
    ASSERT_TRUE(window.ChkInstallDesign->isChecked());
    window.EditLibraryPath->setText("C:\\mine;$(DELPHI)\\Lib");
    window.Pages->setCurrentWidget(window.TabProgress);

    window.BtnNext->click();

    EXPECT_EQ(machine->SearchPath(Environment::Delphi4), "C:\\mine;$(DELPHI)\\Lib");
    const std::vector<std::string> log = LinesOf(window.MemoProgress);
    ASSERT_GE(log.size(), 4u);
    EXPECT_EQ(log[1], "Updating unit search path and component library...");
    EXPECT_EQ(log[2], "Copying files to design environment...");
    EXPECT_TRUE(environment.Exists(InstalledEnvironments::EnvironmentDir(Environment::Delphi4) +
                                   "\\Bin\\VCLDB40.bpl"));
    EXPECT_EQ(Remembered(), "Delphi 4");
}
