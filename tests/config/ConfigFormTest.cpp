// The alias window as its user meets it: opening, choosing and editing an alias, applying,
// closing, and the window's place on the screen.
#include <QClipboard>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QStatusBar>
#include <QTabBar>
#include <QTemporaryDir>

#include "ConfigFormTestFixture.h"

namespace
{

const QStringList OptionControlNames =
    QString("EditPath ChkExclusive ChkReadOnly ChkLockEdits ChkSeparateWS ChkUseDefault "
            "ChkUseConstraint ChkUseAllowZero ChkRenamePrimary ChkShowGUID ChkDisableRefresh "
            "ChkSeeChanges ChkIndexesCaseSensitive EditSystemDb EditUsername EditConnect "
            "EditPreThreshold EditPreReset BtnFindPath BtnFindSystemDb BtnFindConnect")
        .split(' ');

int EnabledOptionControls(const TFormConfig& form)
{
    int enabled = 0;
    for (const QWidget* control : form.OptionControls())
        enabled += control->isEnabled();
    return enabled;
}

std::string Describe(const QWidget* control)
{
    if (auto* label = qobject_cast<const QLabel*>(control))
        return label->text().toStdString();
    return control->objectName().toStdString();
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Opening the window

using OpeningTheWindow = AliasWindowTest;

TEST_F(OpeningTheWindow, FirstStartShowsTheDesignPlacementWithNothingToEdit)
{
    TFormConfig& window = OpenWindow();

    EXPECT_EQ(window.frameGeometry(), QRect(16, 41, 688, 460));
    EXPECT_EQ(window.windowTitle(), "Quillon Tessarium 3 Alias Configuration Utility");
    EXPECT_EQ(window.Pages->currentIndex(), 0);
    EXPECT_EQ(window.Pages->tabText(window.Pages->currentIndex()), "Connection");
    EXPECT_EQ(window.TabRoot->currentIndex(), 0);
    EXPECT_EQ(window.LstAliases->topLevelItemCount(), 0);
    EXPECT_TRUE(window.LstAliases->selectedItems().isEmpty());

    ASSERT_EQ(window.OptionControls().size(), 21u);
    for (int i = 0; i < 21; ++i) {
        EXPECT_EQ(window.OptionControls()[i]->objectName(), OptionControlNames[i]);
        EXPECT_FALSE(window.OptionControls()[i]->isEnabled())
            << OptionControlNames[i].toStdString();
    }
    EXPECT_FALSE(window.BtnApply->isEnabled());
    EXPECT_TRUE(window.ChkSeeChanges->isChecked());
    EXPECT_FALSE(window.Dirty());
}

TEST_F(OpeningTheWindow, ListsTheMachineWideAliasesSortedWithoutSelectingOne)
{
    Seed("stock", {{"Path", "C:\\db\\stock.mdb"}});
    Seed("Sales", {{"Path", "C:\\db\\sales.mdb"}});
    Seed("sales-old", {});
    Seed("Zeta", {});
    Seed("archive", {});
    Seed("Personal", {{"Path", "C:\\mine.mdb"}}, AliasScope::CurrentUser);
    TFormConfig& window = OpenWindow();

    EXPECT_EQ(Names(), QStringList({"archive", "Sales", "sales-old", "stock", "Zeta"}));
    EXPECT_EQ(Item("Sales")->text(1), "C:\\db\\sales.mdb");
    EXPECT_EQ(Item("sales-old")->text(1), "");
    EXPECT_EQ(SelectedItem(), nullptr);
    EXPECT_EQ(EnabledOptionControls(window), 0);

    window.TabRoot->setCurrentIndex(1);
    EXPECT_EQ(Names(), QStringList({"Personal"}));
    EXPECT_EQ(Item("Personal")->text(1), "C:\\mine.mdb");
}

// ---------------------------------------------------------------------------------------------
// Choosing and editing an alias

using EditingAnAlias = AliasWindowTest;

TEST_F(EditingAnAlias, ChoosingAnotherAliasDropsUnappliedEditsWithoutAsking)
{
    Seed("Sales", {{"Path", "C:\\db\\sales.mdb"}, {"Read Only", "True"}});
    Seed("Stock", {{"Path", "C:\\db\\stock.mdb"}, {"User Name", "clerk"}});
    TFormConfig& window = OpenWindow();

    Select("Sales");
    EXPECT_EQ(EnabledOptionControls(window), 21);
    EXPECT_EQ(window.EditPath->text(), "C:\\db\\sales.mdb");
    EXPECT_TRUE(window.ChkReadOnly->isChecked());
    EXPECT_FALSE(window.BtnApply->isEnabled());

    Type(window.EditPath, "C:\\elsewhere.mdb");
    EXPECT_TRUE(window.BtnApply->isEnabled());
    Select("Stock");
    EXPECT_TRUE(modalTitles.empty());
    EXPECT_EQ(window.EditPath->text(), "C:\\db\\stock.mdb");
    EXPECT_EQ(window.EditUsername->text(), "clerk");
    EXPECT_FALSE(window.ChkReadOnly->isChecked());
    EXPECT_FALSE(window.BtnApply->isEnabled());

    Select("Sales");
    EXPECT_EQ(window.EditPath->text(), "C:\\db\\sales.mdb");
    EXPECT_EQ(Stored("Sales", "Path"), "C:\\db\\sales.mdb");
}

TEST_F(EditingAnAlias, ApplyStoresTheWholeAliasAndShowsTheNewPathInTheList)
{
    Seed("Sales", {{"Path", "C:\\db\\sales.mdb"}, {"Exclusive", "True"}, {"Connect", "x"}});
    TFormConfig& window = OpenWindow();
    Select("Sales");

    Type(window.EditPath, "D:\\new.mdb");
    Toggle(window.ChkReadOnly);
    Toggle(window.ChkExclusive);
    Type(window.EditConnect, "");
    Type(window.EditPreThreshold, "lots");
    Click(window.BtnApply);

    EXPECT_EQ(Stored("Sales", "Path"), "D:\\new.mdb");
    EXPECT_EQ(Stored("Sales", "Read Only"), "True");
    EXPECT_EQ(Stored("Sales", "Exclusive"), std::nullopt);
    EXPECT_EQ(Stored("Sales", "Connect"), std::nullopt);
    EXPECT_EQ(Stored("Sales", "Prefetch Threshold"), "lots");
    EXPECT_EQ(Item("Sales")->text(1), "D:\\new.mdb");
    EXPECT_FALSE(window.BtnApply->isEnabled());
    EXPECT_FALSE(window.Dirty());
    EXPECT_TRUE(window.isVisible());
}

TEST_F(EditingAnAlias, EnterPressesApplyOnlyWhileItIsEnabled)
{
    Seed("Sales", {{"Path", "C:\\a.mdb"}});
    TFormConfig& window = OpenWindow();
    Select("Sales");

    Type(window.EditUsername, "admin");
    QTest::keyClick(window.EditUsername, Qt::Key_Return);
    EXPECT_EQ(Stored("Sales", "User Name"), "admin");
    EXPECT_FALSE(window.BtnApply->isEnabled());

    // With nothing to apply Enter does nothing at all: the window stays open.
    QTest::keyClick(window.EditUsername, Qt::Key_Return);
    EXPECT_TRUE(window.isVisible());
}

TEST_F(EditingAnAlias, DbSeeChangesIsShownAsTheOppositeOfItsStoredFlag)
{
    Seed("Off", {{"Disable SeeChanges", "True"}});
    Seed("On", {});
    TFormConfig& window = OpenWindow();

    Select("Off");
    EXPECT_FALSE(window.ChkSeeChanges->isChecked());
    Select("On");
    EXPECT_TRUE(window.ChkSeeChanges->isChecked());

    Toggle(window.ChkSeeChanges);
    Click(window.BtnApply);
    EXPECT_EQ(Stored("On", "Disable SeeChanges"), "True");

    Select("Off");
    Toggle(window.ChkSeeChanges);
    Click(window.BtnApply);
    EXPECT_EQ(Stored("Off", "Disable SeeChanges"), std::nullopt);
}

TEST_F(EditingAnAlias, FlagsInAnyLetterCaseLoadAsOnAndAreStoredAsTrueOrNotAtAll)
{
    Seed("Odd", {{"Exclusive", "true"},
                 {"Read Only", "TRUE"},
                 {"Lock Edits", "tRuE"},
                 {"Separate Workspace", "1"},
                 {"Use Defaults", "Yes"},
                 {"Show GUIDs", "False"},
                 {"Rename Primary", " True"}});
    TFormConfig& window = OpenWindow();
    Select("Odd");

    EXPECT_TRUE(window.ChkExclusive->isChecked());
    EXPECT_TRUE(window.ChkReadOnly->isChecked());
    EXPECT_TRUE(window.ChkLockEdits->isChecked());
    EXPECT_FALSE(window.ChkSeparateWS->isChecked());
    EXPECT_FALSE(window.ChkUseDefault->isChecked());
    EXPECT_FALSE(window.ChkShowGUID->isChecked());
    EXPECT_FALSE(window.ChkRenamePrimary->isChecked());
    // Loading differing values went through the change handlers, yet the pane ends clean.
    EXPECT_FALSE(window.Dirty());

    Type(window.EditUsername, "x");
    Click(window.BtnApply);
    for (const char* flag : {"Exclusive", "Read Only", "Lock Edits"})
        EXPECT_EQ(Stored("Odd", flag), "True") << flag;
    for (const char* flag : {"Separate Workspace", "Use Defaults", "Show GUIDs", "Rename Primary",
                             "Use Constraints", "Disable Refresh"})
        EXPECT_EQ(Stored("Odd", flag), std::nullopt) << flag;
}

TEST_F(EditingAnAlias, AValueOfTheWrongTypeShowsTheRegistryMessageAndTheWindowGoesOn)
{
    Seed("Broken", {{"Path", "C:\\broken.mdb"}});
    {
        TRegistry registry;
        registry.SelectRoot(RegistryRoot::LocalMachine);
        ASSERT_TRUE(registry.OpenKeyPath(AliasKey("Broken"), false));
        registry.WriteNumber("Lock Edits", 1);
    }
    Seed("Fine", {{"Path", "C:\\fine.mdb"}});
    TFormConfig& window = OpenWindow();

    QString message;
    AnswerModal(AcknowledgeError(&message));
    Select("Broken");
    EXPECT_EQ(message, "Invalid data type for 'Lock Edits'");
    ASSERT_EQ(modalNames.size(), 1u);
    EXPECT_EQ(modalNames[0], "ErrorBox");
    EXPECT_EQ(modalTitles[0], "QTS Configuration Utility");
    EXPECT_TRUE(window.isVisible());

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
    ASSERT_EQ(SelectedItem(), item);
    EXPECT_EQ(window.EditPath->text(), "C:\\db\\sales.mdb");
    Type(window.EditPath, "C:\\elsewhere.mdb");

    QString message;
    AnswerModal(Press("BtnOK", &message));
    Click(window.BtnOk);

    EXPECT_EQ(message, "The alias \"Broken\\\" could not be saved.");
    ASSERT_EQ(modalNames.size(), 1u);
    EXPECT_EQ(modalTitles[0], "QTS Configuration Utility");
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(window.Dirty());
    EXPECT_TRUE(window.BtnApply->isEnabled());
    EXPECT_EQ(item->text(1), "");
    EXPECT_EQ(Stored("Sales", "Path"), "C:\\db\\sales.mdb");
    EXPECT_FALSE(KeyExists("Broken"));

    // Apply alone reports the same and the window stays as it was.
    AnswerModal(Press("BtnOK", &message));
    Click(window.BtnApply);
    EXPECT_EQ(modalNames.size(), 2u);
    EXPECT_TRUE(window.BtnApply->isEnabled());
}

TEST_F(EditingAnAlias, TheConnectStringBrowseReplacesTheSelectedPartThroughTheClipboard)
{
    QTemporaryDir folder;
    const QString file = folder.filePath("people.dbf");
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    Seed("Ext", {{"Connect", "dBASE IV;DATABASE=old;"}});
    TFormConfig& window = OpenWindow();
    Select("Ext");
    window.EditConnect->setSelection(18, 3);

    QString filter;
    AnswerModal([&](QWidget& dialog) {
        auto* chooser = qobject_cast<QFileDialog*>(&dialog);
        ASSERT_NE(chooser, nullptr);
        filter = chooser->selectedNameFilter();
        // The dialog's name field has the focus, so the file is typed there.
        auto* name = chooser->findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setText(file);
        QTest::keyClick(name, Qt::Key_Return);
    });
    Click(window.BtnFindConnect);

    ASSERT_EQ(modalTitles.size(), 1u);
    EXPECT_EQ(modalTitles[0], "Find A File");
    EXPECT_EQ(filter, "dBase Files (*.dbf)");
    EXPECT_EQ(window.EditConnect->text(), "dBASE IV;DATABASE=" + file + ";");
    EXPECT_EQ(QApplication::clipboard()->text(), file);
    EXPECT_TRUE(window.BtnApply->isEnabled());
}

TEST_F(EditingAnAlias, ChangingTheScopeDropsPendingEdits)
{
    Seed("Sales", {{"Path", "C:\\db\\sales.mdb"}});
    TFormConfig& window = OpenWindow();
    Select("Sales");
    Type(window.EditPath, "C:\\lost.mdb");

    QTest::mouseClick(window.TabRoot, Qt::LeftButton, Qt::NoModifier,
                      window.TabRoot->tabRect(1).center());
    EXPECT_EQ(window.TabRoot->currentIndex(), 1);
    EXPECT_TRUE(Names().isEmpty());
    EXPECT_EQ(EnabledOptionControls(window), 0);
    EXPECT_FALSE(window.BtnApply->isEnabled());
    EXPECT_EQ(Stored("Sales", "Path"), "C:\\db\\sales.mdb");
}

// ---------------------------------------------------------------------------------------------
// Closing the window

using ClosingTheWindow = AliasWindowTest;

TEST_F(ClosingTheWindow, OkStoresTheAliasThenClosesAndRemembersThePlacement)
{
    Seed("Sales", {{"Path", "C:\\db\\sales.mdb"}});
    TFormConfig& window = OpenWindow();
    window.move(100, 120);
    Select("Sales");
    Toggle(window.ChkLockEdits);

    Click(window.BtnOk);

    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(Stored("Sales", "Lock Edits"), "True");
    EXPECT_EQ(StoredPlacement(PlacementLeft), 100);
    EXPECT_EQ(StoredPlacement(PlacementTop), 120);
    EXPECT_EQ(StoredPlacement(PlacementWidth), 688);
    EXPECT_EQ(StoredPlacement(PlacementHeight), 460);
}

TEST_F(ClosingTheWindow, CancelEscAndTheCloseBoxStoreNothingButThePlacement)
{
    Seed("Sales", {{"Path", "C:\\db\\sales.mdb"}});
    const std::vector<std::function<void(TFormConfig&)>> ways = {
        [this](TFormConfig& window) { Click(window.BtnCancel); },
        [](TFormConfig& window) { QTest::keyClick(window.EditPath, Qt::Key_Escape); },
        [](TFormConfig& window) { window.close(); },
    };
    int left = 30;
    for (const auto& closeWindow : ways) {
        TFormConfig& window = OpenWindow();
        window.move(left, 50);
        Select("Sales");
        Type(window.EditPath, "C:\\never.mdb");
        closeWindow(window);
        EXPECT_FALSE(window.isVisible());
        EXPECT_EQ(Stored("Sales", "Path"), "C:\\db\\sales.mdb");
        EXPECT_EQ(StoredPlacement(PlacementLeft), left);
        left += 40;
    }
    EXPECT_TRUE(modalTitles.empty());
}

TEST_F(ClosingTheWindow, TheNextStartRestoresThePlacement)
{
    TFormConfig& first = OpenWindow();
    first.move(200, 150);
    first.resize(first.width() + 100, first.height() + 60);
    const QRect bounds = first.frameGeometry();
    first.close();

    TFormConfig& second = OpenWindow();
    EXPECT_EQ(second.frameGeometry(), bounds);
    EXPECT_EQ(bounds.size(), QSize(788, 520));
}

TEST_F(ClosingTheWindow, ASingleStoredValueChangesOnlyItsOwnDimension)
{
    StorePlacement(PlacementWidth, 500);
    EXPECT_EQ(OpenWindow().frameGeometry(), QRect(16, 41, 500, 460));
    form.reset();

    TestEnvironment fresh;
    StorePlacement(PlacementTop, 300);
    EXPECT_EQ(OpenWindow().frameGeometry(), QRect(16, 300, 688, 460));
    form.reset();

    TestEnvironment small;
    StorePlacement(PlacementHeight, 150);
    EXPECT_EQ(OpenWindow().frameGeometry(), QRect(16, 41, 688, 150));
}

// ---------------------------------------------------------------------------------------------
// Hints

using ReadingHints = AliasWindowTest;

TEST_F(ReadingHints, TheStatusBarShowsTheLongHintOfTheControlUnderThePointer)
{
    TFormConfig& window = OpenWindow();

    QTest::mouseMove(window.EditPath);
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return window.Status->currentMessage() ==
               "Enter the complete path to the Jet database file (*.mdb) you want to access.";
    })) << window.Status->currentMessage().toStdString();
    QTest::mouseMove(window.LstAliases->viewport());
    EXPECT_TRUE(QTest::qWaitFor([&] {
        return window.Status->currentMessage() ==
               "Lists the aliases and their database file paths. Use the context menu to "
               "manipulate them.";
    })) << window.Status->currentMessage().toStdString();
    QTest::mouseMove(window.BtnOk);
    EXPECT_TRUE(QTest::qWaitFor([&] { return window.Status->currentMessage() == ""; }))
        << window.Status->currentMessage().toStdString();
}

// ---------------------------------------------------------------------------------------------
// Layout

using LayingOutThePages = AliasWindowTest;

TEST_F(LayingOutThePages, EveryTextFitsAtTheDesignSize)
{
    TFormConfig& window = OpenWindow();
    EXPECT_EQ(window.Panel2->width(), 392);
    // All five page tabs are in sight at once, without scroll arrows.
    const QTabBar* tabs = window.Pages->tabBar();
    for (int page = 0; page < tabs->count(); ++page)
        EXPECT_LE(tabs->tabRect(page).right(), tabs->width() - 1) << page;
    for (int page = 0; page < window.Pages->count(); ++page) {
        window.Pages->setCurrentIndex(page);
        QApplication::processEvents();
        QWidget* shown = window.Pages->widget(page);
        for (QWidget* control : shown->findChildren<QWidget*>()) {
            if (!qobject_cast<QLabel*>(control) && !qobject_cast<QAbstractButton*>(control))
                continue;
            const QSize needed = control->hasHeightForWidth()
                                     ? QSize(control->minimumSizeHint().width(),
                                             control->heightForWidth(control->width()))
                                     : control->sizeHint();
            EXPECT_GE(control->width(), qMin(needed.width(), control->maximumWidth()))
                << window.Pages->tabText(page).toStdString() << ": " << Describe(control);
            EXPECT_GE(control->height(), needed.height())
                << window.Pages->tabText(page).toStdString() << ": " << Describe(control);
            const QRect inPage(control->mapTo(shown, QPoint(0, 0)), control->size());
            EXPECT_TRUE(shown->rect().contains(inPage))
                << window.Pages->tabText(page).toStdString() << ": " << Describe(control);
        }
    }
}
