#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "FileSystem.h"
#include "Patcher.h"
#include "PatcherTestSupport.h"
#include "RecordingReport.h"
#include "TestEnvironment.h"

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#endif

using namespace std::string_literals;

namespace
{

EnvironmentProfile EngineProfile()
{
    EnvironmentProfile profile;
    profile.EngineSuffix = "3x";
    profile.FormerSuffixes = "35,30";
    return profile;
}

std::vector<std::string> PatchLog(const std::string& name, const std::string& target)
{
    return {"", "Reading original " + name + "...", "Patching " + name + "...",
            "Writing patched " + name + "...",
            "The patched " + name + " has been written to " + target + "."};
}

// Interface file bytes as an environment ships them: binary data around the names, some names
// right next to each other or to zero bytes, and spellings that are not to be touched.
std::string InterfaceFileImage()
{
    std::string image = "\0\0\x01"s;
    for (const auto& [search, replacement] : ListedForms())
        image += search + "\0"s + "\xff\xfe";
    image += "idapi32.dllidapi32.dll";        // adjacent occurrences
    image += "IDAPI32.dll\0IdApi32.dll\0"s;   // forms that stay as they are
    image += "\\borland\\database engine\0"s; // other letter case: stays
    image += "Qts3235.dll";                   // at the very end
    return image;
}

// The message of the EFileError that action throws.
template <typename Action> std::string FileErrorOf(Action&& action)
{
    try {
        action();
    } catch (const EFileError& error) {
        return error.what();
    }
    return "(no error)";
}

} // namespace

TEST(ReplaceInPlace, GivesTheSameImageAsRescanningFromTheStartAfterEveryReplacement)
{
    std::mt19937 random(20240611);
    // A small alphabet makes overlapping matches and matches completed by a replacement common.
    const std::string alphabet = "aab\0"s;
    auto text = [&](std::size_t length) {
        std::string result;
        for (std::size_t i = 0; i < length; ++i)
            result += alphabet[random() % alphabet.size()];
        return result;
    };
    int compared = 0;
    for (int round = 0; round < 20000; ++round) {
        const std::size_t length = random() % 4 + 1;
        const std::string search = text(length);
        const std::string replacement = text(length);
        std::string image = text(random() % 64);
        // Seed overlapping and self-adjacent occurrences of the search text.
        for (int copies = random() % 4; copies > 0; --copies)
            image.insert(random() % (image.size() + 1), search + search.substr(random() % length));
        std::string expected = image;
        if (!RescanReplace(expected, search, replacement))
            continue;
        ReplaceInPlace(image, search, replacement);
        ASSERT_EQ(image, expected)
            << "search '" << search << "' replacement '" << replacement << "'";
        ++compared;
    }
    EXPECT_GT(compared, 19000);

    std::string image = "idapi32.dll idapi32.dll";
    ReplaceInPlace(image, "idapi32.dll", "QTS.DLL");
    ReplaceInPlace(image, "", "");
    EXPECT_EQ(image, "idapi32.dll idapi32.dll");
}

namespace
{

// The table applied row by row, each row rescanning from the start; false when a row's
// rescans do not settle.
bool RowByRow(std::string& image, const ReplacementPairs& table)
{
    for (const auto& [search, replacement] : table)
        if (!RescanReplace(image, search, replacement, 10000))
            return false;
    return true;
}

} // namespace

TEST(ReplaceAllInPlace, GivesTheBytesOfTheRowsAppliedOneAfterTheOther)
{
    std::mt19937 random(20261208);
    const auto pick = [&](const std::string& alphabet, std::size_t length) {
        std::string result;
        for (std::size_t i = 0; i < length; ++i)
            result += alphabet[random() % alphabet.size()];
        return result;
    };
    int onePass = 0;
    int rowByRow = 0;
    for (int round = 0; round < 20000; ++round) {
        // Search texts over a small alphabet overlap one another and themselves. Replacements
        // from other letters cannot complete a name; from the same letters they often do, and
        // some are a later row's search text outright.
        const bool completing = random() % 2 == 0;
        ReplacementPairs table;
        for (int rows = random() % 5 + 1; rows > 0; --rows) {
            const std::size_t length = random() % 4 + 1;
            std::string search = pick("ab\0"s, length);
            std::string replacement = pick(completing ? "abX"s : "XY"s, length);
            if (random() % 8 == 0)
                replacement.pop_back(); // a pair of unequal length does nothing
            if (random() % 8 == 0 && !table.empty())
                search = table[random() % table.size()].first; // a row repeated
            table.emplace_back(search, replacement);
        }
        if (completing && random() % 3 == 0)
            table.back().second = table.front().first.substr(0, table.back().first.size());
        if (completing && random() % 3 == 0 && table.size() > 1)
            table.front().second = table.back().first.substr(0, table.front().first.size());

        std::string image = pick("ab\0XY"s, random() % 48);
        // Occurrences side by side, overlapping, and far apart.
        for (int copies = random() % 6; copies > 0; --copies) {
            const std::string& search = table[random() % table.size()].first;
            image.insert(random() % (image.size() + 1),
                         search + search.substr(random() % search.size()));
        }
        if (random() % 4 == 0)
            image = pick("XY"s, 40) + image + pick("XY"s, 40);

        std::string expected = image;
        if (!RowByRow(expected, table))
            continue;
        const bool inOnePass = ReplaceAllInPlace(image, table);
        ASSERT_EQ(image, expected) << "round " << round;
        ++(inOnePass ? onePass : rowByRow);
    }
    // Both ways are taken often, the single pass with overlapping occurrences too.
    EXPECT_GT(onePass, 8000);
    EXPECT_GT(rowByRow, 2000);
}

TEST(ReplaceAllInPlace, SettlesTheCasesThatTellTheOrderApart)
{
    struct Case {
        ReplacementPairs table;
        std::string image;
        std::string expected;
    };
    const std::vector<Case> cases = {
        // A replacement completes a later row's name, which that row then switches.
        {{{"ab", "cd"}, {"db", "ee"}}, "abb", "cee"},
        // ...but not an earlier row's.
        {{{"db", "ee"}, {"ab", "cd"}}, "abb", "cdb"},
        // An earlier row spoils a later row's name that overlaps it.
        {{{"bc", "xx"}, {"ab", "yy"}}, "abc", "axx"},
        // Of overlapping names of one row, the leftmost wins; the next but one survives.
        {{{"aa", "xy"}}, "aaaa", "xyxy"},
        {{{"aba", "xyz"}}, "ababa", "xyzba"},
        // A replacement that completes its own row's name further left moves it on.
        {{{"ab", "ba"}}, "aaab", "baaa"},
        // A repeated row finds nothing left.
        {{{"ab", "xy"}, {"ab", "zz"}}, "ab", "xy"},
    };
    for (const Case& c : cases) {
        std::string reference = c.image;
        ASSERT_TRUE(RowByRow(reference, c.table));
        ASSERT_EQ(reference, c.expected) << c.image;
        std::string image = c.image;
        ReplaceAllInPlace(image, c.table);
        EXPECT_EQ(image, c.expected) << c.image;
    }
}

TEST(ReplaceAllInPlace, SwitchesAnInterfaceFileInOnePass)
{
    // Row 9 here spells "QTSPI32.DLL", a name of row 7, which has had its turn.
    std::string image = InterfaceFileImage() + "\\Borland\\Database Engine32.DLL";
    const std::string expected = ReferencePatch(image);

    EXPECT_TRUE(ReplaceAllInPlace(image, ReplacementTable(EngineProfile())));
    EXPECT_EQ(image, expected);
}

TEST(ReplacementTable, HoldsTheListedFormsInOrder)
{
    EXPECT_EQ(ReplacementTable(EngineProfile()), ListedForms());
}

class PatchFileTest : public testing::Test
{
protected:
    TestEnvironment env;
    RecordingReport report;
    const EnvironmentProfile profile = EngineProfile();
};

TEST_F(PatchFileTest, WritesEveryListedNameSwitchedAndEveryOtherByteAsItWas)
{
    // The last replacement forms a name that was switched earlier, which stays.
    const std::string original = InterfaceFileImage() + "\\Borland\\Database Engine32.DLL";
    env.WriteFile("C:\\Delphi\\Lib\\BDE.dcu", original);

    PatchFile("BDE.dcu", "C:\\Delphi\\Lib\\BDE.dcu", "C:\\Engine\\Lib\\Delphi3\\BDE.dcu", profile,
              report);

    const std::string patched = env.ReadFile("C:\\Engine\\Lib\\Delphi3\\BDE.dcu");
    EXPECT_EQ(patched, ReferencePatch(original));
    EXPECT_EQ(patched.size(), original.size());
    EXPECT_EQ(patched.find("idapi32.dll"), std::string::npos);
    EXPECT_NE(patched.find("IDAPI32.dll\0IdApi32.dll\0"s), std::string::npos);
    EXPECT_EQ(patched.rfind("\\Quillon\\Tessarium\\QTSPI32.DLL"), original.size() - 30);
    EXPECT_EQ(env.ReadFile("C:\\Delphi\\Lib\\BDE.dcu"), original);
    EXPECT_EQ(report.log, PatchLog("BDE.dcu", "C:\\Engine\\Lib\\Delphi3\\BDE.dcu"));
}

TEST_F(PatchFileTest, CopiesAnEmptyFile)
{
    env.WriteFile("C:\\src\\empty.lib", "");

    PatchFile("empty.lib", "C:\\src\\empty.lib", "C:\\out\\empty.lib", profile, report);

    EXPECT_TRUE(FileSystem::FileExists("C:\\out\\empty.lib"));
    EXPECT_EQ(env.ReadFile("C:\\out\\empty.lib"), "");
    EXPECT_EQ(report.log, PatchLog("empty.lib", "C:\\out\\empty.lib"));
}

TEST_F(PatchFileTest, PatchesInPlaceAndAgainWithoutFurtherChange)
{
    const std::string original = InterfaceFileImage();
    env.WriteFile("C:\\Bin\\DBX.DLL", original);

    PatchFile("Database Explorer", "C:\\Bin\\DBX.DLL", "C:\\Bin\\DBX.DLL", profile, report);
    const std::string once = env.ReadFile("C:\\Bin\\DBX.DLL");
    PatchFile("Database Explorer", "C:\\Bin\\DBX.DLL", "C:\\Bin\\DBX.DLL", profile, report);

    EXPECT_EQ(once, ReferencePatch(original));
    EXPECT_EQ(env.ReadFile("C:\\Bin\\DBX.DLL"), once);
}

TEST_F(PatchFileTest, SourceThatCannotBeOpenedOrTargetThatCannotBeCreatedEndsTheCall)
{
    EXPECT_EQ(FileErrorOf([&] {
                  PatchFile("BDE.dcu", "C:\\nowhere\\BDE.dcu", "C:\\out\\BDE.dcu", profile, report);
              }),
              "Cannot open file C:\\nowhere\\BDE.dcu");
    EXPECT_FALSE(env.Exists("C:\\out\\BDE.dcu"));
    EXPECT_EQ(report.log, (std::vector<std::string>{"", "Reading original BDE.dcu..."}));
    // An empty line of the original files names no file at all.
    EXPECT_EQ(FileErrorOf([&] { PatchFile("", "", "C:\\out\\", profile, report); }),
              "Cannot open file ");

    env.WriteFile("C:\\src\\BDE.dcu", "idapi32.dll");
    env.WriteFile("C:\\out\\BDE.dcu", "previous");
    ASSERT_TRUE(FileSystem::SetReadOnly("C:\\out\\BDE.dcu"));
    EXPECT_EQ(FileErrorOf([&] {
                  PatchFile("BDE.dcu", "C:\\src\\BDE.dcu", "C:\\out\\BDE.dcu", profile, report);
              }),
              "Cannot create file C:\\out\\BDE.dcu");
    EXPECT_EQ(env.ReadFile("C:\\out\\BDE.dcu"), "previous");
    EXPECT_EQ(report.log.back(), "Writing patched BDE.dcu...");
}

#ifndef _WIN32
namespace
{

// Lets no process write files beyond limit bytes while it lives, as a full disk would.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limited = previous_;
        limited.rlim_cur = limit;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

std::size_t EntryCount(const std::string& folder)
{
    const std::filesystem::directory_iterator entries(FileSystem::NativePath(folder));
    return static_cast<std::size_t>(std::distance(begin(entries), end(entries)));
}

} // namespace

TEST_F(PatchFileTest, FailedWriteLeavesThePreviousTargetAndTheSourceUnchanged)
{
    const std::string original = InterfaceFileImage() + std::string(8192, '\0') + "idapi32.dll";
    env.WriteFile("C:\\src\\BDE.dcu", original);
    env.WriteFile("C:\\out\\BDE.dcu", "previous target");

    {
        FileSizeLimit limit(4096);
        for (const char* target : {"C:\\out\\BDE.dcu", "C:\\src\\BDE.dcu"})
            EXPECT_EQ(FileErrorOf([&] {
                          PatchFile("BDE.dcu", "C:\\src\\BDE.dcu", target, profile, report);
                      }),
                      "Stream write error");
    }

    EXPECT_EQ(env.ReadFile("C:\\out\\BDE.dcu"), "previous target");
    EXPECT_EQ(env.ReadFile("C:\\src\\BDE.dcu"), original);
    // No temporary file is left behind.
    EXPECT_EQ(EntryCount("C:\\out"), 1u);
    EXPECT_EQ(EntryCount("C:\\src"), 1u);
}
#endif
