// The alias store over a private registry store: what lands in the registry after each
// operation, read back through registry objects of their own.
#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>

#include "AliasStore.h"
#include "TestEnvironment.h"

namespace
{

using Values = std::map<std::string, std::string>;
using Pairs = std::vector<std::pair<std::string, std::string>>;

const char* const FlagNames[] = {
    "Exclusive",    "Read Only",       "Lock Edits",          "Separate Workspace",
    "Use Defaults", "Use Constraints", "Use AllowZeroLength", "Rename Primary",
    "Show GUIDs",   "Disable Refresh", "Disable SeeChanges",  "ReportIndexesCaseSensitive",
};

bool AliasSettings::*const FlagFields[] = {
    &AliasSettings::Exclusive,          &AliasSettings::ReadOnly,
    &AliasSettings::LockEdits,          &AliasSettings::SeparateWorkspace,
    &AliasSettings::UseDefaults,        &AliasSettings::UseConstraints,
    &AliasSettings::UseAllowZeroLength, &AliasSettings::RenamePrimary,
    &AliasSettings::ShowGUIDs,          &AliasSettings::DisableRefresh,
    &AliasSettings::DisableSeeChanges,  &AliasSettings::ReportIndexesCaseSensitive,
};

const std::pair<const char*, std::string AliasSettings::*> TextFields[] = {
    {"Path", &AliasSettings::Path},
    {"SystemDb", &AliasSettings::SystemDb},
    {"User Name", &AliasSettings::UserName},
    {"Connect", &AliasSettings::Connect},
    {"Prefetch Threshold", &AliasSettings::PrefetchThreshold},
    {"Prefetch Reset Every", &AliasSettings::PrefetchResetEvery},
};

std::string KeyOf(const std::string& alias)
{
    return std::string(AliasesKeyPath) + "\\" + alias;
}

class AliasStoreTest : public testing::Test
{
protected:
    // Writes text values into a key of the current user's root through a registry object of
    // its own, as another program would.
    void Seed(const std::string& key, const Values& values,
              RegistryRoot root = HKEY_CURRENT_USER_ROOT)
    {
        TRegistry other;
        other.SelectRoot(root);
        ASSERT_TRUE(other.OpenKeyPath(key, true)) << key;
        for (const auto& [name, text] : values)
            other.WriteText(name, text);
    }

    // Every value of a key that this test knows of, read as text, absent ones left out.
    Values Stored(const std::string& key, const std::vector<std::string>& extra = {})
    {
        TRegistry other;
        other.SelectRoot(HKEY_CURRENT_USER_ROOT);
        Values values;
        if (!other.OpenKeyPath(key, false))
            return {{"<key missing>", ""}};
        std::vector<std::string> names(std::begin(FlagNames), std::end(FlagNames));
        for (const auto& text : TextFields)
            names.push_back(text.first);
        names.insert(names.end(), extra.begin(), extra.end());
        for (const std::string& name : names) {
            if (other.HasValue(name))
                values[name] = other.ReadText(name);
        }
        return values;
    }

    bool KeyExists(const std::string& key, RegistryRoot root = HKEY_CURRENT_USER_ROOT)
    {
        TRegistry other;
        other.SelectRoot(root);
        return other.OpenKeyPath(key, false);
    }

    std::vector<std::string> Subkeys(const std::string& key)
    {
        TRegistry other;
        std::vector<std::string> names;
        if (other.OpenKeyPath(key, false))
            other.ListSubkeys(names);
        return names;
    }

    Pairs List(AliasScope scope = AliasScope::CurrentUser)
    {
        Pairs listed;
        aliases.ListAliases(scope, listed);
        return listed;
    }

    TestEnvironment environment;
    TRegistry registry;
    AliasStore aliases{registry};
};

TEST_F(AliasStoreTest, ListingCreatesTheMissingAliasesKeyOfItsScopeOnly)
{
    EXPECT_FALSE(KeyExists(AliasesKeyPath));
    EXPECT_TRUE(List().empty());
    EXPECT_TRUE(KeyExists(AliasesKeyPath));
    EXPECT_FALSE(KeyExists(AliasesKeyPath, HKEY_LOCAL_MACHINE_ROOT));
    EXPECT_FALSE(registry.HasOpenKey());
}

TEST_F(AliasStoreTest, ListingGivesEveryAliasWithItsPathInEnumerationOrder)
{
    Seed(KeyOf("Sales"), {{"Path", "C:\\db\\sales.mdb"}});
    Seed(KeyOf("Empty"), {});
    Seed(KeyOf("Stock"), {{"Path", "C:\\db\\stock.mdb"}, {"Exclusive", "True"}});
    Seed(KeyOf("Machine"), {{"Path", "C:\\m.mdb"}}, HKEY_LOCAL_MACHINE_ROOT);

    const Pairs expected = {
        {"Sales", "C:\\db\\sales.mdb"}, {"Empty", ""}, {"Stock", "C:\\db\\stock.mdb"}};
    const std::vector<std::string> order = Subkeys(AliasesKeyPath);
    ASSERT_EQ(order.size(), 3u);
    Pairs inOrder;
    for (const std::string& name : order)
        for (const auto& pair : expected)
            if (pair.first == name)
                inOrder.push_back(pair);
    EXPECT_EQ(List(), inOrder);
    EXPECT_EQ(registry.Root(), HKEY_CURRENT_USER_ROOT);

    EXPECT_EQ(List(AliasScope::Global), (Pairs{{"Machine", "C:\\m.mdb"}}));
    EXPECT_EQ(registry.Root(), HKEY_LOCAL_MACHINE_ROOT);
}

TEST_F(AliasStoreTest, WrongTypedPathStopsTheListingAfterTheAliasesBeforeIt)
{
    for (const char* name : {"A", "B", "C"})
        Seed(KeyOf(name), {{"Path", std::string("C:\\") + name + ".mdb"}});
    const std::vector<std::string> order = Subkeys(AliasesKeyPath);
    ASSERT_EQ(order.size(), 3u);
    {
        TRegistry other;
        ASSERT_TRUE(other.OpenKeyPath(KeyOf(order[1]), false));
        other.WriteNumber("Path", 7);
    }

    Pairs listed = {{"stale", "entry"}};
    try {
        aliases.ListAliases(AliasScope::CurrentUser, listed);
        FAIL() << "listing went through";
    } catch (const ERegistryException& error) {
        EXPECT_STREQ(error.what(), "Invalid data type for 'Path'");
    }
    EXPECT_EQ(listed, (Pairs{{order[0], "C:\\" + order[0] + ".mdb"}}));

    // The store stays usable for the aliases around the broken one.
    const auto loaded = aliases.LoadAlias(order[2]);
    ASSERT_TRUE(loaded.has_value());
    EXPECT_EQ(loaded->Path, "C:\\" + order[2] + ".mdb");
}

TEST_F(AliasStoreTest, FlagsAreOnOnlyForTrueInAnyLetterCase)
{
    const std::pair<std::string, bool> texts[] = {
        {"TRUE", true}, {"true", true}, {"tRuE", true},   {" true", false},
        {"1", false},   {"Yes", false}, {"False", false}, {"TRUEX", false},
    };
    for (const auto& [text, on] : texts) {
        Seed(KeyOf("Odd"), {{"Read Only", text}, {"Disable SeeChanges", text}});
        const auto loaded = aliases.LoadAlias("Odd");
        ASSERT_TRUE(loaded.has_value());
        EXPECT_EQ(loaded->ReadOnly, on) << '"' << text << '"';
        EXPECT_EQ(loaded->DisableSeeChanges, on) << '"' << text << '"';

        // Saved back, a flag is "True" or gone, never the odd text.
        ASSERT_TRUE(aliases.SaveAlias("Odd", *loaded));
        const Values stored = Stored(KeyOf("Odd"));
        if (on)
            EXPECT_EQ(stored, (Values{{"Disable SeeChanges", "True"}, {"Read Only", "True"}}));
        else
            EXPECT_TRUE(stored.empty()) << '"' << text << '"';
    }
}

TEST_F(AliasStoreTest, EachSettingGoesToItsOwnValueAndComesBack)
{
    for (std::size_t i = 0; i < std::size(FlagFields); ++i) {
        AliasSettings settings;
        settings.*FlagFields[i] = true;
        ASSERT_TRUE(aliases.SaveAlias("One", settings));
        EXPECT_EQ(Stored(KeyOf("One")), (Values{{FlagNames[i], "True"}}));
        EXPECT_EQ(aliases.LoadAlias("One"), settings) << FlagNames[i];
    }
    for (const auto& [name, field] : TextFields) {
        AliasSettings settings;
        settings.*field = std::string("text of ") + name;
        ASSERT_TRUE(aliases.SaveAlias("One", settings));
        EXPECT_EQ(Stored(KeyOf("One")), (Values{{name, settings.*field}}));
        EXPECT_EQ(aliases.LoadAlias("One"), settings) << name;
    }
}

TEST_F(AliasStoreTest, SaveRemovesOffFlagsAndEmptyTextsAndKeepsForeignValuesAndSubkeys)
{
    Values everything = {{"Foreign", "kept"}};
    for (const char* flag : FlagNames)
        everything[flag] = "True";
    for (const auto& text : TextFields)
        everything[text.first] = "old";
    Seed(KeyOf("Sales"), everything);
    Seed(KeyOf("Sales") + "\\Below", {{"Deep", "kept too"}});

    AliasSettings settings;
    settings.PrefetchThreshold = " twenty% ";
    ASSERT_TRUE(aliases.SaveAlias("Sales", settings));

    EXPECT_EQ(Stored(KeyOf("Sales"), {"Foreign"}),
              (Values{{"Foreign", "kept"}, {"Prefetch Threshold", " twenty% "}}));
    EXPECT_EQ(Stored(KeyOf("Sales") + "\\Below", {"Deep"}), (Values{{"Deep", "kept too"}}));
}

#ifndef _WIN32 // reads the order of the writes from the file store
TEST_F(AliasStoreTest, SaveWritesReadOnlyFirstThenTheFlagsThenPathFirstOfTheTexts)
{
    // The store file keeps every write as a record in the order it happened.
    AliasSettings settings;
    for (bool AliasSettings::*flag : FlagFields)
        settings.*flag = true;
    for (const auto& text : TextFields)
        settings.*text.second = "x";
    ASSERT_TRUE(aliases.SaveAlias("Ordered", settings));

    std::ifstream file(environment.UserRegistryFile(), std::ios::binary);
    const std::string records((std::istreambuf_iterator<char>(file)),
                              std::istreambuf_iterator<char>());
    std::vector<std::string> written;
    for (std::size_t at = records.find("\n\""); at != std::string::npos;
         at = records.find("\n\"", at + 1)) {
        const std::string name = records.substr(at + 2, records.find('"', at + 2) - at - 2);
        if (std::find(written.begin(), written.end(), name) == written.end())
            written.push_back(name);
    }
    const std::vector<std::string> expected = {"Read Only",
                                               "Exclusive",
                                               "Lock Edits",
                                               "Separate Workspace",
                                               "Use Defaults",
                                               "Use Constraints",
                                               "Use AllowZeroLength",
                                               "Rename Primary",
                                               "Show GUIDs",
                                               "Disable Refresh",
                                               "Disable SeeChanges",
                                               "ReportIndexesCaseSensitive",
                                               "Path",
                                               "SystemDb",
                                               "User Name",
                                               "Connect",
                                               "Prefetch Threshold",
                                               "Prefetch Reset Every"};
    EXPECT_EQ(written, expected);

    // Clearing everything removes the values, no empty text is ever written, and the empty
    // key is still an alias.
    ASSERT_TRUE(aliases.SaveAlias("Ordered", AliasSettings()));
    EXPECT_TRUE(Stored(KeyOf("Ordered")).empty());
    EXPECT_EQ(List(), (Pairs{{"Ordered", ""}}));
    std::ifstream again(environment.UserRegistryFile(), std::ios::binary);
    const std::string after((std::istreambuf_iterator<char>(again)),
                            std::istreambuf_iterator<char>());
    EXPECT_EQ(after.find("=\"\""), std::string::npos);
}
#endif

TEST_F(AliasStoreTest, LoadLeavesTheAliasKeyOpenAndMissingAliasGivesNothing)
{
    Seed(KeyOf("Sales"), {{"Path", "C:\\db\\sales.mdb"}});
    List();
    ASSERT_TRUE(aliases.LoadAlias("Sales").has_value());
    EXPECT_EQ(registry.CurrentPath(), std::string(AliasesKeyPath).substr(1) + "\\Sales");
    EXPECT_EQ(aliases.LoadAlias("Gone"), std::nullopt);
    EXPECT_FALSE(KeyExists(KeyOf("Gone")));
}

TEST_F(AliasStoreTest, RenameMovesValuesAndSubkeys)
{
    Seed(KeyOf("Old"), {{"Path", "C:\\old.mdb"}, {"Foreign", "moves"}});
    Seed(KeyOf("Old") + "\\Below", {{"Deep", "moves too"}});
    List();
    aliases.RenameAlias("Old", "New");
    EXPECT_FALSE(KeyExists(KeyOf("Old")));
    EXPECT_EQ(Stored(KeyOf("New"), {"Foreign"}),
              (Values{{"Foreign", "moves"}, {"Path", "C:\\old.mdb"}}));
    EXPECT_EQ(Stored(KeyOf("New") + "\\Below", {"Deep"}), (Values{{"Deep", "moves too"}}));
    EXPECT_EQ(List(), (Pairs{{"New", "C:\\old.mdb"}}));
}

TEST_F(AliasStoreTest, RenameOntoAnExistingNameOrAMissingAliasChangesNothing)
{
    Seed(KeyOf("Sales"), {{"Path", "C:\\sales.mdb"}});
    Seed(KeyOf("Stock"), {{"Path", "C:\\stock.mdb"}});
    List();
    aliases.RenameAlias("Sales", "Stock");
    EXPECT_EQ(Stored(KeyOf("Sales")), (Values{{"Path", "C:\\sales.mdb"}}));
    EXPECT_EQ(Stored(KeyOf("Stock")), (Values{{"Path", "C:\\stock.mdb"}}));

    // The same name in other letter case counts as existing: the key keeps its old spelling.
    aliases.RenameAlias("Sales", "SALES");
    std::vector<std::string> names = Subkeys(AliasesKeyPath);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"Sales", "Stock"}));

    aliases.RenameAlias("Gone", "Other");
    EXPECT_FALSE(KeyExists(KeyOf("Other")));
    EXPECT_FALSE(KeyExists(KeyOf("Gone")));
}

TEST_F(AliasStoreTest, DeleteRemovesTheWholeAliasOnly)
{
    Seed(KeyOf("Sales"), {{"Path", "C:\\sales.mdb"}, {"Foreign", "goes"}});
    Seed(KeyOf("Sales") + "\\Below\\Deeper", {{"Deep", "goes too"}});
    Seed(KeyOf("Stock"), {{"Path", "C:\\stock.mdb"}});
    List();
    EXPECT_TRUE(aliases.DeleteAlias("Sales"));
    EXPECT_FALSE(KeyExists(KeyOf("Sales")));
    EXPECT_EQ(List(), (Pairs{{"Stock", "C:\\stock.mdb"}}));
    EXPECT_FALSE(aliases.DeleteAlias("Sales"));
}

TEST_F(AliasStoreTest, AnEmptyNameNeverReachesTheAliasesKey)
{
    // Values on the Aliases key itself, as a save, load or delete of it would touch them.
    Seed(AliasesKeyPath, {{"Path", "C:\\not an alias.mdb"}, {"Read Only", "True"}});
    Seed(KeyOf("Sales"), {{"Path", "C:\\sales.mdb"}});
    List();

    EXPECT_EQ(aliases.LoadAlias(""), std::nullopt);
    EXPECT_FALSE(aliases.SaveAlias("", AliasSettings()));
    EXPECT_FALSE(aliases.DeleteAlias(""));
    aliases.RenameAlias("", "Moved");
    aliases.RenameAlias("Sales", "");

    EXPECT_EQ(Stored(AliasesKeyPath),
              (Values{{"Path", "C:\\not an alias.mdb"}, {"Read Only", "True"}}));
    EXPECT_EQ(List(), (Pairs{{"Sales", "C:\\sales.mdb"}}));
    EXPECT_FALSE(KeyExists(KeyOf("Moved")));
}

} // namespace
