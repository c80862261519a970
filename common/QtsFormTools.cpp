#include "QtsFormTools.h"

#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

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

// A message dialog whose buttons keep their captions and their order on every desktop (a
// platform button box would reorder and relabel them). Its result is the pressed button's.
class MessageDialog : public QDialog
{
public:
    MessageDialog(const QString& message, const QString& caption, MessageKind kind, int buttons)
        : cancelResult_(CancelResult(buttons))
    {
        setObjectName("MessageDialog");
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

} // namespace

int ShowMessageDialog(const QString& message, const QString& caption, MessageKind kind, int buttons)
{
    MessageDialog dialog(message, caption, kind, buttons);
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

QString ChooseFolder(QWidget* owner, const QString& title)
{
    const QString folder =
        QFileDialog::getExistingDirectory(owner, title, QString(), QFileDialog::ShowDirsOnly);
    return QDir::toNativeSeparators(folder);
}
