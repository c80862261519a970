// Drives the alias window over a private registry store: seeds aliases, opens the window,
// works its controls as a user would, answers its modal dialogs and reads back what was stored.
#pragma once

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <deque>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "AliasListing.h"
#include "AliasStore.h"
#include "AliasValueNames.h"
#include "ConfigForm.h"
#include "QtsFormTools.h"
#include "QtsWidgets.h"
#include "TRegistry.h"
#include "TestEnvironment.h"

using Values = std::vector<std::pair<std::string, std::string>>;

class AliasWindowTest : public ::testing::Test
{
protected:
    AliasWindowTest()
    {
        // The window's font as the program sets it.
        UseDialogFont(ClassicDialogFont());
        // Message dialogs with a queued answer (AnswerNext) are answered without being shown.
        SetMessageDialogAnswer([this](const MessageDialogRequest& request) -> std::optional<int> {
            if (nextAnswers_.empty())
                return std::nullopt;
            modals.push_back({request.objectName, request.caption, request.message});
            const int answer = nextAnswers_.front();
            nextAnswers_.pop_front();
            return answer;
        });
    }

    void TearDown() override
    {
        SetMessageDialogAnswer(nullptr);
        modalTimer_.stop();
        form.reset();
    }

    static std::string AliasKey(const std::string& name)
    {
        return std::string(AliasesKeyPath) + "\\" + name;
    }

    // Opens (or, with `create`, creates) an alias key, by default of the machine-wide scope.
    static bool OpenAlias(TRegistry& registry, const std::string& name, bool create = false,
                          RegistryRoot root = RegistryRoot::LocalMachine)
    {
        registry.SelectRoot(root);
        return registry.OpenKeyPath(AliasKey(name), create);
    }

    void Seed(const std::string& name, const Values& values,
              RegistryRoot root = RegistryRoot::LocalMachine)
    {
        TRegistry registry;
        ASSERT_TRUE(OpenAlias(registry, name, true, root));
        for (const auto& [value, text] : values)
            registry.WriteText(value, text);
    }

    bool KeyExists(const std::string& name)
    {
        TRegistry registry;
        return OpenAlias(registry, name);
    }

    // The stored text of one value of an alias; nothing when the value or the key is absent.
    std::optional<std::string> Stored(const std::string& name, const std::string& value)
    {
        TRegistry registry;
        if (!OpenAlias(registry, name) || !registry.HasValue(value))
            return std::nullopt;
        return registry.ReadText(value);
    }

    // The alias's stored values among the 18 of an alias, "name=text" joined by "; ".
    std::string StoredAlias(const std::string& name)
    {
        std::string all;
        for (const std::string& value : AliasValueNamesInLoadOrder())
            if (const auto text = Stored(name, value))
                all += (all.empty() ? "" : "; ") + value + "=" + *text;
        return all;
    }

    // The object names of the checked boxes of the pane, in the order of the option controls.
    QString Checked() const
    {
        QStringList checked;
        for (const QWidget* control : form->OptionControls())
            if (auto* box = qobject_cast<const QCheckBox*>(control); box && box->isChecked())
                checked << box->objectName();
        return checked.join(' ');
    }

    // Opens the window; with `firstListing`, as the program does, on aliases being listed already.
    TFormConfig& OpenWindow(std::unique_ptr<AliasListing> firstListing = nullptr)
    {
        form = firstListing ? std::make_unique<TFormConfig>(std::move(firstListing))
                            : std::make_unique<TFormConfig>();
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        return *form;
    }

    QStringList Names() const
    {
        QStringList names;
        for (int i = 0; i < form->LstAliases->topLevelItemCount(); ++i)
            names << form->LstAliases->topLevelItem(i)->text(0);
        return names;
    }

    QTreeWidgetItem* Item(const QString& name) const
    {
        const auto found = form->LstAliases->findItems(name, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.first();
    }

    QTreeWidgetItem* SelectedItem() const
    {
        const auto selected = form->LstAliases->selectedItems();
        return selected.isEmpty() ? nullptr : selected.first();
    }

    // A click on the alias's name in the list.
    void Select(const QString& name)
    {
        QTreeWidgetItem* item = Item(name);
        ASSERT_NE(item, nullptr) << name.toStdString();
        QTest::mouseClick(form->LstAliases->viewport(), Qt::LeftButton, Qt::NoModifier,
                          form->LstAliases->visualItemRect(item).topLeft() + QPoint(10, 4));
        // Keep the next click on the list from counting as a double click.
        QTest::qWait(QApplication::doubleClickInterval() + 20);
    }

    // Opens the list's pop-up menu with a right click, as the user does.
    void OpenMenu()
    {
        const QPoint at(20, 200);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at,
                                form->LstAliases->viewport()->mapToGlobal(at));
        QApplication::sendEvent(form->LstAliases->viewport(), &event);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form->Menu));
    }

    void ChooseFromMenu(QAction* action)
    {
        ASSERT_NO_FATAL_FAILURE(OpenMenu());
        ASSERT_TRUE(action->isEnabled()) << action->text().toStdString();
        QTest::mouseClick(form->Menu, Qt::LeftButton, Qt::NoModifier,
                          form->Menu->actionGeometry(action).center());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Menu->isVisible(); }));
    }

    // The in-place editor of an alias name, while one is open.
    QLineEdit* NameEditor() const
    {
        auto* editor = form->LstAliases->viewport()->findChild<QLineEdit*>();
        return editor && editor->isVisible() ? editor : nullptr;
    }

    // Types a name into the open in-place editor and ends the edit with Enter or Esc.
    void FinishNameEdit(const QString& text, Qt::Key key)
    {
        ASSERT_TRUE(QTest::qWaitFor([&] { return NameEditor() != nullptr; }));
        QLineEdit* editor = NameEditor();
        editor->selectAll();
        QTest::keyClick(editor, Qt::Key_Delete);
        QTest::keyClicks(editor, text);
        QTest::keyClick(editor, key);
        ASSERT_TRUE(QTest::qWaitFor([&] { return NameEditor() == nullptr; }));
    }

    void ShowPageOf(QWidget* control)
    {
        for (int i = 0; i < form->Pages->count(); ++i)
            if (form->Pages->widget(i)->isAncestorOf(control))
                form->Pages->setCurrentIndex(i);
    }

    // Replaces an edit's text by typing.
    void Type(QLineEdit* edit, const QString& text)
    {
        ShowPageOf(edit);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }

    void Toggle(QCheckBox* box)
    {
        ShowPageOf(box);
        QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(6, box->height() / 2));
    }

    void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    // What a modal dialog showed before it was answered.
    struct Modal {
        QString name, title, text;
    };

    // Answers the next modal dialog that opens with `answer`, recording it in `modals`.
    void AnswerModal(std::function<void(QWidget&)> answer)
    {
        modalAnswer_ = std::move(answer);
        QObject::disconnect(&modalTimer_, nullptr, nullptr, nullptr);
        QObject::connect(&modalTimer_, &QTimer::timeout, [this] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog)
                return;
            modalTimer_.stop();
            auto* box = qobject_cast<QMessageBox*>(dialog);
            auto* label = dialog->findChild<QLabel*>("MessageText");
            modals.push_back({dialog->objectName(), dialog->windowTitle(),
                              box     ? box->text()
                              : label ? label->text()
                                      : QString()});
            modalAnswer_(*dialog);
            // An answer that failed, or keys that went elsewhere, must not leave the window
            // waiting for the dialog until the test is killed.
            QTimer::singleShot(15000, dialog, [dialog] {
                if (!dialog->isVisible())
                    return;
                ADD_FAILURE() << "the dialog \"" << dialog->windowTitle().toStdString()
                              << "\" was still open 15 s after it was answered";
                if (auto* modal = qobject_cast<QDialog*>(dialog))
                    modal->reject();
                else
                    dialog->close();
            });
        });
        modalTimer_.start(10);
    }

    // Answers the next message dialog with the result of one of its buttons, without showing it;
    // it is recorded in `modals` as a shown one is.
    void AnswerNext(int result) { nextAnswers_.push_back(result); }

    // Answers with a key: Enter presses the default button, Escape the cancel button.
    void AnswerModalWith(Qt::Key key)
    {
        AnswerModal([key](QWidget& dialog) { QTest::keyClick(&dialog, key); });
    }

    TestEnvironment environment;
    std::unique_ptr<TFormConfig> form;
    std::vector<Modal> modals;

private:
    QTimer modalTimer_;
    std::function<void(QWidget&)> modalAnswer_;
    std::deque<int> nextAnswers_;
};

inline void PrintTo(const QRect& r, std::ostream* out)
{
    *out << r.x() << ", " << r.y() << ", " << r.width() << " x " << r.height();
}

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
