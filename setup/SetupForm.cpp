#include "SetupForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>
#include <algorithm>
#include <array>
#include <functional>

#include "ApplyEnvironment.h"
#include "QtsFormTools.h"
#include "QtsGuard.h"
#include "RememberedEnvironment.h"
#include "SetupRun.h"

const char* const TFormSetup::SupportAddress = "http://www.quillon-tessarium.example/support";

namespace
{

// The designed page control: its offset from the window's left edge and its width.
constexpr int PagesLeft = 8;
constexpr int PagesDesignWidth = 503;
constexpr int DesignClientHeight = 460;

QString Text(const std::string& text)
{
    return QString::fromStdString(text);
}

std::string Text(const QString& text)
{
    return text.toStdString();
}

// The lines of a multi-line field. A final line break ends the last line and does not start
// another, empty one; empty lines between entries stay.
std::vector<std::string> LinesOf(const QPlainTextEdit& memo)
{
    std::vector<std::string> lines;
    const QString text = memo.toPlainText();
    if (text.isEmpty())
        return lines;
    QStringList parts = text.split(QLatin1Char('\n'));
    if (text.endsWith(QLatin1Char('\n')))
        parts.removeLast();
    for (const QString& part : parts)
        lines.push_back(Text(part));
    return lines;
}

QString JoinLines(const std::vector<std::string>& lines)
{
    QStringList parts;
    for (const std::string& line : lines)
        parts << Text(line);
    return parts.join(QLatin1Char('\n'));
}

// One group of radio buttons "Install ...", "Remove ...", "Skip this step.", in the order of
// StepChoice.
using StepButtons = std::array<const QRadioButton*, 3>;

StepChoice ChoiceOf(const StepButtons& buttons)
{
    for (std::size_t index = 0; index < buttons.size(); ++index)
        if (buttons[index]->isChecked())
            return static_cast<StepChoice>(index);
    return StepChoice::Skip;
}

void ShowChoice(const std::array<QRadioButton*, 3>& buttons, StepChoice choice)
{
    buttons[static_cast<std::size_t>(choice)]->setChecked(true);
}

// Shows a computed text from its start, as a freshly filled field does.
void SetEditText(QLineEdit& edit, const std::string& text)
{
    edit.setText(Text(text));
    edit.home(false);
}

} // namespace

TFormSetup::TFormSetup(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Quillon Tessarium 3 Setup Utility"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    CreateControls();
    ConnectHandlers();
    ShowStartNotices();
    Guarded([&] { FormCreate(); });
    BtnNext->setFocus();
}

TFormSetup::~TFormSetup() = default;

void TFormSetup::ConnectHandlers()
{
    for (QRadioButton* radio : versionRadios_)
        ConnectChecked(radio, this, &TFormSetup::RadVersionClick);
    for (QRadioButton* radio : {ChkInstallDesign, ChkRemoveDesign})
        ConnectChecked(radio, this, &TFormSetup::ChkInstallDesignClick);
    ConnectGuarded(Pages, &QTabWidget::currentChanged, this, &TFormSetup::PagesChange);
    ConnectGuarded(BtnNext, &QPushButton::clicked, this, &TFormSetup::BtnOkClick);
    ConnectGuarded(BtnCancel, &QPushButton::clicked, this, &TFormSetup::BtnCancelClick);
    ConnectGuarded(BtnOriginalDlg, &QPushButton::clicked, this, &TFormSetup::BtnOriginalDlgClick);
    ConnectGuarded(BtnPatchedDlg, &QPushButton::clicked, this, &TFormSetup::BtnPatchedDlgClick);
    ConnectGuarded(BtnComplib, &QPushButton::clicked, this, &TFormSetup::BtnComplibClick);
}

QRadioButton* TFormSetup::VersionRadio(Environment environment) const
{
    return versionRadios_[static_cast<std::size_t>(environment)];
}

void TFormSetup::FormCreate()
{
    Pages->setCurrentWidget(TabCompiler);

    // Width: the page control with its left offset on both sides; the window frame adds its own
    // border (the designed 8 pixels) outside this client area. The layout may widen the pages
    // beyond their designed width when the fonts need it; the height follows.
    const int pagesWidth = std::max(PagesDesignWidth, Pages->minimumSizeHint().width());
    const int width = 2 * PagesLeft + pagesWidth;
    const int height = std::max(DesignClientHeight, layout()->totalHeightForWidth(width));
    setFixedSize(width, height);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width / 2, height / 2));

    // "Compiler" is current already, so hiding the others leaves it current.
    for (int index = 0; index < Pages->count(); ++index)
        Pages->setTabVisible(index, Pages->widget(index) == TabCompiler);

    const std::optional<Environment> remembered = ReadRememberedEnvironment();
    if (remembered)
        VersionRadio(*remembered)->setChecked(true);
}

void TFormSetup::RadVersionClick()
{
    ApplyEnvironment();
}

void TFormSetup::ApplyEnvironment()
{
    for (int index = 0; index < Pages->count(); ++index)
        Pages->setTabVisible(index, true);
    RefillControls([this](SetupFields& fields) { ::ApplyEnvironment(profile_, fields, *this); });
}

void TFormSetup::UpdateDesignDefaults()
{
    RefillControls(
        [this](SetupFields& fields) { ::UpdateDesignDefaults(profile_, fields, *this); });
}

void TFormSetup::RefillControls(const std::function<void(SetupFields&)>& fill)
{
    SetupFields fields = FieldsFromControls();
    try {
        fill(fields);
    } catch (...) {
        // What was filled before the failure stays filled.
        ControlsFromFields(fields);
        throw;
    }
    ControlsFromFields(fields);
}

void TFormSetup::ChkInstallDesignClick()
{
    if (!fillingControls_)
        UpdateDesignDefaults();
}

void TFormSetup::PagesChange()
{
    const bool last = Pages->currentIndex() >= Pages->count() - 1;
    BtnNext->setText(last ? QStringLiteral("&Setup") : QStringLiteral("&Next"));
}

void TFormSetup::BtnOkClick()
{
    const int index = Pages->currentIndex();
    if (index < Pages->count() - 1) {
        // The next page in page order, also while its tab is hidden. A focus left on the page
        // that goes out of sight stays with Next, so that Enter walks on to Setup.
        QWidget* left = Pages->currentWidget();
        const bool focusLeaves = focusWidget() && left->isAncestorOf(focusWidget());
        Pages->setCurrentIndex(index + 1);
        PagesChange();
        if (focusLeaves)
            BtnNext->setFocus(Qt::OtherFocusReason);
        return;
    }

    QApplication::setOverrideCursor(Qt::WaitCursor);
    MemoProgress->clear();
    logLineCount_ = 0;
    Pages->setCurrentWidget(TabProgress);
    // Closes every run, also one that a failing step ends: the cursor comes back and the log
    // shows the end before any error box does.
    const auto closeRun = [this] {
        QApplication::restoreOverrideCursor();
        LogProgress("");
        LogProgress("Done.");
    };
    try {
        RunSetupSteps(profile_, FieldsFromControls(), *this);
    } catch (...) {
        closeRun();
        throw;
    }
    closeRun();
    BtnNext->setText(QStringLiteral("&Redo"));
}

QFileDialog& TFormSetup::OriginalDialog()
{
    if (!DlgOpenOriginal) {
        DlgOpenOriginal =
            NewFileDialog(this, QStringLiteral("DlgOpenOriginal"), QStringLiteral("Choose a File"));
        // The descriptions alone are shown, the patterns stay behind them.
        DlgOpenOriginal->setOption(QFileDialog::HideNameFilterDetails);
        DlgOpenOriginal->setNameFilters(
            {QStringLiteral("DCU Files (*.dcu)"), QStringLiteral("DCL Files (*.dcl)"),
             QStringLiteral("DPL Files (*.dpl)"), QStringLiteral("DCP Files (*.dcp)"),
             QStringLiteral("OBJ Files (*.obj)")});
        DlgOpenOriginal->setDefaultSuffix(QStringLiteral("dcu"));
    }
    return *DlgOpenOriginal;
}

QFileDialog& TFormSetup::ComplibDialog()
{
    if (!DlgOpenComplib) {
        DlgOpenComplib = NewFileDialog(this, QStringLiteral("DlgOpenComplib"),
                                       QStringLiteral("Select Component Library"));
        DlgOpenComplib->setNameFilters(
            {QStringLiteral("Component Library (*.dcl)"), QStringLiteral("All Files (*.*)")});
        DlgOpenComplib->setDefaultSuffix(QStringLiteral("dcl"));
    }
    return *DlgOpenComplib;
}

void TFormSetup::BtnOriginalDlgClick()
{
    QFileDialog& dialog = OriginalDialog();
    if (!ExecFileDialog(dialog))
        return;
    // A new last line: after a final line break the path fills the line that break began, so
    // that no empty entry comes between.
    const QString path = ChosenPath(dialog.selectedFiles().first());
    const QString text = MemoOriginal->toPlainText();
    QTextCursor cursor(MemoOriginal->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(
        text.isEmpty() || text.endsWith(QLatin1Char('\n')) ? path : QLatin1Char('\n') + path);
}

void TFormSetup::BtnPatchedDlgClick()
{
    const QString folder =
        ChooseFolder(this, QStringLiteral("Choose Destination Folder"), EditPatched->text());
    if (!folder.isEmpty())
        EditPatched->setText(folder);
}

void TFormSetup::BtnComplibClick()
{
    QFileDialog& dialog = ComplibDialog();
    PresetFileDialog(dialog, EditComplib->text());
    if (ExecFileDialog(dialog))
        EditComplib->setText(ChosenPath(dialog.selectedFiles().first()));
}

void TFormSetup::LblWebClick()
{
    // Whether a browser could be started is not reported.
    QDesktopServices::openUrl(QUrl(Label16->text()));
}

void TFormSetup::BtnCancelClick()
{
    close();
}

void TFormSetup::LogProgress(const std::string& line)
{
    // A log of one empty line is an empty document, to which appending adds no new line: the
    // second line then needs the break written out.
    if (logLineCount_ == 1 && MemoProgress->document()->isEmpty())
        MemoProgress->setPlainText(QLatin1Char('\n') + Text(line));
    else
        MemoProgress->appendPlainText(Text(line));
    ++logLineCount_;
    // The run holds the event loop until it ends: paint the new line now.
    MemoProgress->viewport()->repaint();
}

bool TFormSetup::Confirm(const std::string& message, const std::string& title)
{
    return ConfirmDialog(Text(message), Text(title));
}

void TFormSetup::Error(const std::string& message, const std::string& title)
{
    ErrorDialog(Text(message), Text(title));
}

void TFormSetup::Notice(const std::string& message)
{
    ShowNotice(Text(message));
}

SetupFields TFormSetup::FieldsFromControls() const
{
    SetupFields fields;
    for (const EnvironmentEntry& entry : EnvironmentCatalogue()) {
        if (VersionRadio(entry.environment)->isChecked()) {
            fields.environment = entry.environment;
            break;
        }
    }
    fields.generate = ChkGenerate->isChecked();
    fields.originalFiles = LinesOf(*MemoOriginal);
    fields.patchedFolder = Text(EditPatched->text());
    fields.design = ChoiceOf({ChkInstallDesign, ChkRemoveDesign, ChkSkipDesign});
    fields.libraryPath = Text(EditLibraryPath->text());
    fields.complib = Text(EditComplib->text());
    fields.complibEnabled = EditComplib->isEnabled();
    fields.installDemo = ChkInstallDemo->isChecked();
    fields.tools = ChoiceOf({ChkInstallTools, ChkRemoveTools, ChkSkipTools});
    fields.explorerPath = Text(EditExplorerPath->text());
    fields.queryBuilderPath = Text(EditQueryBuilderPath->text());
    fields.queryBuilderEnabled = EditQueryBuilderPath->isEnabled();
    return fields;
}

void TFormSetup::ControlsFromFields(const SetupFields& fields)
{
    const bool wasFilling = fillingControls_;
    fillingControls_ = true;
    ChkGenerate->setChecked(fields.generate);
    // Rewritten only when changed, so that the cursor and scroll position stay otherwise.
    if (LinesOf(*MemoOriginal) != fields.originalFiles)
        MemoOriginal->setPlainText(JoinLines(fields.originalFiles));
    SetEditText(*EditPatched, fields.patchedFolder);
    ShowChoice({ChkInstallDesign, ChkRemoveDesign, ChkSkipDesign}, fields.design);
    SetEditText(*EditLibraryPath, fields.libraryPath);
    SetEditText(*EditComplib, fields.complib);
    EditComplib->setEnabled(fields.complibEnabled);
    ChkInstallDemo->setChecked(fields.installDemo);
    ShowChoice({ChkInstallTools, ChkRemoveTools, ChkSkipTools}, fields.tools);
    SetEditText(*EditExplorerPath, fields.explorerPath);
    SetEditText(*EditQueryBuilderPath, fields.queryBuilderPath);
    EditQueryBuilderPath->setEnabled(fields.queryBuilderEnabled);
    LblQueryBuilder->setEnabled(fields.queryBuilderEnabled);
    fillingControls_ = wasFilling;
}

bool TFormSetup::FocusInMemo() const
{
    const QWidget* focus = focusWidget();
    return focus && (focus == MemoOriginal || focus == MemoProgress ||
                     MemoOriginal->isAncestorOf(focus) || MemoProgress->isAncestorOf(focus));
}

void TFormSetup::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        // Escape leaves through "Exit", except inside the two multi-line fields.
        if (!FocusInMemo() && event->modifiers() == Qt::NoModifier)
            BtnCancel->click();
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A read-only log lets Return through; it must not start a run.
        if (FocusInMemo()) {
            event->accept();
            return;
        }
        break;
    default:
        break;
    }
    QDialog::keyPressEvent(event);
}

bool TFormSetup::focusNextPrevChild(bool next)
{
    std::vector<QWidget*> stops = {BtnCancel, Pages->tabBar()};
    for (const auto& [page, controls] : tabStops_)
        if (page == Pages->currentWidget())
            for (QWidget* control : controls)
                if (control->isVisible() && control->isEnabled())
                    stops.push_back(control);
    stops.push_back(BtnNext);

    // The stop that holds the focus, also when the focus is inside it (a field's viewport).
    const QWidget* focus = focusWidget();
    auto current = std::find_if(stops.begin(), stops.end(), [focus](const QWidget* stop) {
        return focus && (stop == focus || stop->isAncestorOf(focus));
    });
    std::ptrdiff_t index = current == stops.end() ? -1 : current - stops.begin();
    const auto count = static_cast<std::ptrdiff_t>(stops.size());
    if (index < 0)
        index = next ? count - 1 : 0;
    index = (index + (next ? 1 : count - 1)) % count;
    stops[static_cast<std::size_t>(index)]->setFocus(next ? Qt::TabFocusReason
                                                          : Qt::BacktabFocusReason);
    return true;
}

bool TFormSetup::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Label16 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
        Label16->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
        Guarded([&] { LblWebClick(); });
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
