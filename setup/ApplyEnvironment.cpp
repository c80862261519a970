// Filling the environment profile and the setup window's defaults for the chosen environment,
// and recomputing the design environment fields when Install or Remove is chosen.
#include "ApplyEnvironment.h"

#include "FileSystem.h"
#include "QtsTools.h"
#include "RememberedEnvironment.h"
#include "SearchPathRules.h"
#include "TRegistry.h"

namespace
{

const char* const EngineRootDirValue = "RootDir";
const char* const NotInstalled = " does not seem to be installed properly.";
const char* const EngineName = "Quillon Tessarium";
const char* const NotApplicable = "(not applicable)";

bool HasComponentLibrary(Environment environment)
{
    return environment == Environment::Delphi2 || environment == Environment::CPP1;
}

// The text of a value of the open key; empty when the value is missing.
std::string ReadTextOrEmpty(TRegistry& registry, const std::string& name)
{
    return registry.HasValue(name) ? registry.ReadText(name) : std::string();
}

// The component library text may name the environment's folder through a macro; only these
// four spellings are the environment's own.
std::string ExpandRootMacros(const std::string& text, const std::string& root)
{
    std::string result = ReplaceAll(text, "$(bcb)", root);
    result = ReplaceAll(result, "$(BCB)", root);
    result = ReplaceAll(result, "$(delphi)", root);
    return ReplaceAll(result, "$(DELPHI)", root);
}

// The original files and design tool fields an installed environment starts with.
void FillEnvironmentDefaults(Environment environment, EnvironmentProfile& profile,
                             SetupFields& fields)
{
    const std::string& r = profile.EnvironmentDir;
    const std::string& p = profile.ProductDir;
    const std::string& l = profile.LibSubfolder;
    const std::string s = SystemDirectory();
    std::string& c = profile.CurrentComplib;

    if (environment == Environment::Delphi2 && c.empty())
        c = r + "\\Bin\\CmpLib32.dcl";
    if (environment == Environment::CPP1 && c.empty())
        c = r + "\\Bin\\CmpLib32.ccl";

    auto& original = fields.originalFiles;
    original.clear();
    switch (environment) {
    case Environment::Delphi2:
        original = {r + "\\Lib\\BDE.dcu", c};
        fields.explorerPath = r + "\\Bin\\DBX.DLL";
        fields.queryBuilderPath = r + "\\Bin\\VQBLib32.DLL";
        break;
    case Environment::Delphi3:
        original = {r + "\\Lib\\BDE.dcu", s + "\\VCLDB30.dpl"};
        fields.explorerPath = r + "\\Bin\\DBX30.DPL";
        fields.queryBuilderPath = r + "\\Bin\\VQBLib32.dll";
        break;
    case Environment::Delphi4:
        original = {r + "\\Lib\\BDE.dcu", s + "\\VCLDB40.bpl"};
        fields.explorerPath = r + "\\Bin\\DBX40.BPL";
        fields.queryBuilderPath.clear();
        break;
    case Environment::Delphi5:
        original = {r + "\\Lib\\BDE.dcu", s + "\\VCLBDE50.bpl"};
        fields.explorerPath = r + "\\Bin\\DBX50.BPL";
        fields.queryBuilderPath.clear();
        break;
    case Environment::CPP1:
        original = {r + "\\Lib\\Obj\\BDE.dcu", r + "\\Lib\\VCL.lib", r + "\\Lib\\VCLd.lib", c};
        fields.explorerPath = r + "\\Bin\\DBX.DLL";
        fields.queryBuilderPath = r + "\\Bin\\VQBLib32.DLL";
        break;
    case Environment::CPP3:
        original = {r + "\\Lib\\Obj\\BDE.dcu",
                    r + "\\Lib\\Release\\VCLDB35.lib=Release\\VCLDB35.lib",
                    r + "\\Lib\\Debug\\VCLDB35.lib=Debug\\VCLDB35.lib", s + "\\VCLDB35.bpl"};
        fields.explorerPath = r + "\\Bin\\DBX35.BPL";
        fields.queryBuilderPath.clear();
        break;
    case Environment::CPP4:
        original = {r + "\\Lib\\Obj\\BDE.dcu",
                    r + "\\Lib\\Release\\VCLDB40.lib=Release\\VCLDB40.lib",
                    r + "\\Lib\\Debug\\VCLDB40.lib=Debug\\VCLDB40.lib", s + "\\VCLDB40.bpl"};
        fields.explorerPath = r + "\\Bin\\DBX40.BPL";
        fields.queryBuilderPath.clear();
        break;
    }
    // Only Delphi 2, Delphi 3 and C++Builder 1 ship a Query Builder DLL.
    fields.queryBuilderEnabled = !fields.queryBuilderPath.empty();

    if (HasComponentLibrary(environment)) {
        fields.complib = p + l + "\\" + FileNamePart(c);
        fields.complibEnabled = true;
    } else {
        fields.complib = NotApplicable;
        fields.complibEnabled = false;
    }
}

} // namespace

void ApplyEnvironment(EnvironmentProfile& profile, SetupFields& fields, SetupReport& report)
{
    profile.EngineSuffix = "3x";
    profile.FormerSuffixes = "35,30";
    if (!fields.environment)
        return;
    const Environment environment = *fields.environment;

    const EnvironmentEntry& entry = CatalogueEntry(environment);
    profile.DisplayName = entry.displayName;
    profile.LibSubfolder = entry.libSubfolder;
    profile.DemoProject = entry.demoProject;
    profile.EnvironmentKey = entry.environmentKey;
    profile.RootDirValue = "RootDir";
    profile.LibraryKey = entry.libraryKey;
    profile.SearchPathValue = entry.searchPathValue;
    profile.ComplibKey = entry.complibKey;
    profile.ComplibValue = entry.complibValue;
    profile.PackageList = entry.packageList;
    profile.CurrentComplib.clear();

    // Every key below is opened with no other key open, so that keys with and without a
    // leading "\" resolve from the root alike.
    TRegistry registry;

    if (!profile.ComplibKey.empty()) {
        registry.SelectRoot(RegistryRoot::CurrentUser);
        if (registry.OpenKeyPath(profile.ComplibKey, false)) {
            profile.CurrentComplib = ReadTextOrEmpty(registry, profile.ComplibValue);
            registry.CloseCurrentKey();
        }
    }

    registry.SelectRoot(RegistryRoot::LocalMachine);
    if (registry.OpenKeyPath(EngineKeyPath, false)) {
        profile.ProductDir = ReadTextOrEmpty(registry, EngineRootDirValue);
        fields.patchedFolder = profile.ProductDir + profile.LibSubfolder;
        registry.CloseCurrentKey();
    } else {
        report.Notice(std::string(EngineName) + NotInstalled);
    }

    if (registry.OpenKeyPath(profile.EnvironmentKey, false)) {
        profile.EnvironmentDir = ReadTextOrEmpty(registry, profile.RootDirValue);
        profile.CurrentComplib = ExpandRootMacros(profile.CurrentComplib, profile.EnvironmentDir);
        FillEnvironmentDefaults(environment, profile, fields);
        registry.CloseCurrentKey();
    } else {
        report.Notice(profile.DisplayName + NotInstalled);
    }

    // A folder that already holds the modified interface needs no new one.
    fields.generate = !FileSystem::FileExists(NormalizeDirPath(fields.patchedFolder) + "BDE.dcu");

    registry.SelectRoot(RegistryRoot::CurrentUser);
    if (!registry.OpenKeyPath(profile.LibraryKey, false)) {
        report.Notice(profile.DisplayName + NotInstalled);
        return;
    }
    std::string searchPath = ReadTextOrEmpty(registry, profile.SearchPathValue);
    registry.CloseCurrentKey();

    if (SearchPathHasEngine(searchPath, profile.ProductDir)) {
        fields.design = StepChoice::Skip;
    } else {
        const bool wasInstall = fields.design == StepChoice::Install;
        fields.design = StepChoice::Install;
        // Becoming selected, Install recomputes the design fields; they come out as below.
        if (!wasInstall)
            UpdateDesignDefaults(profile, fields, report);
        searchPath = SearchPathInstallProposal(searchPath, profile, environment);
    }
    fields.libraryPath = searchPath;
}

void UpdateDesignDefaults(const EnvironmentProfile& profile, SetupFields& fields,
                          SetupReport& report)
{
    const std::string& c = profile.CurrentComplib;
    if (fields.environment && HasComponentLibrary(*fields.environment)) {
        if (fields.design == StepChoice::Install)
            fields.complib = profile.ProductDir + profile.LibSubfolder + "\\" + FileNamePart(c);
        else if (fields.design == StepChoice::Remove)
            fields.complib = profile.EnvironmentDir + "\\Bin\\" + FileNamePart(c);
        fields.complibEnabled = true;
    } else {
        fields.complib = NotApplicable;
        fields.complibEnabled = false;
    }

    // Without a chosen environment there is no library key to read: an empty key name would
    // address the root and propose a path made of the bare subfolders.
    if (!fields.environment)
        return;

    TRegistry registry;
    registry.SelectRoot(RegistryRoot::CurrentUser);
    if (!registry.OpenKeyPath(profile.LibraryKey, false)) {
        report.Notice(profile.DisplayName + NotInstalled);
        return;
    }
    std::string searchPath = ReadTextOrEmpty(registry, profile.SearchPathValue);
    registry.CloseCurrentKey();

    const bool hasEngine = SearchPathHasEngine(searchPath, profile.ProductDir);
    if (!hasEngine && fields.design == StepChoice::Install)
        searchPath = SearchPathInstallProposal(searchPath, profile, *fields.environment);
    else if (hasEngine && fields.design == StepChoice::Remove)
        searchPath = SearchPathRemoval(searchPath, profile.ProductDir);
    fields.libraryPath = searchPath;
}
