#include "ConfigForm.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
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
#include <QWindow>

#include "ConfigFormAliasList.h"
#include "QtsFormTools.h"
#include "QtsGuard.h"
#include "TRegistry.h"

namespace
{

const char* const WindowCaption = "Quillon Tessarium 3 Alias Configuration Utility";
const char* const NewAliasName = "New Alias";

// Filters of the file dialog, in the order the browse buttons refer to them (1-based).
const char* const FileFilters[] = {
    "Jet Database Files (*.mdb)", "Jet System Files (*.mdw)", "dBase Files (*.dbf)",
    "Paradox Files (*.db)",       "All Files (*.*)",
};

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

QLabel* PlainLabel(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

QLabel* WrappedText(const QString& text, QWidget* parent)
{
    QLabel* label = PlainLabel(text, parent);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

// A bold section heading with its horizontal line below.
void AddHeading(QVBoxLayout* layout, const QString& text, QWidget* parent)
{
    QLabel* heading = PlainLabel(text, parent);
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    QPalette palette = heading->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    heading->setPalette(palette);
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    layout->addWidget(heading);
    layout->addWidget(line);
}

QCheckBox* CheckBox(const char* objectName, const QString& caption, QWidget* parent)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(objectName);
    return box;
}

QLineEdit* Edit(const char* objectName, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(objectName);
    return edit;
}

QPushButton* FindButton(const char* objectName, QWidget* parent)
{
    auto* button = new QPushButton("...", parent);
    button->setObjectName(objectName);
    button->setFixedSize(24, 22);
    button->setAutoDefault(false);
    return button;
}

// A label that moves the focus to `buddy` with its accelerator.
QLabel* BuddyLabel(const QString& caption, QWidget* buddy, QWidget* parent)
{
    QLabel* label = PlainLabel(caption, parent);
    label->setBuddy(buddy);
    return label;
}

QVBoxLayout* PageLayout(QWidget* page)
{
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(6);
    return layout;
}

std::string Text(const QLineEdit* edit)
{
    return edit->text().toStdString();
}

void SetText(QLineEdit* edit, const std::string& text)
{
    edit->setText(QString::fromStdString(text));
}

} // namespace

TFormConfig::TFormConfig(QWidget* parent) : QMainWindow(parent)
{
    BuildControls();
    BuildMenu();
    SetTabOrder();
    ConnectHandlers();
    ShowStartNotices();
    Guarded([&] { FormCreate(); });
}

TFormConfig::~TFormConfig() = default;

// ---------------------------------------------------------------------------------------------
// Building the window

void TFormConfig::BuildControls()
{
    setObjectName("FormConfig");
    setWindowTitle(QString::fromUtf8(WindowCaption));
    setFont(QFont("MS Sans Serif", 8));
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
    Pages->addTab(BuildConnectionPage(), "Connection");
    Pages->addTab(BuildCompatibilityPage(), "Compatibility");
    Pages->addTab(BuildSettings1Page(), "Settings 1");
    Pages->addTab(BuildSettings2Page(), "Settings 2");
    Pages->addTab(BuildRowFetchingPage(), "Row Fetching");

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
    clip->setWidget(client);

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

QWidget* TFormConfig::BuildConnectionPage()
{
    auto* page = new QWidget;
    page->setObjectName("TabConnection");
    QVBoxLayout* layout = PageLayout(page);

    EditPath = Edit("EditPath", page);
    BtnFindPath = FindButton("BtnFindPath", page);
    ChkExclusive = CheckBox("ChkExclusive", "E&xclusive", page);
    ChkReadOnly = CheckBox("ChkReadOnly", "Read &Only", page);
    ChkLockEdits = CheckBox("ChkLockEdits", "&Lock Edits", page);
    ChkSeparateWS = CheckBox("ChkSeparateWS", "Separate &Workspace", page);
    EditSystemDb = Edit("EditSystemDb", page);
    BtnFindSystemDb = FindButton("BtnFindSystemDb", page);
    EditUsername = Edit("EditUsername", page);
    EditConnect = Edit("EditConnect", page);
    BtnFindConnect = FindButton("BtnFindConnect", page);

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
    return page;
}

QWidget* TFormConfig::BuildCompatibilityPage()
{
    auto* page = new QWidget;
    page->setObjectName("TabCompatibility");
    QVBoxLayout* layout = PageLayout(page);
    ChkDisableRefresh = CheckBox("ChkDisableRefresh", "Disable Refresh", page);
    ChkRenamePrimary = CheckBox("ChkRenamePrimary", "Rename PrimaryKey to _PrimaryKey", page);
    ChkShowGUID = CheckBox("ChkShowGUID", "Show GUIDs in replicated databases", page);

    AddHeading(layout, "Compatibility Options", page);
    layout->addWidget(WrappedText(
        "The DataSet.Refresh operation is defined by the BDE as keeping the record pointer "
        "stable. This cannot be efficiently implemented on Jet. Refresh therefore jumps to the "
        "top of the recordset. You may alternatively turn Refresh off here.",
        page));
    layout->addWidget(ChkDisableRefresh);
    layout->addSpacing(8);
    layout->addWidget(WrappedText(
        "InfoPower has lots of places where they handle an index called PrimaryKey in a "
        "non-standard way (because of Pdox, presumably). To have IP work better with QTS, you can "
        "make QTS rename an index called PrimaryKey to _PrimaryKey.",
        page));
    layout->addWidget(ChkRenamePrimary);
    layout->addSpacing(8);
    layout->addWidget(WrappedText(
        "When a database is replicated, Jet adds new system fields to the tables to contain "
        "globally unique IDs (GUIDs). To ensure compatibility with the field list of the original "
        "database, QTS hides these fields by default. You can turn this off here.",
        page));
    layout->addWidget(ChkShowGUID);
    layout->addStretch(1);
    return page;
}

QWidget* TFormConfig::BuildSettings1Page()
{
    auto* page = new QWidget;
    page->setObjectName("TabSettings1");
    QVBoxLayout* layout = PageLayout(page);
    ChkUseDefault = CheckBox("ChkUseDefault", "Retrieve &Default Values", page);
    ChkUseConstraint = CheckBox("ChkUseConstraint", "Retrieve &Constraints", page);
    ChkUseAllowZero = CheckBox("ChkUseAllowZero", "Retrieve Allow &Zero Length Flag", page);
    ChkSeeChanges = CheckBox("ChkSeeChanges", "Use db&SeeChanges", page);
    ChkSeeChanges->setChecked(true);

    AddHeading(layout, "Defaults / Constraints", page);
    layout->addWidget(WrappedText(
        "When a dataset is initially opened, Tessarium queries the field attributes. DAO is slow "
        "at retrieving some of theses attributes. Therefore retrieval of these attributes is "
        "normally disabled to speed dataset setup.",
        page));
    layout->addWidget(WrappedText("The following options allow you to determine which "
                                  "information Tessarium should retrieve all the same.",
                                  page));
    layout->addWidget(ChkUseDefault);
    layout->addWidget(ChkUseConstraint);
    layout->addWidget(ChkUseAllowZero);
    layout->addSpacing(10);
    AddHeading(layout, "Query Open Options", page);
    layout->addWidget(WrappedText(
        "A Jet 3.5 query result set can have the dbSeeChanges option set. This option makes Jet "
        "yell if some changes data that you are editing. Having the option on (default) leads so "
        "somewhat slower query processing, though.",
        page));
    layout->addWidget(ChkSeeChanges);
    layout->addStretch(1);
    return page;
}

QWidget* TFormConfig::BuildSettings2Page()
{
    auto* page = new QWidget;
    page->setObjectName("TabSettings2");
    QVBoxLayout* layout = PageLayout(page);
    ChkIndexesCaseSensitive =
        CheckBox("ChkIndexesCaseSensitive", "Report Indexes As Case &Sensitive", page);

    AddHeading(layout, "Index Use", page);
    layout->addWidget(WrappedText("Starting with Delphi 4 the VCL uses indexes for internal "
                                  "lookups only if they are case sensitive. Jet indexes are case "
                                  "insensitive, however.",
                                  page));
    layout->addWidget(WrappedText(
        "To allow you to get good performance nevertheless, this option tells Tessarium to report "
        "indexes as case sensitive, even though this is not really true.",
        page));
    layout->addWidget(ChkIndexesCaseSensitive);
    layout->addStretch(1);
    return page;
}

QWidget* TFormConfig::BuildRowFetchingPage()
{
    auto* page = new QWidget;
    page->setObjectName("TabRowFetching");
    QVBoxLayout* layout = PageLayout(page);
    EditPreThreshold = Edit("EditPreThreshold", page);
    EditPreReset = Edit("EditPreReset", page);
    EditPreThreshold->setFixedWidth(73);
    EditPreReset->setFixedWidth(73);

    AddHeading(layout, "Row Fetching", page);
    layout->addWidget(WrappedText(
        "Tessarium retrieves fields only when they are first accessed (on-demand fetching). In "
        "some cases, it is a little faster to fetch them immediately after the row has been "
        "retrieved (prefetching).",
        page));
    layout->addWidget(WrappedText(
        "Tessarium can automatically prefetch often used fields. It analyzes your access pattern "
        "to determine which fields to prefetch. This analysis is simple: If a field has been "
        "accessed in x % of all the rows fetched so far, it is prefetched afterwards.",
        page));
    layout->addWidget(WrappedText("The access pattern information is reset every n rows to make "
                                  "sure Tessarium uses only recent information.",
                                  page));
    layout->addSpacing(6);
    auto* numbers = new QGridLayout;
    numbers->setHorizontalSpacing(6);
    numbers->setVerticalSpacing(4);
    numbers->setColumnStretch(2, 1);
    numbers->addWidget(BuddyLabel("Prefetch &Threshold:", EditPreThreshold, page), 0, 0);
    numbers->addWidget(EditPreThreshold, 0, 1);
    numbers->addWidget(PlainLabel("%  (this is x mentioned above)", page), 0, 2);
    numbers->addWidget(BuddyLabel("Reset &Every:", EditPreReset, page), 1, 0);
    numbers->addWidget(EditPreReset, 1, 1);
    numbers->addWidget(PlainLabel("rows", page), 1, 2);
    layout->addLayout(numbers);
    layout->addSpacing(6);
    layout->addWidget(WrappedText("It should not be necessary to modify the defaults (x = 20, n = "
                                  "25). If you do, consider the following:",
                                  page));
    layout->addWidget(
        PlainLabel("Set Reset > (100/Threshold). Otherwise you get only prefetches.", page));
    layout->addWidget(WrappedText(
        "Set (100/Threshold) > n, where n is the max number of rows in your grids.", page));
    layout->addStretch(1);

    SetHint(EditPreThreshold,
            "Prefetch fields accessed in x% of all rows|Tessarium prefetches fields accessed in "
            "more than x% of all rows retrieved.",
            true);
    SetHint(EditPreReset,
            "Reset history every n rows|Tessarium resets its access pattern information every n "
            "rows to make sure it uses recent information.",
            true);
    return page;
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

void TFormConfig::ConnectHandlers()
{
    connect(TabRoot, &QTabBar::currentChanged, this, [this] { Guarded([&] { TabRootChange(); }); });
    connect(LstAliases, &QTreeWidget::itemSelectionChanged, this,
            [this] { Guarded([&] { LstAliasesChange(); }); });
    // Only a new name is a change of the list; Apply setting the Path column is not.
    connect(LstAliases, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
        if (column == 0 && item)
            Guarded([&] { AliasNameSet(*item); });
    });
    connect(LstAliases, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { Menu->popup(LstAliases->viewport()->mapToGlobal(at)); });
    connect(Menu, &QMenu::aboutToShow, this, [this] { Guarded([&] { MenuPopup(); }); });
    connect(ItmNew, &QAction::triggered, this, [this] { Guarded([&] { ItmNewClick(); }); });
    connect(ItmDelete, &QAction::triggered, this, [this] { Guarded([&] { ItmDeleteClick(); }); });
    connect(ItmRename, &QAction::triggered, this, [this] { Guarded([&] { ItmRenameClick(); }); });
    connect(ItmRefresh, &QAction::triggered, this, [this] { Guarded([&] { ItmRefreshClick(); }); });

    for (QCheckBox* box : {ChkExclusive, ChkReadOnly, ChkLockEdits, ChkSeparateWS, ChkUseDefault,
                           ChkUseConstraint, ChkUseAllowZero, ChkRenamePrimary, ChkShowGUID,
                           ChkDisableRefresh, ChkSeeChanges, ChkIndexesCaseSensitive})
        connect(box, &QCheckBox::toggled, this, [this] { Guarded([&] { MakeDirty(); }); });
    for (QLineEdit* edit : {EditSystemDb, EditUsername, EditPreThreshold, EditPreReset})
        connect(edit, &QLineEdit::textChanged, this, [this] { Guarded([&] { MakeDirty(); }); });
    connect(EditPath, &QLineEdit::textChanged, this,
            [this] { Guarded([&] { EditPathChange(); }); });
    connect(EditConnect, &QLineEdit::textChanged, this, [this] {
        connectSelection_ = {};
        Guarded([&] { EditConnectChange(); });
    });
    EditConnect->installEventFilter(this);
    LstAliases->installEventFilter(this);
    for (QPushButton* button : {BtnFindPath, BtnFindSystemDb, BtnFindConnect})
        connect(button, &QPushButton::clicked, this,
                [this, button] { Guarded([&] { BtnFindClick(button); }); });
    connect(BtnApply, &QPushButton::clicked, this, [this] { Guarded([&] { BtnApplyClick(); }); });
    connect(BtnOk, &QPushButton::clicked, this, [this] { Guarded([&] { BtnOkClick(); }); });
    connect(BtnCancel, &QPushButton::clicked, this, [this] { Guarded([&] { BtnCancelClick(); }); });
}

// ---------------------------------------------------------------------------------------------
// Life of the window

void TFormConfig::FormCreate()
{
    Pages->setCurrentIndex(0);
    FillList(AliasScope::Global);
    RestorePlacement();
    qApp->installEventFilter(this);
}

void TFormConfig::FormClose()
{
    SavePlacement();
}

void TFormConfig::closeEvent(QCloseEvent* event)
{
    Guarded([&] { FormClose(); });
    event->accept();
}

void TFormConfig::keyPressEvent(QKeyEvent* event)
{
    // Keys reach the window only when the focused control leaves them alone; the in-place name
    // editor keeps Enter and Esc for itself.
    // The Enter key of the number pad comes with the keypad modifier; it is Enter all the same.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            button->click();
        } else if (BtnApply->isEnabled()) {
            BtnApply->click();
        }
        return;
    }
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        BtnCancel->click();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TFormConfig::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!placedOnScreen_) {
        placedOnScreen_ = true;
        SetOuterBounds(outerBounds_);
        // The window manager tells the frame only once it has decorated the window: watch the
        // native window until then.
        if (QWindow* native = windowHandle())
            native->installEventFilter(this);
    }
}

void TFormConfig::FrameMayBeKnown()
{
    if (frameKnown_ || !windowHandle() || windowHandle()->frameMargins().isNull())
        return;
    // Until now the client area stood where the outer bounds belong; put the frame there.
    frameKnown_ = true;
    windowHandle()->removeEventFilter(this);
    SetOuterBounds(outerBounds_);
}

void TFormConfig::SetOuterBounds(const QRect& bounds)
{
    outerBounds_ = bounds;
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    setGeometry(bounds.marginsRemoved(frame));
}

QRect TFormConfig::OuterBounds() const
{
    return placedOnScreen_ ? frameGeometry() : outerBounds_;
}

void TFormConfig::RestorePlacement()
{
    TRegistry registry;
    registry.SelectRoot(RegistryRoot::CurrentUser);
    if (!registry.OpenKeyPath(PlacementKeyPath, false))
        return;
    QRect bounds = OuterBounds();
    if (registry.HasValue(PlacementLeft)) {
        bounds.moveLeft(registry.ReadNumber(PlacementLeft));
        SetOuterBounds(bounds);
    }
    if (registry.HasValue(PlacementTop)) {
        bounds.moveTop(registry.ReadNumber(PlacementTop));
        SetOuterBounds(bounds);
    }
    if (registry.HasValue(PlacementWidth)) {
        bounds.setWidth(registry.ReadNumber(PlacementWidth));
        SetOuterBounds(bounds);
    }
    if (registry.HasValue(PlacementHeight)) {
        bounds.setHeight(registry.ReadNumber(PlacementHeight));
        SetOuterBounds(bounds);
    }
}

void TFormConfig::SavePlacement()
{
    TRegistry registry;
    registry.SelectRoot(RegistryRoot::CurrentUser);
    if (!registry.OpenKeyPath(PlacementKeyPath, true))
        return;
    const QRect bounds = OuterBounds();
    registry.WriteNumber(PlacementLeft, bounds.x());
    registry.WriteNumber(PlacementTop, bounds.y());
    registry.WriteNumber(PlacementWidth, bounds.width());
    registry.WriteNumber(PlacementHeight, bounds.height());
}

// ---------------------------------------------------------------------------------------------
// Status-bar hints

bool TFormConfig::event(QEvent* event)
{
    // The status bar follows ShowStatusHint alone; the toolkit's own status tips would clear it
    // when the pointer leaves a control inside another one that has a hint.
    if (event->type() == QEvent::StatusTip)
        return true;
    if (event->type() == QEvent::Move || event->type() == QEvent::Resize)
        FrameMayBeKnown();
    return QMainWindow::event(event);
}

bool TFormConfig::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (watched == windowHandle() && type == QEvent::Expose)
        FrameMayBeKnown();
    // Shift+F10 opens the list's pop-up menu, as the Menu key and a right click do.
    if (watched == LstAliases && type == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier) {
            QTreeWidgetItem* item = LstAliases->currentItem();
            const QPoint at =
                item ? LstAliases->visualItemRect(item).bottomLeft() + QPoint(8, 0) : QPoint();
            Menu->popup(LstAliases->viewport()->mapToGlobal(at));
            return true;
        }
    }
    // The edit drops its selection when a button takes the focus: keep what the person had
    // selected for the connect string's "...".
    if (watched == EditConnect && type == QEvent::FocusOut)
        connectSelection_ = {EditConnect->selectionStart(), EditConnect->selectionLength()};
    if ((type == QEvent::Enter || type == QEvent::Leave) && watched->isWidgetType()) {
        auto* widget = static_cast<QWidget*>(watched);
        if (widget->window() == this) {
            QWidget* pointed = widget;
            if (type == QEvent::Leave)
                pointed = widget->isWindow() ? nullptr : widget->parentWidget();
            Guarded([&] { ShowStatusHint(HintOf(pointed)); });
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

QString TFormConfig::HintOf(QWidget* widget) const
{
    for (; widget; widget = widget->parentWidget()) {
        if (!widget->statusTip().isEmpty())
            return widget->statusTip();
        if (widget->isWindow())
            break;
    }
    return {};
}

void TFormConfig::ShowStatusHint(const QString& hint)
{
    if (hint == currentHint_)
        return;
    currentHint_ = hint;
    Status->showMessage(hint);
    Status->repaint();
}

// ---------------------------------------------------------------------------------------------
// The list and the pane

AliasScope TFormConfig::ShownScope() const
{
    return TabRoot->currentIndex() == 0 ? AliasScope::Global : AliasScope::CurrentUser;
}

QTreeWidgetItem* TFormConfig::SelectedItem() const
{
    const QList<QTreeWidgetItem*> selected = LstAliases->selectedItems();
    return selected.isEmpty() ? nullptr : selected.first();
}

void TFormConfig::FillList(AliasScope scope)
{
    LstAliases->clear();
    if (!registry_) {
        registry_ = std::make_unique<TRegistry>();
        aliases_ = std::make_unique<AliasStore>(*registry_);
    }
    std::vector<std::pair<std::string, std::string>> listed;
    // The aliases listed before a failing read are shown all the same.
    auto show = [&] {
        QList<QTreeWidgetItem*> items;
        for (const auto& [name, path] : listed) {
            auto* item =
                new TAliasListItem({QString::fromStdString(name), QString::fromStdString(path)});
            item->setFlags(item->flags() | Qt::ItemIsEditable);
            items << item;
        }
        LstAliases->addTopLevelItems(items);
        LstAliases->sortItems(0, Qt::AscendingOrder);
        LstAliases->clearSelection();
        for (QWidget* control : optionControls_)
            control->setEnabled(false);
        BtnApply->setEnabled(false);
    };
    try {
        aliases_->ListAliases(scope, listed);
    } catch (...) {
        show();
        throw;
    }
    show();
}

void TFormConfig::TabRootChange()
{
    FillList(ShownScope());
}

void TFormConfig::LstAliasesChange()
{
    QTreeWidgetItem* item = SelectedItem();
    const bool editable = item && !item->text(0).isEmpty();
    for (QWidget* control : optionControls_)
        control->setEnabled(editable);
    BtnApply->setEnabled(editable && dirty_);
    if (!editable)
        return;
    // Values not read keep what the controls show: a new alias without a key keeps the values
    // of the alias shown before, and a load that fails half-way shows what it read up to the
    // failing value and leaves the pane as modified as those changes made it.
    AliasSettings settings = SettingsFromControls();
    try {
        aliases_->LoadAlias(item->text(0).toStdString(), settings);
    } catch (...) {
        ShowSettings(settings);
        throw;
    }
    ShowSettings(settings);
    SetDirty(false);
}

void TFormConfig::ShowSettings(const AliasSettings& settings)
{
    SetText(EditPath, settings.Path);
    ChkExclusive->setChecked(settings.Exclusive);
    ChkReadOnly->setChecked(settings.ReadOnly);
    ChkLockEdits->setChecked(settings.LockEdits);
    ChkSeparateWS->setChecked(settings.SeparateWorkspace);
    ChkUseDefault->setChecked(settings.UseDefaults);
    ChkUseConstraint->setChecked(settings.UseConstraints);
    ChkUseAllowZero->setChecked(settings.UseAllowZeroLength);
    ChkRenamePrimary->setChecked(settings.RenamePrimary);
    ChkShowGUID->setChecked(settings.ShowGUIDs);
    ChkDisableRefresh->setChecked(settings.DisableRefresh);
    ChkSeeChanges->setChecked(!settings.DisableSeeChanges);
    ChkIndexesCaseSensitive->setChecked(settings.ReportIndexesCaseSensitive);
    SetText(EditSystemDb, settings.SystemDb);
    SetText(EditUsername, settings.UserName);
    SetText(EditConnect, settings.Connect);
    SetText(EditPreThreshold, settings.PrefetchThreshold);
    SetText(EditPreReset, settings.PrefetchResetEvery);
}

AliasSettings TFormConfig::SettingsFromControls() const
{
    AliasSettings settings;
    settings.Path = Text(EditPath);
    settings.Exclusive = ChkExclusive->isChecked();
    settings.ReadOnly = ChkReadOnly->isChecked();
    settings.LockEdits = ChkLockEdits->isChecked();
    settings.SeparateWorkspace = ChkSeparateWS->isChecked();
    settings.UseDefaults = ChkUseDefault->isChecked();
    settings.UseConstraints = ChkUseConstraint->isChecked();
    settings.UseAllowZeroLength = ChkUseAllowZero->isChecked();
    settings.RenamePrimary = ChkRenamePrimary->isChecked();
    settings.ShowGUIDs = ChkShowGUID->isChecked();
    settings.DisableRefresh = ChkDisableRefresh->isChecked();
    settings.DisableSeeChanges = !ChkSeeChanges->isChecked();
    settings.ReportIndexesCaseSensitive = ChkIndexesCaseSensitive->isChecked();
    settings.SystemDb = Text(EditSystemDb);
    settings.UserName = Text(EditUsername);
    settings.Connect = Text(EditConnect);
    settings.PrefetchThreshold = Text(EditPreThreshold);
    settings.PrefetchResetEvery = Text(EditPreReset);
    return settings;
}

void TFormConfig::SetDirty(bool dirty)
{
    if (dirty == dirty_)
        return;
    dirty_ = dirty;
    BtnApply->setEnabled(dirty);
}

void TFormConfig::MakeDirty()
{
    SetDirty(true);
}

void TFormConfig::EditPathChange()
{
    MakeDirty();
}

void TFormConfig::EditConnectChange()
{
    MakeDirty();
}

void TFormConfig::BtnFindClick(QPushButton* sender)
{
    QLineEdit* edit = EditPath;
    int filterIndex = 1;
    if (sender == BtnFindSystemDb) {
        edit = EditSystemDb;
        filterIndex = 2;
    } else if (sender == BtnFindConnect) {
        edit = EditConnect;
        filterIndex = 3;
    }
    const bool viaClipboard = edit == EditConnect;
    QFileDialog& dialog = FileDialog();
    dialog.selectNameFilter(FileFilters[filterIndex - 1]);
    PresetFileDialog(dialog, viaClipboard ? QString() : edit->text());
    if (!ExecFileDialog(dialog))
        return;
    const QString chosen = ChosenPath(dialog.selectedFiles().first());
    if (!viaClipboard) {
        edit->setText(chosen);
        return;
    }
    // The connect string takes the path through the clipboard: pasting replaces the selected
    // part of the string or inserts at the caret, as they were when the focus left the edit.
    // The clipboard keeps the path afterwards.
    if (!EditConnect->hasFocus() && connectSelection_.second > 0)
        EditConnect->setSelection(connectSelection_.first, connectSelection_.second);
    QApplication::clipboard()->setText(chosen);
    edit->paste();
}

QFileDialog& TFormConfig::FileDialog()
{
    if (!OpenDialog) {
        OpenDialog = NewFileDialog(this, "OpenDialog", "Find A File");
        OpenDialog->setDefaultSuffix("mdb");
        QStringList filters;
        for (const char* filter : FileFilters)
            filters << filter;
        OpenDialog->setNameFilters(filters);
    }
    return *OpenDialog;
}

bool TFormConfig::ApplyPending()
{
    QTreeWidgetItem* item = SelectedItem();
    if (!item || item->text(0).isEmpty() || !dirty_)
        return true;
    const QString name = item->text(0);
    if (!aliases_->SaveAlias(name.toStdString(), SettingsFromControls())) {
        // The key could neither be opened nor created: nothing was stored, so the edits stay
        // pending and the list keeps the path it had.
        ErrorDialog(QString("The alias \"%1\" could not be saved.").arg(name),
                    QString::fromUtf8(ApplicationTitle));
        return false;
    }
    item->setText(1, EditPath->text());
    SetDirty(false);
    return true;
}

void TFormConfig::BtnApplyClick()
{
    ApplyPending();
}

void TFormConfig::BtnOkClick()
{
    if (ApplyPending())
        close();
}

void TFormConfig::BtnCancelClick()
{
    close();
}

// ---------------------------------------------------------------------------------------------
// List operations

void TFormConfig::MenuPopup()
{
    const bool selected = SelectedItem() != nullptr;
    ItmDelete->setEnabled(selected);
    ItmRename->setEnabled(selected);
    ItmNew->setEnabled(true);
    ItmRefresh->setEnabled(true);
}

void TFormConfig::ItmNewClick()
{
    auto* item = new TAliasListItem({QString(), QString()});
    item->setFlags(item->flags() | Qt::ItemIsEditable);
    LstAliases->addTopLevelItem(item);
    LstAliases->setCurrentItem(item);
    LstAliases->setFocus();
    LstAliases->editItem(item, 0);
}

void TFormConfig::ItmRenameClick()
{
    QTreeWidgetItem* item = SelectedItem();
    if (!item)
        return;
    LstAliases->setFocus();
    LstAliases->editItem(item, 0);
}

void TFormConfig::LstAliasesEdited(QTreeWidgetItem& item, QString& text)
{
    if (text.isEmpty())
        text = NewAliasName;
    const QString oldName = item.text(0);
    if (!oldName.isEmpty())
        aliases_->RenameAlias(oldName.toStdString(), text.toStdString());
}

void TFormConfig::AliasNameSet(QTreeWidgetItem&)
{
    LstAliases->sortItems(0, Qt::AscendingOrder);
    LstAliasesChange();
}

void TFormConfig::ItmDeleteClick()
{
    QTreeWidgetItem* item = SelectedItem();
    if (!item)
        return;
    const QString name = item->text(0);
    if (name.isEmpty()) {
        // A new alias whose naming was cancelled has no key: it only leaves the list. Its empty
        // name must never reach the registry, where it would address every alias at once.
        // Nothing is selected afterwards, as after the delete of a stored alias; the list would
        // otherwise move the selection to a neighbour and load it.
        LstAliases->setCurrentItem(nullptr);
        LstAliases->clearSelection();
        std::unique_ptr<QTreeWidgetItem> removed(
            LstAliases->takeTopLevelItem(LstAliases->indexOfTopLevelItem(item)));
        return;
    }
    if (!ConfirmDialog("Are you sure you want to permanently delete the alias " + name + "?",
                       QString::fromUtf8(ApplicationTitle)))
        return;
    aliases_->DeleteAlias(name.toStdString());
    ItmRefreshClick();
}

void TFormConfig::ItmRefreshClick()
{
    FillList(ShownScope());
}
