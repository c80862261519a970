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
#include <QTabWidget>
#include <QTextDocument>
#include <QUrl>
#include <algorithm>

#include "ApplyEnvironment.h"
#include "QtsFormTools.h"
#include "QtsGuard.h"
#include "SetupRun.h"
#include "TRegistry.h"

const char* const TFormSetup::SupportAddress = "http://www.quillon-tessarium.example/support";

namespace
{

// Where the environment chosen in the last run is remembered (current user).
const char* const RememberedKey = "\\Software\\Quillon\\Tessarium";
const char* const RememberedValue = "LastEnvironment";

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

// The wait cursor for the whole application while a run lasts.
class WaitCursor
{
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { Restore(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    void Restore()
    {
        if (active_)
            QApplication::restoreOverrideCursor();
        active_ = false;
    }

private:
    bool active_ = true;
};

} // namespace

TFormSetup::TFormSetup(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Quillon Tessarium 3 Setup Utility"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    CreateControls();
    ConnectHandlers();
    Guarded([&] { FormCreate(); });
    BtnNext->setFocus();
}

TFormSetup::~TFormSetup() = default;

void TFormSetup::ConnectHandlers()
{
    for (QRadioButton* radio : versionRadios_)
        connect(radio, &QRadioButton::toggled, this, [this](bool selected) {
            if (selected)
                Guarded([&] { RadVersionClick(); });
        });
    for (QRadioButton* radio : {ChkInstallDesign, ChkRemoveDesign})
        connect(radio, &QRadioButton::toggled, this, [this](bool selected) {
            if (selected)
                Guarded([&] { ChkInstallDesignClick(); });
        });
    connect(Pages, &QTabWidget::currentChanged, this, [this] { Guarded([&] { PagesChange(); }); });
    connect(BtnNext, &QPushButton::clicked, this, [this] { Guarded([&] { BtnOkClick(); }); });
    connect(BtnCancel, &QPushButton::clicked, this, [this] { Guarded([&] { BtnCancelClick(); }); });
    connect(BtnOriginalDlg, &QPushButton::clicked, this,
            [this] { Guarded([&] { BtnOriginalDlgClick(); }); });
    connect(BtnPatchedDlg, &QPushButton::clicked, this,
            [this] { Guarded([&] { BtnPatchedDlgClick(); }); });
    connect(BtnComplib, &QPushButton::clicked, this,
            [this] { Guarded([&] { BtnComplibClick(); }); });
}

QRadioButton* TFormSetup::VersionRadio(Environment environment) const
{
    return versionRadios_[static_cast<std::size_t>(environment)];
}

void TFormSetup::FormCreate()
{
    Pages->setCurrentWidget(TabCompiler);

    // Outer width: the page control with its left offset on both sides. The layout may widen
    // the pages beyond their designed width when the fonts need it; the height follows.
    const int pagesWidth = std::max(PagesDesignWidth, Pages->minimumSizeHint().width());
    const int width = 2 * PagesLeft + pagesWidth;
    const int height = std::max(DesignClientHeight, layout()->totalHeightForWidth(width));
    setFixedSize(width, height);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width / 2, height / 2));

    // "Compiler" is current already, so hiding the others leaves it current.
    for (int index = 0; index < Pages->count(); ++index)
        Pages->setTabVisible(index, Pages->widget(index) == TabCompiler);

    std::optional<Environment> remembered;
    {
        TRegistry registry;
        registry.SelectRoot(RegistryRoot::CurrentUser);
        if (registry.OpenKeyPath(RememberedKey, false) && registry.HasValue(RememberedValue))
            remembered = EnvironmentFromCaption(registry.ReadText(RememberedValue));
    }
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
    SetupFields fields = FieldsFromControls();
    try {
        ::ApplyEnvironment(profile_, fields, *this);
    } catch (...) {
        // The fields filled before the failure stay filled.
        ControlsFromFields(fields);
        throw;
    }
    ControlsFromFields(fields);
}

void TFormSetup::UpdateDesignDefaults()
{
    SetupFields fields = FieldsFromControls();
    try {
        ::UpdateDesignDefaults(profile_, fields, *this);
    } catch (...) {
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
        // The next page in page order, also while its tab is hidden.
        Pages->setCurrentIndex(index + 1);
        PagesChange();
        return;
    }

    WaitCursor cursor;
    MemoProgress->clear();
    logHoldsOneEmptyLine_ = false;
    Pages->setCurrentWidget(TabProgress);
    const SetupFields fields = FieldsFromControls();
    try {
        RunSetupSteps(profile_, fields, *this);
    } catch (...) {
        cursor.Restore();
        LogProgress("");
        LogProgress("Done.");
        throw;
    }
    cursor.Restore();
    LogProgress("");
    LogProgress("Done.");
    BtnNext->setText(QStringLiteral("&Redo"));
}

void TFormSetup::BtnOriginalDlgClick()
{
    if (DlgOpenOriginal->exec() != QDialog::Accepted)
        return;
    const QStringList chosen = DlgOpenOriginal->selectedFiles();
    if (chosen.isEmpty())
        return;
    MemoOriginal->appendPlainText(QDir::toNativeSeparators(chosen.first()));
}

void TFormSetup::BtnPatchedDlgClick()
{
    const QString folder = ChooseFolder(this, QStringLiteral("Choose Destination Folder"));
    if (!folder.isEmpty())
        EditPatched->setText(folder);
}

void TFormSetup::BtnComplibClick()
{
    DlgOpenComplib->selectFile(EditComplib->text());
    if (DlgOpenComplib->exec() != QDialog::Accepted)
        return;
    const QStringList chosen = DlgOpenComplib->selectedFiles();
    if (!chosen.isEmpty())
        EditComplib->setText(QDir::toNativeSeparators(chosen.first()));
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
    // An empty document is both "no lines" and "one empty line": the flag tells them apart, and
    // the first real line after a leading empty one must not be merged into it.
    if (MemoProgress->document()->isEmpty()) {
        if (!logHoldsOneEmptyLine_ && line.empty())
            logHoldsOneEmptyLine_ = true;
        else if (logHoldsOneEmptyLine_)
            MemoProgress->setPlainText(QLatin1Char('\n') + Text(line));
        else
            MemoProgress->appendPlainText(Text(line));
    } else {
        MemoProgress->appendPlainText(Text(line));
    }
    if (!line.empty() || !MemoProgress->document()->isEmpty())
        logHoldsOneEmptyLine_ = false;
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
    fields.design = ChkInstallDesign->isChecked()  ? StepChoice::Install
                    : ChkRemoveDesign->isChecked() ? StepChoice::Remove
                                                   : StepChoice::Skip;
    fields.libraryPath = Text(EditLibraryPath->text());
    fields.complib = Text(EditComplib->text());
    fields.complibEnabled = EditComplib->isEnabled();
    fields.installDemo = ChkInstallDemo->isChecked();
    fields.tools = ChkInstallTools->isChecked()  ? StepChoice::Install
                   : ChkRemoveTools->isChecked() ? StepChoice::Remove
                                                 : StepChoice::Skip;
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
    EditPatched->setText(Text(fields.patchedFolder));
    QRadioButton* const design[] = {ChkInstallDesign, ChkRemoveDesign, ChkSkipDesign};
    design[static_cast<int>(fields.design)]->setChecked(true);
    EditLibraryPath->setText(Text(fields.libraryPath));
    EditComplib->setText(Text(fields.complib));
    EditComplib->setEnabled(fields.complibEnabled);
    ChkInstallDemo->setChecked(fields.installDemo);
    QRadioButton* const tools[] = {ChkInstallTools, ChkRemoveTools, ChkSkipTools};
    tools[static_cast<int>(fields.tools)]->setChecked(true);
    EditExplorerPath->setText(Text(fields.explorerPath));
    EditQueryBuilderPath->setText(Text(fields.queryBuilderPath));
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
