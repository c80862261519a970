// How the setup wizard looks: every text fits its control on every page with the machine's
// fonts. (The pictures of the pages are taken in the framed session.)
#include <QAbstractButton>
#include <QPushButton>
#include <QTabBar>
#include <QTest>

#include "SetupFormTestSupport.h"

namespace
{

// The texts of the current page that do not fit their controls.
std::vector<std::string> ClippedTexts(const QWidget& page)
{
    std::vector<std::string> clipped;
    for (const QLabel* label : page.findChildren<QLabel*>())
        if (label->isVisible() &&
            (label->wordWrap() ? label->height() < label->heightForWidth(label->width())
                               : label->width() < label->sizeHint().width()))
            clipped.push_back(label->objectName().toStdString());
    for (const QAbstractButton* button : page.findChildren<QAbstractButton*>()) {
        // Push buttons ask for a minimum width beyond their text; "..." is meant to be small.
        const QSize needed =
            qobject_cast<const QPushButton*>(button)
                ? button->fontMetrics().size(Qt::TextShowMnemonic, button->text()) + QSize(4, 4)
                : button->sizeHint();
        if (button->isVisible() &&
            (button->width() < needed.width() || button->height() < needed.height()))
            clipped.push_back(button->objectName().toStdString());
    }
    return clipped;
}

} // namespace

TEST_F(SetupWindowTest, NoTextIsClippedOnAnyPage)
{
    TFormSetup& window = Open("Delphi 3");
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    const char* const names[] = {"compiler", "bde-interface", "design-environment", "design-tools",
                                 "setup-now"};
    for (int index = 0; index < window.Pages->count(); ++index) {
        window.Pages->setCurrentIndex(index);
        // The last page after a run that generates the interface files and installs into the
        // design environment.
        if (window.Pages->currentWidget() == window.TabProgress)
            window.BtnNext->click();
        SCOPED_TRACE(names[index]);
        EXPECT_EQ(ClippedTexts(*window.Pages->currentWidget()), std::vector<std::string>{});
    }
    EXPECT_EQ(Caption(window), "&Redo");
    EXPECT_EQ(ClippedTexts(window), std::vector<std::string>{});
    // The wizard's tab bar shows all five captions without scrolling.
    EXPECT_GE(window.Pages->width(), window.Pages->tabBar()->sizeHint().width());
}
