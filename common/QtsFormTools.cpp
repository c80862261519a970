#include "QtsFormTools.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "FileSystem.h"
#include "WinePrefix.h"

const char* const ApplicationTitle = "QTS Configuration Utility";

namespace
{

struct ButtonDefinition {
    MessageButton button;
    const char* caption;
    const char* objectName;
    MessageResult result;
};

// The order in which the buttons stand in every message dialog, left to right.
const ButtonDefinition ButtonOrder[] = {
    {mbYes, "&Yes", "BtnYes", mrYes},
    {mbNo, "&No", "BtnNo", mrNo},
    {mbOK, "OK", "BtnOK", mrOk},
    {mbCancel, "Cancel", "BtnCancel", mrCancel},
};

QStyle::StandardPixmap IconOf(MessageKind kind, bool& hasIcon)
{
    hasIcon = true;
    switch (kind) {
    case MessageKind::Warning:
        return QStyle::SP_MessageBoxWarning;
    case MessageKind::Error:
        return QStyle::SP_MessageBoxCritical;
    case MessageKind::Information:
        return QStyle::SP_MessageBoxInformation;
    case MessageKind::Confirmation:
        return QStyle::SP_MessageBoxQuestion;
    case MessageKind::Custom:
        break;
    }
    hasIcon = false;
    return QStyle::SP_CustomBase;
}

// Enter picks OK when there is one, else Yes.
int DefaultResult(int buttons)
{
    if (buttons & mbOK)
        return mrOk;
    if (buttons & mbYes)
        return mrYes;
    return 0;
}

// Escape and the close box pick Cancel, else No, else OK.
int CancelResult(int buttons)
{
    if (buttons & mbCancel)
        return mrCancel;
    if (buttons & mbNo)
        return mrNo;
    if (buttons & mbOK)
        return mrOk;
    return 0;
}

// The widest a paragraph of a message dialog runs before it wraps, and what a title bar needs
// beside its caption (the window's icon and its buttons).
constexpr int MaxTextWidth = 420;
constexpr int TitleBarButtonsWidth = 110;

// A message dialog whose buttons keep their captions and their order on every desktop (a
// platform button box would reorder and relabel them). Its result is the pressed button's.
class MessageDialog : public QDialog
{
public:
    MessageDialog(const QString& message, const QString& caption, MessageKind kind, int buttons,
                  const QString& objectName)
        : cancelResult_(CancelResult(buttons))
    {
        setObjectName(objectName);
        setWindowTitle(caption.isEmpty() ? QString::fromUtf8(ApplicationTitle) : caption);
        setModal(true);

        auto* body = new QHBoxLayout;
        bool hasIcon = false;
        const QStyle::StandardPixmap icon = IconOf(kind, hasIcon);
        if (hasIcon) {
            auto* iconLabel = new QLabel(this);
            iconLabel->setObjectName("MessageIcon");
            const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
            iconLabel->setPixmap(style()->standardIcon(icon, nullptr, this).pixmap(size, size));
            iconLabel->setAlignment(Qt::AlignTop | Qt::AlignHCenter);
            body->addWidget(iconLabel);
        }
        auto* text = new QLabel(message, this);
        text->setObjectName("MessageText");
        text->setTextFormat(Qt::PlainText);
        text->setTextInteractionFlags(Qt::TextSelectableByMouse);
        text->setWordWrap(true);
        text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        body->addWidget(text, 1);

        auto* row = new QHBoxLayout;
        row->addStretch(1);
        const int defaultResult = DefaultResult(buttons);
        QPushButton* defaultButton = nullptr;
        for (const ButtonDefinition& definition : ButtonOrder) {
            if (!(buttons & definition.button))
                continue;
            auto* button = new QPushButton(QString::fromUtf8(definition.caption), this);
            button->setObjectName(definition.objectName);
            const int result = definition.result;
            connect(button, &QPushButton::clicked, this, [this, result] { done(result); });
            row->addWidget(button);
            if (result == defaultResult)
                defaultButton = button;
        }
        row->addStretch(1);

        auto* layout = new QVBoxLayout(this);
        layout->addLayout(body);
        layout->addLayout(row);
        layout->setSizeConstraint(QLayout::SetFixedSize);

        // Paragraphs wrap at a readable width; the dialog is wide enough for its caption to
        // show whole in the window manager's title bar beside its buttons.
        int lineWidth = 0;
        for (const QString& line : QString(message).replace("\r\n", "\n").split('\n'))
            lineWidth = std::max(lineWidth, text->fontMetrics().horizontalAdvance(line));
        QFont titleFont = font();
        titleFont.setBold(true);
        const int captionWidth =
            QFontMetrics(titleFont).horizontalAdvance(windowTitle()) + TitleBarButtonsWidth;
        const QMargins margins = layout->contentsMargins();
        const int besideText =
            margins.left() + margins.right() +
            (hasIcon ? body->itemAt(0)->sizeHint().width() + body->spacing() : 0);
        text->setFixedWidth(
            std::max(std::min(lineWidth + 2, MaxTextWidth), captionWidth - besideText));

        if (defaultButton) {
            defaultButton->setDefault(true);
            defaultButton->setFocus();
        }
    }

    // Escape and the close box end here.
    void reject() override { done(cancelResult_); }

private:
    const int cancelResult_;
};

// The tests' answers to the next dialogs (SetMessageDialogAnswer, SetFolderDialogAnswer).
MessageDialogAnswer& MessageAnswerHook()
{
    static MessageDialogAnswer hook;
    return hook;
}

FolderDialogAnswer& FolderAnswerHook()
{
    static FolderDialogAnswer hook;
    return hook;
}

} // namespace

void SetMessageDialogAnswer(MessageDialogAnswer answer)
{
    MessageAnswerHook() = std::move(answer);
}

void SetFolderDialogAnswer(FolderDialogAnswer answer)
{
    FolderAnswerHook() = std::move(answer);
}

int ShowMessageDialog(const QString& message, const QString& caption, MessageKind kind, int buttons,
                      const QString& objectName)
{
    if (const MessageDialogAnswer& hook = MessageAnswerHook()) {
        const MessageDialogRequest request{
            message, caption.isEmpty() ? QString::fromUtf8(ApplicationTitle) : caption, objectName,
            kind, buttons};
        if (const std::optional<int> answer = hook(request))
            return *answer;
    }
    MessageDialog dialog(message, caption, kind, buttons, objectName);
    return dialog.exec();
}

bool ConfirmDialog(const QString& message, const QString& caption)
{
    return ShowMessageDialog(message, caption, MessageKind::Confirmation, mbOK | mbCancel) == mrOk;
}

int ErrorDialog(const QString& message, const QString& caption)
{
    return ShowMessageDialog(message, caption, MessageKind::Error, mbOK);
}

void ShowNotice(const QString& message)
{
    ShowMessageDialog(message, QString::fromUtf8(ApplicationTitle), MessageKind::Custom, mbOK);
}

void ShowStartNotices()
{
    if (const std::string notice = WinePrefix::InUseNotice(); !notice.empty())
        ShowNotice(QString::fromStdString(notice));
}

namespace
{

// Qt's file dialog keeps a history in its own settings file in the user's configuration folder
// and writes it whenever a dialog is destroyed. The program keeps no such history: the
// settings are sent where nothing can be created (a path below a device file), so no file is
// written and none is read.
void KeepFileDialogSettingsAway()
{
#ifndef _WIN32
    for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        for (const QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope})
            QSettings::setPath(format, scope, QStringLiteral("/dev/null"));
#endif
}

QString NativeOf(const QString& windowsPath)
{
    return QString::fromStdString(FileSystem::NativePath(windowsPath.toStdString()));
}

} // namespace

QFileDialog* NewFileDialog(QWidget* owner, const QString& objectName, const QString& title)
{
    KeepFileDialogSettingsAway();
    auto* dialog = new QFileDialog(owner);
    dialog->setObjectName(objectName);
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setWindowTitle(title);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    return dialog;
}

void PresetFileDialog(QFileDialog& dialog, const QString& windowsPath)
{
    const QString native = windowsPath.isEmpty() ? QString() : NativeOf(windowsPath);
    if (!QDir::isAbsolutePath(native)) {
        dialog.selectFile(windowsPath);
        return;
    }
    const QFileInfo target(native);
    if (target.isDir()) {
        dialog.setDirectory(native);
        dialog.selectFile(QString());
        return;
    }
    if (target.dir().exists()) {
        dialog.setDirectory(target.absolutePath());
        dialog.selectFile(target.fileName());
    } else {
        dialog.selectFile(windowsPath);
    }
}

bool ExecFileDialog(QFileDialog& dialog)
{
    const bool accepted = dialog.exec() == QDialog::Accepted;
    // The completion list of the file name is a window of its own; it would outlive the dialog
    // on screen until its next update.
    for (QCompleter* completer : dialog.findChildren<QCompleter*>())
        if (completer->popup())
            completer->popup()->hide();
    return accepted && !dialog.selectedFiles().isEmpty();
}

QString ChosenPath(const QString& native)
{
    if (native.isEmpty())
        return native;
    return QDir::toNativeSeparators(
        QString::fromStdString(FileSystem::WindowsPath(QDir::cleanPath(native).toStdString())));
}

QString ChooseFolder(QWidget* owner, const QString& title, const QString& start)
{
    if (const FolderDialogAnswer& hook = FolderAnswerHook())
        if (const std::optional<QString> answer = hook(title, start))
            return ChosenPath(*answer);
    KeepFileDialogSettingsAway();
    QFileDialog dialog(owner);
    dialog.setObjectName(QStringLiteral("FolderDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setWindowTitle(title);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    const QString native = start.isEmpty() ? QString() : NativeOf(start);
    if (QDir::isAbsolutePath(native) && QFileInfo(native).isDir())
        dialog.setDirectory(native);
    if (!ExecFileDialog(dialog))
        return QString();
    return ChosenPath(dialog.selectedFiles().first());
}
