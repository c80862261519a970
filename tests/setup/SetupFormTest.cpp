// The setup wizard from a person's point of view: what it shows at start, how Next and the tabs
// move through the pages, and how choosing an environment and Install/Remove fill the fields.
#include <QCheckBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QUrl>
#include <filesystem>
#include <tuple>

#include "SetupFormTestSupport.h"

// Receives the addresses the window hands to the desktop instead of a browser.
class UrlRecorder : public QObject
{
    Q_OBJECT

public:
    std::vector<QUrl> opened;

public slots:
    void Open(const QUrl& url) { opened.push_back(url); }
};

namespace
{

const std::string P = "C:\\Program Files\\Quillon\\Tessarium";

class SetupWindowStart : public SetupWindowTest
{
};

std::vector<QRadioButton*> VersionRadios(const TFormSetup& form)
{
    return {form.RadDelphi20, form.RadDelphi30, form.RadDelphi40, form.RadDelphi50,
            form.RadCPP10,    form.RadCPP30,    form.RadCPP40};
}

int SelectedVersions(const TFormSetup& form)
{
    int selected = 0;
    for (const QRadioButton* radio : VersionRadios(form))
        selected += radio->isChecked() ? 1 : 0;
    return selected;
}

} // namespace

TEST_F(SetupWindowStart, FirstStartShowsOnlyTheCompilerTabAndNextWalksThroughHiddenPages)
{
    Install();
    TFormSetup& window = OpenWindow();

    EXPECT_EQ(window.windowTitle().toStdString(), "Quillon Tessarium 3 Setup Utility");
    EXPECT_EQ(VisibleTabs(window), std::vector<std::string>{"Compiler"});
    EXPECT_EQ(window.Pages->currentWidget(), window.TabCompiler);
    EXPECT_EQ(SelectedVersions(window), 0);
    EXPECT_TRUE(window.BtnNext->isDefault());
    EXPECT_EQ(window.BtnCancel->text().toStdString(), "Exit");
    EXPECT_TRUE(dialogs.seen.empty());

    const std::vector<std::pair<QWidget*, std::string>> walk = {{window.TabCompile, "&Next"},
                                                                {window.TabDesignEnv, "&Next"},
                                                                {window.TabDesignTools, "&Next"},
                                                                {window.TabProgress, "&Setup"}};
    for (const auto& [page, caption] : walk) {
        window.BtnNext->click();
        EXPECT_EQ(window.Pages->currentWidget(), page);
        EXPECT_EQ(window.BtnNext->text().toStdString(), caption);
    }
    EXPECT_EQ(VisibleTabs(window), std::vector<std::string>{"Compiler"});
}

TEST_F(SetupWindowStart, RememberedEnvironmentIsSelectedAndFilledIn)
{
    Install();
    const std::vector<std::tuple<const char*, QRadioButton * TFormSetup::*, Environment>> table = {
        {"Delphi 2", &TFormSetup::RadDelphi20, Environment::Delphi2},
        {"Delphi 3", &TFormSetup::RadDelphi30, Environment::Delphi3},
        {"Delphi 4", &TFormSetup::RadDelphi40, Environment::Delphi4},
        {"Delphi 5", &TFormSetup::RadDelphi50, Environment::Delphi5},
        {"C++Builder 1", &TFormSetup::RadCPP10, Environment::CPP1},
        {"C++Builder 3", &TFormSetup::RadCPP30, Environment::CPP3},
        {"C++Builder 4", &TFormSetup::RadCPP40, Environment::CPP4}};
    for (const auto& [text, radio, installed] : table) {
        SCOPED_TRACE(text);
        Remember(text);
        TFormSetup& window = OpenWindow();
        EXPECT_EQ((window.*radio)->text().toStdString(), text);
        EXPECT_TRUE((window.*radio)->isChecked());
        EXPECT_EQ(SelectedVersions(window), 1);
        EXPECT_EQ(VisibleTabs(window).size(), 5u);
        EXPECT_EQ(window.Pages->currentWidget(), window.TabCompiler);
        EXPECT_EQ(window.BtnNext->text().toStdString(), "&Next");
        EXPECT_EQ(window.Profile().EnvironmentDir,
                  InstalledEnvironments::EnvironmentDir(installed));
        EXPECT_EQ(TextOf(window.EditExplorerPath),
                  InstalledEnvironments::DesignToolFiles(installed).front());
    }
    EXPECT_TRUE(dialogs.seen.empty());
}

TEST_F(SetupWindowStart, RememberedEnvironmentIsAppliedExactlyOnce)
{
    // Not installed at all: every application of the environment says so twice.
    MachineSetup setup;
    setup.environments = {Environment::Delphi2};
    Install(setup);
    Remember("C++Builder 1");

    TFormSetup& window = OpenWindow();

    EXPECT_TRUE(window.RadCPP10->isChecked());
    EXPECT_EQ(dialogs.Texts(), std::vector<std::string>(
                                   2, "C++Builder 1.0 does not seem to be installed properly."));
    EXPECT_EQ(dialogs.seen.front().title, "QTS Configuration Utility");
}

TEST_F(SetupWindowStart, RememberedTextMustMatchExactly)
{
    Install();
    for (const char* text : {"delphi 3", "DELPHI 3", "Delphi 3 ", "Delphi3", "C++builder 4", ""}) {
        SCOPED_TRACE(text);
        Remember(text);
        TFormSetup& window = OpenWindow();
        EXPECT_EQ(SelectedVersions(window), 0);
        EXPECT_EQ(VisibleTabs(window), std::vector<std::string>{"Compiler"});
    }
    EXPECT_TRUE(dialogs.seen.empty());
}

TEST_F(SetupWindowStart, WindowIsAFixedSizeDialogWithThePagesCentredInIt)
{
    Install();
    TFormSetup& window = OpenWindow();
    window.show();

    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_GE(window.Pages->width(), 503);
    EXPECT_EQ(window.width(), 2 * window.Pages->x() + window.Pages->width());
    EXPECT_GE(window.height(), 460);
    EXPECT_EQ(QApplication::focusWidget() ? QApplication::focusWidget() : window.focusWidget(),
              window.BtnNext);
}

class SetupWindowPages : public SetupWindowTest
{
};

TEST_F(SetupWindowPages, ChoosingAnEnvironmentShowsAllTabsAndStaysOnTheFirstPage)
{
    Install();
    TFormSetup& window = OpenWindow();

    QTest::mouseClick(window.RadDelphi30, Qt::LeftButton);

    EXPECT_TRUE(window.RadDelphi30->isChecked());
    EXPECT_EQ(VisibleTabs(window),
              (std::vector<std::string>{"Compiler", "BDE Interface", "Design Environment",
                                        "Design Tools", "Setup Now"}));
    EXPECT_EQ(window.Pages->currentWidget(), window.TabCompiler);
    EXPECT_EQ(window.BtnNext->text().toStdString(), "&Next");
}

TEST_F(SetupWindowPages, TabsSetTheNextCaptionByPagePosition)
{
    Install();
    Remember("Delphi 4");
    TFormSetup& window = OpenWindow();

    window.Pages->setCurrentWidget(window.TabProgress);
    EXPECT_EQ(window.BtnNext->text().toStdString(), "&Setup");
    window.Pages->setCurrentWidget(window.TabDesignEnv);
    EXPECT_EQ(window.BtnNext->text().toStdString(), "&Next");

    // Next on "BDE Interface" only moves on.
    window.Pages->setCurrentWidget(window.TabCompile);
    window.BtnNext->click();
    EXPECT_EQ(window.Pages->currentWidget(), window.TabDesignEnv);
    EXPECT_TRUE(window.MemoProgress->toPlainText().isEmpty());
}

TEST_F(SetupWindowPages, EscapeAndEnterActOnTheWindowExceptInsideTheMultiLineFields)
{
    Install();
    TFormSetup& window = OpenWindow();
    window.show();

    window.Pages->setCurrentWidget(window.TabCompile);
    window.MemoOriginal->setFocus();
    QTest::keyClick(window.MemoOriginal, Qt::Key_Escape);
    EXPECT_TRUE(window.isVisible());

    window.Pages->setCurrentWidget(window.TabProgress);
    window.MemoProgress->setFocus();
    QTest::keyClick(window.MemoProgress, Qt::Key_Escape);
    EXPECT_TRUE(window.isVisible());
    // Return in the log must not start a run.
    QTest::keyClick(window.MemoProgress, Qt::Key_Return);
    EXPECT_TRUE(window.MemoProgress->toPlainText().isEmpty());
    EXPECT_EQ(window.BtnNext->text().toStdString(), "&Setup");

    // Return in "Original files:" starts a new line; in an edit field it presses Next.
    window.Pages->setCurrentWidget(window.TabCompile);
    window.MemoOriginal->setFocus();
    QTest::keyClicks(window.MemoOriginal, "a");
    QTest::keyClick(window.MemoOriginal, Qt::Key_Return);
    QTest::keyClicks(window.MemoOriginal, "b");
    EXPECT_EQ(LinesOf(window.MemoOriginal), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(window.Pages->currentWidget(), window.TabCompile);
    window.EditPatched->setFocus();
    QTest::keyClick(window.EditPatched, Qt::Key_Return);
    EXPECT_EQ(window.Pages->currentWidget(), window.TabDesignEnv);

    window.EditLibraryPath->setFocus();
    QTest::keyClick(window.EditLibraryPath, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(SetupWindowPages, SupportAddressOpensThroughTheDesktop)
{
    Install();
    TFormSetup& window = OpenWindow();
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler("http", &recorder, "Open");

    QTest::mouseClick(window.Label16, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler("http");

    ASSERT_EQ(recorder.opened.size(), 1u);
    EXPECT_EQ(recorder.opened.front().toString(), window.Label16->text());
    EXPECT_EQ(window.Label16->text().toStdString(), TFormSetup::SupportAddress);
}

class SetupWindowEnvironments : public SetupWindowTest
{
};

TEST_F(SetupWindowEnvironments, SwitchingDelphi2ToDelphi4AndBackRefillsTheDesignFields)
{
    InstalledEnvironments& installed = Install();
    TFormSetup& window = OpenWindow();
    const std::string r2 = InstalledEnvironments::EnvironmentDir(Environment::Delphi2);
    const std::string r4 = InstalledEnvironments::EnvironmentDir(Environment::Delphi4);

    window.RadDelphi20->click();
    EXPECT_EQ(LinesOf(window.MemoOriginal), installed.OriginalFiles(Environment::Delphi2));
    EXPECT_EQ(TextOf(window.EditQueryBuilderPath), r2 + "\\Bin\\VQBLib32.DLL");
    EXPECT_TRUE(window.EditQueryBuilderPath->isEnabled());
    EXPECT_TRUE(window.LblQueryBuilder->isEnabled());
    EXPECT_EQ(TextOf(window.EditComplib), P + "\\Lib\\Delphi2\\CmpLib32.dcl");
    EXPECT_TRUE(window.EditComplib->isEnabled());

    window.RadDelphi40->click();
    EXPECT_EQ(LinesOf(window.MemoOriginal), installed.OriginalFiles(Environment::Delphi4));
    EXPECT_EQ(TextOf(window.EditExplorerPath), r4 + "\\Bin\\DBX40.BPL");
    EXPECT_EQ(TextOf(window.EditQueryBuilderPath), "");
    EXPECT_FALSE(window.EditQueryBuilderPath->isEnabled());
    EXPECT_FALSE(window.LblQueryBuilder->isEnabled());
    EXPECT_EQ(TextOf(window.EditComplib), "(not applicable)");
    EXPECT_FALSE(window.EditComplib->isEnabled());
    EXPECT_EQ(TextOf(window.EditPatched), P + "\\Lib\\Delphi4");

    window.RadDelphi20->click();
    EXPECT_EQ(TextOf(window.EditQueryBuilderPath), r2 + "\\Bin\\VQBLib32.DLL");
    EXPECT_TRUE(window.EditQueryBuilderPath->isEnabled());
    EXPECT_TRUE(window.LblQueryBuilder->isEnabled());
    EXPECT_EQ(TextOf(window.EditComplib), P + "\\Lib\\Delphi2\\CmpLib32.dcl");
    EXPECT_TRUE(window.EditComplib->isEnabled());
    EXPECT_EQ(window.Pages->currentWidget(), window.TabCompiler);
    EXPECT_TRUE(dialogs.seen.empty());
}

TEST_F(SetupWindowEnvironments, InstallAndRemoveRecomputeTheSearchPathFromTheRegistry)
{
    InstalledEnvironments& installed = Install();
    const std::string r = InstalledEnvironments::EnvironmentDir(Environment::Delphi3);
    const std::string stored =
        P + "\\Lib\\Delphi3;" + P + "\\Lib\\Src;$(DELPHI)\\Lib;" + r + "\\Lib\\Delphi2";
    installed.SetSearchPath(Environment::Delphi3, stored);
    TFormSetup& window = OpenWindow();
    window.RadDelphi30->click();
    // The engine is in the stored path already: nothing to install.
    EXPECT_TRUE(window.ChkSkipDesign->isChecked());
    EXPECT_EQ(TextOf(window.EditLibraryPath), stored);

    window.EditLibraryPath->setText("typed by hand");
    window.ChkRemoveDesign->click();
    EXPECT_EQ(TextOf(window.EditLibraryPath), "$(DELPHI)\\Lib;" + r + "\\Lib\\Delphi2");

    window.EditLibraryPath->setText("typed by hand");
    window.ChkInstallDesign->click();
    EXPECT_EQ(TextOf(window.EditLibraryPath), stored);

    // Skip has no handler: the field keeps what it shows.
    window.EditLibraryPath->setText("typed by hand");
    window.ChkSkipDesign->click();
    EXPECT_EQ(TextOf(window.EditLibraryPath), "typed by hand");

    // Without the engine in the stored path, Install proposes it and Remove keeps the path.
    installed.SetSearchPath(Environment::Delphi3, "$(DELPHI)\\Lib");
    window.ChkInstallDesign->click();
    EXPECT_EQ(TextOf(window.EditLibraryPath),
              P + "\\Lib\\Delphi3;" + P + "\\Lib\\Src;$(DELPHI)\\Lib;" + r + "\\Lib\\Delphi2");
    window.ChkRemoveDesign->click();
    EXPECT_EQ(TextOf(window.EditLibraryPath), "$(DELPHI)\\Lib");
    EXPECT_TRUE(dialogs.seen.empty());
}

TEST_F(SetupWindowEnvironments, RemoveAndInstallSetTheComponentLibraryOfDelphi2)
{
    Install();
    Remember("Delphi 2");
    TFormSetup& window = OpenWindow();
    const std::string r = InstalledEnvironments::EnvironmentDir(Environment::Delphi2);
    ASSERT_TRUE(window.ChkInstallDesign->isChecked());

    window.ChkRemoveDesign->click();
    EXPECT_EQ(TextOf(window.EditComplib), r + "\\Bin\\CmpLib32.dcl");
    window.ChkInstallDesign->click();
    EXPECT_EQ(TextOf(window.EditComplib), P + "\\Lib\\Delphi2\\CmpLib32.dcl");
}

class SetupWindowChoosers : public SetupWindowTest
{
protected:
    // A real file below the test's own folder, as the file dialog returns it.
    std::string MakeFile(const std::string& name)
    {
        const std::string path = environment.Root() + "/" + name;
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::FILE* file = std::fopen(path.c_str(), "wb");
        std::fclose(file);
        return path;
    }
    static DialogWatcher::Action Choose(const std::string& path)
    {
        return [path](QWidget& dialog) {
            auto* files = qobject_cast<QFileDialog*>(&dialog);
            ASSERT_NE(files, nullptr);
            files->selectFile(QString::fromStdString(path));
            static_cast<QDialog*>(files)->accept();
        };
    }
};

TEST_F(SetupWindowChoosers, OriginalFileChosenIsAddedAsANewLastLine)
{
    Install();
    TFormSetup& window = OpenWindow();
    const std::string chosen = MakeFile("Lib/BDE.dcu");
    window.MemoOriginal->setPlainText("C:\\first.dcu");

    dialogs.script.push_back(Choose(chosen));
    window.BtnOriginalDlg->click();
    EXPECT_EQ(LinesOf(window.MemoOriginal), (std::vector<std::string>{"C:\\first.dcu", chosen}));
    ASSERT_EQ(dialogs.seen.size(), 1u);
    EXPECT_EQ(dialogs.seen[0].title, "Choose a File");

    // Cancelled (the watcher rejects): nothing changes.
    window.BtnOriginalDlg->click();
    EXPECT_EQ(LinesOf(window.MemoOriginal), (std::vector<std::string>{"C:\\first.dcu", chosen}));
    EXPECT_EQ(dialogs.seen.size(), 2u);
}

TEST_F(SetupWindowChoosers, ComponentLibraryDialogStartsFromTheFieldEvenWhenNotApplicable)
{
    Install();
    Remember("Delphi 3");
    TFormSetup& window = OpenWindow();
    ASSERT_FALSE(window.EditComplib->isEnabled());
    const std::string chosen = MakeFile("CmpLib32.dcl");
    std::string presetName;

    dialogs.script.push_back([&](QWidget& dialog) {
        auto* files = qobject_cast<QFileDialog*>(&dialog);
        ASSERT_NE(files, nullptr);
        if (auto* name = files->findChild<QLineEdit*>("fileNameEdit"))
            presetName = name->text().toStdString();
        files->selectFile(QString::fromStdString(chosen));
        static_cast<QDialog*>(files)->accept();
    });
    window.BtnComplib->click();

    EXPECT_EQ(presetName, "(not applicable)");
    ASSERT_EQ(dialogs.seen.size(), 1u);
    EXPECT_EQ(dialogs.seen[0].title, "Select Component Library");
    EXPECT_EQ(TextOf(window.EditComplib), chosen);
    EXPECT_FALSE(window.EditComplib->isEnabled());
}

TEST_F(SetupWindowChoosers, FolderForModifiedFilesKeepsItsTextWhenTheBrowserIsCancelled)
{
    Install();
    TFormSetup& window = OpenWindow();
    const std::string before = TextOf(window.EditPatched);

    window.BtnPatchedDlg->click();
    EXPECT_EQ(TextOf(window.EditPatched), before);
    ASSERT_EQ(dialogs.seen.size(), 1u);
    EXPECT_EQ(dialogs.seen[0].title, "Choose Destination Folder");

    const std::string folder = environment.DriveFolder('c');
    dialogs.script.push_back([&](QWidget& dialog) {
        auto* files = qobject_cast<QFileDialog*>(&dialog);
        ASSERT_NE(files, nullptr);
        // Typed as a person would; the dialog's own file list fills in behind it.
        auto* name = files->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText(QString::fromStdString(folder));
        static_cast<QDialog*>(files)->accept();
    });
    window.BtnPatchedDlg->click();
    EXPECT_EQ(TextOf(window.EditPatched),
              std::filesystem::path(folder).lexically_normal().string());
}

class SetupWindowFields : public SetupWindowTest
{
};

TEST_F(SetupWindowFields, OriginalFilesEndWithTheirLastLineAndKeepEmptyLinesBetween)
{
    Install();
    TFormSetup& window = OpenWindow();
    const std::vector<std::pair<QString, std::vector<std::string>>> cases = {
        {"", {}},
        {"a", {"a"}},
        {"a\n", {"a"}},
        {"a\nb\n", {"a", "b"}},
        {"a\n\nb", {"a", "", "b"}},
        {"\n", {""}},
        {"a\n\n", {"a", ""}}};
    for (const auto& [text, lines] : cases) {
        window.MemoOriginal->setPlainText(text);
        EXPECT_EQ(window.FieldsFromControls().originalFiles, lines) << text.toStdString();
    }
}

TEST_F(SetupWindowFields, ProgressLogKeepsEveryLineIncludingLeadingEmptyOnes)
{
    Install();
    const std::vector<std::vector<std::string>> sequences = {
        {"", "Done."}, {"", "", "x"}, {"a", "", "b"}, {"x"}, {"", "a", ""}};
    for (const std::vector<std::string>& lines : sequences) {
        TFormSetup& window = OpenWindow();
        for (const std::string& line : lines)
            window.LogProgress(line);
        EXPECT_EQ(LinesOf(window.MemoProgress), lines);
    }
}
#include "SetupFormTest.moc"
