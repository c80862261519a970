// "Setup Now" in the window: what the log shows, what is remembered, how the button reads after
// a run, and how a failing step and the design tool confirmation reach the person.
#include <QCheckBox>
#include <QRadioButton>
#include <QTest>

#include "SetupFormTestSupport.h"

namespace
{

const std::string P = "C:\\Program Files\\Quillon\\Tessarium";

class SetupWindowRun : public SetupWindowTest
{
protected:
    // Delphi 3 chosen (and then forgotten), every step switched off, "Setup Now" showing.
    TFormSetup& OpenWithEverythingOff()
    {
        TFormSetup& window = Open("Delphi 3");
        InstalledEnvironments::WriteValue(false, InstalledEnvironments::EngineKey(),
                                          "LastEnvironment", "");
        window.ChkGenerate->setChecked(false);
        window.ChkSkipDesign->setChecked(true);
        window.ChkSkipTools->setChecked(true);
        window.Pages->setCurrentWidget(window.TabProgress);
        return window;
    }
    std::vector<std::string> ToolFiles(const TFormSetup& window) const
    {
        std::vector<std::string> files;
        for (const QLineEdit* edit : {window.EditExplorerPath, window.EditQueryBuilderPath})
            for (const char* suffix : {"", ".old"})
                files.push_back(environment.ReadFile(TextOf(edit) + suffix));
        return files;
    }
};

} // namespace

TEST_F(SetupWindowRun, RunWithEveryStepOffLogsOnlyTheEndAndRemembersTheEnvironment)
{
    TFormSetup& window = OpenWithEverythingOff();
    window.MemoProgress->setPlainText("left from before");
    ASSERT_EQ(Caption(window), "&Setup");

    window.BtnNext->click();
    EXPECT_EQ(LinesOf(window.MemoProgress), (std::vector<std::string>{"", "Done."}));
    EXPECT_EQ(Remembered(), "Delphi 3");
    EXPECT_EQ(Caption(window), "&Redo");
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(dialogs.seen.empty());

    // "&Redo" runs again with a cleared log; a change of page gives the ordinary caption back.
    window.BtnNext->click();
    EXPECT_EQ(LinesOf(window.MemoProgress), (std::vector<std::string>{"", "Done."}));
    window.Pages->setCurrentWidget(window.TabDesignTools);
    EXPECT_EQ(Caption(window), "&Next");
    window.Pages->setCurrentWidget(window.TabProgress);
    EXPECT_EQ(Caption(window), "&Setup");
}

TEST_F(SetupWindowRun, EmptyLineInOriginalFilesEndsTheRunWithTheErrorBoxAfterDone)
{
    TFormSetup& window = OpenWithEverythingOff();
    const std::vector<std::string> originals = machine->OriginalFiles(Environment::Delphi3);
    window.ChkGenerate->setChecked(true);
    window.MemoOriginal->setPlainText(QString::fromStdString(originals[0] + "\n\n" + originals[1]));
    std::vector<std::string> logWhenShown;
    bool waitCursorWhenShown = true;
    dialogs.nextAnswers.push_back([&] {
        logWhenShown = LinesOf(window.MemoProgress);
        waitCursorWhenShown = QApplication::overrideCursor() != nullptr;
        return int(mrOk);
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
    // The first file was done, and nothing remembered.
    EXPECT_TRUE(environment.Exists(P + "\\Lib\\Delphi3\\BDE.dcu"));
    EXPECT_EQ(Remembered(), "");
    EXPECT_EQ(Caption(window), "&Setup");
}

TEST_F(SetupWindowRun, InstallingTheDesignToolsTwiceAsksAndCancelLeavesBothFiles)
{
    TFormSetup& window = OpenWithEverythingOff();
    window.ChkInstallTools->setChecked(true);
    window.BtnNext->click();
    ASSERT_TRUE(dialogs.seen.empty());
    const std::vector<std::string> before = ToolFiles(window);

    // Both questions are answered with Escape in the real dialog; the log shows the line of the
    // step that asks while the run still waits for the answer.
    std::vector<std::string> logWhileAsking;
    for (int question = 0; question < 2; ++question)
        dialogs.script.push_back([&](QWidget& dialog) {
            logWhileAsking.push_back(LinesOf(window.MemoProgress).back());
            QTest::keyClick(&dialog, Qt::Key_Escape);
        });
    window.BtnNext->click();

    ASSERT_EQ(dialogs.seen.size(), 2u);
    EXPECT_EQ(dialogs.seen[0].title, "Patch Database Explorer");
    EXPECT_EQ(dialogs.seen[1].title, "Patch Query Builder");
    EXPECT_EQ(dialogs.seen[0].text.rfind("DANGER!! READ THIS CAREFULLY!!\r\n\r\nThere already is a "
                                         "saved copy of Database Explorer.  Overwrite it?",
                                         0),
              0u);
    EXPECT_EQ(logWhileAsking, (std::vector<std::string>{"Saving original Database Explorer...",
                                                        "Saving original Query Builder..."}));
    EXPECT_EQ(
        LinesOf(window.MemoProgress),
        (std::vector<std::string>{"", "Saving original Database Explorer...", "Aborted.", "",
                                  "Saving original Query Builder...", "Aborted.", "", "Done."}));
    EXPECT_EQ(ToolFiles(window), before);
    EXPECT_EQ(Caption(window), "&Redo");
}

TEST_F(SetupWindowRun, DesignEnvironmentRunWritesWhatThePageShows)
{
    TFormSetup& window = Open("Delphi 4");
    ASSERT_TRUE(window.ChkGenerate->isChecked() && window.ChkInstallDesign->isChecked());
    window.EditLibraryPath->setText("C:\\mine;$(DELPHI)\\Lib");
    // A final line break after the last original file is no further, empty entry.
    window.MemoOriginal->appendPlainText("");
    window.Pages->setCurrentWidget(window.TabProgress);

    window.BtnNext->click();

    EXPECT_TRUE(dialogs.seen.empty());
    EXPECT_EQ(machine->SearchPath(Environment::Delphi4), "C:\\mine;$(DELPHI)\\Lib");
    EXPECT_TRUE(environment.Exists(P + "\\Lib\\Delphi4\\BDE.dcu"));
    EXPECT_TRUE(environment.Exists(InstalledEnvironments::EnvironmentDir(Environment::Delphi4) +
                                   "\\Bin\\VCLDB40.bpl"));
    EXPECT_EQ(LinesOf(window.MemoProgress).back(), "Done.");
    EXPECT_EQ(Caption(window), "&Redo");
}
