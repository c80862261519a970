// The shared dialogs, answered through the real modal dialogs as a person would: Enter, Escape,
// the close box or a click on one button.
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <stdexcept>
#include <vector>

#include "QtsFormTools.h"
#include "QtsGuard.h"

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

TEST(MessageDialogs, ButtonsKeepOrderCaptionsAndResultsFallBackInTurnAndKindsShowTheirIcon)
{
    const int all = mbYes | mbNo | mbOK | mbCancel;
    using K = MessageKind;
    using I = QStyle::StandardPixmap;
    struct Case {
        K kind;
        std::optional<I> icon;
        int buttons;
        Answer answer;
        int result;
    };
    const Case cases[] = {
        {K::Custom, {}, all, Click("&Yes"), 6},
        {K::Custom, {}, all, Click("&No"), 7},
        {K::Custom, {}, all, Click("OK"), 1},
        {K::Custom, {}, all, Click("Cancel"), 2},
        {K::Custom, {}, all, Enter, mrOk},
        {K::Custom, {}, all, Escape, mrCancel},
        {K::Warning, I::SP_MessageBoxWarning, all, CloseBox, mrCancel},
        {K::Warning, I::SP_MessageBoxWarning, mbYes | mbNo, Enter, mrYes},
        {K::Information, I::SP_MessageBoxInformation, mbYes | mbNo, Escape, mrNo},
        {K::Information, I::SP_MessageBoxInformation, mbYes | mbNo, CloseBox, mrNo},
        {K::Error, I::SP_MessageBoxCritical, mbYes | mbNo | mbOK, Escape, mrNo},
        {K::Error, I::SP_MessageBoxCritical, mbYes | mbNo | mbOK, Enter, mrOk},
        {K::Confirmation, I::SP_MessageBoxQuestion, mbOK, CloseBox, mrOk},
        {K::Confirmation, I::SP_MessageBoxQuestion, mbYes | mbCancel, Escape, mrCancel},
        {K::Confirmation, I::SP_MessageBoxQuestion, mbYes | mbCancel, Enter, mrYes},
    };
    int row = 0;
    for (const Case& c : cases) {
        Seen seen;
        EXPECT_EQ(
            Answered(c.answer, seen, [&] { return ShowMessageDialog("?", "", c.kind, c.buttons); }),
            c.result)
            << row;
        EXPECT_EQ(seen.icon, c.icon ? std::optional(StandardIcon(*c.icon)) : std::nullopt) << row;
        ++row;
    }
    // The buttons stand Yes, No, OK, Cancel; without OK, Yes is the default.
    Seen seen;
    Answered(Enter, seen, [] { return ShowMessageDialog("?", "", K::Custom, all); });
    EXPECT_EQ(seen.buttons, QStringList({"&Yes", "&No", "OK", "Cancel"}));
    Answered(Enter, seen, [] { return ShowMessageDialog("?", "", K::Custom, mbYes | mbNo); });
    EXPECT_EQ(seen.defaultButton, "&Yes");
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

namespace
{

// Sets a test's answers to the dialogs for the life of one test.
class HookedDialogs
{
public:
    std::vector<MessageDialogRequest> asked;
    std::vector<QString> foldersAsked;

    HookedDialogs(std::optional<int> answer, std::optional<QString> folder)
    {
        SetMessageDialogAnswer([this, answer](const MessageDialogRequest& request) {
            asked.push_back(request);
            return answer;
        });
        SetFolderDialogAnswer([this, folder](const QString& title, const QString& start) {
            foldersAsked.push_back(title + " | " + start);
            return folder;
        });
    }
    ~HookedDialogs()
    {
        SetMessageDialogAnswer(nullptr);
        SetFolderDialogAnswer(nullptr);
    }
};

} // namespace

TEST(DialogAnswerHook, AnAnswerStandsForTheUsersAndNothingIsShown)
{
    HookedDialogs hooked(mrNo, QString());
    // A modal dialog coming up would fail the test: nothing answers it but this timer.
    QTimer watch;
    bool shown = false;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (QWidget* dialog = QApplication::activeModalWidget()) {
            shown = true;
            dialog->close();
        }
    });
    watch.start(10);

    EXPECT_EQ(ShowMessageDialog("Go on?", QString(), MessageKind::Warning, mbYes | mbNo, "Asking"),
              mrNo);
    ShowNotice("Noted");
    EXPECT_FALSE(ConfirmDialog("Sure?", "Mine"));
    EXPECT_EQ(ChooseFolder(nullptr, "Pick", "C:\\db"), QString());
    EXPECT_FALSE(shown);

    ASSERT_EQ(hooked.asked.size(), 3u);
    const MessageDialogRequest& first = hooked.asked[0];
    EXPECT_EQ(first.message, "Go on?");
    EXPECT_EQ(first.caption, Title); // as the title bar shows an empty caption
    EXPECT_EQ(first.objectName, "Asking");
    EXPECT_EQ(first.kind, MessageKind::Warning);
    EXPECT_EQ(first.buttons, mbYes | mbNo);
    EXPECT_EQ(hooked.asked[1].kind, MessageKind::Custom);
    EXPECT_EQ(hooked.asked[2].caption, "Mine");
    EXPECT_EQ(hooked.asked[2].buttons, mbOK | mbCancel);
    EXPECT_EQ(hooked.foldersAsked, std::vector<QString>{"Pick | C:\\db"});
}

TEST(DialogAnswerHook, WithoutAnAnswerTheDialogIsShownAndAChosenFolderIsGivenBackAsChosen)
{
    QTemporaryDir folder;
    {
        HookedDialogs hooked(std::nullopt, folder.path() + "/sub/..");
        Seen seen;
        EXPECT_EQ(Answered(Escape, seen, [] { return ErrorDialog("Broken", "Caption"); }), mrOk);
        EXPECT_EQ(seen.text, "Broken");
        EXPECT_EQ(ChooseFolder(nullptr, "Pick"), QDir::toNativeSeparators(folder.path()));
    }
    // Once removed, the hook is not asked again: the dialog shows.
    Seen seen;
    EXPECT_EQ(Answered(Enter, seen, [] { return ConfirmDialog("Sure?", "Mine"); }), true);
    EXPECT_EQ(seen.text, "Sure?");
}

namespace
{

class Handlers : public QObject
{
public:
    std::vector<QString> calls;
    void Clicked() { calls.push_back("clicked"); }
    void Typed(const QString& text) { calls.push_back("typed " + text); }
    void Fails() { throw std::runtime_error("Cannot open file x"); }
    void Selected() { calls.push_back("selected"); }
};

} // namespace

TEST(ConnectGuardedTest, HandlersGetTheSignalsArgumentsAndTheirErrorsGoToTheErrorBox)
{
    HookedDialogs hooked(mrOk, std::nullopt);
    Handlers form;
    QPushButton button;
    QLineEdit edit;
    QRadioButton radio;
    ConnectGuarded(&button, &QPushButton::clicked, &form, &Handlers::Clicked);
    ConnectGuarded(&edit, &QLineEdit::textChanged, &form, &Handlers::Typed);
    ConnectGuarded(&button, &QPushButton::clicked, &form, &Handlers::Fails);
    ConnectGuarded(&button, &QPushButton::clicked, &form, [&form] { form.calls.push_back("own"); });
    ConnectChecked(&radio, &form, &Handlers::Selected);

    button.click();
    edit.setText("abc");
    radio.setChecked(true);
    radio.setChecked(false);

    // The failing handler did not keep the ones after it from running.
    EXPECT_EQ(form.calls, (std::vector<QString>{"clicked", "own", "typed abc", "selected"}));
    ASSERT_EQ(hooked.asked.size(), 1u);
    EXPECT_EQ(hooked.asked[0].objectName, "ErrorBox");
    EXPECT_EQ(hooked.asked[0].message, "Cannot open file x.");
    EXPECT_EQ(hooked.asked[0].kind, MessageKind::Error);
}
