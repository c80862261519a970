#include <gtest/gtest.h>

#include "DesignTools.h"
#include "FileSystem.h"
#include "Patcher.h"
#include "PatcherTestSupport.h"
#include "RecordingReport.h"
#include "TestEnvironment.h"

using namespace std::string_literals;

namespace
{

const std::string Dll = "C:\\Borland\\Delphi 3\\Bin\\DBX30.DPL";
const std::string Saved = Dll + ".old";
const std::string AsSupplied = "MZ\0\0loads idapi32.dll\0and IDAPI32.DLL\0"s;

class DesignToolSwitch : public testing::Test
{
protected:
    TestEnvironment env;
    RecordingReport report;
    EnvironmentProfile profile;

    DesignToolSwitch()
    {
        profile.EngineSuffix = "3x";
        profile.FormerSuffixes = "35,30";
        env.WriteFile(Dll, AsSupplied);
    }

    void Install() { InstallDesignTool("Database Explorer", Dll, profile, report); }
    void Restore() { RestoreOriginal("Database Explorer", Dll, report); }
    std::vector<std::string> LogSince(std::size_t first) const
    {
        return {report.log.begin() + static_cast<std::ptrdiff_t>(first), report.log.end()};
    }
};

} // namespace

TEST_F(DesignToolSwitch, InstallingSavesTheDllAndWritesAPatchedOneUnderItsName)
{
    Install();

    EXPECT_EQ(env.ReadFile(Saved), AsSupplied);
    EXPECT_EQ(env.ReadFile(Dll), ReferencePatch(AsSupplied));
    EXPECT_NE(env.ReadFile(Dll), AsSupplied);
    EXPECT_EQ(report.log, (std::vector<std::string>{
                              "",
                              "Saving original Database Explorer...",
                              "The original Database Explorer has been saved to " + Saved + ".",
                              "",
                              "Reading original Database Explorer...",
                              "Patching Database Explorer...",
                              "Writing patched Database Explorer...",
                              "The patched Database Explorer has been written to " + Dll + ".",
                          }));
    EXPECT_TRUE(report.confirms.empty());
    EXPECT_TRUE(report.errors.empty());
}

TEST_F(DesignToolSwitch, InstallingTwiceAsksAndCancelLeavesBothFilesUntouched)
{
    Install();
    const std::string patched = env.ReadFile(Dll);
    const std::size_t first = report.log.size();
    report.answers = {false};

    Install();

    ASSERT_EQ(report.confirms.size(), 1u);
    EXPECT_EQ(report.confirms[0].title, "Patch Database Explorer");
    EXPECT_EQ(report.confirms[0].message,
              "DANGER!! READ THIS CAREFULLY!!\r\n\r\n"
              "There already is a saved copy of Database Explorer.  Overwrite it?\r\n\r\n"
              "If you have already patched it once, you should NOT overwrite it now.  Otherwise "
              "you will lose the original file.  Overwrite it only if you have reinstalled "
              "Delphi.");
    EXPECT_EQ(LogSince(first),
              (std::vector<std::string>{"", "Saving original Database Explorer...", "Aborted."}));
    EXPECT_EQ(env.ReadFile(Saved), AsSupplied);
    EXPECT_EQ(env.ReadFile(Dll), patched);
}

TEST_F(DesignToolSwitch, ReadOnlySavedCopyCannotBeReplaced)
{
    Install();
    ASSERT_TRUE(FileSystem::SetReadOnly(Saved));
    const std::string patched = env.ReadFile(Dll);

    Install();

    ASSERT_EQ(report.errors.size(), 1u);
    EXPECT_EQ(report.errors[0].message, "Failed to delete " + Saved + ".");
    EXPECT_EQ(report.errors[0].title, "Patch Database Explorer");
    EXPECT_EQ(report.log.back(), "Aborted.");
    EXPECT_EQ(env.ReadFile(Saved), AsSupplied);
    EXPECT_EQ(env.ReadFile(Dll), patched);
}

TEST_F(DesignToolSwitch, RestoringPutsTheDllBackByteForByte)
{
    Install();
    const std::size_t first = report.log.size();

    Restore();

    EXPECT_EQ(env.ReadFile(Dll), AsSupplied);
    EXPECT_FALSE(env.Exists(Saved));
    EXPECT_EQ(LogSince(first),
              (std::vector<std::string>{"", "Restoring original Database Explorer...",
                                        "Deleting existing modified copy of Database Explorer...",
                                        "The original Database Explorer has been restored to " +
                                            Dll + "."}));
}

TEST_F(DesignToolSwitch, RestoringWithoutTheDllReportsTheFailedDeleteAndKeepsTheSavedCopy)
{
    Install();
    ASSERT_TRUE(FileSystem::RemoveFile(Dll)); // broken: only the saved copy is left

    Restore();

    ASSERT_EQ(report.errors.size(), 1u);
    EXPECT_EQ(report.errors[0].message, "Failed to delete modified " + Dll + ".");
    EXPECT_EQ(report.errors[0].title, "Restore Database Explorer");
    EXPECT_EQ(report.log.back(), "Aborted.");
    EXPECT_EQ(env.ReadFile(Saved), AsSupplied);
    EXPECT_FALSE(env.Exists(Dll));
}
