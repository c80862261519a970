// The alias window's placement as the current user's configuration key keeps it.
#include <gtest/gtest.h>

#include "TRegistry.h"
#include "TestEnvironment.h"
#include "WindowPlacement.h"

#include <vector>

namespace
{

const char* const ConfigurationKey = "\\Software\\Quillon\\Tessarium\\Configuration";

void OpenConfigurationKey(TRegistry& registry)
{
    registry.SelectRoot(RegistryRoot::CurrentUser);
    ASSERT_TRUE(registry.OpenKeyPath(ConfigurationKey, true));
}

} // namespace

TEST(WindowPlacement, NothingIsStoredBeforeTheFirstClose)
{
    TestEnvironment environment;
    const SavedPlacement stored = ReadWindowPlacement();
    EXPECT_EQ(stored.Left, std::nullopt);
    EXPECT_EQ(stored.Top, std::nullopt);
    EXPECT_EQ(stored.Width, std::nullopt);
    EXPECT_EQ(stored.Height, std::nullopt);
}

TEST(WindowPlacement, TheFourValuesAreNumbersInTheConfigurationKey)
{
    TestEnvironment environment;
    ASSERT_TRUE(WriteWindowPlacement({-8, 41, 688, 460}));
    TRegistry registry;
    OpenConfigurationKey(registry);
    EXPECT_EQ(registry.ReadNumber("LastLeft"), -8);
    EXPECT_EQ(registry.ReadNumber("LastTop"), 41);
    EXPECT_EQ(registry.ReadNumber("LastWidth"), 688);
    EXPECT_EQ(registry.ReadNumber("LastHeight"), 460);

    const SavedPlacement stored = ReadWindowPlacement();
    EXPECT_EQ(stored.Left, -8);
    EXPECT_EQ(stored.Top, 41);
    EXPECT_EQ(stored.Width, 688);
    EXPECT_EQ(stored.Height, 460);
}

TEST(WindowPlacement, EachValueMayBeMissingOnItsOwn)
{
    TestEnvironment environment;
    {
        TRegistry registry;
        OpenConfigurationKey(registry);
        registry.WriteNumber("LastTop", 300);
        registry.WriteNumber("LastHeight", 200);
    }
    const SavedPlacement stored = ReadWindowPlacement();
    EXPECT_EQ(stored.Left, std::nullopt);
    EXPECT_EQ(stored.Top, 300);
    EXPECT_EQ(stored.Width, std::nullopt);
    EXPECT_EQ(stored.Height, 200);
}

TEST(WindowPlacement, AValueThatIsNoNumberRaisesAfterTheEarlierOnesWereApplied)
{
    TestEnvironment environment;
    {
        TRegistry registry;
        OpenConfigurationKey(registry);
        registry.WriteNumber("LastLeft", 5);
        registry.WriteNumber("LastHeight", 9);
        registry.WriteText("LastWidth", "688");
    }
    EXPECT_THROW(ReadWindowPlacement(), ERegistryException);

    std::vector<PlacementPart> applied;
    EXPECT_THROW(
        RestoreWindowPlacement([&](PlacementPart part, std::int32_t) { applied.push_back(part); }),
        ERegistryException);
    EXPECT_EQ(applied, std::vector<PlacementPart>{PlacementPart::Left});
}
