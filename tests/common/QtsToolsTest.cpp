// Text and path helpers: search and replace as the macro expansion uses them, item splitting,
// folder paths, and folder creation on a real drive.
#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <iterator>
#include <random>

#include "QtsTools.h"
#include "TestEnvironment.h"

namespace fs = std::filesystem;

TEST(ReplaceAll, ReplacesLeftToRightWithoutOverlapOrRescan)
{
    struct Case {
        const char *text, *pattern, *replacement, *result;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"a%borland%borlandb", "%borland", "X", "aXXb"},
             {"a%borland%borlandb", "%BORLAND", "X", "a%borland%borlandb"},
             {"a;b;c", ";", ",", "a,b,c"},
             {"aaa", "aa", "b", "ba"},
             {"aaa", "aa", "bb", "bba"},
             {"aab", "ab", "ba", "aba"}, // a replacement completing a match is not searched again
             {"abc", "", "x", "abc"},
             {"abc", "b", "b", "abc"},
             {"", "b", "xy", ""},
         })
        EXPECT_EQ(ReplaceAll(c.text, c.pattern, c.replacement), c.result) << c.text << c.pattern;
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
        const std::string pattern = word(3);
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
    EXPECT_EQ(PosFromText("xabab", "ab", 3), 4u);

    EXPECT_EQ(CharPosFrom("a;b", ';', 1), 2u);
    EXPECT_EQ(CharPosFrom("a;b", ';', 3), 0u);
    EXPECT_EQ(CharPosFrom("a;b", ';', 4), 0u);
    EXPECT_EQ(CharPosFrom("", ';', 1), 0u);
    EXPECT_EQ(CharPosFrom(std::string("a\0;", 3), ';', 1), 0u);
}

TEST(Pairs, SplitAtTheFirstEqualsSignAndTrimControlCodesOnly)
{
    EXPECT_EQ(PairName(" Lib = x=y "), "Lib");
    EXPECT_EQ(PairValue(" Lib = x=y "), "x=y");
    EXPECT_EQ(PairName("Lib"), "Lib");
    EXPECT_EQ(PairValue("Lib"), "");
    EXPECT_EQ(PairValue("\tn =\r\n"), "");
    // Codes 0..32 go; bytes above 127 are text, not blanks.
    EXPECT_EQ(Trim(std::string("\0\x01 \tabc \x1f ", 9)), "abc");
    EXPECT_EQ(Trim(" \xa0\xc3\xa9 \x7f\xe9 "), "\xa0\xc3\xa9 \x7f\xe9");
}

TEST(Paths, NormalizeAndSplit)
{
    EXPECT_EQ(NormalizeDirPath(""), "");
    EXPECT_EQ(NormalizeDirPath("C:"), "C:\\");
    EXPECT_EQ(NormalizeDirPath("C:\\\\a\\\\\\b"), "C:\\a\\b\\");
    EXPECT_EQ(NormalizeDirPath("\\\\srv\\share"), "\\\\srv\\share\\");
    EXPECT_EQ(NormalizeDirPath("\\\\\\srv"), "\\\\srv\\");

    EXPECT_EQ(FileNamePart("C:\\Lib\\BDE.dcu"), "BDE.dcu");
    EXPECT_EQ(FolderPart("/home/u/x\\Lib/vcl.dcp"), "/home/u/x\\Lib/");
    EXPECT_EQ(FileNamePart("C:x.dll"), "x.dll");
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
        std::error_code error; // Windows lists an empty drive root as an error
        return static_cast<std::size_t>(std::distance(
            fs::recursive_directory_iterator(folder, error), fs::recursive_directory_iterator()));
    }
};

TEST_F(CreatePathOnDrive, CreatesEveryMissingFolderFindingExistingOnesIgnoringCase)
{
    EXPECT_TRUE(CreatePath(""));
    EXPECT_EQ(EntriesBelow(drive), 0u);
    EXPECT_TRUE(CreatePath("T:\\A\\B"));
    EXPECT_TRUE(fs::is_directory(drive / "A" / "B"));
    EXPECT_TRUE(CreatePath("t:\\\\a\\\\C\\\\\\D\\"));
    EXPECT_TRUE(fs::is_directory(drive / "A" / "C" / "D"));
    EXPECT_EQ(EntriesBelow(drive), 4u);
}

TEST_F(CreatePathOnDrive, StopsAtAFileInTheWay)
{
    env.WriteFile("T:\\A\\B", "not a folder");
    EXPECT_FALSE(CreatePath("T:\\A\\B"));
    EXPECT_FALSE(CreatePath("T:\\A\\B\\C"));
    EXPECT_EQ(EntriesBelow(drive), 2u); // A and the file B, nothing else
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
    env.WriteFile("T:\\Dir\\file.txt", "x");
    EXPECT_TRUE(FolderExists("T:\\Dir"));
    EXPECT_FALSE(FolderExists("T:\\Dir\\file.txt"));
    EXPECT_FALSE(FolderExists("T:\\missing"));
    EXPECT_TRUE(FolderExists("T:\\"));
    EXPECT_TRUE(FolderExists("C:"));
}

TEST_F(CreatePathOnDrive, RootedPathsAreCreatedAndFoundOnTheCurrentDrive)
{
    const CurrentFolder onDriveC(env.DriveFolder('c'));
    EXPECT_TRUE(FolderExists("\\"));
    EXPECT_FALSE(FolderExists("\\QtsRooted"));
    EXPECT_TRUE(CreatePath("\\QtsRooted\\A\\B"));
    EXPECT_TRUE(FolderExists("C:\\QtsRooted\\A\\B"));
    EXPECT_TRUE(FolderExists("\\qtsrooted\\a"));
    env.WriteFile("C:\\QtsRooted\\file.txt", "x");
    EXPECT_FALSE(FolderExists("\\QtsRooted\\file.txt"));
    EXPECT_FALSE(CreatePath("\\QtsRooted\\file.txt\\C"));
}

#ifndef _WIN32
// Unmapped drive letters and network shares of the drive table.
TEST_F(CreatePathOnDrive, MissingDrivesAndSharesAreNeverCreated)
{
    EXPECT_FALSE(FolderExists("Y:\\"));
    EXPECT_FALSE(CreatePath("Y:\\A"));
    EXPECT_FALSE(fs::exists(env.Root() + "/dosdevices/y:"));

    fs::create_directories(env.Root() + "/dosdevices/unc/srv/share");
    EXPECT_TRUE(FolderExists("\\\\srv\\share"));
    EXPECT_TRUE(CreatePath("\\\\SRV\\Share\\A\\B"));
    EXPECT_TRUE(fs::is_directory(env.Root() + "/dosdevices/unc/srv/share/A/B"));
    EXPECT_FALSE(CreatePath("\\\\srv\\missing\\A"));
    EXPECT_FALSE(fs::exists(env.Root() + "/dosdevices/unc/srv/missing"));
    EXPECT_TRUE(CreatePath("\\\\srv"));
    EXPECT_FALSE(fs::exists(env.Root() + "/dosdevices/unc/srv/srv"));
}
#endif
