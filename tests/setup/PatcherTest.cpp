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
