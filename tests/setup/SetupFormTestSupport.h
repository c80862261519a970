// Shared pieces of the setup window tests: a machine with the engine and the environments
// installed, the window over it, and a watcher that answers every modal dialog the window shows.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "InstalledEnvironments.h"
#include "QtsFormTools.h"
#include "QtsWidgets.h"
#include "SetupForm.h"
#include "TestEnvironment.h"

// Answers modal dialogs as they appear: each is recorded, then handed to the next scripted
// action, or rejected when the script is used up (so an unexpected dialog never hangs a test and
// shows up in `seen`).
class DialogWatcher : public QObject
{
public:
    struct Seen {
        std::string title, text;
    };
    using Action = std::function<void(QWidget&)>;
    std::vector<Seen> seen;
    std::deque<Action> script;

    // Answers for the next message dialogs (the result of a button, computed when the dialog
    // comes up) and folder choices (the folder chosen, native; empty for Cancel), given without
    // showing the dialog and recorded in `seen` as a shown one is.
    std::deque<std::function<int()>> nextAnswers;
    std::deque<QString> nextFolders;

    DialogWatcher()
    {
        connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
        timer_.start(10);
        SetMessageDialogAnswer([this](const MessageDialogRequest& request) -> std::optional<int> {
            if (nextAnswers.empty())
                return std::nullopt;
            seen.push_back({request.caption.toStdString(), request.message.toStdString()});
            const std::function<int()> answer = nextAnswers.front();
            nextAnswers.pop_front();
            return answer();
        });
        SetFolderDialogAnswer(
            [this](const QString& title, const QString&) -> std::optional<QString> {
                if (nextFolders.empty())
                    return std::nullopt;
                seen.push_back({title.toStdString(), std::string()});
                const QString folder = nextFolders.front();
                nextFolders.pop_front();
                return folder;
            });
    }

    ~DialogWatcher() override
    {
        SetMessageDialogAnswer(nullptr);
        SetFolderDialogAnswer(nullptr);
    }

    // Answers the next message dialog with `result`.
    void AnswerNext(int result)
    {
        nextAnswers.push_back([result] { return result; });
    }

private:
    void Poll()
    {
        auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!modal || !modal->isVisible() || modal == answering_)
            return;
        // The file dialogs are kept and shown again: each showing is a dialog of its own.
        answering_ = modal;
        connect(
            modal, &QDialog::finished, this, [this] { answering_ = nullptr; },
            Qt::SingleShotConnection);
        const auto* label = modal->findChild<QLabel*>("MessageText");
        QString text = label ? label->text() : QString();
        if (const auto* box = qobject_cast<QMessageBox*>(modal))
            text = box->text();
        seen.push_back({modal->windowTitle().toStdString(), text.toStdString()});
        if (script.empty())
            return modal->reject();
        const Action action = script.front();
        script.pop_front();
        action(*modal);
    }

    QTimer timer_;
    QPointer<QDialog> answering_;
};

class SetupWindowTest : public testing::Test
{
protected:
    TestEnvironment environment;
    std::optional<InstalledEnvironments> machine;
    DialogWatcher dialogs;
    std::unique_ptr<TFormSetup> form;

    // Seeds the machine (once), remembers an environment text when one is given, and opens a
    // new window.
    TFormSetup& Open(const char* remembered = nullptr, const MachineSetup& setup = {})
    {
        if (!machine)
            machine.emplace(environment, setup);
        if (remembered)
            InstalledEnvironments::WriteValue(false, InstalledEnvironments::EngineKey(),
                                              "LastEnvironment", remembered);
        // The window's font as the program sets it.
        UseDialogFont(QFontDatabase::systemFont(QFontDatabase::GeneralFont));
        form = std::make_unique<TFormSetup>();
        return *form;
    }
    static std::string Remembered()
    {
        return InstalledEnvironments::ReadValue(false, InstalledEnvironments::EngineKey(),
                                                "LastEnvironment");
    }
};

inline std::string TextOf(const QLineEdit* edit)
{
    return edit->text().toStdString();
}

inline std::string Caption(const TFormSetup& form)
{
    return form.BtnNext->text().toStdString();
}

// The lines as the field shows them (a final line break shows an empty last line).
inline std::vector<std::string> LinesOf(const QPlainTextEdit* memo)
{
    std::vector<std::string> lines;
    const QString text = memo->toPlainText();
    if (!text.isEmpty())
        for (const QString& line : text.split(QLatin1Char('\n')))
            lines.push_back(line.toStdString());
    return lines;
}

inline std::vector<std::string> VisibleTabs(const TFormSetup& form)
{
    std::vector<std::string> tabs;
    for (int index = 0; index < form.Pages->count(); ++index)
        if (form.Pages->isTabVisible(index))
            tabs.push_back(form.Pages->tabText(index).toStdString());
    return tabs;
}
