// The program's entry decisions: which window a command line opens, and how an error that a
// handler does not handle reaches the person (the error box) while the window goes on.
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

#include "QtsGuard.h"
#include "QtsMode.h"
#include "TRegistry.h"

namespace
{

QtsMode ModeFor(std::vector<const char*> arguments)
{
    arguments.insert(arguments.begin(), "qtsconfig");
    return ModeFromArguments(static_cast<int>(arguments.size()), arguments.data());
}

TEST(ModeFromArgumentsTest, SetupInAnyAsciiLetterCaseAsFirstArgumentOpensSetup)
{
    EXPECT_EQ(ModeFor({"/setup"}), QtsMode::Setup);
    EXPECT_EQ(ModeFor({"/SETUP"}), QtsMode::Setup);
    EXPECT_EQ(ModeFor({"/Setup"}), QtsMode::Setup);
    EXPECT_EQ(ModeFor({"/sEtUp"}), QtsMode::Setup);
    // Whatever follows the first argument is ignored.
    EXPECT_EQ(ModeFor({"/setup", "/other", "more"}), QtsMode::Setup);
}

TEST(ModeFromArgumentsTest, AnythingElseOpensTheAliasWindow)
{
    EXPECT_EQ(ModeFor({}), QtsMode::AliasConfiguration);
    EXPECT_EQ(ModeFromArguments(0, nullptr), QtsMode::AliasConfiguration);
    const char* const justNull[] = {"qtsconfig", nullptr};
    EXPECT_EQ(ModeFromArguments(2, justNull), QtsMode::AliasConfiguration);

    for (const char* first : {"", "setup", "-setup", " /setup", "/setup ", "/setupx", "/setu",
                              "//setup", "\\setup", "/set up"})
        EXPECT_EQ(ModeFor({first}), QtsMode::AliasConfiguration) << '"' << first << '"';
    EXPECT_EQ(ModeFor({"-reverse", "/setup"}), QtsMode::AliasConfiguration);
}

TEST(ModeFromArgumentsTest, OnlyAsciiLettersAreFolded)
{
    // A long s (U+017F) folds to "s" under Unicode case folding; it is not the setup argument.
    EXPECT_EQ(ModeFor({"/\xC5\xBF"
                       "etup"}),
              QtsMode::AliasConfiguration);
    EXPECT_EQ(ModeFor({"/\xC5\xBF"
                       "ETUP"}),
              QtsMode::AliasConfiguration);
    // Folding by setting the 32 bit would turn this first byte into "/".
    EXPECT_EQ(ModeFor({"\x0fsetup"}), QtsMode::AliasConfiguration);
}

TEST(ErrorBoxTextTest, FullStopOnlyAfterACharacterAboveTheFullStop)
{
    EXPECT_EQ(ErrorBoxText(""), "");
    EXPECT_EQ(ErrorBoxText("Failed to create key X"), "Failed to create key X.");
    EXPECT_EQ(ErrorBoxText("line 42"), "line 42.");
    EXPECT_EQ(ErrorBoxText("C:/db/"), "C:/db/.");
    EXPECT_EQ(ErrorBoxText("Done."), "Done.");
    EXPECT_EQ(ErrorBoxText("Invalid data type for 'Path'"), "Invalid data type for 'Path'");
    EXPECT_EQ(ErrorBoxText("range 1-"), "range 1-");
    // The last byte compares unsigned: the end of a UTF-8 "é" is above ".".
    EXPECT_EQ(ErrorBoxText("Caf\xC3\xA9"), "Caf\xC3\xA9.");
}

// What the error box showed when a test answered it.
struct ErrorBoxSeen {
    bool shown = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QStringList buttons;
};

// Answers the next modal dialog with Enter after noting what it shows.
class ErrorBoxAnswerer
{
public:
    ErrorBoxAnswerer()
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            QWidget* dialog = QApplication::activeModalWidget();
            if (!dialog || !dialog->isVisible())
                return;
            timer_.stop();
            seen_.shown = true;
            seen_.title = dialog->windowTitle();
            if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
                seen_.text = box->text();
                seen_.icon = box->icon();
                for (QAbstractButton* button : box->buttons())
                    seen_.buttons << button->text();
            }
            QWidget* target = dialog->focusWidget() ? dialog->focusWidget() : dialog;
            QTest::keyClick(target, Qt::Key_Return);
        });
        timer_.start(10);
    }
    const ErrorBoxSeen& Seen() const { return seen_; }

private:
    QTimer timer_;
    ErrorBoxSeen seen_;
};

// A window whose one button runs a handler under the guard, as every window's handlers do.
class GuardedWindow
{
public:
    template <class Handler> explicit GuardedWindow(Handler handler)
    {
        auto* layout = new QVBoxLayout(&window);
        button = new QPushButton("Go", &window);
        layout->addWidget(button);
        QObject::connect(button, &QPushButton::clicked, [this, handler] {
            Guarded([&] {
                ++runs;
                handler();
                ++completed;
            });
        });
        window.show();
    }
    QWidget window;
    QPushButton* button = nullptr;
    int runs = 0;
    int completed = 0;
};

TEST(GuardedTest, ErrorInAHandlerIsShownInTheErrorBoxAndTheWindowGoesOn)
{
    GuardedWindow form([] { throw ERegistryException("Failed to get data for 'Path'X"); });
    ErrorBoxAnswerer answerer;
    QTest::mouseClick(form.button, Qt::LeftButton);

    const ErrorBoxSeen& seen = answerer.Seen();
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.title, "QTS Configuration Utility");
    EXPECT_EQ(seen.text, "Failed to get data for 'Path'X.");
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.buttons, QStringList({"OK"}));
    EXPECT_EQ(form.runs, 1);
    EXPECT_EQ(form.completed, 0);

    // The window is still there and its handlers still run.
    EXPECT_TRUE(form.window.isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    ErrorBoxAnswerer second;
    QTest::mouseClick(form.button, Qt::LeftButton);
    EXPECT_TRUE(second.Seen().shown);
    EXPECT_EQ(form.runs, 2);
    EXPECT_TRUE(form.window.isVisible());
}

TEST(GuardedTest, AnyThrownValueIsShownAndAQuoteAtTheEndGetsNoFullStop)
{
    {
        GuardedWindow form([] { throw std::runtime_error("Invalid data type for 'Path'"); });
        ErrorBoxAnswerer answerer;
        QTest::mouseClick(form.button, Qt::LeftButton);
        EXPECT_EQ(answerer.Seen().text, "Invalid data type for 'Path'");
    }
    GuardedWindow form([] { throw 42; });
    ErrorBoxAnswerer answerer;
    QTest::mouseClick(form.button, Qt::LeftButton);
    ASSERT_TRUE(answerer.Seen().shown);
    EXPECT_EQ(answerer.Seen().text, "Unknown error.");
    EXPECT_TRUE(form.window.isVisible());
}

} // namespace
