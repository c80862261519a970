// The shared dialogs, answered through the real modal dialogs as a person would: Enter, Escape,
// the close box or a click on one button.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

#include "QtsFormTools.h"

namespace
{

// What the person saw in the dialog before answering it.
struct Seen {
    QString title;
    QString text;
    std::optional<QImage> icon;
    QStringList buttons; // captions, left to right
    QString defaultButton;
};

using Answer = std::function<void(QWidget*)>;

const Answer Enter = [](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Return); };
const Answer Escape = [](QWidget* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); };
const Answer CloseBox = [](QWidget* dialog) { dialog->close(); };

Answer Click(const QString& caption)
{
    return [caption](QWidget* dialog) {
        for (QPushButton* button : dialog->findChildren<QPushButton*>())
            if (button->text() == caption)
                return QTest::mouseClick(button, Qt::LeftButton);
        ADD_FAILURE() << "no button " << caption.toStdString();
        dialog->close();
    };
}

// Runs `show`, answering the modal dialog it opens with `answer`; `seen` gets what it showed.
template <class Show> auto Answered(const Answer& answer, Seen& seen, Show&& show)
{
    QTimer timer;
    bool answered = false;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (!dialog || !dialog->isVisible())
            return;
        timer.stop();
        answered = true;
        seen.title = dialog->windowTitle();
        if (auto* text = dialog->findChild<QLabel*>("MessageText"))
            seen.text = text->text();
        if (auto* icon = dialog->findChild<QLabel*>("MessageIcon"))
            seen.icon = icon->pixmap().toImage();
        QList<QPushButton*> buttons = dialog->findChildren<QPushButton*>();
        std::sort(buttons.begin(), buttons.end(), [](QPushButton* a, QPushButton* b) {
            return a->mapToGlobal(QPoint()).x() < b->mapToGlobal(QPoint()).x();
        });
        for (QPushButton* button : buttons) {
            seen.buttons << button->text();
            if (button->isDefault())
                seen.defaultButton = button->text();
        }
        answer(dialog);
    });
    timer.start(10);
    const auto result = show();
    EXPECT_TRUE(answered);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    return result;
}

QImage StandardIcon(QStyle::StandardPixmap which)
{
    QStyle* style = QApplication::style();
    const int size = style->pixelMetric(QStyle::PM_MessageBoxIconSize);
    return style->standardIcon(which).pixmap(size, size).toImage();
}

const QString Title = "QTS Configuration Utility";

} // namespace

TEST(MessageDialogs, ConfirmErrorAndNoticeShowTheirIconButtonsCaptionAndPlainText)
{
    const QString message = "<b>Delphi 3</b> does not seem to be installed properly.";
    const QImage question = StandardIcon(QStyle::SP_MessageBoxQuestion);
    const QImage stop = StandardIcon(QStyle::SP_MessageBoxCritical);
    const QStringList okCancel = {"OK", "Cancel"};
    struct Case {
        std::function<int()> show;
        Answer answer;
        int result;
        QString title;
        QStringList buttons;
        std::optional<QImage> icon;
    };
    const Case cases[] = {
        {[&] { return int(ConfirmDialog(message, "")); }, Enter, 1, Title, okCancel, question},
        {[&] { return int(ConfirmDialog(message, "Own")); }, Escape, 0, "Own", okCancel, question},
        {[&] { return int(ConfirmDialog(message, "")); }, CloseBox, 0, Title, okCancel, question},
        {[&] { return ErrorDialog(message, "Design tools"); },
         Enter,
         mrOk,
         "Design tools",
         {"OK"},
         stop},
        {[&] { return ErrorDialog(message, "Design tools"); },
         Escape,
         mrOk,
         "Design tools",
         {"OK"},
         stop},
        {[&] { return ErrorDialog(message, ""); }, CloseBox, mrOk, Title, {"OK"}, stop},
        {[&] { return (ShowNotice(message), 0); }, Escape, 0, Title, {"OK"}, std::nullopt},
    };
    int row = 0;
    for (const Case& c : cases) {
        Seen seen;
        EXPECT_EQ(Answered(c.answer, seen, c.show), c.result) << row;
        EXPECT_EQ(seen.title, c.title) << row;
        EXPECT_EQ(seen.text, message) << row;
        EXPECT_EQ(seen.buttons, c.buttons) << row;
        EXPECT_EQ(seen.defaultButton, "OK") << row;
        EXPECT_EQ(seen.icon, c.icon) << row;
        ++row;
    }
}

TEST(MessageDialogs, ButtonsKeepTheirOrderCaptionsAndResultsAndFallBackInTurn)
{
    const int all = mbYes | mbNo | mbOK | mbCancel;
    struct Case {
        int buttons;
        Answer answer;
        int result;
    };
    const Case cases[] = {
        {all, Click("&Yes"), 6},
        {all, Click("&No"), 7},
        {all, Click("OK"), 1},
        {all, Click("Cancel"), 2},
        {all, Enter, mrOk},
        {all, Escape, mrCancel},
        {all, CloseBox, mrCancel},
        {mbYes | mbNo, Enter, mrYes},
        {mbYes | mbNo, Escape, mrNo},
        {mbYes | mbNo, CloseBox, mrNo},
        {mbYes | mbNo | mbOK, Escape, mrNo},
        {mbYes | mbNo | mbOK, Enter, mrOk},
        {mbOK, CloseBox, mrOk},
        {mbYes | mbCancel, Escape, mrCancel},
        {mbYes | mbCancel, Enter, mrYes},
    };
    for (const Case& c : cases) {
        Seen seen;
        EXPECT_EQ(
            Answered(c.answer, seen,
                     [&] { return ShowMessageDialog("?", "", MessageKind::Custom, c.buttons); }),
            c.result)
            << c.buttons;
    }
    Seen seen;
    Answered(Enter, seen, [] {
        return ShowMessageDialog("?", "", MessageKind::Custom, mbCancel | mbYes | mbOK | mbNo);
    });
    EXPECT_EQ(seen.buttons, QStringList({"&Yes", "&No", "OK", "Cancel"}));
    Answered(Enter, seen, [] { return ShowMessageDialog("?", "", MessageKind::Custom, mbYes); });
    EXPECT_EQ(seen.defaultButton, "&Yes");
}

TEST(MessageDialogs, EachKindShowsItsOwnIcon)
{
    const std::pair<MessageKind, QStyle::StandardPixmap> kinds[] = {
        {MessageKind::Warning, QStyle::SP_MessageBoxWarning},
        {MessageKind::Error, QStyle::SP_MessageBoxCritical},
        {MessageKind::Information, QStyle::SP_MessageBoxInformation},
        {MessageKind::Confirmation, QStyle::SP_MessageBoxQuestion},
    };
    QList<QImage> shown;
    for (const auto& [kind, icon] : kinds) {
        Seen seen;
        Answered(Enter, seen, [kind = kind] { return ShowMessageDialog("?", "", kind, mbOK); });
        EXPECT_EQ(seen.icon, StandardIcon(icon));
        shown << seen.icon.value_or(QImage());
    }
    // The four icons are told apart, so a kind mapped to the wrong icon would show.
    for (int i = 0; i < shown.size(); ++i)
        EXPECT_EQ(shown.count(shown[i]), 1) << i;
}

TEST(ChooseFolderTest, CancelGivesEmptyAndChoosingGivesTheFolder)
{
    QTemporaryDir folder;
    Seen seen;
    EXPECT_EQ(Answered(Escape, seen, [] { return ChooseFolder(nullptr, "Pick the folder"); }),
              QString());
    EXPECT_EQ(seen.title, "Pick the folder");
    const Answer choose = [&folder](QWidget* dialog) {
        auto* files = qobject_cast<QFileDialog*>(dialog);
        ASSERT_NE(files, nullptr);
        files->setDirectory(folder.path());
        static_cast<QDialog*>(files)->accept(); // the dialog's own Choose button
    };
    EXPECT_EQ(Answered(choose, seen, [] { return ChooseFolder(nullptr, "Pick"); }),
              QDir::toNativeSeparators(folder.path()));
}
