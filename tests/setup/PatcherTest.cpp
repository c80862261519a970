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
    image += "QTS323x.DLL";                   // already the engine's name
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
        if (!RescanReplace(expected, search, replacement, 100000))
            continue;
        ReplaceInPlace(image, search, replacement);
        ASSERT_EQ(image, expected)
            << "search '" << search << "' replacement '" << replacement << "'";
        ++compared;
    }
    EXPECT_GT(compared, 19000);
}

TEST(ReplaceTableInPlace, GivesTheSameImageAsEveryPairInTurn)
{
    std::mt19937 random(7);
    const std::string alphabet = "abcdefgh"; // large enough that many tables are independent
    auto text = [&](std::size_t length) {
        std::string result;
        for (std::size_t i = 0; i < length; ++i)
            result += alphabet[random() % alphabet.size()];
        return result;
    };
    int independent = 0;
    int dependent = 0;
    for (int round = 0; round < 5000; ++round) {
        ReplacementPairs table;
        for (int pairs = random() % 4 + 1; pairs > 0; --pairs) {
            const std::size_t length = random() % 3 + 2;
            table.emplace_back(text(length), text(length));
        }
        std::string image = text(random() % 48);
        for (int copies = random() % 6; copies > 0; --copies) {
            const auto& pair = table[random() % table.size()];
            image.insert(random() % (image.size() + 1),
                         random() % 2 ? pair.first : pair.first + pair.second);
        }
        std::string expected = image;
        bool settled = true;
        for (const auto& [search, replacement] : table)
            settled = settled && RescanReplace(expected, search, replacement, 100000);
        if (!settled)
            continue;
        (ReplacementsAreIndependent(table) ? independent : dependent) += 1;
        ReplaceTableInPlace(image, table);
        ASSERT_EQ(image, expected) << "round " << round;
    }
    EXPECT_GT(independent, 500);
    EXPECT_GT(dependent, 500);

    // The environments' table is done in one pass; its replacements may still form an earlier
    // row's text ("\Quillon\Tessarium\QTSPI" + "32.DLL"), which stays as it is.
    EXPECT_TRUE(ReplacementsAreIndependent(ReplacementTable(EngineProfile())));
    std::string image = "\\Borland\\Database Engine32.DLL";
    ReplaceTableInPlace(image, ReplacementTable(EngineProfile()));
    EXPECT_EQ(image, "\\Quillon\\Tessarium\\QTSPI32.DLL");
}

TEST(ReplaceTableInPlace, LargeImagesWithNamesAcrossEveryBoundaryGiveTheSameImage)
{
    std::mt19937 random(11);
    const auto table = ReplacementTable(EngineProfile());
    // Bytes the names are made of, so that near misses abound.
    const std::string alphabet = "\\BDEILQTadilpsx.23"s + '\0';
    for (std::size_t size : {std::size_t(65536 * 3 + 17), std::size_t(65536 * 2)}) {
        std::string image;
        for (std::size_t i = 0; i < size; ++i)
            image += alphabet[random() % alphabet.size()];
        // Names at and around every multiple of 4 KiB, so across every block boundary, and one
        // whose replacement reaches into the next block and forms an earlier row's text there
        // ("...QTSPI" + "32.DLL"), which must stay as it is.
        std::size_t row = 0;
        for (std::size_t at = 4096; at + 40 < size; at += 4096) {
            const std::string& name = table[row++ % table.size()].first;
            image.replace(at - random() % (name.size() + 1), name.size(), name);
        }
        image.replace(65536 - 10, 30, "\\Borland\\Database Engine32.DLL");
        const std::string expected = ReferencePatch(image);
        ReplaceTableInPlace(image, table);
        ASSERT_EQ(image, expected) << "size " << size;
        EXPECT_EQ(image.compare(65536 - 10, 30, "\\Quillon\\Tessarium\\QTSPI32.DLL"), 0);
    }
}

TEST(ReplaceInPlace, LeavesTheImageAloneForUnequalLengthsEqualTextsOrAnEmptySearch)
{
    std::string image = "idapi32.dll idapi32.dll";
    ReplaceInPlace(image, "idapi32.dll", "QTS.DLL");
    ReplaceInPlace(image, "idapi32.dll", "idapi32.dll");
    ReplaceInPlace(image, "", "");
    EXPECT_EQ(image, "idapi32.dll idapi32.dll");
}

class PatchFileTest : public testing::Test
{
protected:
    TestEnvironment env;
    RecordingReport report;
    const EnvironmentProfile profile = EngineProfile();

    std::string Native(const std::string& path) const { return FileSystem::NativePath(path); }
};

TEST_F(PatchFileTest, WritesEveryListedNameSwitchedAndEveryOtherByteAsItWas)
{
    const std::string original = InterfaceFileImage();
    env.WriteFile("C:\\Delphi\\Lib\\BDE.dcu", original);

    PatchFile("BDE.dcu", "C:\\Delphi\\Lib\\BDE.dcu", "C:\\Engine\\Lib\\Delphi3\\BDE.dcu", profile,
              report);

    const std::string patched = env.ReadFile("C:\\Engine\\Lib\\Delphi3\\BDE.dcu");
    EXPECT_EQ(patched, ReferencePatch(original));
    EXPECT_EQ(patched.size(), original.size());
    EXPECT_NE(patched.find("IDAPI32.dll\0IdApi32.dll\0"s), std::string::npos);
    EXPECT_NE(patched.find("\\borland\\database engine"), std::string::npos);
    for (const auto& [search, replacement] : ListedForms())
        EXPECT_EQ(patched.find(search), std::string::npos) << search;
    EXPECT_EQ(env.ReadFile("C:\\Delphi\\Lib\\BDE.dcu"), original);
    EXPECT_EQ(report.log, PatchLog("BDE.dcu", "C:\\Engine\\Lib\\Delphi3\\BDE.dcu"));
}

TEST_F(PatchFileTest, CopiesAnEmptyFileAndAFileWithoutNamesUnchanged)
{
    env.WriteFile("C:\\src\\empty.lib", "");
    env.WriteFile("C:\\src\\plain.lib", "nothing to see\0here"s);

    PatchFile("empty.lib", "C:\\src\\empty.lib", "C:\\out\\empty.lib", profile, report);
    PatchFile("plain.lib", "C:\\src\\plain.lib", "C:\\out\\plain.lib", profile, report);

    EXPECT_TRUE(FileSystem::FileExists("C:\\out\\empty.lib"));
    EXPECT_EQ(env.ReadFile("C:\\out\\empty.lib"), "");
    EXPECT_EQ(env.ReadFile("C:\\out\\plain.lib"), "nothing to see\0here"s);
    EXPECT_EQ(report.log.size(), 10u);
    EXPECT_EQ(report.log.back(), "The patched plain.lib has been written to C:\\out\\plain.lib.");
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

TEST_F(PatchFileTest, MissingSourceIsReportedAndNothingIsWritten)
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
}

TEST_F(PatchFileTest, ReadOnlyTargetCannotBeCreatedAndKeepsItsContent)
{
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

std::vector<std::string> FolderEntries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST_F(PatchFileTest, FailedWriteLeavesThePreviousTargetAndTheSourceUnchanged)
{
    const std::string original = InterfaceFileImage() + std::string(8192, '\0') + "idapi32.dll";
    env.WriteFile("C:\\src\\BDE.dcu", original);
    env.WriteFile("C:\\out\\BDE.dcu", "previous target");
    const auto before = FolderEntries(Native("C:\\out"));

    {
        FileSizeLimit limit(4096);
        EXPECT_EQ(FileErrorOf([&] {
                      PatchFile("BDE.dcu", "C:\\src\\BDE.dcu", "C:\\out\\BDE.dcu", profile, report);
                  }),
                  "Stream write error");
        EXPECT_EQ(FileErrorOf([&] {
                      PatchFile("BDE.dcu", "C:\\src\\BDE.dcu", "C:\\src\\BDE.dcu", profile, report);
                  }),
                  "Stream write error");
    }

    EXPECT_EQ(env.ReadFile("C:\\out\\BDE.dcu"), "previous target");
    EXPECT_EQ(env.ReadFile("C:\\src\\BDE.dcu"), original);
    EXPECT_EQ(FolderEntries(Native("C:\\out")), before);
}
#endif
