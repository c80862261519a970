#include "QtsGuard.h"

#include <QMessageBox>

#include "QtsFormTools.h"

std::string ErrorBoxText(const std::string& message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        return message + ".";
    return message;
}

void ShowErrorBox(const std::string& message)
{
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(ApplicationTitle),
                    QString::fromStdString(ErrorBoxText(message)), QMessageBox::Ok);
    // The message is shown as it is: a name or path with "<" in it is not markup.
    box.setTextFormat(Qt::PlainText);
    box.setObjectName("ErrorBox");
    box.exec();
}
