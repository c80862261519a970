// The controls of the setup wizard: five pages, their texts, initial states and tab order.
#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionTab>
#include <QStylePainter>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "QtsWidgets.h"
#include "SetupForm.h"

namespace
{

// Spacing of the pages: the designed margins around the page contents.
constexpr int PageMargin = 8;
// The margins inside a page: a little more room below the tabs.
constexpr QMargins PageMargins(PageMargin, PageMargin + 4, PageMargin, PageMargin);

QRadioButton* NewRadio(QWidget* parent, const char* name, const char* text)
{
    return Named(new QRadioButton(QString::fromUtf8(text), parent), name);
}

// The fields' texts and ticks before any environment is chosen: the operations' own defaults.
SetupFields Defaults()
{
    return SetupFields{};
}

QString Text(const std::string& text)
{
    return QString::fromStdString(text);
}

// The radio buttons of one group; each group always has exactly one selected button once any
// has been selected.
QButtonGroup* NewGroup(QWidget* parent, std::initializer_list<QRadioButton*> buttons)
{
    auto* group = new QButtonGroup(parent);
    group->setExclusive(true);
    for (QRadioButton* button : buttons)
        group->addButton(button);
    return group;
}

// The wizard's tab row. Next may show a page whose tab is still hidden; the toolkit would then
// draw that hidden tab as a sliver at the row's start. Only visible tabs are drawn here, the
// selected one last, as it overlaps its neighbours.
class WizardTabBar : public QTabBar
{
public:
    using QTabBar::QTabBar;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter painter(this);
        const auto drawTab = [&](int index) {
            QStyleOptionTab option;
            initStyleOption(&option, index);
            painter.drawControl(QStyle::CE_TabBarTab, option);
        };
        for (int index = 0; index < count(); ++index)
            if (isTabVisible(index) && index != currentIndex())
                drawTab(index);
        if (currentIndex() >= 0 && isTabVisible(currentIndex()))
            drawTab(currentIndex());
    }
};

class WizardPages : public QTabWidget
{
public:
    explicit WizardPages(QWidget* parent) : QTabWidget(parent)
    {
        setTabBar(new WizardTabBar(this));
    }
};

} // namespace

void TFormSetup::CreateControls()
{
    Pages = Named(new WizardPages(this), "Pages");
    Pages->setUsesScrollButtons(false);
    // Each page joins the pages before it gets its controls: the first one added is shown at
    // once, and a page with its controls already in place would lay them out for a size it
    // never has on screen, measuring every text for nothing.
    const auto addPage = [this](const char* name, const QString& caption) {
        QWidget* page = Named(new QWidget, name);
        Pages->addTab(page, caption);
        return page;
    };
    TabCompiler = addPage("TabCompiler", QStringLiteral("Compiler"));
    CreateCompilerPage();
    TabCompile = addPage("TabCompile", QStringLiteral("BDE Interface"));
    CreateCompilePage();
    TabDesignEnv = addPage("TabDesignEnv", QStringLiteral("Design Environment"));
    CreateDesignEnvPage();
    TabDesignTools = addPage("TabDesignTools", QStringLiteral("Design Tools"));
    CreateDesignToolsPage();
    TabProgress = addPage("TabProgress", QStringLiteral("Setup Now"));
    CreateProgressPage();

    BtnNext = Named(new QPushButton(QStringLiteral("&Next"), this), "BtnNext");
    BtnNext->setDefault(true);
    BtnCancel = Named(new QPushButton(QStringLiteral("Exit"), this), "BtnCancel");
    for (QPushButton* button : {BtnNext, BtnCancel})
        button->setMinimumWidth(77);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BtnNext);
    buttons->addWidget(BtnCancel);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(PageMargin, PageMargin, PageMargin, PageMargin);
    layout->addWidget(Pages, 1);
    layout->addLayout(buttons);

    SetTabOrder();
}

void TFormSetup::CreateCompilerPage()
{
    QWidget* page = TabCompiler;
    Label33 = NewWrappingLabel(
        page, "Label33",
        "Quillon Tessarium is now installed on your harddisk. There are some steps you still "
        "need to take to integrate Quillon Tessarium into your Borland development "
        "environment.");
    Label34 = NewWrappingLabel(
        page, "Label34",
        "Please read through each of the tab pages and make the appropriate settings. Then "
        "click on \"Setup Now\" in the \"Progress\" tab to apply the settings to your "
        "development environment.");
    Bevel5 = NewBevel(page, "Bevel5");
    Label35 = NewWrappingLabel(
        page, "Label35",
        "Quillon Tessarium supports the following Borland compilers. Please choose the "
        "appropriate one. You can run setup again if you want to setup Quillon Tessarium for "
        "more than one compiler.");
    Label25 = NewLabel(page, "Label25", "Choose your compiler:");

    // The buttons carry the catalogue's captions, which are also the remembered texts.
    for (const EnvironmentEntry& entry : EnvironmentCatalogue())
        versionRadios_[static_cast<std::size_t>(entry.environment)] =
            NewRadio(page, entry.radioName, entry.caption);
    RadDelphi20 = VersionRadio(Environment::Delphi2);
    RadDelphi30 = VersionRadio(Environment::Delphi3);
    RadDelphi40 = VersionRadio(Environment::Delphi4);
    RadDelphi50 = VersionRadio(Environment::Delphi5);
    RadCPP10 = VersionRadio(Environment::CPP1);
    RadCPP30 = VersionRadio(Environment::CPP3);
    RadCPP40 = VersionRadio(Environment::CPP4);
    NewGroup(page,
             {RadDelphi20, RadDelphi30, RadDelphi40, RadDelphi50, RadCPP10, RadCPP30, RadCPP40});

    Bevel9 = NewBevel(page, "Bevel9");
    Label17 = NewLabel(page, "Label17",
                       "For questions, suggestions, and support, please refer to our Web site at:");
    Label16 = NewLabel(page, "Label16", SupportAddress);
    QPalette palette = Label16->palette();
    palette.setColor(QPalette::WindowText, QColor(0, 0, 0x80));
    Label16->setPalette(palette);
    QFont font = Label16->font();
    font.setUnderline(true);
    Label16->setFont(font);
    Label16->setCursor(Qt::PointingHandCursor);
    Label16->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    Label16->installEventFilter(this);

    QVBoxLayout* layout = NewPageLayout(page, PageMargins);
    layout->addWidget(Label33);
    layout->addWidget(Label34);
    layout->addSpacing(4);
    layout->addWidget(Bevel5);
    layout->addSpacing(8);
    layout->addWidget(Label35);
    layout->addWidget(Label25);
    auto* versions = new QGridLayout;
    versions->setHorizontalSpacing(16);
    versions->setContentsMargins(0, 4, 0, 0);
    QRadioButton* const delphi[] = {RadDelphi20, RadDelphi30, RadDelphi40, RadDelphi50};
    for (int row = 0; row < 4; ++row)
        versions->addWidget(delphi[row], row, 0);
    versions->addWidget(RadCPP10, 0, 1);
    versions->addWidget(RadCPP30, 1, 1);
    versions->addWidget(RadCPP40, 2, 1);
    versions->setColumnStretch(2, 1);
    layout->addLayout(versions);
    layout->addSpacing(8);
    layout->addWidget(Bevel9);
    layout->addSpacing(8);
    layout->addWidget(Label17);
    layout->addWidget(Label16);
    layout->addStretch(1);
}

void TFormSetup::CreateCompilePage()
{
    QWidget* page = TabCompile;
    Label4 = NewWrappingLabel(
        page, "Label4",
        "To develop applications that use Quillon Tessarium, or to compile the demo "
        "applications, you must generate a modified BDE interface. This interface will then "
        "redirect all BDE calls to the Quillon Tessarium DLL.");
    ChkGenerate =
        NewCheck(page, "ChkGenerate", "Generate the modified BDE interface", Defaults().generate);
    Bevel2 = NewBevel(page, "Bevel2");
    Label14 = NewWrappingLabel(
        page, "Label14",
        "To modify the BDE interface the setup utility will patch a number of files supplied "
        "with your compiler.  We do not directly supply the modified files because they are "
        "copyrighted by Borland, and to ensure compatibility with compiler updates.");
    Label15 = NewWrappingLabel(
        page, "Label15",
        "This application will read your original files supplied by Borland, modify them, and "
        "save them to a different location. Please specify the locations of the original "
        "files, and the desired location of the patched files below.");
    Label11 = NewLabel(page, "Label11", "Original files:");
    MemoOriginal = Named(new QPlainTextEdit(page), "MemoOriginal");
    MemoOriginal->setLineWrapMode(QPlainTextEdit::NoWrap);
    MemoOriginal->setTabChangesFocus(true);
    MemoOriginal->setFixedHeight(MemoOriginal->fontMetrics().lineSpacing() * 4 + 12);
    Label11->setBuddy(MemoOriginal);
    Label12 = NewLabel(page, "Label12", "Path for modified files:");
    EditPatched = NewEdit(page, "EditPatched", Text(Defaults().patchedFolder));
    Label12->setBuddy(EditPatched);
    BtnOriginalDlg = NewBrowseButton(page, "BtnOriginalDlg", *EditPatched);
    BtnPatchedDlg = NewBrowseButton(page, "BtnPatchedDlg", *EditPatched);
    Label32 = NewWrappingLabel(
        page, "Label32",
        "Tip: To be able to switch between the different Jet drivers, generate different sets "
        "of modified files in different folders. Then you can switch the drivers by adjusting "
        "the search path, and recompiling your component library and apps.");

    QVBoxLayout* layout = NewPageLayout(page, PageMargins);
    layout->addWidget(Label4);
    layout->addWidget(ChkGenerate);
    layout->addSpacing(4);
    layout->addWidget(Bevel2);
    layout->addSpacing(4);
    layout->addWidget(Label14);
    layout->addWidget(Label15);
    auto* files = new QGridLayout;
    files->setContentsMargins(0, 6, 0, 6);
    files->setHorizontalSpacing(6);
    files->setColumnMinimumWidth(0, 110);
    files->addWidget(Label11, 0, 0, Qt::AlignTop);
    files->addWidget(MemoOriginal, 0, 1);
    files->addWidget(BtnOriginalDlg, 0, 2, Qt::AlignTop);
    files->addWidget(Label12, 1, 0);
    files->addWidget(EditPatched, 1, 1);
    files->addWidget(BtnPatchedDlg, 1, 2);
    files->setVerticalSpacing(8);
    files->setColumnStretch(1, 1);
    layout->addLayout(files);
    layout->addWidget(Label32);
    layout->addStretch(1);
}

void TFormSetup::CreateDesignEnvPage()
{
    QWidget* page = TabDesignEnv;
    Label21 = NewWrappingLabel(
        page, "Label21",
        "To install Quillon Tessarium into your design environment, you must adjust the library "
        "search path and load a different component library file.");
    ChkInstallDesign = NewRadio(page, "ChkInstallDesign",
                                "Install Quillon Tessarium into the design environment.");
    ChkRemoveDesign =
        NewRadio(page, "ChkRemoveDesign", "Remove Quillon Tessarium from the design environment.");
    ChkSkipDesign = NewRadio(page, "ChkSkipDesign", "Skip this step.");
    ChkSkipDesign->setChecked(true);
    NewGroup(page, {ChkInstallDesign, ChkRemoveDesign, ChkSkipDesign});
    Bevel6 = NewBevel(page, "Bevel6");
    Label5 = NewWrappingLabel(
        page, "Label5",
        "You must adjust your library search path so the modified files for Quillon Tessarium "
        "will be found before the original files.");
    Label22 = NewLabel(page, "Label22", "Library Search Path:");
    EditLibraryPath = NewEdit(page, "EditLibraryPath", Text(Defaults().libraryPath));
    Label22->setBuddy(EditLibraryPath);
    Label46 = NewWrappingLabel(
        page, "Label46",
        "For Delphi 2.0 and C++Builder 1, please indicate the component library to load. For "
        "the rest the setup utility will simply copy the modified VCLDB??.?pl to the Bin "
        "folder.");
    Label23 = NewLabel(page, "Label23", "Component Library:");
    EditComplib = NewEdit(page, "EditComplib", Text(Defaults().complib));
    Label23->setBuddy(EditComplib);
    BtnComplib = NewBrowseButton(page, "BtnComplib", *EditComplib);
    Label2 = NewWrappingLabel(
        page, "Label2",
        "To uninstall Quillon Tessarium from Delphi 2.0 or C++Builder 1, restore the search path "
        "and reopen your original component library. To uninstall from the others, restore the "
        "search path and delete the file VCLDB??.?pl from the Bin folder.");
    ChkInstallDemo = NewCheck(
        page, "ChkInstallDemo",
        "Setup the &Demo project to open automatically when you next launch your environment.",
        Defaults().installDemo);

    QVBoxLayout* layout = NewPageLayout(page, PageMargins);
    layout->addWidget(Label21);
    layout->addWidget(ChkInstallDesign);
    layout->addWidget(ChkRemoveDesign);
    layout->addWidget(ChkSkipDesign);
    layout->addSpacing(4);
    layout->addWidget(Bevel6);
    layout->addSpacing(4);
    layout->addWidget(Label5);
    auto* path = new QGridLayout;
    path->setContentsMargins(0, 4, 0, 8);
    path->setHorizontalSpacing(6);
    path->setColumnMinimumWidth(0, 98);
    path->addWidget(Label22, 0, 0);
    path->addWidget(EditLibraryPath, 0, 1, 1, 2);
    path->setColumnStretch(1, 1);
    layout->addLayout(path);
    layout->addWidget(Label46);
    auto* complib = new QGridLayout;
    complib->setContentsMargins(0, 4, 0, 8);
    complib->setHorizontalSpacing(6);
    complib->setColumnMinimumWidth(0, 98);
    complib->addWidget(Label23, 0, 0);
    complib->addWidget(EditComplib, 0, 1);
    complib->addWidget(BtnComplib, 0, 2);
    complib->setColumnStretch(1, 1);
    layout->addLayout(complib);
    layout->addWidget(Label2);
    layout->addSpacing(8);
    layout->addWidget(ChkInstallDemo);
    layout->addStretch(1);
}

void TFormSetup::CreateDesignToolsPage()
{
    QWidget* page = TabDesignTools;
    Label13 = NewWrappingLabel(
        page, "Label13",
        "If you are going to install Tessarium into your design environment, you can make the "
        "Database Explorer and the Query Builder work with Tessarium too. If you do this, they "
        "will not work with the BDE anymore until explicitly revert to the BDE.");
    ChkInstallTools =
        NewRadio(page, "ChkInstallTools",
                 "Install Quillon Tessarium into Database Explorer and Query Builder.");
    ChkRemoveTools = NewRadio(page, "ChkRemoveTools",
                              "Remove Quillon Tessarium from Database Explorer and Query Builder.");
    ChkSkipTools = NewRadio(page, "ChkSkipTools", "Skip this step.");
    ChkSkipTools->setChecked(true);
    NewGroup(page, {ChkInstallTools, ChkRemoveTools, ChkSkipTools});
    Bevel3 = NewBevel(page, "Bevel3");
    Label18 = NewWrappingLabel(
        page, "Label18",
        "This application will patch the indicated files so they use the Tessarium DLL instead "
        "of the BDE DLL. The old files are saved with .old appended to their name, so you can "
        "always revert to the BDE.");
    Label20 = NewWrappingLabel(
        page, "Label20",
        "To revert to using the BDE, delete the patched DLLs and rename the saved copies to "
        "their original names (remove the .old at the end).");
    Label10 = NewLabel(page, "Label10", "Database Explorer DLL:");
    EditExplorerPath = NewEdit(page, "EditExplorerPath", Text(Defaults().explorerPath));
    Label10->setBuddy(EditExplorerPath);
    LblQueryBuilder = NewLabel(page, "LblQueryBuilder", "Query Builder DLL:");
    EditQueryBuilderPath = NewEdit(page, "EditQueryBuilderPath", Text(Defaults().queryBuilderPath));
    LblQueryBuilder->setBuddy(EditQueryBuilderPath);
    Label1 = NewWrappingLabel(
        page, "Label1", "(only supported in client/server editions; only for Delphi 2 and 3))");

    QVBoxLayout* layout = NewPageLayout(page, PageMargins);
    layout->addWidget(Label13);
    layout->addWidget(ChkInstallTools);
    layout->addWidget(ChkRemoveTools);
    layout->addWidget(ChkSkipTools);
    layout->addSpacing(4);
    layout->addWidget(Bevel3);
    layout->addSpacing(4);
    layout->addWidget(Label18);
    layout->addWidget(Label20);
    auto* dlls = new QGridLayout;
    dlls->setContentsMargins(0, 8, 0, 0);
    dlls->setHorizontalSpacing(6);
    dlls->setColumnMinimumWidth(0, 118);
    dlls->addWidget(Label10, 0, 0);
    dlls->addWidget(EditExplorerPath, 0, 1);
    dlls->addWidget(LblQueryBuilder, 1, 0);
    dlls->addWidget(EditQueryBuilderPath, 1, 1);
    dlls->addWidget(Label1, 2, 1);
    dlls->setColumnStretch(1, 1);
    layout->addLayout(dlls);
    layout->addStretch(1);
}

void TFormSetup::CreateProgressPage()
{
    QWidget* page = TabProgress;
    Label3 =
        NewLabel(page, "Label3",
                 "Ready to setup Quillon Tessarium now. Choose OK to finish the installation.");
    MemoProgress = Named(new QPlainTextEdit(page), "MemoProgress");
    MemoProgress->setReadOnly(true);
    MemoProgress->setLineWrapMode(QPlainTextEdit::NoWrap);
    MemoProgress->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoProgress->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    MemoProgress->setTabChangesFocus(true);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(4, 12, 4, 8);
    layout->addWidget(Label3);
    layout->addSpacing(6);
    layout->addWidget(MemoProgress, 1);
}

void TFormSetup::SetTabOrder()
{
    // Each page's controls in their tab order; the window's own stops (Exit, the page tabs,
    // Next) stand around them (focusNextPrevChild).
    tabStops_ = {
        {TabCompiler,
         {RadDelphi20, RadDelphi30, RadDelphi40, RadDelphi50, RadCPP10, RadCPP30, RadCPP40}},
        {TabCompile, {ChkGenerate, MemoOriginal, BtnOriginalDlg, EditPatched, BtnPatchedDlg}},
        {TabDesignEnv,
         {EditLibraryPath, EditComplib, BtnComplib, ChkInstallDesign, ChkRemoveDesign,
          ChkSkipDesign, ChkInstallDemo}},
        {TabDesignTools,
         {EditExplorerPath, EditQueryBuilderPath, ChkInstallTools, ChkRemoveTools, ChkSkipTools}},
        {TabProgress, {MemoProgress}},
    };
}
