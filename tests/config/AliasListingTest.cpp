// The alias window's first listing, made on a thread of its own: it must hand over what the
// store lists and a registry the window can go on working with. (A read failing half-way is
// told by the window's own tests.)
#include <gtest/gtest.h>

#include "AliasListing.h"
#include "TestEnvironment.h"

namespace
{

using Pairs = std::vector<std::pair<std::string, std::string>>;

class EarlyListing : public testing::Test
{
protected:
    void Seed(const std::string& name, const std::string& path,
              RegistryRoot root = HKEY_LOCAL_MACHINE_ROOT)
    {
        TRegistry other;
        other.SelectRoot(root);
        ASSERT_TRUE(other.OpenKeyPath(std::string(AliasesKeyPath) + "\\" + name, true));
        other.WriteText("Path", path);
    }

    // The store's answer, from a registry object of its own.
    Pairs ListedInPlace(AliasScope scope)
    {
        TRegistry other;
        AliasStore aliases(other);
        Pairs listed;
        aliases.ListAliases(scope, listed);
        return listed;
    }

    TestEnvironment environment;
};

TEST_F(EarlyListing, GivesWhatTheStoreListsAndARegistryThatGoesOnWorking)
{
    Seed("Sales", "C:\\sales.mdb");
    Seed("Stock", "C:\\stock.mdb");
    Seed("Mine", "C:\\mine.mdb", HKEY_CURRENT_USER_ROOT);

    for (const AliasScope scope : {AliasScope::Global, AliasScope::CurrentUser}) {
        AliasListing listing(scope);
        EXPECT_EQ(listing.Scope(), scope);
        std::unique_ptr<TRegistry> registry = listing.TakeRegistry();
        ASSERT_TRUE(registry);
        Pairs listed = {{"stale", "entry"}};
        listing.TakeAliases(listed);
        EXPECT_EQ(listed, ListedInPlace(scope));
        EXPECT_EQ(listed.size(), scope == AliasScope::Global ? 2u : 1u);

        // The window keeps the registry for everything it does afterwards.
        AliasStore aliases(*registry);
        AliasSettings settings;
        settings.Path = "C:\\moved.mdb";
        ASSERT_TRUE(aliases.SaveAlias("Added", settings));
        const std::optional<AliasSettings> stored = aliases.LoadAlias("Added");
        ASSERT_TRUE(stored);
        EXPECT_EQ(stored->Path, "C:\\moved.mdb");
    }
}

TEST_F(EarlyListing, ARegistryThatCannotBeMadeIsReportedWhenTheAliasesAreTaken)
{
    AliasListing listing(AliasScope::Global, []() -> std::unique_ptr<TRegistry> {
        throw ERegistryException("no store here");
    });
    EXPECT_FALSE(listing.TakeRegistry());
    Pairs listed;
    try {
        listing.TakeAliases(listed);
        ADD_FAILURE() << "the failure was not reported";
    } catch (const ERegistryException& error) {
        EXPECT_STREQ(error.what(), "no store here");
    }
    EXPECT_TRUE(listed.empty());
}

} // namespace
