// Entry of the window test programs: headless Qt, private XDG folders and a private registry
// store, so that no test touches the user's files or needs a display.
#include <QApplication>
#include <filesystem>
#include <gtest/gtest.h>

#include "TestEnvironment.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // Test discovery runs the program only to list the tests: no application is needed.
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    TestEnvironment safetyNet;
    SetEnv("QT_QPA_PLATFORM", "offscreen");
    for (const char* name :
         {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"}) {
        const std::string folder = safetyNet.Root() + "/" + name;
        std::filesystem::create_directories(folder);
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
        SetEnv(name, folder);
    }
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
