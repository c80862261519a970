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

#include "QtsFormTools.h"

namespace
{

// What the person saw in the dialog before answering it.
struct Seen {
    QString title;
    QString text;
    bool hasIcon = false;
    QImage icon;
    QStringList buttons; // captions, left to right
    QString defaultButton;
};

Seen Look(QWidget* dialog)
{
    Seen seen;
    seen.title = dialog->windowTitle();
    if (auto* text = dialog->findChild<QLabel*>("MessageText"))
        seen.text = text->text();
    if (auto* icon = dialog->findChild<QLabel*>("MessageIcon")) {
        seen.hasIcon = true;
        seen.icon = icon->pixmap().toImage();
    }
    QList<QPushButton*> buttons = dialog->findChildren<QPushButton*>();
    std::sort(buttons.begin(), buttons.end(), [dialog](QPushButton* a, QPushButton* b) {
        return a->mapTo(dialog, QPoint()).x() < b->mapTo(dialog, QPoint()).x();
    });
    for (QPushButton* button : buttons) {
        seen.buttons << button->text();
        if (button->isDefault())
            seen.defaultButton = button->text();
    }
    return seen;
}

using Answer = std::function<void(QWidget*)>;

void PressKey(QWidget* dialog, Qt::Key key)
{
    QWidget* target = dialog->focusWidget() ? dialog->focusWidget() : dialog;
    QTest::keyClick(target, key);
}

const Answer Enter = [](QWidget* dialog) { PressKey(dialog, Qt::Key_Return); };
const Answer Escape = [](QWidget* dialog) { PressKey(dialog, Qt::Key_Escape); };
const Answer CloseBox = [](QWidget* dialog) { dialog->close(); };

Answer Click(const QString& caption)
{
    return [caption](QWidget* dialog) {
        for (QPushButton* button : dialog->findChildren<QPushButton*>()) {
            if (button->text() == caption) {
                QTest::mouseClick(button, Qt::LeftButton);
                return;
            }
        }
        ADD_FAILURE() << "no button " << caption.toStdString();
        dialog->close();
    };
}

// Waits for the next modal dialog, records what it shows, then answers it.
class DialogAnswerer
{
public:
    explicit DialogAnswerer(Answer answer) : answer_(std::move(answer))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog || !dialog->isVisible())
                return;
            timer_.stop();
            seen_ = Look(dialog);
            answered_ = true;
            answer_(dialog);
        });
        timer_.start(10);
    }
    bool Answered() const { return answered_; }
    const Seen& What() const { return seen_; }

private:
    Answer answer_;
    QTimer timer_;
    Seen seen_;
    bool answered_ = false;
};

int Show(MessageKind kind, int buttons, const Answer& answer, Seen* seen = nullptr,
         const QString& caption = "Caption")
{
    DialogAnswerer answerer(answer);
    const int result = ShowMessageDialog("The message", caption, kind, buttons);
    EXPECT_TRUE(answerer.Answered());
    if (seen)
        *seen = answerer.What();
    return result;
}

QImage StandardIcon(QStyle::StandardPixmap which)
{
    QStyle* style = QApplication::style();
    const int size = style->pixelMetric(QStyle::PM_MessageBoxIconSize);
    return style->standardIcon(which).pixmap(size, size).toImage();
}

} // namespace

TEST(ConfirmDialogTest, EnterGoesAheadEscapeAndCloseBoxDoNot)
{
    {
        DialogAnswerer answerer(Enter);
        EXPECT_TRUE(ConfirmDialog("Delete the alias?", ""));
        const Seen& seen = answerer.What();
        EXPECT_EQ(seen.title, QString(ApplicationTitle));
        EXPECT_EQ(seen.title, "QTS Configuration Utility");
        EXPECT_EQ(seen.text, "Delete the alias?");
        EXPECT_EQ(seen.buttons, QStringList({"OK", "Cancel"}));
        EXPECT_EQ(seen.defaultButton, "OK");
        EXPECT_EQ(seen.icon, StandardIcon(QStyle::SP_MessageBoxQuestion));
    }
    {
        DialogAnswerer answerer(Escape);
        EXPECT_FALSE(ConfirmDialog("Delete the alias?", "Own caption"));
        EXPECT_EQ(answerer.What().title, "Own caption");
    }
    {
        DialogAnswerer answerer(CloseBox);
        EXPECT_FALSE(ConfirmDialog("Delete the alias?", ""));
    }
}

TEST(ErrorDialogTest, StopSignAndOneOkButtonThatEveryAnswerPresses)
{
    for (const Answer& answer : {Enter, Escape, CloseBox}) {
        DialogAnswerer answerer(answer);
        EXPECT_EQ(ErrorDialog("Could not switch", "Design tools"), mrOk);
        const Seen& seen = answerer.What();
        EXPECT_EQ(seen.title, "Design tools");
        EXPECT_EQ(seen.text, "Could not switch");
        EXPECT_EQ(seen.buttons, QStringList({"OK"}));
        EXPECT_TRUE(seen.hasIcon);
        EXPECT_EQ(seen.icon, StandardIcon(QStyle::SP_MessageBoxCritical));
    }
}

TEST(ShowNoticeTest, PlainTextWithoutIconUnderTheApplicationTitle)
{
    DialogAnswerer answerer(Escape);
    ShowNotice("<b>Delphi 3</b> does not seem to be installed properly.");
    const Seen& seen = answerer.What();
    EXPECT_TRUE(answerer.Answered());
    EXPECT_EQ(seen.title, QString(ApplicationTitle));
    EXPECT_EQ(seen.text, "<b>Delphi 3</b> does not seem to be installed properly.");
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr); // gone once answered
    EXPECT_FALSE(seen.hasIcon);
    EXPECT_EQ(seen.buttons, QStringList({"OK"}));
}

TEST(ShowMessageDialogTest, ButtonsStandInFixedOrderWithTheirOwnCaptionsAndResults)
{
    const int all = mbYes | mbNo | mbOK | mbCancel;
    Seen seen;
    EXPECT_EQ(Show(MessageKind::Custom, all, Enter, &seen), mrOk);
    EXPECT_EQ(seen.buttons, QStringList({"&Yes", "&No", "OK", "Cancel"}));
    EXPECT_EQ(seen.defaultButton, "OK");

    // Given in the reverse order of their numbers, the buttons still stand Yes, No, OK, Cancel.
    EXPECT_EQ(Show(MessageKind::Custom, mbCancel | mbYes | mbOK, Enter, &seen), mrOk);
    EXPECT_EQ(seen.buttons, QStringList({"&Yes", "OK", "Cancel"}));

    EXPECT_EQ(Show(MessageKind::Custom, all, Click("&Yes")), 6);
    EXPECT_EQ(Show(MessageKind::Custom, all, Click("&No")), 7);
    EXPECT_EQ(Show(MessageKind::Custom, all, Click("OK")), 1);
    EXPECT_EQ(Show(MessageKind::Custom, all, Click("Cancel")), 2);
    EXPECT_EQ(Show(MessageKind::Custom, all, Escape), mrCancel);
    EXPECT_EQ(Show(MessageKind::Custom, all, CloseBox), mrCancel);
}

TEST(ShowMessageDialogTest, DefaultAndCancelButtonsFallBackInTurn)
{
    Seen seen;
    EXPECT_EQ(Show(MessageKind::Confirmation, mbYes | mbNo, Enter, &seen), mrYes);
    EXPECT_EQ(seen.defaultButton, "&Yes");
    EXPECT_EQ(Show(MessageKind::Confirmation, mbYes | mbNo, Escape), mrNo);
    EXPECT_EQ(Show(MessageKind::Confirmation, mbYes | mbNo, CloseBox), mrNo);
    EXPECT_EQ(Show(MessageKind::Confirmation, mbYes | mbNo | mbOK, Escape), mrNo);
    EXPECT_EQ(Show(MessageKind::Confirmation, mbYes | mbNo | mbOK, Enter), mrOk);
    EXPECT_EQ(Show(MessageKind::Information, mbOK, CloseBox), mrOk);
    EXPECT_EQ(Show(MessageKind::Information, mbYes | mbCancel, Escape), mrCancel);
    EXPECT_EQ(Show(MessageKind::Information, mbYes | mbCancel, Enter), mrYes);
}

TEST(ShowMessageDialogTest, EachKindShowsItsIconAndEmptyCaptionFallsBackToTitle)
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
        Show(kind, mbOK, Enter, &seen, "");
        EXPECT_EQ(seen.title, QString(ApplicationTitle));
        EXPECT_TRUE(seen.hasIcon);
        EXPECT_EQ(seen.icon, StandardIcon(icon));
        shown << seen.icon;
    }
    // The four icons are told apart, so a kind mapped to the wrong icon would show.
    for (int i = 0; i < shown.size(); ++i)
        for (int j = i + 1; j < shown.size(); ++j)
            EXPECT_NE(shown[i], shown[j]) << i << " " << j;

    Seen seen;
    Show(MessageKind::Custom, mbOK, Enter, &seen);
    EXPECT_FALSE(seen.hasIcon);
    EXPECT_EQ(seen.title, "Caption");
}

TEST(ChooseFolderTest, CancelGivesEmptyAndChoosingGivesTheFolder)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    {
        DialogAnswerer answerer(Escape);
        EXPECT_EQ(ChooseFolder(nullptr, "Pick the Delphi folder"), QString());
        EXPECT_EQ(answerer.What().title, "Pick the Delphi folder");
    }
    {
        DialogAnswerer answerer([&folder](QWidget* dialog) {
            auto* files = qobject_cast<QFileDialog*>(dialog);
            ASSERT_NE(files, nullptr);
            files->setDirectory(folder.path());
            static_cast<QDialog*>(files)->accept(); // the dialog's own Choose button
        });
        EXPECT_EQ(ChooseFolder(nullptr, "Pick"), QDir::toNativeSeparators(folder.path()));
    }
}
