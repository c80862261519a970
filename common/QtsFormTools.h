// The dialogs both windows share: message dialogs with a chosen kind and buttons, the two fixed
// forms of it (confirmation, error), the plain notice and the folder browser.
#pragma once

#include <QString>

class QWidget;

// The application's title: caption of every message box that has none of its own.
extern const char* const ApplicationTitle; // "QTS Configuration Utility"

enum class MessageKind { Warning, Error, Information, Confirmation, Custom };

// Buttons and the results they give when pressed.
enum MessageButton : int { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8 };
enum MessageResult : int { mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

int ShowMessageDialog(const QString& message, const QString& caption, MessageKind kind,
                      int buttons);
bool ConfirmDialog(const QString& message, const QString& caption);
int ErrorDialog(const QString& message, const QString& caption);
void ShowNotice(const QString& message);
QString ChooseFolder(QWidget* owner, const QString& title);
