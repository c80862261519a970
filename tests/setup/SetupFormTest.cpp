// The setup wizard from a person's point of view: what it shows at start, how Next and the tabs
// move through the pages, and how choosing an environment and Install/Remove fill the fields.
#include <QButtonGroup>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QRadioButton>
#include <QTest>
#include <QUrl>
#include <cstdlib>
#include <filesystem>

#include "FileSystem.h"

#include "SetupFormTestSupport.h"

// Receives the addresses the window hands to the desktop instead of a browser.
class UrlRecorder : public QObject
{
    Q_OBJECT

public:
    std::vector<QString> opened;

public slots:
    void Open(const QUrl& url) { opened.push_back(url.toString()); }
};

namespace
{

const std::string P = "C:\\Program Files\\Quillon\\Tessarium";
const std::vector<std::string> AllTabs = {"Compiler", "BDE Interface", "Design Environment",
                                          "Design Tools", "Setup Now"};

std::vector<QRadioButton*> VersionRadios(const TFormSetup& form)
{
    return {form.RadDelphi20, form.RadDelphi30, form.RadDelphi40, form.RadDelphi50,
            form.RadCPP10,    form.RadCPP30,    form.RadCPP40};
}

// The selected environment button, if any (the seven form one exclusive group).
const QAbstractButton* SelectedVersion(const TFormSetup& form)
{
    return form.RadDelphi20->group()->checkedButton();
}

// A real file below the test's own folder, named as the file dialog returns it.
std::string MakeFile(const TestEnvironment& environment, const std::string& name)
{
    const std::filesystem::path path = std::filesystem::path(environment.Root()) / name;
    std::filesystem::create_directories(path.parent_path());
    std::fclose(std::fopen(path.string().c_str(), "wb"));
    return path.string();
}

// Answers a file dialog by choosing `path`; `preset` receives the file name it opened with.
DialogWatcher::Action Choose(const std::string& path, std::string* preset = nullptr)
{
    return [path, preset](QWidget& dialog) {
        auto* files = qobject_cast<QFileDialog*>(&dialog);
        ASSERT_NE(files, nullptr);
        auto* name = files->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        if (preset)
            *preset = name->text().toStdString();
        // Typed as a person would; the dialog's own file list fills in behind it.
        name->setText(QString::fromStdString(path));
        static_cast<QDialog*>(files)->accept();
    };
}

} // namespace

TEST_F(SetupWindowTest, FirstStartShowsOnlyTheCompilerTabAndNextWalksThroughHiddenPages)
{
    TFormSetup& window = Open();
    window.show();

    EXPECT_EQ(window.windowTitle().toStdString(), "Quillon Tessarium 3 Setup Utility");
    EXPECT_EQ(VisibleTabs(window), std::vector<std::string>{"Compiler"});
    EXPECT_EQ(window.Pages->currentWidget(), window.TabCompiler);
    EXPECT_EQ(SelectedVersion(window), nullptr);
    EXPECT_TRUE(window.ChkGenerate->isChecked() && window.ChkSkipDesign->isChecked() &&
                window.ChkSkipTools->isChecked() && window.ChkInstallDemo->isChecked());
    EXPECT_TRUE(window.BtnNext->isDefault());
    EXPECT_EQ(window.focusWidget(), window.BtnNext);
    EXPECT_EQ(window.BtnCancel->text().toStdString(), "Exit");
    // A fixed-size window as wide as the pages with their left offset on both sides.
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_GE(window.Pages->width(), 503);
    EXPECT_EQ(window.width(), 2 * window.Pages->x() + window.Pages->width());
    EXPECT_TRUE(dialogs.seen.empty());

    const std::vector<std::pair<QWidget*, std::string>> walk = {{window.TabCompile, "&Next"},
                                                                {window.TabDesignEnv, "&Next"},
                                                                {window.TabDesignTools, "&Next"},
                                                                {window.TabProgress, "&Setup"}};
    for (const auto& [page, caption] : walk) {
        window.BtnNext->click();
        EXPECT_EQ(window.Pages->currentWidget(), page);
        EXPECT_EQ(Caption(window), caption);
    }
    EXPECT_EQ(VisibleTabs(window), std::vector<std::string>{"Compiler"});
}

TEST_F(SetupWindowTest, RememberedEnvironmentIsSelectedOnlyOnAnExactMatch)
{
    const std::vector<Environment> all = AllEnvironments();
    const char* const texts[] = {"Delphi 2",     "Delphi 3",     "Delphi 4",    "Delphi 5",
                                 "C++Builder 1", "C++Builder 3", "C++Builder 4"};
    for (std::size_t index = 0; index < all.size(); ++index) {
        SCOPED_TRACE(texts[index]);
        TFormSetup& window = Open(texts[index]);
        EXPECT_EQ(VersionRadios(window)[index]->text().toStdString(), texts[index]);
        EXPECT_EQ(SelectedVersion(window), VersionRadios(window)[index]);
        // Applied: all tabs show, the first page and its caption stay.
        EXPECT_EQ(VisibleTabs(window), AllTabs);
        EXPECT_TRUE(window.Pages->currentWidget() == window.TabCompiler &&
                    Caption(window) == "&Next");
        EXPECT_EQ(window.Profile().EnvironmentDir,
                  InstalledEnvironments::EnvironmentDir(all[index]));
    }

    for (const char* text : {"delphi 3", "DELPHI 3", "Delphi 3 ", "Delphi3", "C++builder 4", ""}) {
        SCOPED_TRACE(text);
        TFormSetup& window = Open(text);
        EXPECT_EQ(SelectedVersion(window), nullptr);
        EXPECT_EQ(VisibleTabs(window), std::vector<std::string>{"Compiler"});
    }
    EXPECT_TRUE(dialogs.seen.empty());
}

TEST_F(SetupWindowTest, RememberedEnvironmentIsAppliedExactlyOnce)
{
    // Not installed at all: every application of the environment says so twice.
    MachineSetup setup;
    setup.environments = {Environment::Delphi2};
    for (int notice = 0; notice < 2; ++notice)
        dialogs.AnswerNext(mrOk);
    TFormSetup& window = Open("C++Builder 1", setup);

    EXPECT_TRUE(window.RadCPP10->isChecked());
    ASSERT_EQ(dialogs.seen.size(), 2u);
    for (const DialogWatcher::Seen& notice : dialogs.seen) {
        EXPECT_EQ(notice.text, "C++Builder 1.0 does not seem to be installed properly.");
        EXPECT_EQ(notice.title, "QTS Configuration Utility");
    }
}

TEST_F(SetupWindowTest, EscapeAndEnterActOnTheWindowExceptInsideTheMultiLineFields)
{
    TFormSetup& window = Open();
    window.show();

    for (QWidget* page : {window.TabCompile, window.TabProgress}) {
        window.Pages->setCurrentWidget(page);
        QWidget* memo = page->findChild<QPlainTextEdit*>();
        memo->setFocus();
        QTest::keyClick(memo, Qt::Key_Escape);
        EXPECT_TRUE(window.isVisible());
    }
    // Return in the log must not start a run.
    QTest::keyClick(window.MemoProgress, Qt::Key_Return);
    EXPECT_TRUE(window.MemoProgress->toPlainText().isEmpty());
    EXPECT_EQ(Caption(window), "&Setup");

    // Return in "Original files:" starts a new line; in an edit field it presses Next.
    window.Pages->setCurrentWidget(window.TabCompile);
    window.MemoOriginal->setFocus();
    QTest::keyClicks(window.MemoOriginal, "a\rb");
    EXPECT_EQ(LinesOf(window.MemoOriginal), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(window.Pages->currentWidget(), window.TabCompile);
    window.EditPatched->setFocus();
    QTest::keyClick(window.EditPatched, Qt::Key_Return);
    EXPECT_EQ(window.Pages->currentWidget(), window.TabDesignEnv);

    window.EditLibraryPath->setFocus();
    QTest::keyClick(window.EditLibraryPath, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(SetupWindowTest, SupportAddressOpensThroughTheDesktop)
{
    TFormSetup& window = Open();
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler("http", &recorder, "Open");
    QTest::mouseClick(window.Label16, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler("http");

    EXPECT_EQ(recorder.opened, std::vector<QString>{window.Label16->text()});
    EXPECT_EQ(window.Label16->text().toStdString(), TFormSetup::SupportAddress);
}

TEST_F(SetupWindowTest, SwitchingDelphi2ToDelphi4AndBackRefillsTheDesignFields)
{
    TFormSetup& window = Open();
    const std::string r2 = InstalledEnvironments::EnvironmentDir(Environment::Delphi2);
    const auto expectDelphi2 = [&] {
        EXPECT_EQ(LinesOf(window.MemoOriginal), machine->OriginalFiles(Environment::Delphi2));
        EXPECT_EQ(TextOf(window.EditQueryBuilderPath), r2 + "\\Bin\\VQBLib32.DLL");
        EXPECT_TRUE(window.EditQueryBuilderPath->isEnabled() &&
                    window.LblQueryBuilder->isEnabled());
        EXPECT_EQ(TextOf(window.EditComplib), P + "\\Lib\\Delphi2\\CmpLib32.dcl");
        EXPECT_TRUE(window.EditComplib->isEnabled());
        EXPECT_TRUE(window.ChkInstallDesign->isChecked());
    };

    window.RadDelphi20->click();
    expectDelphi2();

    window.RadDelphi40->click();
    EXPECT_EQ(LinesOf(window.MemoOriginal), machine->OriginalFiles(Environment::Delphi4));
    EXPECT_EQ(TextOf(window.EditExplorerPath),
              InstalledEnvironments::EnvironmentDir(Environment::Delphi4) + "\\Bin\\DBX40.BPL");
    EXPECT_EQ(TextOf(window.EditQueryBuilderPath), "");
    EXPECT_FALSE(window.EditQueryBuilderPath->isEnabled() || window.LblQueryBuilder->isEnabled());
    EXPECT_EQ(TextOf(window.EditComplib), "(not applicable)");
    EXPECT_FALSE(window.EditComplib->isEnabled());
    EXPECT_EQ(TextOf(window.EditPatched), P + "\\Lib\\Delphi4");

    window.RadDelphi20->click();
    expectDelphi2();
    EXPECT_EQ(window.Pages->currentWidget(), window.TabCompiler);

    // Remove sets the environment's own component library, Install the engine's copy again.
    window.ChkRemoveDesign->click();
    EXPECT_EQ(TextOf(window.EditComplib), r2 + "\\Bin\\CmpLib32.dcl");
    window.ChkInstallDesign->click();
    expectDelphi2();
    EXPECT_TRUE(dialogs.seen.empty());
}

TEST_F(SetupWindowTest, InstallAndRemoveRecomputeTheSearchPathFromTheRegistry)
{
    Open();
    const std::string r = InstalledEnvironments::EnvironmentDir(Environment::Delphi3);
    const std::string stored =
        P + "\\Lib\\Delphi3;" + P + "\\Lib\\Src;$(DELPHI)\\Lib;" + r + "\\Lib\\Delphi2";
    machine->SetSearchPath(Environment::Delphi3, stored);
    TFormSetup& window = Open();
    window.RadDelphi30->click();
    // The engine is in the stored path already: nothing to install.
    EXPECT_TRUE(window.ChkSkipDesign->isChecked());
    EXPECT_EQ(TextOf(window.EditLibraryPath), stored);

    // Each choice starts from the registry, not from what the field shows; Skip has no handler.
    const std::vector<std::pair<QRadioButton*, std::string>> choices = {
        {window.ChkRemoveDesign, "$(DELPHI)\\Lib;" + r + "\\Lib\\Delphi2"},
        {window.ChkInstallDesign, stored},
        {window.ChkSkipDesign, "typed by hand"}};
    for (const auto& [choice, shown] : choices) {
        window.EditLibraryPath->setText("typed by hand");
        choice->click();
        EXPECT_EQ(TextOf(window.EditLibraryPath), shown);
    }

    // Without the engine in the stored path, Install proposes it and Remove keeps the path.
    machine->SetSearchPath(Environment::Delphi3, "$(DELPHI)\\Lib");
    window.ChkInstallDesign->click();
    EXPECT_EQ(TextOf(window.EditLibraryPath),
              P + "\\Lib\\Delphi3;" + P + "\\Lib\\Src;$(DELPHI)\\Lib;" + r + "\\Lib\\Delphi2");
    window.ChkRemoveDesign->click();
    EXPECT_EQ(TextOf(window.EditLibraryPath), "$(DELPHI)\\Lib");
    EXPECT_TRUE(dialogs.seen.empty());
}

TEST_F(SetupWindowTest, ChoosersFillTheirFieldsAndCancellingChangesNothing)
{
    TFormSetup& window = Open("Delphi 3");
    const std::string file = MakeFile(environment, "Lib/BDE.dcu");
    const std::string folder = environment.DriveFolder('c');
    std::string preset;
    // Ended by a line break, as after typing an entry and Enter: no empty entry in between.
    window.MemoOriginal->setPlainText("C:\\first.dcu\n");
    const std::string patched = TextOf(window.EditPatched);

    // The watcher rejects each dialog that has no action: cancelled, nothing changes.
    dialogs.nextFolders = {QString()};
    window.BtnOriginalDlg->click();
    window.BtnPatchedDlg->click();
    EXPECT_EQ(LinesOf(window.MemoOriginal), (std::vector<std::string>{"C:\\first.dcu", ""}));
    EXPECT_EQ(TextOf(window.EditPatched), patched);

    dialogs.script = {Choose(file), Choose(file, &preset)};
    dialogs.nextFolders = {QString::fromStdString(folder)};
    window.BtnOriginalDlg->click();
    window.BtnPatchedDlg->click();
    // The component library chooser starts from the field's text and works while it is disabled.
    ASSERT_FALSE(window.EditComplib->isEnabled());
    window.BtnComplib->click();

    EXPECT_EQ(LinesOf(window.MemoOriginal), (std::vector<std::string>{"C:\\first.dcu", file}));
    // Drive C:'s own folder is the drive's root.
    EXPECT_EQ(TextOf(window.EditPatched), "C:\\");
    EXPECT_EQ(preset, "(not applicable)");
    EXPECT_EQ(TextOf(window.EditComplib), file);
    std::vector<std::string> titles;
    for (const DialogWatcher::Seen& dialog : dialogs.seen)
        titles.push_back(dialog.title);
    EXPECT_EQ(titles, (std::vector<std::string>{"Choose a File", "Choose Destination Folder",
                                                "Choose a File", "Choose Destination Folder",
                                                "Select Component Library"}));
}

// Answers a file dialog as a person does: the name typed into its field, then Enter.
void TypeAndEnter(QWidget& dialog, const QString& name)
{
    auto* edit = dialog.findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(edit, nullptr);
    // Typed into the focused field: the name replaces the file selected in the list.
    QApplication::setActiveWindow(&dialog);
    edit->setFocus();
    edit->setText(name);
    QTest::keyClick(edit, Qt::Key_Return);
}

TEST_F(SetupWindowTest, DialogsOpenAtTheFieldsWindowsPathsAndGiveBackWindowsPaths)
{
    TFormSetup& window = Open("Delphi 2");
    // No file dialog is made before one is needed.
    EXPECT_EQ(window.DlgOpenOriginal, nullptr);
    EXPECT_EQ(window.DlgOpenComplib, nullptr);
    EXPECT_TRUE(window.findChildren<QFileDialog*>().isEmpty());
    for (const char* file : {"C:\\Lib\\CmpLib32.dcl", "C:\\Lib\\Other.dcl", "C:\\Out\\x"})
        environment.WriteFile(file, "");
    window.EditComplib->setText("C:\\Lib\\CmpLib32.dcl");
    window.EditPatched->setText("C:\\Out");
    window.MemoOriginal->clear();

    std::vector<std::string> opened;
    const auto record = [&](QWidget& dialog) {
        auto* files = qobject_cast<QFileDialog*>(&dialog);
        ASSERT_NE(files, nullptr);
        const QString folder = QFileInfo(files->directory().absolutePath()).canonicalFilePath();
        const QString drive = QString::fromStdString(environment.DriveFolder('c'));
        opened.push_back(folder.mid(QFileInfo(drive).canonicalFilePath().size()).toStdString() +
                         " | " +
                         files->findChild<QLineEdit*>("fileNameEdit")->text().toStdString());
    };
    dialogs.script = {[&](QWidget& dialog) {
                          record(dialog);
                          TypeAndEnter(dialog, "Other.dcl");
                      },
                      [&](QWidget& dialog) {
                          record(dialog);
                          static_cast<QDialog&>(dialog).accept();
                      },
                      [&](QWidget& dialog) {
                          TypeAndEnter(dialog, QString::fromStdString(FileSystem::NativePath(
                                                   "C:\\Lib\\CmpLib32.dcl")));
                      }};
    window.BtnComplib->click();
    window.BtnPatchedDlg->click();
    window.BtnOriginalDlg->click();

    EXPECT_EQ(opened, (std::vector<std::string>{"/Lib | CmpLib32.dcl", "/Out | "}));
    EXPECT_EQ(TextOf(window.EditComplib), "C:\\Lib\\Other.dcl");
    EXPECT_EQ(TextOf(window.EditPatched), "C:\\Out");
    EXPECT_EQ(LinesOf(window.MemoOriginal), std::vector<std::string>{"C:\\Lib\\CmpLib32.dcl"});

    // Closing the window after its dialogs were used leaves no settings file of the toolkit.
    window.close();
    form.reset();
    const QDir configuration(QString::fromLocal8Bit(std::getenv("XDG_CONFIG_HOME")));
    ASSERT_TRUE(configuration.exists());
    EXPECT_FALSE(configuration.exists("QtProject.conf"));
}

// Counts the paintings of a widget.
class PaintCounter : public QObject
{
public:
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        count += event->type() == QEvent::Paint ? 1 : 0;
        return false;
    }
};

TEST_F(SetupWindowTest, ProgressLogKeepsEveryLineAndPaintsEachAtOnce)
{
    for (const std::vector<std::string>& lines : std::vector<std::vector<std::string>>{
             {"", "Done."}, {"", "", "x"}, {"a", "", "b"}, {"x"}, {"", "a", ""}}) {
        TFormSetup& window = Open();
        for (const std::string& line : lines)
            window.LogProgress(line);
        EXPECT_EQ(LinesOf(window.MemoProgress), lines);
    }

    // Painted before the caller returns to the event loop.
    TFormSetup& window = Open();
    window.Pages->setCurrentWidget(window.TabProgress);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    PaintCounter painted;
    window.MemoProgress->viewport()->installEventFilter(&painted);
    window.LogProgress("one");
    EXPECT_EQ(painted.count, 1);
    window.LogProgress("two");
    EXPECT_EQ(painted.count, 2);
}

#include "SetupFormTest.moc"
