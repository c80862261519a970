// Entry of the window test programs: private XDG folders and a private registry store, so that no
// test touches the user's files. The ordinary programs run headless; the framed programs
// (QTS_FRAMED_TESTS) run on the X server named by DISPLAY, whose window manager draws frames,
// because outer bounds, focus and dialog sizes exist only there.
#include <QApplication>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <iostream>
#include <string>

#include "TestEnvironment.h"

namespace
{

#ifdef QTS_FRAMED_TESTS
// CTest counts a framed test that ends with this code as skipped.
constexpr int SkippedWithoutDisplay = 77;

bool Set(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}
#endif

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    // Test discovery runs the program only to list the tests: no application is needed.
    if (::testing::GTEST_FLAG(list_tests))
        return RUN_ALL_TESTS();
    TestEnvironment safetyNet;
#ifdef QTS_FRAMED_TESTS
    if (!Set("DISPLAY")) {
        // The test command always provides one; in CI a missing server is a failure.
        if (std::string(std::getenv("CI") ? std::getenv("CI") : "") == "true") {
            std::cerr << "CI: the framed window tests need DISPLAY (scripts/test.sh starts Xvfb)\n";
            return 1;
        }
        std::cerr << "skipped: no DISPLAY, the framed window tests need an X server with a "
                     "window manager (scripts/test.sh starts one)\n";
        return SkippedWithoutDisplay;
    }
    SetEnv("QT_QPA_PLATFORM", "xcb");
#else
    SetEnv("QT_QPA_PLATFORM", "offscreen");
#endif
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
