#include "QtsGuard.h"

#include "QtsFormTools.h"

std::string ErrorBoxText(const std::string& message)
{
    if (!message.empty() && static_cast<unsigned char>(message.back()) > '.')
        return message + ".";
    return message;
}

void ShowErrorBox(const std::string& message)
{
    // The application's message dialog, so that the error box is sized like every other one.
    // The message is shown as it is: a name or path with "<" in it is not markup.
    ShowMessageDialog(QString::fromStdString(ErrorBoxText(message)),
                      QString::fromUtf8(ApplicationTitle), MessageKind::Error, mbOK,
                      QStringLiteral("ErrorBox"));
}
