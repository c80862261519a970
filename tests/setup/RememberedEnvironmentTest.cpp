// The environment remembered for the current user between setup runs.
#include <gtest/gtest.h>

#include "RememberedEnvironment.h"
#include "TRegistry.h"
#include "TestEnvironment.h"

namespace
{

void WriteUserText(const std::string& name, const std::string& text)
{
    TRegistry registry;
    registry.SelectRoot(RegistryRoot::CurrentUser);
    ASSERT_TRUE(registry.OpenKeyPath("\\Software\\Quillon\\Tessarium", true));
    registry.WriteText(name, text);
}

} // namespace

TEST(RememberedEnvironment, EveryEnvironmentComesBackAsItWasWritten)
{
    TestEnvironment environment;
    for (const EnvironmentEntry& entry : EnvironmentCatalogue()) {
        WriteRememberedEnvironment(entry.environment);
        EXPECT_EQ(ReadRememberedEnvironment(), entry.environment) << entry.caption;
    }
}

TEST(RememberedEnvironment, IsTheCaptionInTheEngineKeyOfTheCurrentUser)
{
    TestEnvironment environment;
    WriteRememberedEnvironment(Environment::Delphi4);
    TRegistry registry;
    registry.SelectRoot(RegistryRoot::CurrentUser);
    ASSERT_TRUE(registry.OpenKeyPath("\\Software\\Quillon\\Tessarium", false));
    EXPECT_EQ(registry.ReadText("LastEnvironment"), "Delphi 4");
}

TEST(RememberedEnvironment, NoneWithoutTheKeyTheValueOrAKnownCaption)
{
    TestEnvironment environment;
    EXPECT_EQ(ReadRememberedEnvironment(), std::nullopt);
    WriteRememberedEnvironment(std::nullopt); // creates the key and writes nothing
    EXPECT_EQ(ReadRememberedEnvironment(), std::nullopt);
    WriteUserText("LastEnvironment", "delphi 4");
    EXPECT_EQ(ReadRememberedEnvironment(), std::nullopt);
    WriteUserText("LastEnvironment", "");
    EXPECT_EQ(ReadRememberedEnvironment(), std::nullopt);
}
