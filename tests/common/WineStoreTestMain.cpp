// Entry of the registry's own tests run again on the Wine prefix store: a prefix made in code
// (the two files as a fresh 64-bit prefix begins them) is the store of every test.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "TestEnvironment.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    TestEnvironment safetyNet;
    const std::string prefix = safetyNet.Root() + "/prefix";
    std::filesystem::create_directories(prefix + "/dosdevices");
    const char* const header = "WINE REGISTRY Version 2\n"
                               ";; All keys relative to REGISTRY\\\\%s\n"
                               "\n"
                               "#arch=win64\n";
    for (const auto& [file, root] : {std::pair<const char*, const char*>{"/system.reg", "Machine"},
                                     {"/user.reg", "User\\\\S-1-5-21-0-0-0-1000"}}) {
        char text[256];
        std::snprintf(text, sizeof text, header, root);
        std::ofstream(prefix + file, std::ios::binary) << text;
    }
    SetEnv("QTS_TEST_WINEPREFIX", prefix);
    const int result = RUN_ALL_TESTS();
    UnsetEnv("QTS_TEST_WINEPREFIX");
    // Writes went to the prefix (they take its lock), not to another store.
    const bool listing = ::testing::GTEST_FLAG(list_tests);
    if (result == 0 && !listing && !std::filesystem::exists(prefix + "/.quillon-tessarium.lock")) {
        std::fprintf(stderr, "the tests did not write to the Wine prefix %s\n", prefix.c_str());
        return 1;
    }
    return result;
}
