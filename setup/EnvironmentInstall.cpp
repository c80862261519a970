#include "EnvironmentInstall.h"

#include "FileSystem.h"
#include "PackageList.h"
#include "TRegistry.h"

namespace
{

const char* const NotInstalled = " does not seem to be installed properly.";

} // namespace

void UpdateEnvironmentSettings(const EnvironmentProfile& profile, const SetupFields& fields,
                               SetupReport& report)
{
    TRegistry registry;
    registry.SelectRoot(RegistryRoot::CurrentUser);

    if (registry.OpenKeyPath(profile.LibraryKey, false)) {
        registry.WriteText(profile.SearchPathValue, fields.libraryPath);
        registry.CloseCurrentKey();
    } else {
        report.Notice(profile.DisplayName + NotInstalled);
    }

    if (!profile.ComplibKey.empty()) {
        if (registry.OpenKeyPath(profile.ComplibKey, false)) {
            registry.WriteText(profile.ComplibValue, fields.complib);
            registry.CloseCurrentKey();
        } else {
            report.Notice(profile.DisplayName + NotInstalled);
        }
    }

    // The environment opens this project at its next start. The key belongs to the user, although
    // the environment's installation key of the same name was read from the machine's settings.
    if (fields.installDemo) {
        if (registry.OpenKeyPath(profile.EnvironmentKey + "\\Session", true))
            registry.WriteText("Project", profile.ProductDir + profile.DemoProject);
    }
}

void InstallPackageFiles(const EnvironmentProfile& profile, SetupReport& report)
{
    for (const PackageItem& item : ReadPackageList(profile)) {
        if (FileSystem::FileExists(item.target)) {
            if (FileSystem::IsReadOnly(item.target))
                FileSystem::ClearReadOnly(item.target);
            // An existing backup holds the environment's own file from the first installation and
            // is never replaced.
            if (item.marked && !FileSystem::FileExists(item.backup)) {
                report.LogProgress("Backing up " + item.target + " to " + item.backup + "...");
                if (!FileSystem::RenameFile(item.target, item.backup)) {
                    report.LogProgress("Failed to backup original file; design environment may "
                                       "not function correctly.");
                    continue;
                }
            }
        }
        report.LogProgress("Copying " + item.source + " to " + item.target + "...");
        if (!FileSystem::CopyFileOver(item.source, item.target))
            report.LogProgress(
                "Failed to copy file; design environment may not function correctly.");
    }
}

void RemovePackageFiles(const EnvironmentProfile& profile, SetupReport& report)
{
    for (const PackageItem& item : ReadPackageList(profile)) {
        if (!item.marked) {
            if (FileSystem::FileExists(item.target)) {
                report.LogProgress("Removing " + item.target + "...");
                FileSystem::RemoveFile(item.target);
            }
            continue;
        }
        // Without a backup the target is the environment's own file: it stays.
        if (!FileSystem::FileExists(item.backup))
            continue;
        if (FileSystem::FileExists(item.target)) {
            report.LogProgress("Removing " + item.target + "...");
            if (!FileSystem::RemoveFile(item.target)) {
                report.LogProgress(
                    "Failed to remove file; design environment may not function correctly.");
                continue;
            }
        }
        report.LogProgress("Restoring " + item.backup + "...");
        if (!FileSystem::RenameFile(item.backup, item.target))
            report.LogProgress("Failed to restore original file; design environment may not "
                               "function correctly.");
    }
}
