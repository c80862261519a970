#include "SetupRun.h"

#include "DesignTools.h"
#include "EnvironmentInstall.h"
#include "Patcher.h"
#include "QtsTools.h"
#include "RememberedEnvironment.h"

namespace
{

const char* const Aborted = "Aborted.";

// One line of the original files: a path whose modified copy goes directly into the folder for
// modified files, or "path=relative target" that names the copy's place below that folder.
void PatchOriginalFile(const std::string& line, const EnvironmentProfile& profile,
                       const SetupFields& fields, SetupReport& report)
{
    std::string source = line;
    std::string relativeTarget;
    if (!PairValue(line).empty()) {
        source = PairName(line);
        relativeTarget = PairValue(line);
    } else {
        relativeTarget = FileNamePart(line);
    }
    PatchFile(FileNamePart(source), source, fields.patchedFolder + "\\" + relativeTarget, profile,
              report);
}

void UpdatePackageFiles(const EnvironmentProfile& profile, const SetupFields& fields,
                        SetupReport& report)
{
    if (profile.PackageList.empty())
        return;
    if (fields.design == StepChoice::Install) {
        report.LogProgress("Copying files to design environment...");
        InstallPackageFiles(profile, report);
    } else {
        report.LogProgress("Removing files from design environment...");
        RemovePackageFiles(profile, report);
    }
}

} // namespace

void RunSetupSteps(const EnvironmentProfile& profile, const SetupFields& fields,
                   SetupReport& report)
{
    if (fields.generate) {
        for (const std::string& line : fields.originalFiles)
            PatchOriginalFile(line, profile, fields, report);
    }

    if (fields.design == StepChoice::Install || fields.design == StepChoice::Remove) {
        report.LogProgress("");
        report.LogProgress("Updating unit search path and component library...");
        if (!fields.environment) {
            // No environment, no keys: its empty key names would address the root of the
            // user's registry itself and write the search path and a "Session" key there.
            report.LogProgress(Aborted);
        } else {
            UpdateEnvironmentSettings(profile, fields, report);
            UpdatePackageFiles(profile, fields, report);
        }
    }

    if (fields.tools == StepChoice::Install) {
        InstallDesignTool("Database Explorer", fields.explorerPath, profile, report);
        InstallDesignTool("Query Builder", fields.queryBuilderPath, profile, report);
    } else if (fields.tools == StepChoice::Remove) {
        RestoreOriginal("Database Explorer", fields.explorerPath, report);
        RestoreOriginal("Query Builder", fields.queryBuilderPath, report);
    }

    WriteRememberedEnvironment(fields.environment);
}

void RunSetup(const EnvironmentProfile& profile, const SetupFields& fields, SetupReport& report)
{
    const auto close = [&report] {
        report.LogProgress("");
        report.LogProgress("Done.");
    };
    try {
        RunSetupSteps(profile, fields, report);
    } catch (...) {
        close();
        throw;
    }
    close();
}
