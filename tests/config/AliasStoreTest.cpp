// The alias store over a private registry store: what lands in the registry after each
// operation, read back through registry objects of their own.
#include <algorithm>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>

#include "AliasStore.h"
#include "AliasValueNames.h"
#include "TestEnvironment.h"

namespace
{

using Values = std::map<std::string, std::string>;
using Pairs = std::vector<std::pair<std::string, std::string>>;

std::string KeyOf(const std::string& alias)
{
    return std::string(AliasesKeyPath) + "\\" + alias;
}

class AliasStoreTest : public testing::Test
{
protected:
    // Writes text values into a key through a registry object of its own, as another program.
    void Seed(const std::string& key, const Values& values,
              RegistryRoot root = HKEY_CURRENT_USER_ROOT)
    {
        TRegistry other;
        other.SelectRoot(root);
        ASSERT_TRUE(other.OpenKeyPath(key, true)) << key;
        for (const auto& [name, text] : values)
            other.WriteText(name, text);
    }

    // The 18 alias values and "Foreign" of a key, read as text, absent ones left out.
    Values Stored(const std::string& key)
    {
        TRegistry other;
        if (!other.OpenKeyPath(key, false))
            return {{"<key missing>", ""}};
        std::vector<std::string> names = {"Foreign", "Deep"};
        for (const auto& flag : AliasFlagFields)
            names.push_back(flag.first);
        for (const auto& text : AliasTextFields)
            names.push_back(text.first);
        Values values;
        for (const std::string& name : names)
            if (other.HasValue(name))
                values[name] = other.ReadText(name);
        return values;
    }

    std::vector<std::string> Subkeys(const std::string& key,
                                     RegistryRoot root = HKEY_CURRENT_USER_ROOT)
    {
        TRegistry other;
        other.SelectRoot(root);
        std::vector<std::string> names{"<key missing>"};
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

TEST_F(AliasStoreTest, ListingGivesEachAliasOfTheScopeWithItsPathInEnumerationOrder)
{
    // A missing Aliases key is created by listing, in the listed scope only.
    EXPECT_TRUE(List().empty());
    EXPECT_EQ(Subkeys(AliasesKeyPath), std::vector<std::string>());
    EXPECT_EQ(Subkeys(AliasesKeyPath, HKEY_LOCAL_MACHINE_ROOT),
              std::vector<std::string>{"<key missing>"});
    EXPECT_FALSE(registry.HasOpenKey());

    Seed(KeyOf("Sales"), {{"Path", "C:\\db\\sales.mdb"}});
    Seed(KeyOf("Empty"), {});
    Seed(KeyOf("Stock"), {{"Path", "C:\\db\\stock.mdb"}, {"Exclusive", "True"}});
    Seed(KeyOf("Machine"), {{"Path", "C:\\m.mdb"}}, HKEY_LOCAL_MACHINE_ROOT);
    const Values paths = {
        {"Sales", "C:\\db\\sales.mdb"}, {"Empty", ""}, {"Stock", "C:\\db\\stock.mdb"}};
    Pairs inOrder;
    for (const std::string& name : Subkeys(AliasesKeyPath))
        inOrder.emplace_back(name, paths.at(name));
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
        ADD_FAILURE() << "listing went through";
    } catch (const ERegistryException& error) {
        EXPECT_STREQ(error.what(), "Invalid data type for 'Path'");
    }
    EXPECT_EQ(listed, (Pairs{{order[0], "C:\\" + order[0] + ".mdb"}}));
    // The registry object is back on the Aliases key.
    EXPECT_EQ(registry.CurrentPath(), std::string(AliasesKeyPath).substr(1));
}

TEST_F(AliasStoreTest, FlagsAreOnOnlyForTrueInAnyLetterCaseAndSaveBackAsTrueOrNothing)
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
        ASSERT_TRUE(aliases.SaveAlias("Odd", *loaded));
        const Values saved = {{"Disable SeeChanges", "True"}, {"Read Only", "True"}};
        EXPECT_EQ(Stored(KeyOf("Odd")), on ? saved : Values());
    }
}

TEST_F(AliasStoreTest, EachSettingGoesToItsOwnValueAndComesBack)
{
    for (const auto& [name, field] : AliasFlagFields) {
        AliasSettings settings;
        settings.*field = true;
        ASSERT_TRUE(aliases.SaveAlias("One", settings));
        EXPECT_EQ(Stored(KeyOf("One")), (Values{{name, "True"}}));
        EXPECT_EQ(aliases.LoadAlias("One"), settings) << name;
    }
    for (const auto& [name, field] : AliasTextFields) {
        AliasSettings settings;
        settings.*field = std::string(" text of ") + name;
        ASSERT_TRUE(aliases.SaveAlias("One", settings));
        EXPECT_EQ(Stored(KeyOf("One")), (Values{{name, settings.*field}}));
        EXPECT_EQ(aliases.LoadAlias("One"), settings) << name;
    }
    // The key of the alias loaded last stays open.
    EXPECT_EQ(registry.CurrentPath(), std::string(AliasesKeyPath).substr(1) + "\\One");
    EXPECT_EQ(aliases.LoadAlias("Gone"), std::nullopt);
    EXPECT_EQ(Stored(KeyOf("Gone")), (Values{{"<key missing>", ""}}));
}

TEST_F(AliasStoreTest, SaveWritesAllValuesInItsOrderAndRemovesOffFlagsAndEmptyTexts)
{
    Values everything = {{"Foreign", "kept"}};
    for (const auto& flag : AliasFlagFields)
        everything[flag.first] = "True";
    for (const auto& text : AliasTextFields)
        everything[text.first] = "old";
    Seed(KeyOf("Sales"), everything);
    Seed(KeyOf("Sales") + "\\Below", {{"Deep", "kept too"}});

    AliasSettings settings;
    settings.PrefetchThreshold = "twenty%";
    ASSERT_TRUE(aliases.SaveAlias("Sales", settings));
    EXPECT_EQ(Stored(KeyOf("Sales")),
              (Values{{"Foreign", "kept"}, {"Prefetch Threshold", "twenty%"}}));
    EXPECT_EQ(Stored(KeyOf("Sales") + "\\Below"), (Values{{"Deep", "kept too"}}));
    // An alias with nothing stored is an empty key, still listed.
    ASSERT_TRUE(aliases.SaveAlias("Sales", AliasSettings()));
    EXPECT_EQ(Stored(KeyOf("Sales")), (Values{{"Foreign", "kept"}}));
    EXPECT_EQ(List(), (Pairs{{"Sales", ""}}));

#ifndef _WIN32 // the file store keeps every write as a record in the order it happened
    for (const auto& flag : AliasFlagFields)
        settings.*flag.second = true;
    for (const auto& text : AliasTextFields)
        settings.*text.second = "x";
    const auto fileText = [&] {
        std::ifstream file(environment.UserRegistryFile(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    };
    const std::size_t before = fileText().size();
    ASSERT_TRUE(aliases.SaveAlias("Sales", settings));
    const std::string records = fileText().substr(before);
    std::vector<std::string> written, expected;
    for (std::size_t at = records.find("\n\""); at != std::string::npos;
         at = records.find("\n\"", at + 1))
        written.push_back(records.substr(at + 2, records.find('"', at + 2) - at - 2));
    for (const auto& flag : AliasFlagFields)
        expected.push_back(flag.first);
    for (const auto& text : AliasTextFields)
        expected.push_back(text.first);
    EXPECT_EQ(written, expected);
    EXPECT_EQ(records.find("=\"\""), std::string::npos);
#endif
}

TEST_F(AliasStoreTest, RenameMovesAndDeleteRemovesTheWholeAlias)
{
    Seed(KeyOf("Old"), {{"Path", "C:\\old.mdb"}, {"Foreign", "moves"}});
    Seed(KeyOf("Old") + "\\Below", {{"Deep", "moves too"}});
    Seed(KeyOf("Stock"), {{"Path", "C:\\stock.mdb"}});
    List();
    aliases.RenameAlias("Old", "New");
    EXPECT_EQ(Stored(KeyOf("Old")), (Values{{"<key missing>", ""}}));
    EXPECT_EQ(Stored(KeyOf("New")), (Values{{"Foreign", "moves"}, {"Path", "C:\\old.mdb"}}));
    EXPECT_EQ(Stored(KeyOf("New") + "\\Below"), (Values{{"Deep", "moves too"}}));

    // Onto another alias, onto itself in other letter case, or of a missing alias: no change.
    aliases.RenameAlias("New", "Stock");
    aliases.RenameAlias("New", "NEW");
    aliases.RenameAlias("Gone", "Other");
    std::vector<std::string> names = Subkeys(AliasesKeyPath);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"New", "Stock"}));
    EXPECT_EQ(Stored(KeyOf("Stock")), (Values{{"Path", "C:\\stock.mdb"}}));
    EXPECT_EQ(Stored(KeyOf("New")).size(), 2u);

    // A delete takes the alias with all below it.
    EXPECT_TRUE(aliases.DeleteAlias("New"));
    EXPECT_EQ(List(), (Pairs{{"Stock", "C:\\stock.mdb"}}));
    EXPECT_FALSE(aliases.DeleteAlias("New"));
}

TEST_F(AliasStoreTest, AnEmptyNameNeverReachesTheAliasesKey)
{
    // Values on the Aliases key itself, as a save, load or delete of it would touch them.
    const Values onAliasesKey = {{"Path", "C:\\not an alias.mdb"}, {"Read Only", "True"}};
    Seed(AliasesKeyPath, onAliasesKey);
    Seed(KeyOf("Sales"), {{"Path", "C:\\sales.mdb"}});
    List();
    EXPECT_EQ(aliases.LoadAlias(""), std::nullopt);
    EXPECT_FALSE(aliases.SaveAlias("", AliasSettings()));
    EXPECT_FALSE(aliases.DeleteAlias(""));
    aliases.RenameAlias("", "Moved");
    aliases.RenameAlias("Sales", "");
    EXPECT_EQ(Stored(AliasesKeyPath), onAliasesKey);
    EXPECT_EQ(List(), (Pairs{{"Sales", "C:\\sales.mdb"}}));
}

} // namespace
