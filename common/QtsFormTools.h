// The dialogs both windows share: message dialogs with a chosen kind and buttons, the two fixed
// forms of it (confirmation, error), the plain notice and the folder browser.
#pragma once

#include <QString>
#include <functional>
#include <optional>

class QFileDialog;
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
// ApplicationTitle. Paragraphs wrap at a readable width, and the dialog is at least as wide as
// its caption needs in a title bar.
int ShowMessageDialog(const QString& message, const QString& caption, MessageKind kind, int buttons,
                      const QString& objectName = QStringLiteral("MessageDialog"));
bool ConfirmDialog(const QString& message, const QString& caption);
int ErrorDialog(const QString& message, const QString& caption);
void ShowNotice(const QString& message);
// What a window shows as it starts, before it reads the registry: the notice that the Wine
// prefix is in use (WinePrefix::InUseNotice), when it is.
void ShowStartNotices();
// Qt's folder dialog with the title, opened in `start` (a Windows path, through the drive table)
// when that folder exists; the chosen folder as ChosenPath gives it, empty on cancel.
QString ChooseFolder(QWidget* owner, const QString& title, const QString& start = QString());

// File dialogs speak Windows paths, as every other path of the program does.
// A file-open dialog of Qt's own (alike on every system, answerable like any modal window),
// owned by `owner`. Building one costs time: the windows make theirs when first needed.
QFileDialog* NewFileDialog(QWidget* owner, const QString& objectName, const QString& title);
// Opens the dialog at a Windows path: in the folder it names through the drive table, with its
// file name selected. A path that names no place on a drive is given as the file name itself.
void PresetFileDialog(QFileDialog& dialog, const QString& windowsPath);
// Shows the dialog modally; its file-name completion closes with it.
bool ExecFileDialog(QFileDialog& dialog);
// What a dialog chose, as the windows show it: inside a mapped drive the Windows path on that
// drive ("C:\db\x.mdb"), elsewhere the native path.
QString ChosenPath(const QString& native);

// Test hooks: a test answers the next dialogs in place of the user, without showing them. Each
// hook is asked before its dialog is shown; an answer stands for the user's choice, no answer
// (std::nullopt) shows the dialog as usual. An empty function removes the hook. Only tests set
// them: they are the program's one piece of global mutable state.
struct MessageDialogRequest {
    QString message;
    QString caption; // as the title bar would show it
    QString objectName;
    MessageKind kind;
    int buttons;
};
// The answer is the result of the button the user would press.
using MessageDialogAnswer = std::function<std::optional<int>(const MessageDialogRequest&)>;
void SetMessageDialogAnswer(MessageDialogAnswer answer);
// The answer is the folder the user would choose, as the dialog gives it (a native path; empty
// for Cancel); ChooseFolder returns it as it returns a chosen one.
using FolderDialogAnswer =
    std::function<std::optional<QString>(const QString& title, const QString& start)>;
void SetFolderDialogAnswer(FolderDialogAnswer answer);
