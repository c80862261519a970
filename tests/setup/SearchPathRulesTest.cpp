#include <gtest/gtest.h>

#include "SearchPathRules.h"

namespace
{

const std::string P = "C:\\Program Files\\Quillon\\Tessarium";
const std::string R = "C:\\Program Files\\Borland\\Delphi 3";

std::string Proposal(const std::string& searchPath, Environment environment)
{
    EnvironmentProfile profile;
    profile.ProductDir = P;
    profile.EnvironmentDir = R;
    profile.LibSubfolder = "\\Lib\\X";
    return SearchPathInstallProposal(searchPath, profile, environment);
}

} // namespace

TEST(SearchPathRules, InstallPutsEngineFoldersFirstAndDelphi3To5AddTheirDelphi2Folder)
{
    const std::string front = P + "\\Lib\\X;" + P + "\\Lib\\Src;";
    for (Environment environment : {Environment::Delphi2, Environment::CPP1, Environment::CPP4})
        EXPECT_EQ(Proposal("$(DELPHI)\\LIB", environment), front + "$(DELPHI)\\LIB");
    for (Environment environment :
         {Environment::Delphi3, Environment::Delphi4, Environment::Delphi5})
        EXPECT_EQ(Proposal("$(DELPHI)\\Lib", environment),
                  front + "$(DELPHI)\\Lib;" + R + "\\Lib\\Delphi2");
    // An empty search path leaves an empty entry before the appended folder.
    EXPECT_EQ(Proposal("", Environment::Delphi3), front + ";" + R + "\\Lib\\Delphi2");
    EXPECT_EQ(Proposal("", Environment::CPP1), front);
}

TEST(SearchPathRules, EngineIsFoundOnlyInItsOwnLetterCaseAndNeverWhenEmpty)
{
    EXPECT_TRUE(SearchPathHasEngine("A;" + P + "\\Lib", P));
    EXPECT_TRUE(SearchPathHasEngine("A;X" + P + "Old\\Lib", P)); // inside a longer name
    EXPECT_FALSE(SearchPathHasEngine("A;C:\\PROGRAM FILES\\QUILLON\\TESSARIUM\\Lib", P));
    EXPECT_FALSE(SearchPathHasEngine("A;B", ""));
}

TEST(SearchPathRules, RemovalCutsEachOccurrenceUpToItsSeparator)
{
    EXPECT_EQ(SearchPathRemoval(P + "\\Lib\\Delphi3;" + P + "\\Lib\\Src;$(DELPHI)\\Lib;" + R +
                                    "\\Lib\\Delphi2",
                                P),
              "$(DELPHI)\\Lib;" + R + "\\Lib\\Delphi2");
    // The ";" before a deleted last entry stays.
    EXPECT_EQ(SearchPathRemoval("A;" + P + "\\Lib;B;" + P + "\\Lib\\Src", P), "A;B;");
    EXPECT_EQ(SearchPathRemoval(P, P), "");
    EXPECT_EQ(SearchPathRemoval("A;X" + P + "\\Lib;B", P), "A;XB");
    const std::string upper = "A;C:\\PROGRAM FILES\\QUILLON\\TESSARIUM\\Lib";
    EXPECT_EQ(SearchPathRemoval(upper, P), upper);
    EXPECT_EQ(SearchPathRemoval("A;B", ""), "A;B");
}
