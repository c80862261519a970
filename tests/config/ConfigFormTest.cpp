// The alias window as its user meets it: opening, choosing and editing an alias, applying,
// closing, and the window's place on the screen.
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLayout>
#include <QStatusBar>
#include <QTabBar>
#include <QTemporaryDir>
#include <cstdlib>

#include "ConfigFormTestFixture.h"
#include "WindowPlacement.h"

namespace
{

int EnabledOptionControls(const TFormConfig& form)
{
    int enabled = 0;
    for (const QWidget* control : form.OptionControls())
        enabled += control->isEnabled();
    return enabled;
}

} // namespace

using OpeningTheWindow = AliasWindowTest;

TEST_F(OpeningTheWindow, FirstStartShowsTheDesignPlacementWithNothingToEdit)
{
    TFormConfig& window = OpenWindow();

    EXPECT_EQ(window.frameGeometry(), QRect(16, 41, 688, 460));
    EXPECT_EQ(window.windowTitle(), "Quillon Tessarium 3 Alias Configuration Utility");
    EXPECT_EQ(window.Pages->tabText(window.Pages->currentIndex()), "Connection");
    EXPECT_EQ(window.TabRoot->currentIndex(), 0);
    EXPECT_EQ(window.LstAliases->topLevelItemCount(), 0);
    EXPECT_EQ(SelectedItem(), nullptr);

    QStringList names;
    for (const QWidget* control : window.OptionControls())
        names << control->objectName();
    EXPECT_EQ(names.join(' '),
              "EditPath ChkExclusive ChkReadOnly ChkLockEdits ChkSeparateWS ChkUseDefault "
              "ChkUseConstraint ChkUseAllowZero ChkRenamePrimary ChkShowGUID ChkDisableRefresh "
              "ChkSeeChanges ChkIndexesCaseSensitive EditSystemDb EditUsername EditConnect "
              "EditPreThreshold EditPreReset BtnFindPath BtnFindSystemDb BtnFindConnect");
    EXPECT_EQ(EnabledOptionControls(window), 0);
    EXPECT_FALSE(window.BtnApply->isEnabled());
    EXPECT_TRUE(window.ChkSeeChanges->isChecked());
    // The hidden pages are measured once the window is drawn: then every page counts in the
    // sizes the panels ask for.
    EXPECT_TRUE(QTest::qWaitFor([&] {
        for (int page = 0; page < window.Pages->count(); ++page) {
            const QLayout& layout = *window.Pages->widget(page)->layout();
            if (window.Pages->sizeHint().height() <= layout.totalSizeHint().height() ||
                window.Pages->minimumSizeHint().height() <= layout.totalMinimumSize().height())
                return false;
        }
        return true;
    }));

    // Tab order: each page's controls in their order, then Apply, OK, Cancel.
    QStringList chain;
    QWidget* control = window.EditPath;
    do {
        const QString name = control->objectName();
        if (name.startsWith("Edit") || name.startsWith("Chk") || name.startsWith("Btn"))
            chain << name;
        control = control->nextInFocusChain();
    } while (control != window.EditPath);
    EXPECT_EQ(chain.join(' ').toStdString(),
              "EditPath ChkExclusive ChkReadOnly ChkLockEdits ChkSeparateWS EditSystemDb "
              "EditUsername EditConnect BtnFindPath BtnFindSystemDb BtnFindConnect "
              "ChkDisableRefresh ChkRenamePrimary ChkShowGUID ChkUseDefault ChkUseConstraint "
              "ChkUseAllowZero ChkSeeChanges ChkIndexesCaseSensitive EditPreThreshold "
              "EditPreReset BtnApply BtnOk BtnCancel");

    // Short hints show as tooltips on the ten edits and check boxes that have one, nowhere else.
    QStringList tipped;
    for (const QWidget* control : window.centralWidget()->findChildren<QWidget*>())
        if (!control->toolTip().isEmpty())
            tipped << control->objectName();
    tipped.sort();
    EXPECT_EQ(tipped.join(' '), "ChkExclusive ChkLockEdits ChkReadOnly ChkSeparateWS EditConnect "
                                "EditPath EditPreReset EditPreThreshold EditSystemDb EditUsername");
}

TEST_F(OpeningTheWindow, EachScopeListsItsAliasesSortedAndAChangeOfScopeDropsEdits)
{
    for (const char* name : {"stock", "Sales", "sales-old", "Zeta", "archive"})
        Seed(name, {{"Path", std::string("C:\\") + name + ".mdb"}});
    Seed("Personal", {{"Path", "C:\\mine.mdb"}}, RegistryRoot::CurrentUser);
    TFormConfig& window = OpenWindow();

    EXPECT_EQ(Names(), QStringList({"archive", "Sales", "sales-old", "stock", "Zeta"}));
    EXPECT_EQ(Item("Sales")->text(1), "C:\\Sales.mdb");
    EXPECT_EQ(window.LstAliases->header()->sortIndicatorSection(), 0);
    EXPECT_EQ(window.LstAliases->header()->sortIndicatorOrder(), Qt::AscendingOrder);
    EXPECT_EQ(SelectedItem(), nullptr);

    Select("Sales");
    Type(window.EditPath, "C:\\lost.mdb");
    QTest::mouseClick(window.TabRoot, Qt::LeftButton, Qt::NoModifier,
                      window.TabRoot->tabRect(1).center());
    EXPECT_EQ(Names(), QStringList({"Personal"}));
    EXPECT_EQ(Item("Personal")->text(1), "C:\\mine.mdb");
    EXPECT_EQ(EnabledOptionControls(window), 0);
    EXPECT_FALSE(window.BtnApply->isEnabled());
    EXPECT_TRUE(modals.empty());
    EXPECT_EQ(Stored("Sales", "Path"), "C:\\Sales.mdb");
}

TEST_F(OpeningTheWindow, AliasesTheStoreOrdersOtherwiseAreListedInTheListsOrder)
{
    // The store orders by upper-cased bytes ("A" before "_X", "CO-OP" before "COOP"); the list
    // puts punctuation first and lets hyphens count last.
    for (const char* name : {"a", "_x", "co-op", "coop", "B"})
        Seed(name, {{"Path", std::string("C:\\") + name + ".mdb"}});
    TFormConfig& window = OpenWindow();

    EXPECT_EQ(Names(), QStringList({"_x", "a", "B", "coop", "co-op"}));
    EXPECT_EQ(Item("co-op")->text(1), "C:\\co-op.mdb");
    EXPECT_EQ(window.LstAliases->header()->sortIndicatorSection(), 0);
    EXPECT_EQ(window.LstAliases->header()->sortIndicatorOrder(), Qt::AscendingOrder);
}

TEST_F(OpeningTheWindow, AFailureOfTheListingBeforeTheWindowIsReportedByTheWindow)
{
    for (const char* name : {"A", "B", "C"})
        Seed(name, {{"Path", std::string("C:\\") + name + ".mdb"}});
    {
        TRegistry registry;
        ASSERT_TRUE(OpenAlias(registry, "B"));
        registry.WriteNumber("Path", 7);
    }

    AnswerNext(mrOk);
    TFormConfig& window = OpenWindow(std::make_unique<AliasListing>(AliasScope::Global));
    ASSERT_EQ(modals.size(), 1u);
    EXPECT_EQ(modals[0].name, "ErrorBox");
    EXPECT_EQ(modals[0].text, "Invalid data type for 'Path'");
    // The store lists "A" first: what was listed before the failing alias is shown.
    EXPECT_EQ(Names(), QStringList({"A"}));

    Select("A");
    EXPECT_EQ(window.EditPath->text(), "C:\\A.mdb");
    Type(window.EditUsername, "still works");
    Click(window.BtnApply);
    EXPECT_EQ(Stored("A", "User Name"), "still works");
}

using EditingAnAlias = AliasWindowTest;

TEST_F(EditingAnAlias, ChoosingAnotherAliasDropsUnappliedEditsWithoutAsking)
{
    Seed("Sales", {{"Path", "C:\\db\\sales.mdb"}, {"Read Only", "True"}});
    Seed("Stock", {{"Path", "C:\\db\\stock.mdb"}, {"User Name", "clerk"}});
    TFormConfig& window = OpenWindow();

    Select("Sales");
    EXPECT_EQ(EnabledOptionControls(window), 21);
    EXPECT_EQ(window.EditPath->text(), "C:\\db\\sales.mdb");
    EXPECT_EQ(Checked(), "ChkReadOnly ChkSeeChanges");
    EXPECT_FALSE(window.BtnApply->isEnabled());

    Type(window.EditPath, "C:\\elsewhere.mdb");
    EXPECT_TRUE(window.BtnApply->isEnabled());
    Select("Stock");
    EXPECT_TRUE(modals.empty());
    EXPECT_EQ(window.EditPath->text(), "C:\\db\\stock.mdb");
    EXPECT_EQ(window.EditUsername->text(), "clerk");
    EXPECT_EQ(Checked(), "ChkSeeChanges");
    EXPECT_FALSE(window.BtnApply->isEnabled());

    Select("Sales");
    EXPECT_EQ(window.EditPath->text(), "C:\\db\\sales.mdb");
    EXPECT_EQ(StoredAlias("Sales"), "Path=C:\\db\\sales.mdb; Read Only=True");
}

TEST_F(EditingAnAlias, EnterAppliesTheWholeAliasOnlyWhileThereIsSomethingToApply)
{
    Seed("Sales", {{"Path", "C:\\db\\sales.mdb"}, {"Exclusive", "True"}, {"Connect", "x"}});
    TFormConfig& window = OpenWindow();
    Select("Sales");

    Type(window.EditPath, "D:\\new.mdb");
    Toggle(window.ChkReadOnly);
    Toggle(window.ChkExclusive);
    Type(window.EditConnect, "");
    Type(window.EditPreThreshold, "lots");
    // The number pad's Enter key.
    QTest::keyClick(window.EditPreThreshold, Qt::Key_Enter, Qt::KeypadModifier);

    EXPECT_EQ(StoredAlias("Sales"), "Path=D:\\new.mdb; Read Only=True; Prefetch Threshold=lots");
    EXPECT_EQ(Item("Sales")->text(1), "D:\\new.mdb");
    EXPECT_FALSE(window.BtnApply->isEnabled());

    // With nothing to apply Enter does nothing at all.
    QTest::keyClick(window.EditPreThreshold, Qt::Key_Return);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(modals.empty());
}

TEST_F(EditingAnAlias, FlagsLoadInAnyLetterCaseAndAreStoredAsTrueOrNotAtAll)
{
    // Between them the two aliases have each flag on once, in some letter case, and off once.
    Seed("Odd", {{"Exclusive", "true"},
                 {"Read Only", "1"},
                 {"Lock Edits", "TRUE"},
                 {"Separate Workspace", "Yes"},
                 {"Use Defaults", "tRuE"},
                 {"Use Constraints", "False"},
                 {"Use AllowZeroLength", "True"},
                 {"Rename Primary", " True"},
                 {"Show GUIDs", "true"},
                 {"Disable SeeChanges", "TRUE"}});
    Seed("Even", {{"Read Only", "True"},
                  {"Separate Workspace", "true"},
                  {"Use Constraints", "TRUE"},
                  {"Rename Primary", "True"},
                  {"Disable Refresh", "True"},
                  {"ReportIndexesCaseSensitive", "tRUE"}});
    TFormConfig& window = OpenWindow();

    // "Disable SeeChanges" shows as the box that turns dbSeeChanges on.
    Select("Odd");
    EXPECT_EQ(Checked(), "ChkExclusive ChkLockEdits ChkUseDefault ChkUseAllowZero ChkShowGUID");
    // Loading differing values went through the change handlers, yet the pane ends clean.
    EXPECT_FALSE(window.Dirty());
    Toggle(window.ChkSeeChanges);
    Click(window.BtnApply);
    EXPECT_EQ(StoredAlias("Odd"), "Exclusive=True; Lock Edits=True; Use Defaults=True; "
                                  "Use AllowZeroLength=True; Show GUIDs=True");

    Select("Even");
    EXPECT_EQ(Checked(), "ChkReadOnly ChkSeparateWS ChkUseConstraint ChkRenamePrimary "
                         "ChkDisableRefresh ChkSeeChanges ChkIndexesCaseSensitive");
    Toggle(window.ChkSeeChanges);
    Click(window.BtnApply);
    EXPECT_EQ(StoredAlias("Even"), "Read Only=True; Separate Workspace=True; Use Constraints=True; "
                                   "Rename Primary=True; Disable Refresh=True; Disable "
                                   "SeeChanges=True; ReportIndexesCaseSensitive=True");
}

TEST_F(EditingAnAlias, AValueOfTheWrongTypeShowsTheRegistryMessageAndTheWindowGoesOn)
{
    Seed("Broken", {{"Path", "C:\\broken.mdb"}});
    {
        TRegistry registry;
        ASSERT_TRUE(OpenAlias(registry, "Broken"));
        registry.WriteNumber("Lock Edits", 1);
    }
    Seed("Fine", {{"Path", "C:\\fine.mdb"}});
    TFormConfig& window = OpenWindow();

    AnswerNext(mrOk);
    Select("Broken");
    ASSERT_EQ(modals.size(), 1u);
    EXPECT_EQ(modals[0].name, "ErrorBox");
    EXPECT_EQ(modals[0].title, "QTS Configuration Utility");
    EXPECT_EQ(modals[0].text, "Invalid data type for 'Lock Edits'");
    EXPECT_TRUE(window.isVisible());
    // The values read before the failing one are shown, and showing them modified the pane.
    EXPECT_EQ(window.EditPath->text(), "C:\\broken.mdb");
    EXPECT_TRUE(window.BtnApply->isEnabled());

    Select("Fine");
    EXPECT_EQ(window.EditPath->text(), "C:\\fine.mdb");
    Type(window.EditUsername, "still works");
    Click(window.BtnApply);
    EXPECT_EQ(Stored("Fine", "User Name"), "still works");
}

TEST_F(EditingAnAlias, ASaveThatCannotReachTheRegistryIsReportedAndStaysPending)
{
    Seed("Sales", {{"Path", "C:\\db\\sales.mdb"}});
    TFormConfig& window = OpenWindow();
    Select("Sales");
    // A name with a trailing backslash addresses no key that could be opened or created.
    ChooseFromMenu(window.ItmNew);
    FinishNameEdit("Broken\\", Qt::Key_Return);
    QTreeWidgetItem* item = Item("Broken\\");
    ASSERT_NE(item, nullptr);
    Type(window.EditPath, "C:\\elsewhere.mdb");

    for (QPushButton* button : {window.BtnOk, window.BtnApply}) {
        AnswerNext(mrOk);
        Click(button);
        ASSERT_EQ(modals.size(), 1u);
        EXPECT_EQ(modals[0].name, "MessageDialog");
        EXPECT_EQ(modals[0].title, "QTS Configuration Utility");
        EXPECT_EQ(modals[0].text, "The alias \"Broken\\\" could not be saved.");
        modals.clear();
        EXPECT_TRUE(window.isVisible());
        EXPECT_TRUE(window.BtnApply->isEnabled());
        EXPECT_EQ(item->text(1), "");
    }
    EXPECT_EQ(Stored("Sales", "Path"), "C:\\db\\sales.mdb");
    EXPECT_FALSE(KeyExists("Broken"));
}

// Answers the file dialog by typing `name` into its file name field and pressing Enter; records
// the folder and the name it opened with in `opened`.
std::function<void(QWidget&)> TypeIntoFileDialog(const QString& name, QString* opened = nullptr)
{
    return [name, opened](QWidget& dialog) {
        auto* chooser = qobject_cast<QFileDialog*>(&dialog);
        ASSERT_NE(chooser, nullptr);
        auto* edit = chooser->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(edit, nullptr);
        if (opened)
            *opened = QFileInfo(chooser->directory().absolutePath()).canonicalFilePath() + " | " +
                      edit->text();
        if (!name.isNull())
            edit->setText(name);
        QTest::keyClick(edit, Qt::Key_Return);
    };
}

TEST_F(EditingAnAlias, TheConnectStringBrowseReplacesTheSelectionTheButtonTookTheFocusFrom)
{
    environment.WriteFile("C:\\data\\people.dbf", "");
    Seed("Ext", {{"Connect", "dBASE IV;DATABASE=old;"}});
    TFormConfig& window = OpenWindow();
    QApplication::setActiveWindow(&window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    Select("Ext");

    QString filter;
    AnswerModal([&](QWidget& dialog) {
        auto* chooser = qobject_cast<QFileDialog*>(&dialog);
        ASSERT_NE(chooser, nullptr);
        filter = chooser->selectedNameFilter() + " of " + chooser->nameFilters().join('|') +
                 ", default " + chooser->defaultSuffix();
        chooser->setDirectory(QString::fromStdString(environment.DriveFolder('c') + "/data"));
        TypeIntoFileDialog("people.dbf")(dialog);
    });
    // The person selects "old" in the edit, then clicks "...", which takes the focus.
    window.EditConnect->setFocus();
    window.EditConnect->setSelection(18, 3);
    QTest::mouseClick(window.BtnFindConnect, Qt::LeftButton);

    ASSERT_EQ(modals.size(), 1u);
    EXPECT_EQ(modals[0].title, "Find A File");
    EXPECT_EQ(filter,
              "dBase Files (*.dbf) of Jet Database Files (*.mdb)|Jet System Files "
              "(*.mdw)|dBase Files (*.dbf)|Paradox Files (*.db)|All Files (*.*), default mdb");
    EXPECT_EQ(window.EditConnect->text(), "dBASE IV;DATABASE=C:\\data\\people.dbf;");
    EXPECT_EQ(QApplication::clipboard()->text(), "C:\\data\\people.dbf");
    EXPECT_TRUE(window.BtnApply->isEnabled());

    // Without a selection the path goes in at the caret where the person left it.
    modals.clear();
    AnswerModal(TypeIntoFileDialog(QString()));
    window.EditConnect->setText("ODBC;DSN=x");
    window.EditConnect->setFocus();
    window.EditConnect->setCursorPosition(5);
    QTest::mouseClick(window.BtnFindConnect, Qt::LeftButton);
    EXPECT_EQ(window.EditConnect->text(), "ODBC;C:\\data\\people.dbfDSN=x");
}

TEST_F(EditingAnAlias, TheFileDialogsOpenAtTheWindowsPathAndGiveBackWindowsPaths)
{
    environment.WriteFile("C:\\db\\beta.mdb", "");
    environment.WriteFile("C:\\db\\other.mdb", "");
    const QString outside = QString::fromStdString(environment.Root() + "/outside/system.mdw");
    QDir().mkpath(QFileInfo(outside).path());
    QFile(outside).open(QIODevice::WriteOnly);
    Seed("Sales", {{"Path", "C:\\db\\beta.mdb"}, {"SystemDb", "C:\\db\\none.mdw"}});
    TFormConfig& window = OpenWindow();
    // No file dialog is made before one is needed.
    EXPECT_EQ(window.OpenDialog, nullptr);
    EXPECT_TRUE(window.findChildren<QFileDialog*>().isEmpty());
    Select("Sales");
    const QString c = QString::fromStdString(environment.DriveFolder('c'));

    // The stored path as it stands: Enter accepts the file of drive C: it names.
    QString opened;
    AnswerModal(TypeIntoFileDialog(QString(), &opened));
    Click(window.BtnFindPath);
    EXPECT_EQ(opened, QFileInfo(c + "/db").canonicalFilePath() + " | beta.mdb");
    EXPECT_EQ(window.EditPath->text(), "C:\\db\\beta.mdb");
    EXPECT_FALSE(window.BtnApply->isEnabled());

    AnswerModal(TypeIntoFileDialog("other.mdb"));
    Click(window.BtnFindPath);
    EXPECT_EQ(window.EditPath->text(), "C:\\db\\other.mdb");

    // A file that is not there opens its folder with its name; a choice outside every drive
    // comes back native.
    AnswerModal(TypeIntoFileDialog(outside, &opened));
    Click(window.BtnFindSystemDb);
    EXPECT_EQ(opened, QFileInfo(c + "/db").canonicalFilePath() + " | none.mdw");
    EXPECT_EQ(window.EditSystemDb->text(), QDir::toNativeSeparators(outside));
    EXPECT_EQ(modals.size(), 3u);
}

using ClosingTheWindow = AliasWindowTest;

TEST_F(ClosingTheWindow, OnlyOkStoresEditsAndEveryWayOfClosingKeepsThePlacement)
{
    Seed("Sales", {{"Path", "C:\\old.mdb"}});
    struct Way {
        const char* name;
        std::function<void(TFormConfig&)> close;
        bool stores;
    };
    const Way ways[] = {
        {"Cancel", [this](TFormConfig& window) { Click(window.BtnCancel); }, false},
        {"Esc", [](TFormConfig& window) { QTest::keyClick(window.EditPath, Qt::Key_Escape); },
         false},
        {"close box", [](TFormConfig& window) { window.close(); }, false},
        {"OK", [this](TFormConfig& window) { Click(window.BtnOk); }, true},
    };
    QRect bounds(16, 41, 688, 460);
    for (const Way& way : ways) {
        TFormConfig& window = OpenWindow();
        // The window comes back where it was closed, frame included, without creeping.
        EXPECT_EQ(window.frameGeometry(), bounds) << way.name;
        window.move(bounds.left() + 30, bounds.top() + 20);
        window.resize(window.width() + 10, window.height() + 6);
        bounds = window.frameGeometry();
        Select("Sales");
        Type(window.EditPath, QString("C:\\") + way.name + ".mdb");
        way.close(window);
        EXPECT_FALSE(window.isVisible()) << way.name;
        EXPECT_EQ(Stored("Sales", "Path"), way.stores ? "C:\\OK.mdb" : "C:\\old.mdb") << way.name;
    }
    EXPECT_EQ(OpenWindow().frameGeometry(), bounds);
    EXPECT_TRUE(modals.empty());
}

TEST_F(ClosingTheWindow, ASingleStoredValueChangesOnlyItsOwnDimension)
{
    const std::tuple<const char*, int, QRect> cases[] = {
        {PlacementLeft, 5, QRect(5, 41, 688, 460)},
        {PlacementTop, 300, QRect(16, 300, 688, 460)},
        {PlacementWidth, 500, QRect(16, 41, 500, 460)},
        {PlacementHeight, 150, QRect(16, 41, 688, 150)},
    };
    for (const auto& [value, number, expected] : cases) {
        TestEnvironment own;
        {
            TRegistry registry;
            registry.SelectRoot(RegistryRoot::CurrentUser);
            ASSERT_TRUE(registry.OpenKeyPath(PlacementKeyPath, true));
            registry.WriteNumber(value, number);
        }
        EXPECT_EQ(OpenWindow().frameGeometry(), expected) << value;
        form.reset();
    }
}

TEST_F(OpeningTheWindow, TheStatusBarShowsTheLongHintOfTheControlUnderThePointer)
{
    TFormConfig& window = OpenWindow();
    const std::pair<QWidget*, QString> hints[] = {
        {window.EditPath,
         "Enter the complete path to the Jet database file (*.mdb) you want to access."},
        {window.LstAliases->viewport(), "Lists the aliases and their database file paths. Use "
                                        "the context menu to manipulate them."},
        {window.BtnOk, ""},
    };
    for (const auto& [control, hint] : hints) {
        QTest::mouseMove(control);
        EXPECT_TRUE(QTest::qWaitFor([&] { return window.Status->currentMessage() == hint; }))
            << window.Status->currentMessage().toStdString();
    }
}

TEST_F(OpeningTheWindow, EveryTextFitsAtTheDesignSize)
{
    TFormConfig& window = OpenWindow();
    EXPECT_EQ(window.Panel2->width(), 392);
    // All five page tabs are in sight at once, without scroll arrows.
    const QTabBar* tabs = window.Pages->tabBar();
    EXPECT_LE(tabs->tabRect(tabs->count() - 1).right(), tabs->width() - 1);
    for (int page = 0; page < window.Pages->count(); ++page) {
        window.Pages->setCurrentIndex(page);
        QApplication::processEvents();
        QWidget* shown = window.Pages->widget(page);
        for (QWidget* control : shown->findChildren<QWidget*>()) {
            if (!qobject_cast<QLabel*>(control) && !qobject_cast<QAbstractButton*>(control))
                continue;
            const bool wraps = control->hasHeightForWidth();
            const QSize needed(wraps ? control->minimumSizeHint().width()
                                     : qMin(control->sizeHint().width(), control->maximumWidth()),
                               wraps ? control->heightForWidth(control->width())
                                     : control->sizeHint().height());
            const QRect inPage(control->mapTo(shown, QPoint(0, 0)), control->size());
            EXPECT_TRUE(control->width() >= needed.width() &&
                        control->height() >= needed.height() && shown->rect().contains(inPage))
                << control->objectName().toStdString()
                << control->property("text").toString().toStdString();
        }
    }
}

TEST_F(ClosingTheWindow, NoFileDialogSettingsAreLeftInTheConfigurationFolder)
{
    const QDir configuration(QString::fromLocal8Bit(std::getenv("XDG_CONFIG_HOME")));
    ASSERT_TRUE(configuration.exists());
    const QString settings = configuration.filePath("QtProject.conf");

    OpenWindow();
    form->close();
    form.reset();
    EXPECT_FALSE(QFile::exists(settings));

    environment.WriteFile("C:\\db\\beta.mdb", "");
    Seed("Sales", {{"Path", "C:\\db\\beta.mdb"}});
    TFormConfig& window = OpenWindow();
    Select("Sales");
    AnswerModal(TypeIntoFileDialog(QString()));
    Click(window.BtnFindPath);
    ASSERT_EQ(modals.size(), 1u);
    window.close();
    form.reset();
    EXPECT_FALSE(QFile::exists(settings));
    EXPECT_EQ(configuration.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList());
}

TEST_F(OpeningTheWindow, ASmallWindowClipsItsPanelsInsteadOfSqueezingThem)
{
    TFormConfig& window = OpenWindow();
    QWidget* page = window.EditPath->parentWidget();
    // Pairs of controls that cover each other.
    const auto overlaps = [&] {
        QStringList found;
        const QList<QWidget*> shown = page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
        for (int i = 0; i < shown.size(); ++i)
            for (int j = i + 1; j < shown.size(); ++j)
                if (shown[i]->isVisible() && shown[j]->isVisible() &&
                    shown[i]->geometry().intersects(shown[j]->geometry()))
                    found << shown[i]->objectName() + "/" + shown[j]->objectName() + "/" +
                                 shown[i]->property("text").toString();
        if (window.Panel1->geometry().intersects(window.Panel2->geometry()))
            found << "Panel1/Panel2";
        return found;
    };
    EXPECT_EQ(overlaps(), QStringList());
    // The three edits of the page start at one line.
    EXPECT_EQ(window.EditSystemDb->x(), window.EditPath->x());
    EXPECT_EQ(window.EditConnect->x(), window.EditPath->x());
    EXPECT_EQ(window.EditUsername->x(), window.EditPath->x());

    window.resize(240, 160);
    QApplication::processEvents();
    EXPECT_EQ(window.size(), QSize(240, 160));
    EXPECT_EQ(overlaps(), QStringList());
    EXPECT_EQ(window.Panel2->width(), 392);
}
