// Entry of the core test programs. Before any test runs, the registry store and drive table
// point into a private temporary folder, so that no test can touch the user's own files.
#include <gtest/gtest.h>

#include "TestEnvironment.h"

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    TestEnvironment safetyNet;
    return RUN_ALL_TESTS();
}
