#include <gtest/gtest.h>

#include "PackageList.h"

using Items = std::vector<std::string>;

TEST(PackageList, SplitsCommaTextWithBlanksAndQuotes)
{
    EXPECT_EQ(SplitCommaText("a=b,c=d+"), (Items{"a=b", "c=d+"}));
    EXPECT_EQ(SplitCommaText("  a , b\t,\r\nc d "), (Items{"a", "b", "c", "d"}));
    EXPECT_EQ(SplitCommaText("a,,b,"), (Items{"a", "", "b"}));
    EXPECT_EQ(SplitCommaText(" \t "), Items{});
    EXPECT_EQ(SplitCommaText("\"C:\\My Files\\a,b=x\", y"), (Items{"C:\\My Files\\a,b=x", "y"}));
    EXPECT_EQ(SplitCommaText("\"say \"\"hi\"\"\",\"\""), (Items{"say \"hi\"", ""}));
    EXPECT_EQ(SplitCommaText("\"open, to the end"), (Items{"open, to the end"}));
    // UTF-8 bytes are not blanks.
    EXPECT_EQ(SplitCommaText("caf\xc3\xa9,b"), (Items{"caf\xc3\xa9", "b"}));
}

TEST(PackageList, ExpandsMacrosPerItemAndTakesOffTheBackupMark)
{
    EnvironmentProfile profile;
    profile.EnvironmentDir = "C:\\Borland\\%quillon";
    profile.ProductDir = "D:\\Quillon, Tessarium";
    profile.PackageList = "%quillon\\Lib\\VCLDB35.bpl=%borland\\Bin\\vcldb35.bpl,"
                          "%QUILLON\\Release\\VCLDB35.lib=%borland\\Lib\\vcldb35.lib+";
    const auto items = ReadPackageList(profile);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].source, "D:\\Quillon, Tessarium\\Lib\\VCLDB35.bpl");
    // "%borland" is expanded first, so a "%quillon" it brings in is expanded too.
    EXPECT_EQ(items[0].target, "C:\\Borland\\D:\\Quillon, Tessarium\\Bin\\vcldb35.bpl");
    EXPECT_FALSE(items[0].marked);
    EXPECT_EQ(items[0].backup, "");
    EXPECT_EQ(items[1].source, "%QUILLON\\Release\\VCLDB35.lib");
    EXPECT_EQ(items[1].target, "C:\\Borland\\D:\\Quillon, Tessarium\\Lib\\vcldb35.lib");
    EXPECT_TRUE(items[1].marked);
    EXPECT_EQ(items[1].backup, items[1].target + ".old");
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
    EXPECT_EQ(items[2].target, "");
}
