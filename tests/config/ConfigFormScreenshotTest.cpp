// Pictures of the alias window, one per page, for the documentation. They are written only when
// QTS_SCREENSHOT_DIR names the folder to write them to.
#include <QDir>
#include <QPixmap>
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
    Select("Northwind");

    const char* const pages[] = {"connection", "compatibility", "settings1", "settings2",
                                 "rowfetching"};
    ASSERT_EQ(window.Pages->count(), 5);
    for (int page = 0; page < 5; ++page) {
        window.Pages->setCurrentIndex(page);
        window.ShowStatusHint(page == 0 ? window.EditPath->statusTip() : QString());
        QApplication::processEvents();
        const QString file = QDir(folder).filePath(QString("alias-%1.png").arg(pages[page]));
        EXPECT_TRUE(window.grab().save(file)) << file.toStdString();
    }
}
