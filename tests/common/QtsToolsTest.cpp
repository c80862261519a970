// Text and path helpers: search and replace as the macro expansion uses them, item splitting,
// folder paths, and folder creation on a real drive.
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <iterator>
#include <random>

#include "FileSystem.h"
#include "QtsTools.h"
#include "TestEnvironment.h"

namespace fs = std::filesystem;

TEST(ReplaceAll, ExpandsMacrosCaseSensitively)
{
    EXPECT_EQ(ReplaceAll("a%borland%borlandb", "%borland", "X"), "aXXb");
    EXPECT_EQ(ReplaceAll("a%borland%borlandb", "%BORLAND", "X"), "a%borland%borlandb");
    EXPECT_EQ(ReplaceAll("a;b;c", ";", ","), "a,b,c");
    EXPECT_EQ(ReplaceAll("%borland\\Bin", "%borland", "C:\\Program Files\\Borland"),
              "C:\\Program Files\\Borland\\Bin");
}

TEST(ReplaceAll, ContinuesBehindEachOccurrence)
{
    EXPECT_EQ(ReplaceAll("aaa", "aa", "b"), "ba");
    EXPECT_EQ(ReplaceAll("aaa", "aa", "bb"), "bba");
    // A replacement that completes an earlier match is not searched again.
    EXPECT_EQ(ReplaceAll("aab", "ab", "ba"), "aba");
}

TEST(ReplaceAll, LeavesTextAloneForEmptyOrIdenticalPattern)
{
    EXPECT_EQ(ReplaceAll("abc", "", "x"), "abc");
    EXPECT_EQ(ReplaceAll("abc", "b", "b"), "abc");
    EXPECT_EQ(ReplaceAll("", "b", "xy"), "");
}

// Equal lengths overwrite a copy in place, other lengths build the text anew; both must find
// the same occurrences. Replacing by r plus a marker and dropping the markers must give what
// replacing by r gives.
TEST(ReplaceAll, BothRoutesFindTheSameOccurrences)
{
    std::mt19937 random(7);
    const auto word = [&](std::size_t maxLength) {
        std::string s(random() % (maxLength + 1), 'a');
        for (char& c : s)
            c = "ab\0"[random() % 3];
        return s;
    };
    for (int round = 0; round < 2000; ++round) {
        const std::string text = word(12);
        std::string pattern = word(3);
        std::string replacement = word(3);
        replacement.resize(pattern.size(), 'a');
        std::string viaBuilding = ReplaceAll(text, pattern, replacement + "#");
        viaBuilding.erase(std::remove(viaBuilding.begin(), viaBuilding.end(), '#'),
                          viaBuilding.end());
        ASSERT_EQ(ReplaceAll(text, pattern, replacement), viaBuilding)
            << "text " << text << " pattern " << pattern;
    }
}

TEST(Search, PositionsAreOneBasedAndZeroWhenNotFound)
{
    EXPECT_EQ(PosFrom("ab", "xabab", 3), 4u);
    EXPECT_EQ(PosFrom("ab", "xabab", 1), 2u);
    EXPECT_EQ(PosFrom("ab", "xab", 4), 0u);
    EXPECT_EQ(PosFrom("abcd", "abc", 1), 0u);
    EXPECT_EQ(PosFrom("", "abc", 1), 0u);
    EXPECT_EQ(PosFrom("a", "", 1), 0u);
    EXPECT_EQ(PosFromText("xabab", "ab", 3), 4u);
    EXPECT_EQ(PosFromText("xab", "ab", 4), 0u);

    EXPECT_EQ(CharPosFrom("a;b", ';', 1), 2u);
    EXPECT_EQ(CharPosFrom("a;b", ';', 3), 0u);
    EXPECT_EQ(CharPosFrom("a;b", ';', 4), 0u);
    EXPECT_EQ(CharPosFrom("", ';', 1), 0u);
    EXPECT_EQ(CharPosFrom(std::string("a\0;", 3), ';', 1), 0u);
}

TEST(Pairs, SplitAtTheFirstEqualsSignAndTrim)
{
    EXPECT_EQ(PairName(" Lib = x=y "), "Lib");
    EXPECT_EQ(PairValue(" Lib = x=y "), "x=y");
    EXPECT_EQ(PairName("Lib"), "Lib");
    EXPECT_EQ(PairValue("Lib"), "");
    EXPECT_EQ(PairName("=v"), "");
    EXPECT_EQ(PairValue("\tn =\r\n"), "");
}

TEST(Trim, RemovesControlCodesButKeepsHighBytes)
{
    EXPECT_EQ(Trim(std::string("\0\x01 \tabc \x1f ", 9)), "abc");
    EXPECT_EQ(Trim(" \xc3\xa9t\xc3\xa9 "), "\xc3\xa9t\xc3\xa9");
    EXPECT_EQ(Trim("\xa0x\xa0"), "\xa0x\xa0");
    EXPECT_EQ(Trim(" \x7f"), "\x7f");
    EXPECT_EQ(Trim("   "), "");
}

TEST(Paths, NormalizeKeepsOneTrailingBackslashAndANetworkPrefix)
{
    EXPECT_EQ(NormalizeDirPath(""), "");
    EXPECT_EQ(NormalizeDirPath("C:"), "C:\\");
    EXPECT_EQ(NormalizeDirPath("C:\\\\a\\\\\\b"), "C:\\a\\b\\");
    EXPECT_EQ(NormalizeDirPath("\\\\srv\\share"), "\\\\srv\\share\\");
    EXPECT_EQ(NormalizeDirPath("\\\\\\srv"), "\\\\srv\\");
    EXPECT_EQ(NormalizeDirPath("a\\"), "a\\");
}

TEST(Paths, SplitAtTheLastSeparatorOfAnyKind)
{
    EXPECT_EQ(FileNamePart("C:\\Lib\\BDE.dcu"), "BDE.dcu");
    EXPECT_EQ(FolderPart("C:\\Lib\\BDE.dcu"), "C:\\Lib\\");
    EXPECT_EQ(FileNamePart("/home/u/x\\Lib/vcl.dcp"), "vcl.dcp");
    EXPECT_EQ(FolderPart("/home/u/x\\Lib/vcl.dcp"), "/home/u/x\\Lib/");
    EXPECT_EQ(FileNamePart("C:x.dll"), "x.dll");
    EXPECT_EQ(FolderPart("C:x.dll"), "C:");
    EXPECT_EQ(FolderPart("plain"), "");
}

TEST(Assertion, ShowsMessageUnitAndLine)
{
    EXPECT_STREQ(EAssertionFailed("QuSysTools.CreatePath: No \\ found", "QtsTools", 294).what(),
                 "QuSysTools.CreatePath: No \\ found (QtsTools, line 294)");
}

// Folder creation on drive T:, a private folder of the test environment.
class CreatePathOnDrive : public testing::Test
{
protected:
    TestEnvironment env;
    const fs::path drive = env.AddDrive('t');

    std::size_t EntriesBelow(const fs::path& folder) const
    {
#ifdef _WIN32
        // Windows lists an empty drive root as an error, not as an empty folder.
        std::error_code error;
        if (fs::recursive_directory_iterator(folder, error) == fs::recursive_directory_iterator())
            return 0;
#endif
        return static_cast<std::size_t>(std::distance(fs::recursive_directory_iterator(folder),
                                                      fs::recursive_directory_iterator()));
    }
};

TEST_F(CreatePathOnDrive, CreatesEveryMissingFolder)
{
    EXPECT_TRUE(CreatePath("T:\\A\\B"));
    EXPECT_TRUE(fs::is_directory(drive / "A" / "B"));
    EXPECT_TRUE(FolderExists("T:\\A\\B"));
    EXPECT_TRUE(CreatePath("T:\\A\\B\\"));
    EXPECT_TRUE(CreatePath("T:\\\\A\\\\C\\\\\\D"));
    EXPECT_TRUE(fs::is_directory(drive / "A" / "C" / "D"));
}

TEST_F(CreatePathOnDrive, StopsAtAFileInTheWay)
{
    ASSERT_TRUE(CreatePath("T:\\A"));
    env.WriteFile("T:\\A\\B", "not a folder");
    EXPECT_FALSE(CreatePath("T:\\A\\B"));
    EXPECT_FALSE(CreatePath("T:\\A\\B\\C"));
    EXPECT_EQ(EntriesBelow(drive), 2u); // A and the file B, nothing else
}

TEST_F(CreatePathOnDrive, EmptyPathCreatesNothing)
{
    EXPECT_TRUE(CreatePath(""));
    EXPECT_EQ(EntriesBelow(drive), 0u);
}

TEST_F(CreatePathOnDrive, ExistingFoldersAreFoundIgnoringLetterCase)
{
    ASSERT_TRUE(CreatePath("T:\\Data"));
    EXPECT_TRUE(CreatePath("t:\\DATA\\Sub"));
    EXPECT_TRUE(fs::is_directory(drive / "Data" / "Sub"));
    EXPECT_EQ(EntriesBelow(drive), 2u);
}

TEST_F(CreatePathOnDrive, RelativePathsStartInTheCurrentFolder)
{
    const fs::path previous = fs::current_path();
    fs::current_path(drive);
    const bool created = CreatePath("rel\\sub");
    fs::current_path(previous);
    EXPECT_TRUE(created);
    EXPECT_TRUE(fs::is_directory(drive / "rel" / "sub"));
}

TEST_F(CreatePathOnDrive, FolderExistsForFoldersAndDriveRootsOnly)
{
    env.WriteFile("T:\\file.txt", "x");
    EXPECT_FALSE(FolderExists("T:\\file.txt"));
    EXPECT_FALSE(FolderExists("T:\\missing"));
    EXPECT_TRUE(FolderExists("T:\\"));
    EXPECT_TRUE(FolderExists("C:\\"));
}

#ifndef _WIN32
// The drive table itself: unmapped letters and network shares.
TEST_F(CreatePathOnDrive, UnmappedDriveIsNeitherTestedNorCreated)
{
    EXPECT_TRUE(FolderExists("C:"));
    EXPECT_FALSE(FolderExists(""));
    EXPECT_FALSE(FolderExists("Y:\\"));
    EXPECT_FALSE(CreatePath("Y:\\A"));
    EXPECT_FALSE(fs::exists(env.Root() + "/dosdevices/y:"));
}

TEST_F(CreatePathOnDrive, NetworkPathsCreateOnlyBelowTheShare)
{
    fs::create_directories(env.Root() + "/dosdevices/unc/srv/share");
    EXPECT_TRUE(FolderExists("\\\\srv\\share"));
    EXPECT_TRUE(CreatePath("\\\\SRV\\Share\\A\\B"));
    EXPECT_TRUE(fs::is_directory(env.Root() + "/dosdevices/unc/srv/share/A/B"));

    EXPECT_FALSE(FolderExists("\\\\srv\\missing"));
    EXPECT_FALSE(CreatePath("\\\\srv\\missing\\A"));
    EXPECT_FALSE(fs::exists(env.Root() + "/dosdevices/unc/srv/missing"));
    EXPECT_TRUE(CreatePath("\\\\srv"));
    EXPECT_FALSE(fs::exists(env.Root() + "/dosdevices/unc/srv/srv"));
}
#endif
