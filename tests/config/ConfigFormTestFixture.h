// Drives the alias window over a private registry store: seeds aliases, opens the window,
// works its controls as a user would, answers its modal dialogs and reads back what was stored.
#pragma once

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "AliasStore.h"
#include "ConfigForm.h"
#include "TRegistry.h"
#include "TestEnvironment.h"

using Values = std::vector<std::pair<std::string, std::string>>;

class AliasWindowTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        modalTimer_.stop();
        form.reset();
    }

    static RegistryRoot RootOf(AliasScope scope)
    {
        return scope == AliasScope::Global ? RegistryRoot::LocalMachine : RegistryRoot::CurrentUser;
    }
    static std::string AliasKey(const std::string& name)
    {
        return std::string(AliasesKeyPath) + "\\" + name;
    }

    // Stores an alias key with the given text values.
    void Seed(const std::string& name, const Values& values, AliasScope scope = AliasScope::Global)
    {
        TRegistry registry;
        registry.SelectRoot(RootOf(scope));
        ASSERT_TRUE(registry.OpenKeyPath(AliasKey(name), true));
        for (const auto& [value, text] : values)
            registry.WriteText(value, text);
    }

    bool KeyExists(const std::string& name, AliasScope scope = AliasScope::Global)
    {
        TRegistry registry;
        registry.SelectRoot(RootOf(scope));
        return registry.OpenKeyPath(AliasKey(name), false);
    }

    // The stored text of one value of an alias; nothing when the value or the key is absent.
    std::optional<std::string> Stored(const std::string& name, const std::string& value,
                                      AliasScope scope = AliasScope::Global)
    {
        TRegistry registry;
        registry.SelectRoot(RootOf(scope));
        if (!registry.OpenKeyPath(AliasKey(name), false) || !registry.HasValue(value))
            return std::nullopt;
        return registry.ReadText(value);
    }

    std::optional<int> StoredPlacement(const char* value)
    {
        TRegistry registry;
        registry.SelectRoot(RegistryRoot::CurrentUser);
        if (!registry.OpenKeyPath(PlacementKeyPath, false) || !registry.HasValue(value))
            return std::nullopt;
        return registry.ReadNumber(value);
    }

    void StorePlacement(const char* value, int number)
    {
        TRegistry registry;
        registry.SelectRoot(RegistryRoot::CurrentUser);
        ASSERT_TRUE(registry.OpenKeyPath(PlacementKeyPath, true));
        registry.WriteNumber(value, number);
    }

    TFormConfig& OpenWindow()
    {
        form = std::make_unique<TFormConfig>();
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
        for (int i = 0; i < form->LstAliases->topLevelItemCount(); ++i)
            if (form->LstAliases->topLevelItem(i)->text(0) == name)
                return form->LstAliases->topLevelItem(i);
        return nullptr;
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
        const QRect rect = form->LstAliases->visualItemRect(item);
        QTest::mouseClick(form->LstAliases->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(rect.left() + 10, rect.center().y()));
        // Keep the next click on the list from counting as a double click.
        QTest::qWait(QApplication::doubleClickInterval() + 20);
    }

    // Opens the list's pop-up menu with a right click, as the user does.
    void OpenMenu(const QPoint& at = QPoint(20, 200))
    {
        QContextMenuEvent event(QContextMenuEvent::Mouse, at,
                                form->LstAliases->viewport()->mapToGlobal(at));
        QApplication::sendEvent(form->LstAliases->viewport(), &event);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form->Menu));
    }

    void ChooseFromMenu(QAction* action)
    {
        OpenMenu();
        if (HasFatalFailure())
            return;
        ASSERT_TRUE(action->isEnabled()) << action->text().toStdString();
        QTest::mouseClick(form->Menu, Qt::LeftButton, Qt::NoModifier,
                          form->Menu->actionGeometry(action).center());
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Menu->isVisible(); }));
    }

    // The in-place editor of an alias name, while one is open.
    QLineEdit* NameEditor() const { return form->LstAliases->viewport()->findChild<QLineEdit*>(); }

    // Types a name into the open in-place editor and ends the edit with Enter or Esc.
    void FinishNameEdit(const QString& text, Qt::Key key)
    {
        QLineEdit* editor = nullptr;
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return (editor = NameEditor()) && editor->isVisible(); }));
        editor->selectAll();
        if (!text.isEmpty())
            QTest::keyClicks(editor, text);
        else
            QTest::keyClick(editor, Qt::Key_Delete);
        QTest::keyClick(editor, key);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !NameEditor() || !NameEditor()->isVisible(); }));
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
        if (text.isEmpty())
            QTest::keyClick(edit, Qt::Key_Delete);
        else
            QTest::keyClicks(edit, text);
    }

    void Toggle(QCheckBox* box)
    {
        ShowPageOf(box);
        QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, QPoint(6, box->height() / 2));
    }

    void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    // Answers the next modal dialog that opens with `answer`, remembering its title and text.
    void AnswerModal(std::function<void(QWidget&)> answer)
    {
        modalAnswer_ = std::move(answer);
        modalTimer_.setInterval(10);
        QObject::disconnect(&modalTimer_, nullptr, nullptr, nullptr);
        QObject::connect(&modalTimer_, &QTimer::timeout, [this] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog)
                return;
            modalTimer_.stop();
            modalTitles.push_back(dialog->windowTitle());
            modalNames.push_back(dialog->objectName());
            modalAnswer_(*dialog);
        });
        modalTimer_.start();
    }

    // Presses the dialog button with the given object name ("BtnOK", "BtnCancel").
    static std::function<void(QWidget&)> Press(const char* buttonName, QString* text = nullptr)
    {
        return [buttonName, text](QWidget& dialog) {
            if (text)
                *text = DialogText(dialog);
            auto* button = dialog.findChild<QPushButton*>(buttonName);
            ASSERT_NE(button, nullptr) << buttonName;
            button->click();
        };
    }

    // The message of a message dialog or of the error box.
    static QString DialogText(QWidget& dialog)
    {
        if (auto* box = qobject_cast<QMessageBox*>(&dialog))
            return box->text();
        auto* label = dialog.findChild<QLabel*>("MessageText");
        return label ? label->text() : QString();
    }

    // Presses OK in the error box.
    static std::function<void(QWidget&)> AcknowledgeError(QString* text)
    {
        return [text](QWidget& dialog) {
            *text = DialogText(dialog);
            auto* box = qobject_cast<QMessageBox*>(&dialog);
            ASSERT_NE(box, nullptr);
            box->button(QMessageBox::Ok)->click();
        };
    }

    TestEnvironment environment;
    std::unique_ptr<TFormConfig> form;
    std::vector<QString> modalTitles;
    std::vector<QString> modalNames;

private:
    QTimer modalTimer_;
    std::function<void(QWidget&)> modalAnswer_;
};
