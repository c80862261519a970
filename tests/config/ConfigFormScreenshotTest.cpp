// Pictures of the alias window, one per page, for the documentation: taken from the screen of the
// framed session, so that they show the window with its frame. They are written only when
// QTS_SCREENSHOT_DIR names the folder to write them to.
#include <QDir>
#include <QPixmap>
#include <QScreen>
#include <cstdlib>

#include "ConfigFormTestFixture.h"

using PicturingTheWindow = AliasWindowTest;

TEST_F(PicturingTheWindow, OnePicturePerPage)
{
    const char* folder = std::getenv("QTS_SCREENSHOT_DIR");
    if (!folder || !*folder)
        GTEST_SKIP() << "QTS_SCREENSHOT_DIR is not set";
    ASSERT_TRUE(QDir().mkpath(folder));

    Seed("Northwind", {{"Path", "C:\\Data\\Northwind.mdb"},
                       {"SystemDb", "C:\\Data\\System.mdw"},
                       {"User Name", "admin"},
                       {"Read Only", "True"},
                       {"Show GUIDs", "True"},
                       {"Prefetch Threshold", "30"}});
    Seed("Orders", {{"Path", "D:\\Shared\\Orders.mdb"}, {"Exclusive", "True"}});
    Seed("dBase-Import", {{"Connect", "dBASE IV;DATABASE=C:\\Legacy;"}});
    Seed("archive", {{"Path", "C:\\Data\\Archive 1998.mdb"}});
    TFormConfig& window = OpenWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.frameGeometry() != window.geometry(); }));
    QTest::qWait(200);
    Select("Northwind");

    const char* const pages[] = {"connection", "compatibility", "settings1", "settings2",
                                 "rowfetching"};
    ASSERT_EQ(window.Pages->count(), 5);
    for (int page = 0; page < 5; ++page) {
        window.Pages->setCurrentIndex(page);
        window.ShowStatusHint(page == 0 ? window.EditPath->statusTip() : QString());
        QTest::qWait(100);
        const QRect outer = window.frameGeometry();
        const QPixmap shot =
            window.screen()->grabWindow(0, outer.x(), outer.y(), outer.width(), outer.height());
        const QString file = QDir(folder).filePath(QString("alias-%1.png").arg(pages[page]));
        EXPECT_TRUE(shot.save(file)) << file.toStdString();
    }
}
