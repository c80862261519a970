// The controls of the alias configuration window: the alias list, the five pages of the pane,
// the buttons, the pop-up menu and the tab order.
#include <QAction>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProxyStyle>
#include <QPushButton>
#include <QScrollArea>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ConfigForm.h"
#include "ConfigFormAliasList.h"
#include "QtsGuard.h"
#include "QtsWidgets.h"

namespace
{

const char* const WindowCaption = "Quillon Tessarium 3 Alias Configuration Utility";

// Tabs with less room beside their captions, so that all five page tabs fit the fixed width of
// the right panel in every font the machine offers.
class CompactTabStyle : public QProxyStyle
{
public:
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override
    {
        if (metric == PM_TabBarTabHSpace)
            return 10;
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
};

// The margins inside a page.
constexpr QMargins PageMargins(8, 8, 8, 8);

// A hint is "short|long"; without "|" both parts are the whole text. The long part is what the
// status bar shows; the short part becomes a tooltip where the control offers one.
void SetHint(QWidget* widget, const QString& hint, bool tooltip)
{
    const int bar = hint.indexOf('|');
    const QString shortHint = bar < 0 ? hint : hint.left(bar);
    const QString longHint = bar < 0 ? hint : hint.mid(bar + 1);
    widget->setStatusTip(longHint);
    if (tooltip)
        widget->setToolTip(shortHint);
}

// A bold section heading with its horizontal line below.
void AddHeading(QVBoxLayout* layout, const QString& text, QWidget* parent)
{
    QLabel* heading = NewLabel(parent, nullptr, text);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    QPalette palette = heading->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    heading->setPalette(palette);
    layout->addWidget(heading);
    layout->addWidget(NewBevel(parent, nullptr));
}

// A label that moves the focus to `buddy` with its accelerator.
QLabel* BuddyLabel(const QString& caption, QWidget* buddy, QWidget* parent)
{
    QLabel* label = NewLabel(parent, nullptr, caption);
    label->setBuddy(buddy);
    return label;
}

} // namespace

void TFormConfig::BuildControls()
{
    setObjectName("FormConfig");
    setWindowTitle(QString::fromUtf8(WindowCaption));
    // Stored sizes are taken as they are, also below what the layouts would ask for.
    setMinimumSize(1, 1);

    // Below the size at which everything fits, the panels keep their layout and the window
    // clips them: the client area lies in a view without scroll bars.
    auto* clip = new QScrollArea(this);
    clip->setObjectName("ClientArea");
    clip->setFrameShape(QFrame::NoFrame);
    clip->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    clip->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    clip->setWidgetResizable(true);
    clip->setFocusPolicy(Qt::NoFocus);
    setCentralWidget(clip);
    auto* client = new QWidget(clip);
    // Given to the view while it is empty: a view sizes a new widget to its size hint, which for
    // the finished client would lay out every page once more before the window has its size.
    clip->setWidget(client);
    auto* clientLayout = new QHBoxLayout(client);
    clientLayout->setContentsMargins(0, 0, 0, 0);
    clientLayout->setSpacing(0);

    Panel1 = new QWidget(client);
    Panel1->setObjectName("Panel1");
    auto* leftLayout = new QVBoxLayout(Panel1);
    leftLayout->setContentsMargins(1, 1, 1, 1);
    leftLayout->setSpacing(0);

    TabRoot = new QTabBar(Panel1);
    TabRoot->setObjectName("TabRoot");
    TabRoot->addTab("Global Settings");
    TabRoot->addTab("Current User's Settings");
    TabRoot->setExpanding(false);
    TabRoot->setCurrentIndex(0);
    SetHint(TabRoot,
            "Display default settings for all users, or overriding settings for the current user.",
            false);

    LstAliases = new QTreeWidget(Panel1);
    LstAliases->setObjectName("LstAliases");
    LstAliases->setColumnCount(2);
    LstAliases->setHeaderLabels({"Name", "Path"});
    LstAliases->setColumnWidth(0, 120);
    LstAliases->setColumnWidth(1, 500);
    LstAliases->header()->setSectionsClickable(false);
    LstAliases->header()->setStretchLastSection(false);
    LstAliases->setRootIsDecorated(false);
    LstAliases->setUniformRowHeights(true);
    LstAliases->setSelectionMode(QAbstractItemView::SingleSelection);
    LstAliases->setEditTriggers(QAbstractItemView::SelectedClicked);
    LstAliases->setFrameStyle(QFrame::Box | QFrame::Plain);
    LstAliases->setContextMenuPolicy(Qt::CustomContextMenu);
    // The selected alias stays highlighted when the list loses the focus.
    QPalette listPalette = LstAliases->palette();
    for (const QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        listPalette.setColor(QPalette::Inactive, role, listPalette.color(QPalette::Active, role));
    LstAliases->setPalette(listPalette);
    LstAliases->setItemDelegate(new TAliasNameDelegate(
        *LstAliases,
        [this](QTreeWidgetItem& item, QString& text) {
            bool done = false;
            Guarded([&] {
                LstAliasesEdited(item, text);
                done = true;
            });
            return done;
        },
        [this](QTreeWidgetItem& item) { Guarded([&] { AliasNameSet(item); }); }));
    SetHint(LstAliases,
            "Lists the aliases and their database file paths. Use the context menu to manipulate "
            "them.",
            false);
    leftLayout->addWidget(TabRoot);
    leftLayout->addWidget(LstAliases, 1);

    Panel2 = new QWidget(client);
    Panel2->setObjectName("Panel2");
    Panel2->setFixedWidth(392);
    auto* rightLayout = new QVBoxLayout(Panel2);
    rightLayout->setContentsMargins(3, 3, 3, 3);
    rightLayout->setSpacing(0);

    Pages = new QTabWidget(Panel2);
    Pages->setObjectName("Pages");
    auto* tabStyle = new CompactTabStyle;
    tabStyle->setParent(Pages);
    Pages->tabBar()->setStyle(tabStyle);
    // Each page joins the pages before it gets its controls: the first one added is shown at
    // once, and a page with its controls already in place would lay them out for a size it
    // never has on screen, measuring every text for nothing. The window has a size of its own,
    // so the hidden pages are measured only once it is on the screen.
    const auto addPage = [this](QWidget* page, const QString& caption) {
        Pages->addTab(page, caption);
        return page;
    };
    BuildConnectionPage(addPage(Named(new QWidget, "TabConnection"), "Connection"));
    BuildCompatibilityPage(addPage(NewLateMeasuredPage("TabCompatibility"), "Compatibility"));
    BuildSettings1Page(addPage(NewLateMeasuredPage("TabSettings1"), "Settings 1"));
    BuildSettings2Page(addPage(NewLateMeasuredPage("TabSettings2"), "Settings 2"));
    BuildRowFetchingPage(addPage(NewLateMeasuredPage("TabRowFetching"), "Row Fetching"));

    Panel3 = new QWidget(Panel2);
    Panel3->setObjectName("Panel3");
    Panel3->setFixedHeight(40);
    auto* buttons = new QHBoxLayout(Panel3);
    buttons->setContentsMargins(0, 0, 17, 0);
    buttons->setSpacing(6);
    auto makeButton = [&](const char* name, const QString& caption) {
        auto* button = new QPushButton(caption, Panel3);
        button->setObjectName(name);
        button->setAutoDefault(false);
        button->setMinimumSize(75, 25);
        return button;
    };
    BtnOk = makeButton("BtnOk", "OK");
    BtnCancel = makeButton("BtnCancel", "Cancel");
    BtnApply = makeButton("BtnApply", "Apply");
    BtnApply->setDefault(true);
    BtnApply->setEnabled(false);
    buttons->addStretch(1);
    buttons->addWidget(BtnOk);
    buttons->addWidget(BtnCancel);
    buttons->addWidget(BtnApply);

    rightLayout->addWidget(Pages, 1);
    rightLayout->addWidget(Panel3);

    clientLayout->addWidget(Panel1, 1);
    clientLayout->addWidget(Panel2);

    Status = new QStatusBar(this);
    Status->setObjectName("Status");
    Status->setMinimumHeight(19);
    setStatusBar(Status);

    optionControls_ = {EditPath,
                       ChkExclusive,
                       ChkReadOnly,
                       ChkLockEdits,
                       ChkSeparateWS,
                       ChkUseDefault,
                       ChkUseConstraint,
                       ChkUseAllowZero,
                       ChkRenamePrimary,
                       ChkShowGUID,
                       ChkDisableRefresh,
                       ChkSeeChanges,
                       ChkIndexesCaseSensitive,
                       EditSystemDb,
                       EditUsername,
                       EditConnect,
                       EditPreThreshold,
                       EditPreReset,
                       BtnFindPath,
                       BtnFindSystemDb,
                       BtnFindConnect};
    for (QWidget* control : optionControls_)
        control->setEnabled(false);
}

void TFormConfig::BuildConnectionPage(QWidget* page)
{
    QVBoxLayout* layout = NewPageLayout(page, PageMargins, 6);

    EditPath = NewEdit(page, "EditPath");
    BtnFindPath = NewBrowseButton(page, "BtnFindPath", *EditPath);
    ChkExclusive = NewCheck(page, "ChkExclusive", "E&xclusive");
    ChkReadOnly = NewCheck(page, "ChkReadOnly", "Read &Only");
    ChkLockEdits = NewCheck(page, "ChkLockEdits", "&Lock Edits");
    ChkSeparateWS = NewCheck(page, "ChkSeparateWS", "Separate &Workspace");
    EditSystemDb = NewEdit(page, "EditSystemDb");
    BtnFindSystemDb = NewBrowseButton(page, "BtnFindSystemDb", *EditSystemDb);
    EditUsername = NewEdit(page, "EditUsername");
    EditConnect = NewEdit(page, "EditConnect");
    BtnFindConnect = NewBrowseButton(page, "BtnFindConnect", *EditConnect);

    // One grid for the three sections, so that their edits line up. Columns: captions, first
    // column of check boxes, second column, browse buttons.
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(4);
    grid->setColumnMinimumWidth(0, 80);
    grid->setColumnStretch(2, 1);
    layout->addLayout(grid);
    int row = 0;
    auto heading = [&](const QString& text) {
        if (row > 0)
            grid->setRowMinimumHeight(row++, 10);
        auto* section = new QVBoxLayout;
        section->setSpacing(layout->spacing());
        AddHeading(section, text, page);
        grid->addLayout(section, row++, 0, 1, 4);
    };

    heading("Database File Options");
    grid->addWidget(BuddyLabel("&Database File:", EditPath, page), row, 0);
    grid->addWidget(EditPath, row, 1, 1, 2);
    grid->addWidget(BtnFindPath, row++, 3);
    grid->addWidget(ChkExclusive, row, 1);
    grid->addWidget(ChkLockEdits, row++, 2);
    grid->addWidget(ChkReadOnly, row, 1);
    grid->addWidget(ChkSeparateWS, row++, 2);

    heading("Security Options");
    grid->addWidget(BuddyLabel("&System File:", EditSystemDb, page), row, 0);
    grid->addWidget(EditSystemDb, row, 1, 1, 2);
    grid->addWidget(BtnFindSystemDb, row++, 3);
    grid->addWidget(BuddyLabel("&Username:", EditUsername, page), row, 0);
    EditUsername->setFixedWidth(129);
    grid->addWidget(EditUsername, row++, 1, 1, 2, Qt::AlignLeft);

    heading("Direct Connection Options");
    grid->addWidget(BuddyLabel("&Connect String:", EditConnect, page), row, 0);
    grid->addWidget(EditConnect, row, 1, 1, 2);
    grid->addWidget(BtnFindConnect, row++, 3);
    layout->addStretch(1);

    SetHint(EditPath,
            "Path to the Jet database file|Enter the complete path to the Jet database file "
            "(*.mdb) you want to access.",
            true);
    SetHint(ChkExclusive,
            "Exclusive mode|Check this if you want to open the database for exclusive access.",
            true);
    SetHint(ChkReadOnly,
            "Read-only mode|Check this if you want to open the database for read-only access.",
            true);
    SetHint(ChkLockEdits,
            "Optimistic/pessimistic locking|Check this if you want to use pessimistic locking, "
            "ie. lock records as soon as you start typing.",
            true);
    SetHint(ChkSeparateWS,
            "Use BDE transaction locality|Check this if you want transactions to be confined to "
            "the current database, not the current workspace.",
            true);
    SetHint(EditSystemDb,
            "Path to the Jet system database file|Enter the complete path to the Jet system "
            "database file (*.mdw) you want to use.",
            true);
    SetHint(EditUsername,
            "Default user name|Enter the user name you want to displayed by default in the login "
            "prompt.",
            true);
    SetHint(EditConnect,
            "Connect string for external data|Use the connect string to access external non-Jet "
            "data without an intervening Jet database file.",
            true);
}

void TFormConfig::BuildCompatibilityPage(QWidget* page)
{
    QVBoxLayout* layout = NewPageLayout(page, PageMargins, 6);
    ChkDisableRefresh = NewCheck(page, "ChkDisableRefresh", "Disable Refresh");
    ChkRenamePrimary = NewCheck(page, "ChkRenamePrimary", "Rename PrimaryKey to _PrimaryKey");
    ChkShowGUID = NewCheck(page, "ChkShowGUID", "Show GUIDs in replicated databases");

    AddHeading(layout, "Compatibility Options", page);
    layout->addWidget(NewWrappingLabel(
        page, nullptr,
        "The DataSet.Refresh operation is defined by the BDE as keeping the record pointer "
        "stable. This cannot be efficiently implemented on Jet. Refresh therefore jumps to the "
        "top of the recordset. You may alternatively turn Refresh off here."));
    layout->addWidget(ChkDisableRefresh);
    layout->addSpacing(8);
    layout->addWidget(NewWrappingLabel(
        page, nullptr,
        "InfoPower has lots of places where they handle an index called PrimaryKey in a "
        "non-standard way (because of Pdox, presumably). To have IP work better with QTS, you can "
        "make QTS rename an index called PrimaryKey to _PrimaryKey."));
    layout->addWidget(ChkRenamePrimary);
    layout->addSpacing(8);
    layout->addWidget(NewWrappingLabel(
        page, nullptr,
        "When a database is replicated, Jet adds new system fields to the tables to contain "
        "globally unique IDs (GUIDs). To ensure compatibility with the field list of the original "
        "database, QTS hides these fields by default. You can turn this off here."));
    layout->addWidget(ChkShowGUID);
    layout->addStretch(1);
}

void TFormConfig::BuildSettings1Page(QWidget* page)
{
    QVBoxLayout* layout = NewPageLayout(page, PageMargins, 6);
    ChkUseDefault = NewCheck(page, "ChkUseDefault", "Retrieve &Default Values");
    ChkUseConstraint = NewCheck(page, "ChkUseConstraint", "Retrieve &Constraints");
    ChkUseAllowZero = NewCheck(page, "ChkUseAllowZero", "Retrieve Allow &Zero Length Flag");
    ChkSeeChanges = NewCheck(page, "ChkSeeChanges", "Use db&SeeChanges", true);

    AddHeading(layout, "Defaults / Constraints", page);
    layout->addWidget(NewWrappingLabel(
        page, nullptr,
        "When a dataset is initially opened, Tessarium queries the field attributes. DAO is slow "
        "at retrieving some of theses attributes. Therefore retrieval of these attributes is "
        "normally disabled to speed dataset setup."));
    layout->addWidget(NewWrappingLabel(page, nullptr,
                                       "The following options allow you to determine which "
                                       "information Tessarium should retrieve all the same."));
    layout->addWidget(ChkUseDefault);
    layout->addWidget(ChkUseConstraint);
    layout->addWidget(ChkUseAllowZero);
    layout->addSpacing(10);
    AddHeading(layout, "Query Open Options", page);
    layout->addWidget(NewWrappingLabel(
        page, nullptr,
        "A Jet 3.5 query result set can have the dbSeeChanges option set. This option makes Jet "
        "yell if some changes data that you are editing. Having the option on (default) leads so "
        "somewhat slower query processing, though."));
    layout->addWidget(ChkSeeChanges);
    layout->addStretch(1);
}

void TFormConfig::BuildSettings2Page(QWidget* page)
{
    QVBoxLayout* layout = NewPageLayout(page, PageMargins, 6);
    ChkIndexesCaseSensitive =
        NewCheck(page, "ChkIndexesCaseSensitive", "Report Indexes As Case &Sensitive");

    AddHeading(layout, "Index Use", page);
    layout->addWidget(
        NewWrappingLabel(page, nullptr,
                         "Starting with Delphi 4 the VCL uses indexes for internal "
                         "lookups only if they are case sensitive. Jet indexes are case "
                         "insensitive, however."));
    layout->addWidget(NewWrappingLabel(
        page, nullptr,
        "To allow you to get good performance nevertheless, this option tells Tessarium to report "
        "indexes as case sensitive, even though this is not really true."));
    layout->addWidget(ChkIndexesCaseSensitive);
    layout->addStretch(1);
}

void TFormConfig::BuildRowFetchingPage(QWidget* page)
{
    QVBoxLayout* layout = NewPageLayout(page, PageMargins, 6);
    EditPreThreshold = NewEdit(page, "EditPreThreshold");
    EditPreReset = NewEdit(page, "EditPreReset");
    EditPreThreshold->setFixedWidth(73);
    EditPreReset->setFixedWidth(73);

    AddHeading(layout, "Row Fetching", page);
    layout->addWidget(NewWrappingLabel(
        page, nullptr,
        "Tessarium retrieves fields only when they are first accessed (on-demand fetching). In "
        "some cases, it is a little faster to fetch them immediately after the row has been "
        "retrieved (prefetching)."));
    layout->addWidget(NewWrappingLabel(
        page, nullptr,
        "Tessarium can automatically prefetch often used fields. It analyzes your access pattern "
        "to determine which fields to prefetch. This analysis is simple: If a field has been "
        "accessed in x % of all the rows fetched so far, it is prefetched afterwards."));
    layout->addWidget(
        NewWrappingLabel(page, nullptr,
                         "The access pattern information is reset every n rows to make "
                         "sure Tessarium uses only recent information."));
    layout->addSpacing(6);
    auto* numbers = new QGridLayout;
    numbers->setHorizontalSpacing(6);
    numbers->setVerticalSpacing(4);
    numbers->setColumnStretch(2, 1);
    numbers->addWidget(BuddyLabel("Prefetch &Threshold:", EditPreThreshold, page), 0, 0);
    numbers->addWidget(EditPreThreshold, 0, 1);
    numbers->addWidget(NewLabel(page, nullptr, "%  (this is x mentioned above)"), 0, 2);
    numbers->addWidget(BuddyLabel("Reset &Every:", EditPreReset, page), 1, 0);
    numbers->addWidget(EditPreReset, 1, 1);
    numbers->addWidget(NewLabel(page, nullptr, "rows"), 1, 2);
    layout->addLayout(numbers);
    layout->addSpacing(6);
    layout->addWidget(
        NewWrappingLabel(page, nullptr,
                         "It should not be necessary to modify the defaults (x = 20, n = "
                         "25). If you do, consider the following:"));
    layout->addWidget(
        NewLabel(page, nullptr, "Set Reset > (100/Threshold). Otherwise you get only prefetches."));
    layout->addWidget(NewWrappingLabel(
        page, nullptr,
        "Set (100/Threshold) > n, where n is the max number of rows in your grids."));
    layout->addStretch(1);

    SetHint(EditPreThreshold,
            "Prefetch fields accessed in x% of all rows|Tessarium prefetches fields accessed in "
            "more than x% of all rows retrieved.",
            true);
    SetHint(EditPreReset,
            "Reset history every n rows|Tessarium resets its access pattern information every n "
            "rows to make sure it uses recent information.",
            true);
}

void TFormConfig::BuildMenu()
{
    Menu = new QMenu(this);
    Menu->setObjectName("Menu");
    ItmNew = Menu->addAction("&New Alias");
    ItmNew->setObjectName("ItmNew");
    ItmDelete = Menu->addAction("&Delete Alias");
    ItmDelete->setObjectName("ItmDelete");
    N1 = Menu->addSeparator();
    N1->setObjectName("N1");
    ItmRename = Menu->addAction("&Rename Alias");
    ItmRename->setObjectName("ItmRename");
    N2 = Menu->addSeparator();
    N2->setObjectName("N2");
    ItmRefresh = Menu->addAction("Refresh List");
    ItmRefresh->setObjectName("ItmRefresh");
}

void TFormConfig::SetTabOrder()
{
    // Left panel, then the pages in their order, then the buttons: Apply, OK, Cancel.
    const std::vector<QWidget*> order = {TabRoot,
                                         LstAliases,
                                         Pages,
                                         EditPath,
                                         ChkExclusive,
                                         ChkReadOnly,
                                         ChkLockEdits,
                                         ChkSeparateWS,
                                         EditSystemDb,
                                         EditUsername,
                                         EditConnect,
                                         BtnFindPath,
                                         BtnFindSystemDb,
                                         BtnFindConnect,
                                         ChkDisableRefresh,
                                         ChkRenamePrimary,
                                         ChkShowGUID,
                                         ChkUseDefault,
                                         ChkUseConstraint,
                                         ChkUseAllowZero,
                                         ChkSeeChanges,
                                         ChkIndexesCaseSensitive,
                                         EditPreThreshold,
                                         EditPreReset,
                                         BtnApply,
                                         BtnOk,
                                         BtnCancel};
    for (size_t i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}
