// The setup wizard in a real X session, driven by the keyboard alone through the X server.
#include <QDir>
#include <QPixmap>
#include <QProcess>
#include <QRadioButton>
#include <QScreen>
#include <QTabBar>
#include <QTest>
#include <algorithm>
#include <cstdlib>

#include "SetupFormTestSupport.h"
#include "XdotoolInput.h"

namespace
{

// Presses keys as a person does: through the X server to the active window.
void PressKeys(const QStringList& keys)
{
    for (const QString& key : keys) {
        ASSERT_EQ(Xdotool({"key", "--delay", "20", key}), 0) << "xdotool";
        QTest::qWait(60);
    }
}

std::string FocusName(const TFormSetup& window)
{
    const QWidget* focus = QApplication::focusWidget();
    if (!focus)
        return "(none)";
    if (focus == window.Pages->tabBar())
        return "Pages";
    return focus->objectName().toStdString();
}

} // namespace

class FramedSetupWindow : public SetupWindowTest
{
protected:
    TFormSetup& OpenActive(const char* remembered = nullptr)
    {
        TFormSetup& window = Open(remembered);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
        QTest::qWait(100);
        return window;
    }

    // The focus after each of `count` presses of `key`.
    std::vector<std::string> Walk(const TFormSetup& window, const QString& key, int count)
    {
        std::vector<std::string> visited;
        for (int i = 0; i < count; ++i) {
            PressKeys({key});
            visited.push_back(FocusName(window));
        }
        return visited;
    }
};

TEST_F(FramedSetupWindow, TabReachesEveryControlThePageTabsNextAndExitInBothDirections)
{
    TFormSetup& window = OpenActive();
    EXPECT_EQ(FocusName(window), "BtnNext");
    const std::vector<std::string> forward = {
        "BtnCancel",   "Pages",    "RadDelphi20", "RadDelphi30", "RadDelphi40",
        "RadDelphi50", "RadCPP10", "RadCPP30",    "RadCPP40",    "BtnNext"};
    EXPECT_EQ(Walk(window, "Tab", 10), forward);
    std::vector<std::string> backward(forward.rbegin() + 1, forward.rend());
    backward.push_back("BtnNext");
    EXPECT_EQ(Walk(window, "shift+Tab", 10), backward);

    // On another page its own controls come between the tabs and Next.
    window.Pages->setCurrentWidget(window.TabCompile);
    window.BtnNext->setFocus();
    EXPECT_EQ(
        Walk(window, "Tab", 8),
        (std::vector<std::string>{"BtnCancel", "Pages", "ChkGenerate", "MemoOriginal",
                                  "BtnOriginalDlg", "EditPatched", "BtnPatchedDlg", "BtnNext"}));
}

TEST_F(FramedSetupWindow, TheKeyboardAloneChoosesDelphi3AndRunsTheSetup)
{
    TFormSetup& window = OpenActive();
    // Exit, the tabs, Delphi 2, Delphi 3: Space selects it; Enter presses Next page by page and
    // finally Setup.
    PressKeys({"Tab", "Tab", "Tab", "Tab", "space"});
    EXPECT_TRUE(window.RadDelphi30->isChecked());
    PressKeys({"Return", "Return", "Return", "Return"});
    EXPECT_EQ(window.Pages->currentWidget(), window.TabProgress);
    EXPECT_EQ(Caption(window), "&Setup");
    EXPECT_EQ(FocusName(window), "BtnNext");
    PressKeys({"Return"});
    EXPECT_TRUE(QTest::qWaitFor([&] { return Caption(window) == "&Redo"; }));
    const std::vector<std::string> log = LinesOf(window.MemoProgress);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "Done.");
    EXPECT_EQ(std::count(log.begin(), log.end(), "Aborted."), 0);
    EXPECT_EQ(Remembered(), "Delphi 3");
}

TEST_F(FramedSetupWindow, OnAPageWhoseTabIsHiddenOnlyTheVisibleTabIsDrawn)
{
    TFormSetup& window = OpenActive();
    QTabBar* tabs = window.Pages->tabBar();
    window.BtnNext->click();
    ASSERT_EQ(window.Pages->currentWidget(), window.TabCompile);
    QTest::qWait(100);
    // The "Compiler" tab, not selected, stands lower than a selected one: the rows above it
    // show the window's background all along.
    const QImage bar = tabs->grab().toImage();
    const int top = tabs->tabRect(0).top();
    const QColor background = bar.pixelColor(bar.width() - 1, top);
    int stray = 0;
    for (int y = top; y < top + 2; ++y)
        for (int x = 0; x < bar.width(); ++x)
            stray += bar.pixelColor(x, y) != background;
    EXPECT_EQ(stray, 0);
}

namespace
{

// The value of one property of a window as xprop prints it ("NAME(TYPE) = value").
std::string WindowProperty(const QWidget& window, const char* name)
{
    QProcess xprop;
    xprop.start("xprop", {"-id", QString::number(window.winId()), name});
    if (!xprop.waitForFinished(5000))
        return {};
    const QString line = QString::fromLocal8Bit(xprop.readAllStandardOutput());
    const qsizetype equals = line.indexOf(" = ");
    return equals < 0 ? line.trimmed().toStdString() : line.mid(equals + 3).trimmed().toStdString();
}

// The window manager's size hints: "program specified minimum size: W by H" and the maximum.
std::string SizeHint(const QWidget& window, const char* which)
{
    QProcess xprop;
    xprop.start("xprop", {"-id", QString::number(window.winId()), "WM_NORMAL_HINTS"});
    if (!xprop.waitForFinished(5000))
        return {};
    for (const QString& line : QString::fromLocal8Bit(xprop.readAllStandardOutput()).split('\n'))
        if (line.contains(QString("program specified %1 size:").arg(which)))
            return line.section(':', 1).trimmed().toStdString();
    return {};
}

} // namespace

// A fixed dialog: it can be moved and closed, never resized, maximised or minimised. The window
// asks the window manager for no minimise or maximise function or box (Motif hints), and its
// size is fixed (minimum = maximum); the window manager offers neither resizing nor maximising.
TEST_F(FramedSetupWindow, TheWindowIsAFixedDialogWithoutMinimiseAndMaximise)
{
    TFormSetup& window = OpenActive();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.frameGeometry() != window.geometry(); }));

    // flags, functions, decorations, ...: functions MINIMIZE 0x8, MAXIMIZE 0x10, CLOSE 0x20;
    // decorations MINIMIZE 0x20, MAXIMIZE 0x40.
    const QStringList motif =
        QString::fromStdString(WindowProperty(window, "_MOTIF_WM_HINTS")).split(", ");
    ASSERT_GE(motif.size(), 3) << motif.join(", ").toStdString();
    bool ok = false;
    const unsigned flags = motif[0].toUInt(&ok, 16);
    const unsigned functions = motif[1].toUInt(&ok, 16);
    const unsigned decorations = motif[2].toUInt(&ok, 16);
    EXPECT_EQ(flags & 0x3u, 0x3u); // functions and decorations are both given
    EXPECT_EQ(functions & 0x18u, 0u);
    EXPECT_EQ(functions & 0x20u, 0x20u);
    EXPECT_EQ(decorations & 0x60u, 0u);

    const std::string minimum = SizeHint(window, "minimum");
    EXPECT_FALSE(minimum.empty());
    EXPECT_EQ(minimum, SizeHint(window, "maximum"));

    const std::string actions = WindowProperty(window, "_NET_WM_ALLOWED_ACTIONS");
    EXPECT_NE(actions.find("_NET_WM_ACTION_CLOSE"), std::string::npos) << actions;
    EXPECT_NE(actions.find("_NET_WM_ACTION_MOVE"), std::string::npos) << actions;
    EXPECT_EQ(actions.find("_NET_WM_ACTION_MAXIMIZE"), std::string::npos) << actions;
    EXPECT_EQ(actions.find("_NET_WM_ACTION_RESIZE"), std::string::npos) << actions;
}

// Pictures of the five pages with the window's frame, after a run that generates the interface
// files and installs into the design environment, for the documentation. Written only when
// QTS_SCREENSHOT_DIR names the folder to write them to.
TEST_F(FramedSetupWindow, OnePicturePerPage)
{
    const char* folder = std::getenv("QTS_SCREENSHOT_DIR");
    if (!folder || !*folder)
        GTEST_SKIP() << "QTS_SCREENSHOT_DIR is not set";
    ASSERT_TRUE(QDir().mkpath(folder));
    TFormSetup& window = OpenActive("Delphi 3");
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.frameGeometry() != window.geometry(); }));
    const char* const names[] = {"compiler", "bde-interface", "design-environment", "design-tools",
                                 "setup-now"};
    for (int index = 0; index < window.Pages->count(); ++index) {
        window.Pages->setCurrentIndex(index);
        if (window.Pages->currentWidget() == window.TabProgress)
            window.BtnNext->click();
        QTest::qWait(150);
        const QRect outer = window.frameGeometry();
        const QPixmap shot =
            window.screen()->grabWindow(0, outer.x(), outer.y(), outer.width(), outer.height());
        const QString file =
            QDir(folder).filePath(QStringLiteral("setup-%1.png").arg(names[index]));
        EXPECT_TRUE(shot.save(file)) << file.toStdString();
    }
}
