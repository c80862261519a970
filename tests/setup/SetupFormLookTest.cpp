// How the setup wizard looks: every text fits its control on every page with the machine's
// fonts, and, when QTS_SCREENSHOT_DIR names a folder, pictures of the five pages go there.
#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTest>
#include <cstdlib>

#include "SetupFormTestSupport.h"

namespace
{

class SetupWindowLook : public SetupWindowTest
{
protected:
    TFormSetup& OpenShown(const char* remembered)
    {
        TFormSetup& window = Open(remembered);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
        return window;
    }
};

// The texts of the current page that do not fit their controls.
std::vector<std::string> ClippedTexts(const QWidget& page)
{
    std::vector<std::string> clipped;
    for (const QLabel* label : page.findChildren<QLabel*>()) {
        if (!label->isVisible())
            continue;
        const bool fits = label->wordWrap()
                              ? label->height() >= label->heightForWidth(label->width())
                              : label->width() >= label->sizeHint().width();
        if (!fits)
            clipped.push_back(label->objectName().toStdString());
    }
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

TEST_F(SetupWindowLook, NoTextIsClippedOnAnyPage)
{
    TFormSetup& window = OpenShown("Delphi 2");
    for (int index = 0; index < window.Pages->count(); ++index) {
        window.Pages->setCurrentIndex(index);
        QWidget* page = window.Pages->currentWidget();
        SCOPED_TRACE(page->objectName().toStdString());
        EXPECT_EQ(ClippedTexts(*page), std::vector<std::string>{});
    }
    EXPECT_EQ(ClippedTexts(window), std::vector<std::string>{});
    // The wizard's tab bar shows all five captions without scrolling.
    EXPECT_GE(window.Pages->width(), window.Pages->tabBar()->sizeHint().width());
}

TEST_F(SetupWindowLook, ScreenshotsOfThePages)
{
    const char* folder = std::getenv("QTS_SCREENSHOT_DIR");
    if (!folder || !*folder)
        GTEST_SKIP() << "QTS_SCREENSHOT_DIR is not set";
    TFormSetup& window = OpenShown("Delphi 3");
    const char* const names[] = {"compiler", "bde-interface", "design-environment", "design-tools",
                                 "setup-now"};
    const QDir target(QString::fromUtf8(folder));
    ASSERT_TRUE(QDir().mkpath(target.absolutePath()));
    for (int index = 0; index < 4; ++index) {
        window.Pages->setCurrentIndex(index);
        const QString file = target.filePath(QStringLiteral("setup-%1.png").arg(names[index]));
        EXPECT_TRUE(window.grab().save(file)) << file.toStdString();
    }

    // The last page after a run that generates the interface files and installs into the
    // design environment.
    window.Pages->setCurrentWidget(window.TabProgress);
    window.BtnNext->click();
    ASSERT_EQ(window.BtnNext->text().toStdString(), "&Redo");
    const QString file = target.filePath(QStringLiteral("setup-%1.png").arg(names[4]));
    EXPECT_TRUE(window.grab().save(file)) << file.toStdString();
}
