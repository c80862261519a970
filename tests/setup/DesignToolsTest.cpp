#include <gtest/gtest.h>

#include "DesignTools.h"
#include "FileSystem.h"
#include "PatcherTestSupport.h"
#include "RecordingReport.h"
#include "TestEnvironment.h"

using namespace std::string_literals;

namespace
{

const std::string Dll = "C:\\Borland\\Delphi 3\\Bin\\DBX30.DPL";
const std::string Saved = Dll + ".old";
const std::string AsSupplied = "MZ\0\0loads idapi32.dll\0and IDAPI32.DLL\0"s;
const std::string Name = "Database Explorer";

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

    void Install() { InstallDesignTool(Name, Dll, profile, report); }
    void Restore() { RestoreOriginal(Name, Dll, report); }
    // The log lines since the last call.
    std::vector<std::string> NewLines()
    {
        std::vector<std::string> lines(report.log.begin() + static_cast<std::ptrdiff_t>(seen_),
                                       report.log.end());
        seen_ = report.log.size();
        return lines;
    }
    std::vector<std::string> InstallLines(bool replacingSavedCopy) const
    {
        std::vector<std::string> lines = {"", "Saving original " + Name + "..."};
        if (replacingSavedCopy)
            lines.push_back("Deleting existing saved copy of " + Name + "...");
        lines.insert(lines.end(), {"The original " + Name + " has been saved to " + Saved + ".", "",
                                   "Reading original " + Name + "...", "Patching " + Name + "...",
                                   "Writing patched " + Name + "...",
                                   "The patched " + Name + " has been written to " + Dll + "."});
        return lines;
    }

private:
    std::size_t seen_ = 0;
};

} // namespace

TEST_F(DesignToolSwitch, InstallCancelOverwriteAndRestore)
{
    const std::string patched = ReferencePatch(AsSupplied);
    Install();
    EXPECT_EQ(env.ReadFile(Saved), AsSupplied);
    EXPECT_EQ(env.ReadFile(Dll), patched);
    EXPECT_EQ(NewLines(), InstallLines(false));
    EXPECT_TRUE(report.confirms.empty());

    // Switched already: the question comes, and Cancel changes nothing.
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
    EXPECT_EQ(NewLines(),
              (std::vector<std::string>{"", "Saving original " + Name + "...", "Aborted."}));
    EXPECT_EQ(env.ReadFile(Saved), AsSupplied);
    EXPECT_EQ(env.ReadFile(Dll), patched);

    // OK: the saved copy now holds the patched DLL, and the file as supplied is lost.
    report.answers = {true};
    Install();
    EXPECT_EQ(NewLines(), InstallLines(true));
    EXPECT_EQ(env.ReadFile(Saved), patched);

    // Removal puts back whatever the saved copy holds.
    env.WriteFile(Saved, AsSupplied);
    Restore();
    EXPECT_EQ(env.ReadFile(Dll), AsSupplied);
    EXPECT_FALSE(env.Exists(Saved));
    EXPECT_EQ(NewLines(), (std::vector<std::string>{
                              "", "Restoring original " + Name + "...",
                              "Deleting existing modified copy of " + Name + "...",
                              "The original " + Name + " has been restored to " + Dll + "."}));
    EXPECT_TRUE(report.errors.empty());

    // As supplied: nothing to restore.
    Restore();
    EXPECT_EQ(
        NewLines(),
        (std::vector<std::string>{
            "", "Restoring original " + Name + "...", "The " + Saved + " was never converted,",
            "or the saved original file " + Saved + " has been deleted.", "Aborted."}));
    EXPECT_EQ(env.ReadFile(Dll), AsSupplied);
}

TEST_F(DesignToolSwitch, FailedDeletesAreShownAndLeaveTheFilesAsTheyWere)
{
    Install();
    const std::string patched = env.ReadFile(Dll);
    ASSERT_TRUE(FileSystem::SetReadOnly(Saved));

    Install();
    ASSERT_EQ(report.errors.size(), 1u);
    EXPECT_EQ(report.errors[0].message, "Failed to delete " + Saved + ".");
    EXPECT_EQ(report.errors[0].title, "Patch Database Explorer");
    EXPECT_EQ(report.log.back(), "Aborted.");
    EXPECT_EQ(env.ReadFile(Saved), AsSupplied);
    EXPECT_EQ(env.ReadFile(Dll), patched);

    // Broken: only the saved copy is left, and the missing DLL cannot be deleted.
    ASSERT_TRUE(FileSystem::RemoveFile(Dll));
    const std::size_t lines = report.log.size();
    Install();
    EXPECT_EQ(report.log.size(), lines);
    Restore();
    ASSERT_EQ(report.errors.size(), 2u);
    EXPECT_EQ(report.errors[1].message, "Failed to delete modified " + Dll + ".");
    EXPECT_EQ(report.errors[1].title, "Restore Database Explorer");
    EXPECT_EQ(report.log.back(), "Aborted.");
    EXPECT_EQ(env.ReadFile(Saved), AsSupplied);
    EXPECT_FALSE(env.Exists(Dll));
}
