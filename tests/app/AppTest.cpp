// The program's entry decision: which window a command line opens.
#include <gtest/gtest.h>
#include <vector>

#include "QtsMode.h"

namespace
{

TEST(ModeFromArgumentsTest, OnlySetupAsFirstArgumentInAnyAsciiCaseOpensSetup)
{
    const auto modeFor = [](std::vector<const char*> arguments) {
        arguments.insert(arguments.begin(), "qtsconfig");
        return ModeFromArguments(static_cast<int>(arguments.size()), arguments.data());
    };
    for (const char* first : {"/setup", "/SETUP", "/Setup", "/sEtUp"})
        EXPECT_EQ(modeFor({first, "/other"}), QtsMode::Setup) << first;
    // "\x0f" would become "/" by a fold that sets the 32 bit; a long s (U+017F) folds to "s"
    // under Unicode rules.
    for (const char* first :
         {"", "setup", "-setup", " /setup", "/setup ", "/setupx", "/setu", "\\setup", "\x0fsetup",
          "/\xC5\xBF"
          "etup"})
        EXPECT_EQ(modeFor({first}), QtsMode::AliasConfiguration) << first;
    EXPECT_EQ(modeFor({"-reverse", "/setup"}), QtsMode::AliasConfiguration);
    EXPECT_EQ(modeFor({}), QtsMode::AliasConfiguration);
    EXPECT_EQ(ModeFromArguments(0, nullptr), QtsMode::AliasConfiguration);
}

} // namespace
