// The alias list: its order, and creating, renaming, deleting and re-reading aliases through
// its pop-up menu and in-place name editing.
#include <QHeaderView>
#include <algorithm>

#include "ConfigFormAliasList.h"
#include "ConfigFormTestFixture.h"

using UsingTheListMenu = AliasWindowTest;

TEST_F(UsingTheListMenu, DeleteAndRenameNeedASelectedAlias)
{
    Seed("Sales", {});
    TFormConfig& window = OpenWindow();
    for (const bool selected : {false, true}) {
        if (selected)
            Select("Sales");
        OpenMenu();
        EXPECT_EQ(window.ItmDelete->isEnabled(), selected);
        EXPECT_EQ(window.ItmRename->isEnabled(), selected);
        EXPECT_TRUE(window.ItmNew->isEnabled());
        EXPECT_TRUE(window.ItmRefresh->isEnabled());
        window.Menu->close();
    }
}

TEST_F(UsingTheListMenu, ShiftF10OpensTheMenuAndTheNameEditorIsAFieldOnTheNameAlone)
{
    Seed("Sales", {{"Path", "C:\\db\\sales.mdb"}});
    TFormConfig& window = OpenWindow();
    Select("Sales");
    window.LstAliases->setFocus();
    QTest::keyClick(window.LstAliases, Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.Menu));
    window.Menu->hide();

    ChooseFromMenu(window.ItmRename);
    ASSERT_TRUE(QTest::qWaitFor([&] { return NameEditor() != nullptr; }));
    QLineEdit* editor = NameEditor();
    EXPECT_TRUE(editor->hasFrame());
    EXPECT_GE(editor->height(), editor->sizeHint().height());
    EXPECT_LE(editor->geometry().right(), window.LstAliases->header()->sectionPosition(1));
    // Only the field stands out: the Path cell of the row is not highlighted meanwhile.
    const QModelIndex path = window.LstAliases->model()->index(0, 1);
    const QRect cell = window.LstAliases->visualRect(path);
    // A point of the cell beside its text, within sight.
    const QPoint beside(std::min(cell.right(), window.LstAliases->viewport()->width() - 1) - 3,
                        cell.center().y());
    const QImage shot = window.LstAliases->viewport()->grab().toImage();
    const QColor highlight = window.LstAliases->palette().color(QPalette::Highlight);
    ASSERT_TRUE(shot.rect().contains(beside));
    EXPECT_NE(shot.pixelColor(beside), highlight);
    QTest::keyClick(editor, Qt::Key_Escape);
    // Afterwards the whole row is highlighted again.
    ASSERT_TRUE(QTest::qWaitFor([&] { return NameEditor() == nullptr; }));
    QTest::qWait(20);
    EXPECT_EQ(window.LstAliases->viewport()->grab().toImage().pixelColor(beside), highlight);
}

using CreatingAnAlias = AliasWindowTest;

TEST_F(CreatingAnAlias, EnterWithoutANameMakesNewAliasShowingThePreviousValues)
{
    Seed("Sales", {{"Path", "C:\\db\\sales.mdb"}, {"Read Only", "tRUE"}, {"User Name", "u"}});
    Seed("Zoo", {});
    TFormConfig& window = OpenWindow();
    Select("Sales");

    ChooseFromMenu(window.ItmNew);
    // Until it is named the new item waits at the end of the list with the pane disabled.
    EXPECT_EQ(Names(), QStringList({"Sales", "Zoo", ""}));
    EXPECT_EQ(SelectedItem(), window.LstAliases->topLevelItem(2));
    EXPECT_FALSE(window.EditPath->isEnabled());

    FinishNameEdit("", Qt::Key_Return);
    ASSERT_EQ(Names(), QStringList({"New Alias", "Sales", "Zoo"}));
    EXPECT_EQ(SelectedItem(), Item("New Alias"));
    EXPECT_FALSE(KeyExists("New Alias"));
    EXPECT_TRUE(window.EditPath->isEnabled());
    EXPECT_EQ(window.EditPath->text(), "C:\\db\\sales.mdb");
    EXPECT_EQ(Checked(), "ChkReadOnly ChkSeeChanges");
    EXPECT_FALSE(window.BtnApply->isEnabled());

    Type(window.EditPreReset, "40");
    Click(window.BtnApply);
    EXPECT_EQ(StoredAlias("New Alias"),
              "Path=C:\\db\\sales.mdb; Read Only=True; User Name=u; Prefetch Reset Every=40");
    EXPECT_EQ(Item("New Alias")->text(1), "C:\\db\\sales.mdb");
    EXPECT_EQ(StoredAlias("Sales"), "Path=C:\\db\\sales.mdb; Read Only=tRUE; User Name=u");
}

TEST_F(CreatingAnAlias, EscLeavesAnUnnamedItemThatDeleteOrRefreshRemoves)
{
    Seed("Sales", {{"Path", "C:\\db\\sales.mdb"}});
    Seed("Stock", {});
    TFormConfig& window = OpenWindow();
    Select("Sales");

    for (QAction* removal : {window.ItmDelete, window.ItmRefresh}) {
        ChooseFromMenu(window.ItmNew);
        FinishNameEdit("Typed", Qt::Key_Escape);
        EXPECT_TRUE(window.isVisible()) << "Esc in the name editor must not close the window";
        EXPECT_EQ(Names(), QStringList({"Sales", "Stock", ""}));
        ASSERT_EQ(SelectedItem(), window.LstAliases->topLevelItem(2));
        EXPECT_FALSE(window.EditPath->isEnabled());
        EXPECT_FALSE(window.BtnApply->isEnabled());

        // The unnamed item has no key: deleting it asks nothing and touches no stored alias.
        ChooseFromMenu(removal);
        EXPECT_EQ(Names(), QStringList({"Sales", "Stock"}));
        EXPECT_EQ(SelectedItem(), nullptr);
        EXPECT_FALSE(window.EditPath->isEnabled());
    }
    EXPECT_TRUE(modals.empty());
    EXPECT_TRUE(KeyExists("Sales"));
    EXPECT_TRUE(KeyExists("Stock"));
}

using RenamingAnAlias = AliasWindowTest;

TEST_F(RenamingAnAlias, ASlowSecondClickRenamesDroppingUnappliedEditsButADoubleClickDoesNot)
{
    Seed("Alpha", {{"Path", "C:\\a.mdb"}, {"Other", "kept"}});
    Seed("beta", {{"Path", "C:\\b.mdb"}});
    TFormConfig& window = OpenWindow();
    Select("Alpha");
    Type(window.EditPath, "C:\\unapplied.mdb");
    const QPoint at = window.LstAliases->visualItemRect(Item("Alpha")).topLeft() + QPoint(10, 4);

    QTest::mouseDClick(window.LstAliases->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::qWait(2 * QApplication::doubleClickInterval() + 100);
    EXPECT_EQ(NameEditor(), nullptr);

    QTest::mouseClick(window.LstAliases->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    FinishNameEdit("Gamma", Qt::Key_Return);
    EXPECT_EQ(Names(), QStringList({"beta", "Gamma"}));
    EXPECT_FALSE(KeyExists("Alpha"));
    EXPECT_EQ(Stored("Gamma", "Path"), "C:\\a.mdb");
    EXPECT_EQ(Stored("Gamma", "Other"), "kept");
    EXPECT_EQ(window.EditPath->text(), "C:\\a.mdb");
    EXPECT_FALSE(window.BtnApply->isEnabled());
    EXPECT_EQ(SelectedItem(), Item("Gamma"));
}

TEST_F(RenamingAnAlias, OntoAnotherAliasLeavesTheRegistryAndShowsTheOtherAlias)
{
    Seed("Alpha", {{"Path", "C:\\a.mdb"}});
    Seed("Beta", {{"Path", "C:\\b.mdb"}, {"Lock Edits", "True"}});
    TFormConfig& window = OpenWindow();
    Select("Alpha");

    ChooseFromMenu(window.ItmRename);
    FinishNameEdit("Beta", Qt::Key_Return);

    EXPECT_TRUE(modals.empty());
    EXPECT_EQ(Names(), QStringList({"Beta", "Beta"}));
    EXPECT_EQ(Stored("Alpha", "Path"), "C:\\a.mdb");
    EXPECT_EQ(Stored("Beta", "Path"), "C:\\b.mdb");
    EXPECT_EQ(window.EditPath->text(), "C:\\b.mdb");
    EXPECT_EQ(Checked(), "ChkLockEdits ChkSeeChanges");

    ChooseFromMenu(window.ItmRefresh);
    EXPECT_EQ(Names(), QStringList({"Alpha", "Beta"}));
}

using DeletingAnAlias = AliasWindowTest;

TEST_F(DeletingAnAlias, CancelledKeepsEverythingConfirmedRemovesTheKeyWithAllBelowIt)
{
    Seed("Sales", {{"Path", "C:\\db\\sales.mdb"}});
    Seed("Sales\\Nested", {{"Deep", "1"}});
    Seed("Stock", {});
    TFormConfig& window = OpenWindow();
    Select("Sales");

    AnswerModalWith(Qt::Key_Escape);
    ChooseFromMenu(window.ItmDelete);
    ASSERT_EQ(modals.size(), 1u);
    EXPECT_TRUE(KeyExists("Sales\\Nested"));
    EXPECT_EQ(Names(), QStringList({"Sales", "Stock"}));
    EXPECT_EQ(SelectedItem(), Item("Sales"));
    EXPECT_TRUE(window.EditPath->isEnabled());

    AnswerModalWith(Qt::Key_Return);
    ChooseFromMenu(window.ItmDelete);
    ASSERT_EQ(modals.size(), 2u);
    for (const Modal& modal : modals) {
        EXPECT_EQ(modal.text, "Are you sure you want to permanently delete the alias Sales?");
        EXPECT_EQ(modal.title, "QTS Configuration Utility");
    }
    EXPECT_FALSE(KeyExists("Sales"));
    EXPECT_FALSE(KeyExists("Sales\\Nested"));
    EXPECT_TRUE(KeyExists("Stock"));
    EXPECT_EQ(Names(), QStringList({"Stock"}));
    EXPECT_EQ(SelectedItem(), nullptr);
    EXPECT_FALSE(window.EditPath->isEnabled());
}

// Items of the store's listing keep the core's strings until the list shows them; to the list
// they must behave as items holding their own texts.
TEST(AliasListItem, ListedTextsReadAndChangeAsTheItemsOwn)
{
    QTreeWidget list;
    list.setColumnCount(2);
    auto* item = new TAliasListItem("Sales", "C:\\db\\sales.mdb");
    list.addTopLevelItem(item);
    int changes = 0;
    QObject::connect(&list, &QTreeWidget::itemChanged, [&] { ++changes; });

    EXPECT_EQ(item->text(0), "Sales");
    EXPECT_EQ(item->data(1, Qt::EditRole).toString(), "C:\\db\\sales.mdb");
    EXPECT_EQ(list.model()->index(0, 1).data().toString(), "C:\\db\\sales.mdb");
    // The same text again is no change, as for any item.
    item->setText(0, "Sales");
    item->setText(1, "C:\\db\\sales.mdb");
    EXPECT_EQ(changes, 0);

    item->setText(1, "D:\\new.mdb");
    list.model()->setData(list.model()->index(0, 0), "Purchases", Qt::EditRole);
    EXPECT_EQ(changes, 2);
    EXPECT_EQ(item->text(1), "D:\\new.mdb");
    EXPECT_EQ(item->text(0), "Purchases");
    EXPECT_EQ(item->Name(), "Purchases");
    // Other roles are the item's own from the start.
    item->setData(0, Qt::ToolTipRole, "tip");
    EXPECT_EQ(item->data(0, Qt::ToolTipRole).toString(), "tip");
    EXPECT_EQ(item->text(0), "Purchases");
}
