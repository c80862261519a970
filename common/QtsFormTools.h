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

// A modal message dialog (object name "MessageDialog") with the text in the label "MessageText",
// the kind's icon in the label "MessageIcon" (none for Custom) and the chosen buttons, always
// left to right Yes, No, OK, Cancel ("BtnYes", "BtnNo", "BtnOK", "BtnCancel"). Enter presses OK,
// else Yes; Escape and the close box press Cancel, else No, else OK. An empty caption shows
// ApplicationTitle.
int ShowMessageDialog(const QString& message, const QString& caption, MessageKind kind,
                      int buttons);
bool ConfirmDialog(const QString& message, const QString& caption);
int ErrorDialog(const QString& message, const QString& caption);
void ShowNotice(const QString& message);
// Qt's folder dialog with the title; the chosen folder in native separators, empty on cancel.
QString ChooseFolder(QWidget* owner, const QString& title);
