// The alias window in a real X session whose window manager draws frames: where the window
// stands with its frame, and how that placement survives being closed and opened again.
#include <QDialog>
#include <QElapsedTimer>
#include <QWindow>

#include "QtsFormTools.h"
#include "QtsGuard.h"

#include "ConfigFormTestFixture.h"
#include "WindowPlacement.h"
#include "XdotoolInput.h"

namespace
{

// The frame is known once the window manager has decorated the window.
bool Framed(const QWidget& window)
{
    return window.frameGeometry() != window.geometry();
}

struct Placement {
    int left, top, width, height;
    bool operator==(const Placement& other) const
    {
        return left == other.left && top == other.top && width == other.width &&
               height == other.height;
    }
};

std::ostream& operator<<(std::ostream& out, const Placement& p)
{
    return out << p.left << ", " << p.top << ", " << p.width << " x " << p.height;
}

Placement StoredPlacement()
{
    TRegistry registry;
    registry.SelectRoot(RegistryRoot::CurrentUser);
    if (!registry.OpenKeyPath(PlacementKeyPath, false))
        return {-1, -1, -1, -1};
    return {registry.ReadNumber(PlacementLeft), registry.ReadNumber(PlacementTop),
            registry.ReadNumber(PlacementWidth), registry.ReadNumber(PlacementHeight)};
}

} // namespace

class FramedAliasWindow : public AliasWindowTest
{
protected:
    TFormConfig& OpenFramed()
    {
        TFormConfig& window = OpenWindow();
        EXPECT_TRUE(QTest::qWaitFor([&] { return Framed(window); }));
        // Let the window manager finish placing it.
        QTest::qWait(100);
        return window;
    }

    void CloseWindow()
    {
        form->close();
        form.reset();
    }
};

TEST_F(FramedAliasWindow, OuterBoundsStartAtTheDesignAndOpenCloseCyclesKeepThem)
{
    TFormConfig& first = OpenFramed();
    EXPECT_EQ(first.frameGeometry(), QRect(16, 41, 688, 460));
    CloseWindow();
    EXPECT_EQ(StoredPlacement(), (Placement{16, 41, 688, 460}));

    for (int cycle = 0; cycle < 10; ++cycle) {
        TFormConfig& window = OpenFramed();
        EXPECT_EQ(window.frameGeometry(), QRect(16, 41, 688, 460)) << cycle;
        CloseWindow();
        EXPECT_EQ(StoredPlacement(), (Placement{16, 41, 688, 460})) << cycle;
    }

    // Moved and resized by the person: it comes back exactly there.
    TFormConfig& moved = OpenFramed();
    const QMargins frame = moved.windowHandle()->frameMargins();
    moved.setGeometry(QRect(200, 150, 802, 625).marginsRemoved(frame));
    EXPECT_TRUE(QTest::qWaitFor([&] { return moved.frameGeometry() == QRect(200, 150, 802, 625); }))
        << moved.frameGeometry().x() << "," << moved.frameGeometry().y() << " "
        << moved.frameGeometry().width() << "x" << moved.frameGeometry().height();
    CloseWindow();
    EXPECT_EQ(StoredPlacement(), (Placement{200, 150, 802, 625}));
    EXPECT_EQ(OpenFramed().frameGeometry(), QRect(200, 150, 802, 625));
}

TEST_F(FramedAliasWindow, ASingleStoredValueChangesOnlyItsOwnDimensionOfTheOuterBounds)
{
    const std::tuple<const char*, int, QRect> cases[] = {
        {PlacementLeft, 5, QRect(5, 41, 688, 460)},
        {PlacementTop, 300, QRect(16, 300, 688, 460)},
        {PlacementWidth, 500, QRect(16, 41, 500, 460)},
        {PlacementHeight, 300, QRect(16, 41, 688, 300)},
    };
    for (const auto& [value, number, expected] : cases) {
        TestEnvironment own;
        {
            TRegistry registry;
            registry.SelectRoot(RegistryRoot::CurrentUser);
            ASSERT_TRUE(registry.OpenKeyPath(PlacementKeyPath, true));
            registry.WriteNumber(value, number);
        }
        EXPECT_EQ(OpenFramed().frameGeometry(), expected) << value;
        form.reset();
    }
}

// What a message dialog looked like on screen before it was answered.
struct DialogLook {
    QRect outer;
    int textLines = 0;
    QString caption;
};

// Shows a dialog through `show` and measures it once the window manager has framed it.
template <class Show> DialogLook Measure(Show&& show)
{
    DialogLook look;
    QTimer timer;
    QElapsedTimer waited;
    waited.start();
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        // A dialog the window manager never frames is measured as it is (and fails the test's
        // checks) rather than left open for good.
        if (!dialog || (waited.elapsed() < 15000 && (!dialog->isVisible() || !Framed(*dialog))))
            return;
        timer.stop();
        QTest::qWait(100);
        look.outer = dialog->frameGeometry();
        look.caption = dialog->windowTitle();
        if (const auto* text = dialog->findChild<QLabel*>("MessageText"))
            look.textLines = text->height() / text->fontMetrics().lineSpacing();
        QTest::keyClick(dialog, Qt::Key_Escape);
        if (auto* box = qobject_cast<QDialog*>(dialog); box && box->isVisible())
            box->reject();
    });
    timer.start(20);
    show();
    return look;
}

TEST_F(FramedAliasWindow, MessageDialogsShowTheirCaptionWholeAndWrapTheirParagraphs)
{
    OpenFramed();
    // The window manager's title font: what the caption needs beside the frame's buttons.
    QFont titleFont = QApplication::font();
    titleFont.setBold(true);
    const auto captionNeeds = [&](const QString& caption) {
        return QFontMetrics(titleFont).horizontalAdvance(caption) + 100;
    };

    const DialogLook error = Measure([] { ShowErrorBox("Invalid data type for 'Path'"); });
    EXPECT_GE(error.outer.width(), captionNeeds("QTS Configuration Utility"));

    const QString danger =
        "DANGER!! READ THIS CAREFULLY!!\r\n\r\nThere already is a saved copy of DBX.dll.  "
        "Overwrite it?\r\n\r\nIf you have already patched it once, you should NOT overwrite it "
        "now.  Otherwise you will lose the original file.  Overwrite it only if you have "
        "reinstalled Delphi.";
    const DialogLook confirm = Measure([&] { ConfirmDialog(danger, "Patch DBX.dll"); });
    EXPECT_LE(confirm.outer.width(), 640);
    EXPECT_GE(confirm.outer.width(), captionNeeds("Patch DBX.dll"));
    // Heading, empty line, question, empty line, and the paragraph on more than one line.
    EXPECT_GE(confirm.textLines, 6);
}

TEST_F(FramedAliasWindow, TheFileNameCompletionClosesWithTheFileDialog)
{
    environment.WriteFile("C:\\db\\beta.mdb", "");
    environment.WriteFile("C:\\db\\other.mdb", "");
    Seed("Sales", {{"Path", "C:\\db\\beta.mdb"}});
    TFormConfig& window = OpenFramed();
    Select("Sales");
    const auto openPopups = [] {
        int open = 0;
        for (const QWidget* top : QApplication::topLevelWidgets())
            open += top->isVisible() && top->windowType() == Qt::Popup;
        return open;
    };

    bool completing = false;
    AnswerModal([&](QWidget& dialog) {
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        name->setFocus();
        name->clear();
        // The pointer out of the way: resting where the completion list opens, it would choose
        // an entry, and Return would then go to the list instead of the dialog.
        ASSERT_EQ(Xdotool({"mousemove", "0", "0"}), 0);
        // Typed through the X server: the completion list opens under the field.
        ASSERT_EQ(Xdotool({"type", "--delay", "30", "oth"}), 0);
        completing = QTest::qWaitFor([&] { return openPopups() > 0; }, 3000);
        ASSERT_EQ(Xdotool({"type", "--delay", "30", "er.mdb"}), 0);
        QTest::qWait(100);
        // Return straight to the field: through the X server it went now and then to the list
        // (an entry it had made current), which completed the name and left the dialog open.
        QTest::keyClick(name, Qt::Key_Return);
    });
    Click(window.BtnFindPath);
    EXPECT_TRUE(completing);
    EXPECT_EQ(window.EditPath->text(), "C:\\db\\other.mdb");
    EXPECT_EQ(openPopups(), 0);
}
