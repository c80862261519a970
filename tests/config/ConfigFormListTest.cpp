// The alias list: its order, and creating, renaming, deleting and re-reading aliases through
// its pop-up menu and in-place name editing.
#include <QLocale>
#include <algorithm>
#include <clocale>

#include "ConfigFormAliasList.h"
#include "ConfigFormTestFixture.h"

// ---------------------------------------------------------------------------------------------
// Order of names

namespace
{

std::vector<std::string> Sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        return CompareAliasNames(a, b) < 0;
    });
    return names;
}

} // namespace

TEST(AliasNameOrder, LettersIgnoreCaseAndTheSmallLetterWinsATie)
{
    EXPECT_EQ(Sorted({"b", "A", "a", "B"}), (std::vector<std::string>{"a", "A", "b", "B"}));
    EXPECT_EQ(Sorted({"Sales", "sales2", "SALES", "sales"}),
              (std::vector<std::string>{"sales", "Sales", "SALES", "sales2"}));
    // Case only decides when the letters are equal throughout.
    EXPECT_LT(CompareAliasNames("Ab", "ac"), 0);
    EXPECT_LT(CompareAliasNames("aB", "Ab"), 0);
    // Hyphens and apostrophes only break ties; punctuation, digits, then letters.
    EXPECT_EQ(
        Sorted({"coop", "co-op", "cook", "Coordinates", "o'neil", "onions"}),
        (std::vector<std::string>{"cook", "coop", "co-op", "Coordinates", "o'neil", "onions"}));
    EXPECT_EQ(Sorted({"zeta", "2nd", "_tmp", "Alpha", "10"}),
              (std::vector<std::string>{"_tmp", "10", "2nd", "Alpha", "zeta"}));
}

TEST(AliasNameOrder, DoesNotDependOnTheProcessLocale)
{
    const std::vector<std::string> names = {"beta", "Beta", "alpha", "b-c", "bc", "_x", "Zed"};
    const std::string saved = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "C");
    const auto inC = Sorted(names);
    std::setlocale(LC_ALL, "C.UTF-8");
    const auto inUtf8 = Sorted(names);
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(inC, inUtf8);
    EXPECT_EQ(inC, (std::vector<std::string>{"_x", "alpha", "bc", "b-c", "beta", "Beta", "Zed"}));
}

// ---------------------------------------------------------------------------------------------
// The menu

using UsingTheListMenu = AliasWindowTest;

TEST_F(UsingTheListMenu, DeleteAndRenameNeedASelectedAlias)
{
    Seed("Sales", {});
    TFormConfig& window = OpenWindow();

    OpenMenu();
    EXPECT_EQ(window.Menu->actions().size(), 6);
    EXPECT_FALSE(window.ItmDelete->isEnabled());
    EXPECT_FALSE(window.ItmRename->isEnabled());
    EXPECT_TRUE(window.ItmNew->isEnabled());
    EXPECT_TRUE(window.ItmRefresh->isEnabled());
    window.Menu->close();

    Select("Sales");
    OpenMenu();
    EXPECT_TRUE(window.ItmDelete->isEnabled());
    EXPECT_TRUE(window.ItmRename->isEnabled());
    window.Menu->close();
}

// ---------------------------------------------------------------------------------------------
// New aliases

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
    EXPECT_FALSE(window.BtnApply->isEnabled());

    FinishNameEdit("", Qt::Key_Return);
    EXPECT_EQ(Names(), QStringList({"New Alias", "Sales", "Zoo"}));
    EXPECT_EQ(SelectedItem(), Item("New Alias"));
    EXPECT_FALSE(KeyExists("New Alias"));
    EXPECT_TRUE(window.EditPath->isEnabled());
    EXPECT_EQ(window.EditPath->text(), "C:\\db\\sales.mdb");
    EXPECT_TRUE(window.ChkReadOnly->isChecked());
    EXPECT_FALSE(window.BtnApply->isEnabled());
    EXPECT_TRUE(window.isVisible());

    Type(window.EditPreReset, "40");
    Click(window.BtnApply);
    ASSERT_TRUE(KeyExists("New Alias"));
    EXPECT_EQ(Stored("New Alias", "Path"), "C:\\db\\sales.mdb");
    EXPECT_EQ(Stored("New Alias", "Read Only"), "True");
    EXPECT_EQ(Stored("New Alias", "User Name"), "u");
    EXPECT_EQ(Stored("New Alias", "Prefetch Reset Every"), "40");
    EXPECT_EQ(Item("New Alias")->text(1), "C:\\db\\sales.mdb");
    EXPECT_EQ(Stored("Sales", "Prefetch Reset Every"), std::nullopt);
}

TEST_F(CreatingAnAlias, EscLeavesAnUnnamedItemThatRefreshRemoves)
{
    Seed("Sales", {{"Path", "C:\\db\\sales.mdb"}});
    TFormConfig& window = OpenWindow();
    Select("Sales");

    ChooseFromMenu(window.ItmNew);
    FinishNameEdit("Typed", Qt::Key_Escape);
    EXPECT_TRUE(window.isVisible()) << "Esc in the name editor must not close the window";
    EXPECT_EQ(Names(), QStringList({"Sales", ""}));
    ASSERT_NE(SelectedItem(), nullptr);
    EXPECT_EQ(SelectedItem()->text(0), "");
    EXPECT_FALSE(window.EditPath->isEnabled());
    EXPECT_FALSE(window.BtnApply->isEnabled());

    ChooseFromMenu(window.ItmRefresh);
    EXPECT_EQ(Names(), QStringList({"Sales"}));
    EXPECT_EQ(SelectedItem(), nullptr);
}

TEST_F(CreatingAnAlias, DeletingAnUnnamedItemLeavesEveryStoredAliasAlone)
{
    Seed("Sales", {{"Path", "C:\\db\\sales.mdb"}});
    Seed("Stock", {});
    TFormConfig& window = OpenWindow();

    ChooseFromMenu(window.ItmNew);
    FinishNameEdit("", Qt::Key_Escape);
    ChooseFromMenu(window.ItmDelete);

    EXPECT_TRUE(modalTitles.empty());
    EXPECT_EQ(Names(), QStringList({"Sales", "Stock"}));
    EXPECT_TRUE(KeyExists("Sales"));
    EXPECT_TRUE(KeyExists("Stock"));
}

// ---------------------------------------------------------------------------------------------
// Renaming

using RenamingAnAlias = AliasWindowTest;

TEST_F(RenamingAnAlias, TheKeyMovesAndTheListSortsAgain)
{
    Seed("Alpha", {{"Path", "C:\\a.mdb"}, {"Other", "kept"}});
    Seed("beta", {{"Path", "C:\\b.mdb"}});
    TFormConfig& window = OpenWindow();
    Select("Alpha");
    Type(window.EditPath, "C:\\unapplied.mdb");

    ChooseFromMenu(window.ItmRename);
    FinishNameEdit("Gamma", Qt::Key_Return);

    EXPECT_EQ(Names(), QStringList({"beta", "Gamma"}));
    EXPECT_FALSE(KeyExists("Alpha"));
    EXPECT_EQ(Stored("Gamma", "Path"), "C:\\a.mdb");
    EXPECT_EQ(Stored("Gamma", "Other"), "kept");
    // The unapplied edit is dropped and the stored values show under the new name.
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

    EXPECT_TRUE(modalTitles.empty());
    EXPECT_EQ(Names(), QStringList({"Beta", "Beta"}));
    EXPECT_EQ(Stored("Alpha", "Path"), "C:\\a.mdb");
    EXPECT_EQ(Stored("Beta", "Path"), "C:\\b.mdb");
    EXPECT_EQ(window.EditPath->text(), "C:\\b.mdb");
    EXPECT_TRUE(window.ChkLockEdits->isChecked());

    ChooseFromMenu(window.ItmRefresh);
    EXPECT_EQ(Names(), QStringList({"Alpha", "Beta"}));
}

TEST_F(RenamingAnAlias, ASlowSecondClickEditsTheNameButADoubleClickDoesNot)
{
    Seed("Alpha", {});
    OpenWindow();
    Select("Alpha");
    const QPoint at = form->LstAliases->visualItemRect(Item("Alpha")).topLeft() + QPoint(10, 4);

    QTest::mouseDClick(form->LstAliases->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    QTest::qWait(QApplication::doubleClickInterval() + 100);
    EXPECT_TRUE(NameEditor() == nullptr || !NameEditor()->isVisible());

    QTest::qWait(QApplication::doubleClickInterval() + 20);
    QTest::mouseClick(form->LstAliases->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    FinishNameEdit("Omega", Qt::Key_Return);
    EXPECT_EQ(Names(), QStringList({"Omega"}));
    EXPECT_TRUE(KeyExists("Omega"));
}

// ---------------------------------------------------------------------------------------------
// Deleting

using DeletingAnAlias = AliasWindowTest;

TEST_F(DeletingAnAlias, ConfirmedRemovesTheKeyWithEverythingBelowIt)
{
    Seed("Sales", {{"Path", "C:\\db\\sales.mdb"}});
    Seed("Sales\\Nested", {{"Deep", "1"}});
    Seed("Stock", {});
    TFormConfig& window = OpenWindow();
    Select("Sales");

    QString question;
    AnswerModal(Press("BtnOK", &question));
    ChooseFromMenu(window.ItmDelete);

    EXPECT_EQ(question, "Are you sure you want to permanently delete the alias Sales?");
    ASSERT_EQ(modalTitles.size(), 1u);
    EXPECT_EQ(modalTitles[0], "QTS Configuration Utility");
    EXPECT_FALSE(KeyExists("Sales"));
    EXPECT_FALSE(KeyExists("Sales\\Nested"));
    EXPECT_TRUE(KeyExists("Stock"));
    EXPECT_EQ(Names(), QStringList({"Stock"}));
    EXPECT_EQ(SelectedItem(), nullptr);
    EXPECT_FALSE(window.EditPath->isEnabled());
}

TEST_F(DeletingAnAlias, CancelledLeavesEverythingAsItWas)
{
    Seed("Sales", {{"Path", "C:\\db\\sales.mdb"}});
    TFormConfig& window = OpenWindow();
    Select("Sales");

    AnswerModal(
        [](QWidget&) { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
    ChooseFromMenu(window.ItmDelete);

    EXPECT_EQ(modalTitles.size(), 1u);
    EXPECT_TRUE(KeyExists("Sales"));
    EXPECT_EQ(Names(), QStringList({"Sales"}));
    EXPECT_EQ(SelectedItem(), Item("Sales"));
    EXPECT_TRUE(window.EditPath->isEnabled());
    EXPECT_TRUE(window.isVisible());
}
