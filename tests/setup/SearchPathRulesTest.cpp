#include <gtest/gtest.h>

#include "SearchPathRules.h"

namespace
{

const std::string P = "C:\\Program Files\\Quillon\\Tessarium";
const std::string R = "C:\\Program Files\\Borland\\Delphi 3";

EnvironmentProfile Profile(const std::string& libSubfolder)
{
    EnvironmentProfile profile;
    profile.ProductDir = P;
    profile.EnvironmentDir = R;
    profile.LibSubfolder = libSubfolder;
    return profile;
}

} // namespace

TEST(SearchPathRules, InstallPutsEngineFoldersFirstAndKeepsMacrosAsStored)
{
    EXPECT_EQ(SearchPathInstallProposal("$(DELPHI)\\LIB", Profile("\\Lib\\Delphi2"),
                                        Environment::Delphi2),
              P + "\\Lib\\Delphi2;" + P + "\\Lib\\Src;$(DELPHI)\\LIB");
    EXPECT_EQ(SearchPathInstallProposal("$(BCB)\\Lib", Profile("\\Lib\\CPP4"), Environment::CPP4),
              P + "\\Lib\\CPP4;" + P + "\\Lib\\Src;$(BCB)\\Lib");
}

TEST(SearchPathRules, InstallForDelphi3To5AppendsTheEnvironmentsDelphi2Folder)
{
    for (Environment environment :
         {Environment::Delphi3, Environment::Delphi4, Environment::Delphi5}) {
        EXPECT_EQ(SearchPathInstallProposal("$(DELPHI)\\Lib", Profile("\\Lib\\X"), environment),
                  P + "\\Lib\\X;" + P + "\\Lib\\Src;$(DELPHI)\\Lib;" + R + "\\Lib\\Delphi2");
    }
    // An empty search path leaves an empty entry before the appended folder.
    EXPECT_EQ(SearchPathInstallProposal("", Profile("\\Lib\\Delphi3"), Environment::Delphi3),
              P + "\\Lib\\Delphi3;" + P + "\\Lib\\Src;;" + R + "\\Lib\\Delphi2");
    EXPECT_EQ(SearchPathInstallProposal("", Profile("\\Lib\\CPP"), Environment::CPP1),
              P + "\\Lib\\CPP;" + P + "\\Lib\\Src;");
}

TEST(SearchPathRules, EngineIsFoundOnlyInItsOwnLetterCaseAndNeverWhenEmpty)
{
    EXPECT_TRUE(SearchPathHasEngine("A;" + P + "\\Lib", P));
    EXPECT_TRUE(SearchPathHasEngine("A;X" + P + "Old\\Lib", P)); // inside a longer name
    EXPECT_FALSE(SearchPathHasEngine("A;C:\\PROGRAM FILES\\QUILLON\\TESSARIUM\\Lib", P));
    EXPECT_FALSE(SearchPathHasEngine("A;B", ""));
    EXPECT_FALSE(SearchPathHasEngine("", ""));
}

TEST(SearchPathRules, RemovalLeavesForeignEntriesAndTheDelphi2Folder)
{
    const std::string installed =
        P + "\\Lib\\Delphi3;" + P + "\\Lib\\Src;$(DELPHI)\\Lib;" + R + "\\Lib\\Delphi2";
    EXPECT_EQ(SearchPathRemoval(installed, P), "$(DELPHI)\\Lib;" + R + "\\Lib\\Delphi2");
}

TEST(SearchPathRules, RemovalOfTheLastEntryKeepsTheSeparatorBeforeIt)
{
    EXPECT_EQ(SearchPathRemoval("A;" + P + "\\Lib;B;" + P + "\\Lib\\Src", P), "A;B;");
    EXPECT_EQ(SearchPathRemoval(P, P), "");
}

TEST(SearchPathRules, RemovalCutsFromTheOccurrenceAndIgnoresOtherLetterCase)
{
    const std::string upper = "C:\\PROGRAM FILES\\QUILLON\\TESSARIUM";
    EXPECT_EQ(SearchPathRemoval("A;X" + P + "\\Lib;B", P), "A;XB");
    EXPECT_EQ(SearchPathRemoval("A;" + upper + "\\Lib", P), "A;" + upper + "\\Lib");
    EXPECT_EQ(SearchPathRemoval("A;B", ""), "A;B");
}
