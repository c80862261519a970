// How an error that a handler does not handle reaches the person (the error box) while the
// window goes on.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

#include "QtsGuard.h"
#include "TRegistry.h"

namespace
{

TEST(ErrorBoxTextTest, FullStopOnlyAfterACharacterAboveTheFullStop)
{
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"Failed to create key X", "Failed to create key X."},
        {"line 42", "line 42."},
        {"C:/db/", "C:/db/."},
        {"Done.", "Done."},
        {"Invalid data type for 'Path'", "Invalid data type for 'Path'"},
        {"range 1-", "range 1-"},
        {"Caf\xC3\xA9", "Caf\xC3\xA9."}, // the last byte compares unsigned
    };
    for (const auto& [message, shown] : cases)
        EXPECT_EQ(ErrorBoxText(message), shown) << message;
}

// What the next modal dialog showed; it is answered with Enter.
struct ErrorBoxSeen {
    bool shown = false;
    QString title, text;
    bool stopIcon = false;
    Qt::TextFormat format = Qt::AutoText;
    QStringList buttons;
};

ErrorBoxSeen ClickAndAnswer(QPushButton* button)
{
    ErrorBoxSeen seen;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box || !box->isVisible() || box->objectName() != "ErrorBox")
            return;
        timer.stop();
        const auto* text = box->findChild<QLabel*>("MessageText");
        const auto* icon = box->findChild<QLabel*>("MessageIcon");
        const QStyle* style = QApplication::style();
        const int size = style->pixelMetric(QStyle::PM_MessageBoxIconSize);
        seen = {
            true,
            box->windowTitle(),
            text ? text->text() : QString(),
            icon &&
                icon->pixmap().toImage() ==
                    style->standardIcon(QStyle::SP_MessageBoxCritical).pixmap(size, size).toImage(),
            text ? text->textFormat() : Qt::AutoText,
            {}};
        for (const QPushButton* shown : box->findChildren<QPushButton*>())
            seen.buttons << shown->text();
        QTest::keyClick(box->focusWidget() ? box->focusWidget() : box, Qt::Key_Return);
    });
    timer.start(10);
    QTest::mouseClick(button, Qt::LeftButton);
    return seen;
}

TEST(GuardedTest, ErrorInAHandlerIsShownInTheErrorBoxAndTheWindowGoesOn)
{
    int runs = 0, completed = 0;
    std::function<void()> handler = [] { throw ERegistryException("Failed to get data for 'x'"); };
    QPushButton window("Go");
    QObject::connect(&window, &QPushButton::clicked, [&] {
        Guarded([&] {
            ++runs;
            handler();
            ++completed;
        });
    });
    window.show();

    const ErrorBoxSeen seen = ClickAndAnswer(&window);
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.title, "QTS Configuration Utility");
    EXPECT_EQ(seen.text, "Failed to get data for 'x'");
    EXPECT_TRUE(seen.stopIcon);
    EXPECT_EQ(seen.buttons, QStringList({"OK"}));
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(completed, 0);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);

    // The window's handlers go on running; any thrown value is shown, and a message is plain
    // text even where it looks like markup.
    handler = [] { throw std::runtime_error("Alias <b>Sales</b>"); };
    const ErrorBoxSeen markup = ClickAndAnswer(&window);
    EXPECT_EQ(markup.text, "Alias <b>Sales</b>.");
    EXPECT_EQ(markup.format, Qt::PlainText);
    handler = [] { throw 42; };
    EXPECT_EQ(ClickAndAnswer(&window).text, "Unknown error.");
    EXPECT_EQ(runs, 3);
    EXPECT_TRUE(window.isVisible());
}

} // namespace
