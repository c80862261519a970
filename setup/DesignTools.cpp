#include "DesignTools.h"

#include "FileSystem.h"
#include "Patcher.h"

namespace
{

const char* const Aborted = "Aborted.";
const char* const LineBreak = "\r\n";

std::string SavedCopy(const std::string& path)
{
    return path + ".old";
}

// The only guard against losing the DLL as supplied: after OK the saved copy will hold the
// already patched DLL.
std::string OverwriteQuestion(const std::string& name)
{
    return std::string("DANGER!! READ THIS CAREFULLY!!") + LineBreak + LineBreak +
           "There already is a saved copy of " + name + "." + "  Overwrite it?" + LineBreak +
           LineBreak + "If you have already patched it once, you should NOT" +
           " overwrite it now.  Otherwise you will lose the original" +
           " file.  Overwrite it only if you have reinstalled Delphi.";
}

} // namespace

bool SaveOriginal(const std::string& name, const std::string& path, SetupReport& report)
{
    const std::string saved = SavedCopy(path);
    const std::string title = "Patch " + name;
    report.LogProgress("");
    report.LogProgress("Saving original " + name + "...");
    if (FileSystem::FileExists(saved)) {
        if (!report.Confirm(OverwriteQuestion(name), title)) {
            report.LogProgress(Aborted);
            return false;
        }
        report.LogProgress("Deleting existing saved copy of " + name + "...");
        if (!FileSystem::RemoveFile(saved)) {
            report.Error("Failed to delete " + saved + ".", title);
            report.LogProgress(Aborted);
            return false;
        }
    }
    if (!FileSystem::RenameFile(path, saved)) {
        report.Error("Failed to rename " + path + " to " + saved + ".", title);
        report.LogProgress(Aborted);
        return false;
    }
    report.LogProgress("The original " + name + " has been saved to " + saved + ".");
    return true;
}

void InstallDesignTool(const std::string& name, const std::string& path,
                       const EnvironmentProfile& profile, SetupReport& report)
{
    if (!FileSystem::FileExists(path))
        return;
    // The tool finds the patched DLL under its usual name; the file as supplied stays beside it.
    if (SaveOriginal(name, path, report))
        PatchFile(name, SavedCopy(path), path, profile, report);
}

void RestoreOriginal(const std::string& name, const std::string& path, SetupReport& report)
{
    const std::string saved = SavedCopy(path);
    const std::string title = "Restore " + name;
    report.LogProgress("");
    report.LogProgress("Restoring original " + name + "...");
    if (!FileSystem::FileExists(saved)) {
        report.LogProgress("The " + saved + " was never converted,");
        report.LogProgress("or the saved original file " + saved + " has been deleted.");
        report.LogProgress(Aborted);
        return;
    }
    report.LogProgress("Deleting existing modified copy of " + name + "...");
    if (!FileSystem::RemoveFile(path)) {
        report.Error("Failed to delete modified " + path + ".", title);
        report.LogProgress(Aborted);
        return;
    }
    if (!FileSystem::RenameFile(saved, path)) {
        report.Error("Failed to rename " + saved + " to " + path + ".", title);
        report.LogProgress(Aborted);
        return;
    }
    report.LogProgress("The original " + name + " has been restored to " + path + ".");
}
