#include <gtest/gtest.h>

#include "PackageList.h"

using Items = std::vector<std::string>;

TEST(PackageList, SplitsAtCommasAndBlanksAndSkipsBlanksAroundCommas)
{
    EXPECT_EQ(SplitCommaText("a=b,c=d+"), (Items{"a=b", "c=d+"}));
    EXPECT_EQ(SplitCommaText("  a , b\t,\r\nc  "), (Items{"a", "b", "c"}));
    EXPECT_EQ(SplitCommaText("a b"), (Items{"a", "b"}));
    EXPECT_EQ(SplitCommaText("a,,b"), (Items{"a", "", "b"}));
    EXPECT_EQ(SplitCommaText("a,"), (Items{"a"}));
    EXPECT_EQ(SplitCommaText(""), Items{});
    EXPECT_EQ(SplitCommaText(" \t "), Items{});
}

TEST(PackageList, QuotedItemsKeepBlanksAndCommasAndUndoubleQuotes)
{
    EXPECT_EQ(SplitCommaText("\"C:\\My Files\\a,b=x\", y"), (Items{"C:\\My Files\\a,b=x", "y"}));
    EXPECT_EQ(SplitCommaText("\"say \"\"hi\"\"\",z"), (Items{"say \"hi\"", "z"}));
    EXPECT_EQ(SplitCommaText("\"\",z"), (Items{"", "z"}));
    EXPECT_EQ(SplitCommaText("\"open, to the end"), (Items{"open, to the end"}));
    // UTF-8 bytes are not blanks.
    EXPECT_EQ(SplitCommaText("caf\xc3\xa9,b"), (Items{"caf\xc3\xa9", "b"}));
}

TEST(PackageList, ExpandsMacrosPerItemAndTakesOffTheBackupMark)
{
    EnvironmentProfile profile;
    profile.EnvironmentDir = "C:\\Program Files\\Borland\\CBuilder3";
    profile.ProductDir = "D:\\Quillon, Tessarium";
    profile.PackageList = "%quillon\\Lib\\VCLDB35.bpl=%borland\\Bin\\vcldb35.bpl,"
                          "%quillon\\Lib\\Release\\VCLDB35.lib=%borland\\Lib\\vcldb35.lib+";
    const auto items = ReadPackageList(profile);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].source, "D:\\Quillon, Tessarium\\Lib\\VCLDB35.bpl");
    EXPECT_EQ(items[0].target, "C:\\Program Files\\Borland\\CBuilder3\\Bin\\vcldb35.bpl");
    EXPECT_FALSE(items[0].marked);
    EXPECT_EQ(items[0].backup, "");
    EXPECT_EQ(items[1].target, "C:\\Program Files\\Borland\\CBuilder3\\Lib\\vcldb35.lib");
    EXPECT_TRUE(items[1].marked);
    EXPECT_EQ(items[1].backup, "C:\\Program Files\\Borland\\CBuilder3\\Lib\\vcldb35.lib.old");
}

TEST(PackageList, BorlandIsExpandedBeforeQuillonAndMacrosAreCaseSensitive)
{
    EnvironmentProfile profile;
    profile.EnvironmentDir = "E:\\%quillon";
    profile.ProductDir = "Q:";
    profile.PackageList = "%QUILLON\\a=%borland\\b";
    const auto items = ReadPackageList(profile);
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].source, "%QUILLON\\a");
    EXPECT_EQ(items[0].target, "E:\\Q:\\b");
}

TEST(PackageList, ASourceNamedAgainTakesTheTargetGivenFirst)
{
    EnvironmentProfile profile;
    profile.PackageList = "%quillon\\A.bpl=first+,%QUILLON\\a.BPL=second,other";
    profile.ProductDir = "P";
    const auto items = ReadPackageList(profile);
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[1].source, "%QUILLON\\a.BPL");
    EXPECT_EQ(items[1].target, "first");
    EXPECT_TRUE(items[1].marked);
    EXPECT_EQ(items[2].source, "other");
    EXPECT_EQ(items[2].target, "");
}
