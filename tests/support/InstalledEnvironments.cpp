#include "InstalledEnvironments.h"

#include <stdexcept>
#include <utility>

#include "QtsTools.h"
#include "TRegistry.h"
#include "TestEnvironment.h"

namespace
{

// One environment as an installer would leave it.
struct Layout {
    Environment environment;
    const char* installationKey;
    const char* libraryKey;
    const char* searchPathValue;
    const char* rootDir;
    const char* searchPath;
    const char* componentLibrary; // registry text, "" when the environment has none
    const char* engineFolder;     // below P
    const char* demoProject;      // below P
};

const Layout Layouts[] = {
    {Environment::Delphi2, "Software\\Borland\\Delphi\\2.0",
     "Software\\Borland\\Delphi\\2.0\\Library", "SearchPath",
     "C:\\Program Files\\Borland\\Delphi 2.0", "$(DELPHI)\\LIB", "$(DELPHI)\\Bin\\CmpLib32.dcl",
     "\\Lib\\Delphi2", "\\Demo\\Delphi2\\Demo.dpr"},
    {Environment::Delphi3, "Software\\Borland\\Delphi\\3.0",
     "Software\\Borland\\Delphi\\3.0\\Library", "SearchPath",
     "C:\\Program Files\\Borland\\Delphi 3", "$(DELPHI)\\Lib;$(DELPHI)\\Bin;$(DELPHI)\\Imports", "",
     "\\Lib\\Delphi3", "\\Demo\\Delphi3\\Demo.dpr"},
    {Environment::Delphi4, "Software\\Borland\\Delphi\\4.0",
     "Software\\Borland\\Delphi\\4.0\\Library", "Search Path",
     "C:\\Program Files\\Borland\\Delphi4",
     "$(DELPHI)\\Lib;$(DELPHI)\\Bin;$(DELPHI)\\Imports;$(DELPHI)\\Projects\\Bpl", "",
     "\\Lib\\Delphi4", "\\Demo\\Delphi4\\Demo.dpr"},
    {Environment::Delphi5, "Software\\Borland\\Delphi\\5.0",
     "Software\\Borland\\Delphi\\5.0\\Library", "Search Path", "D:\\Borland\\Delphi5",
     "$(DELPHI)\\Lib;$(DELPHI)\\Bin;$(DELPHI)\\Imports;$(DELPHI)\\Projects\\Bpl", "",
     "\\Lib\\Delphi5", "\\Demo\\Delphi5\\Demo.dpr"},
    {Environment::CPP1, "Software\\Borland\\C++Builder\\1.0",
     "Software\\Borland\\C++Builder\\1.0\\Library", "SearchPath",
     "C:\\Program Files\\Borland\\CBuilder", "$(BCB)\\LIB;$(BCB)\\LIB\\OBJ",
     "$(BCB)\\Bin\\CmpLib32.ccl", "\\Lib\\CPP", "\\Demo\\CPP\\Demo.mak"},
    {Environment::CPP3, "Software\\Borland\\C++Builder\\3.0",
     "Software\\Borland\\C++Builder\\3.0\\Library", "Search Path",
     "C:\\Program Files\\Borland\\CBuilder3", "$(BCB)\\Lib;$(BCB)\\Lib\\Obj;$(BCB)\\Bin", "",
     "\\Lib\\CPP3", "\\Demo\\CPP3\\Demo.mak"},
    {Environment::CPP4, "Software\\Borland\\C++Builder\\4.0",
     "Software\\Borland\\C++Builder\\4.0\\Library", "Search Path",
     "C:\\Program Files\\Borland\\CBuilder4", "$(BCB)\\Lib;$(BCB)\\Lib\\Obj;$(BCB)\\Bin", "",
     "\\Lib\\CPP4", "\\Demo\\CPP4\\Demo.mak"},
};

const Layout& LayoutOf(Environment environment)
{
    for (const Layout& layout : Layouts)
        if (layout.environment == environment)
            return layout;
    throw std::logic_error("unknown environment");
}

bool IsDelphi2OrBuilder1(Environment environment)
{
    return environment == Environment::Delphi2 || environment == Environment::CPP1;
}

RegistryRoot RootOf(bool localMachine)
{
    return localMachine ? RegistryRoot::LocalMachine : RegistryRoot::CurrentUser;
}

void RemoveKey(bool localMachine, const std::string& key)
{
    TRegistry registry;
    registry.SelectRoot(RootOf(localMachine));
    registry.RemoveKeyTree(key);
}

void RemoveValue(bool localMachine, const std::string& key, const std::string& name)
{
    TRegistry registry;
    registry.SelectRoot(RootOf(localMachine));
    if (registry.OpenKeyPath(key, false))
        registry.RemoveValue(name);
}

} // namespace

std::vector<Environment> AllEnvironments()
{
    return {Environment::Delphi2, Environment::Delphi3, Environment::Delphi4, Environment::Delphi5,
            Environment::CPP1,    Environment::CPP3,    Environment::CPP4};
}

InstalledEnvironments::InstalledEnvironments(TestEnvironment& environment, MachineSetup setup)
    : environment_(environment), setup_(std::move(setup))
{
    // Delphi 5 lives on a second drive, as it often did.
    environment_.AddDrive('d');
    if (setup_.engineKey)
        SetEngineRoot(setup_.productDir);
    if (setup_.engineFiles)
        SeedEngine();
    for (Environment installed : setup_.environments)
        SeedEnvironment(installed);
}

std::string InstalledEnvironments::EngineKey()
{
    return "Software\\Quillon\\Tessarium";
}

std::string InstalledEnvironments::InstallationKey(Environment environment)
{
    return LayoutOf(environment).installationKey;
}

std::string InstalledEnvironments::LibraryKey(Environment environment)
{
    return LayoutOf(environment).libraryKey;
}

std::string InstalledEnvironments::SearchPathValueName(Environment environment)
{
    return LayoutOf(environment).searchPathValue;
}

std::string InstalledEnvironments::EnvironmentDir(Environment environment)
{
    return LayoutOf(environment).rootDir;
}

std::string InstalledEnvironments::SeededSearchPath(Environment environment)
{
    return LayoutOf(environment).searchPath;
}

std::string InstalledEnvironments::SeededComponentLibrary(Environment environment)
{
    return LayoutOf(environment).componentLibrary;
}

std::string InstalledEnvironments::ComponentLibraryFile(Environment environment)
{
    const std::string root = EnvironmentDir(environment);
    if (environment == Environment::Delphi2)
        return root + "\\Bin\\CmpLib32.dcl";
    if (environment == Environment::CPP1)
        return root + "\\Bin\\CmpLib32.ccl";
    return "";
}

std::vector<std::string> InstalledEnvironments::OriginalFiles(Environment environment) const
{
    const std::string r = EnvironmentDir(environment);
    const std::string s = SystemDirectory();
    switch (environment) {
    case Environment::Delphi2:
        return {r + "\\Lib\\BDE.dcu", ComponentLibraryFile(environment)};
    case Environment::Delphi3:
        return {r + "\\Lib\\BDE.dcu", s + "\\VCLDB30.dpl"};
    case Environment::Delphi4:
        return {r + "\\Lib\\BDE.dcu", s + "\\VCLDB40.bpl"};
    case Environment::Delphi5:
        return {r + "\\Lib\\BDE.dcu", s + "\\VCLBDE50.bpl"};
    case Environment::CPP1:
        return {r + "\\Lib\\Obj\\BDE.dcu", r + "\\Lib\\VCL.lib", r + "\\Lib\\VCLd.lib",
                ComponentLibraryFile(environment)};
    case Environment::CPP3:
        return {r + "\\Lib\\Obj\\BDE.dcu", r + "\\Lib\\Release\\VCLDB35.lib",
                r + "\\Lib\\Debug\\VCLDB35.lib", s + "\\VCLDB35.bpl"};
    case Environment::CPP4:
        return {r + "\\Lib\\Obj\\BDE.dcu", r + "\\Lib\\Release\\VCLDB40.lib",
                r + "\\Lib\\Debug\\VCLDB40.lib", s + "\\VCLDB40.bpl"};
    }
    return {};
}

std::vector<std::string> InstalledEnvironments::DesignToolFiles(Environment environment)
{
    const std::string r = EnvironmentDir(environment);
    switch (environment) {
    case Environment::Delphi2:
    case Environment::CPP1:
        return {r + "\\Bin\\DBX.DLL", r + "\\Bin\\VQBLib32.DLL"};
    case Environment::Delphi3:
        return {r + "\\Bin\\DBX30.DPL", r + "\\Bin\\VQBLib32.dll"};
    case Environment::Delphi4:
        return {r + "\\Bin\\DBX40.BPL"};
    case Environment::Delphi5:
        return {r + "\\Bin\\DBX50.BPL"};
    case Environment::CPP3:
        return {r + "\\Bin\\DBX35.BPL"};
    case Environment::CPP4:
        return {r + "\\Bin\\DBX40.BPL"};
    }
    return {};
}

std::vector<std::string> InstalledEnvironments::EnginePackageFiles(Environment environment) const
{
    const std::string p = ProductDir();
    switch (environment) {
    case Environment::Delphi3:
        return {p + "\\Lib\\Delphi3\\VCLDB30.dpl"};
    case Environment::Delphi4:
        return {p + "\\Lib\\Delphi4\\VCLDB40.bpl"};
    case Environment::Delphi5:
        return {p + "\\Lib\\Delphi5\\VCLBDE50.bpl"};
    case Environment::CPP3:
        return {p + "\\Lib\\CPP3\\VCLDB35.bpl", p + "\\Lib\\CPP3\\Release\\VCLDB35.lib",
                p + "\\Lib\\CPP3\\Debug\\VCLDB35.lib"};
    case Environment::CPP4:
        return {p + "\\Lib\\CPP4\\VCLDB40.bpl", p + "\\Lib\\CPP4\\Release\\VCLDB40.lib",
                p + "\\Lib\\CPP4\\Debug\\VCLDB40.lib"};
    default:
        return {};
    }
}

std::vector<std::string> InstalledEnvironments::MarkedPackageTargets(Environment environment)
{
    const std::string r = EnvironmentDir(environment);
    if (environment == Environment::CPP3)
        return {r + "\\Lib\\Release\\vcldb35.lib", r + "\\Lib\\Debug\\vcldb35.lib"};
    if (environment == Environment::CPP4)
        return {r + "\\Lib\\Release\\vcldb40.lib", r + "\\Lib\\Debug\\vcldb40.lib"};
    return {};
}

std::string InstalledEnvironments::OriginalContent(const std::string& windowsPath)
{
    // Every spelling the patcher knows, one it must leave alone ("IDAPI32.dll"), the BDE's
    // registry fragment, and NUL bytes, which are ordinary content.
    std::string content = "ORIGINAL ";
    content += FileNamePart(windowsPath);
    content += std::string("\0\x01", 2);
    content += "idapi32.dll|IDAPI32.DLL|Idapi32.dll|idapi32.DLL|IDAPI32.dll";
    content += std::string("\0", 1);
    content += "Software\\Borland\\Database Engine";
    content += std::string("\0\xff\0", 3);
    content += "qts3235.dll|QTS3230.DLL|end";
    return content;
}

std::string InstalledEnvironments::EnginePackageContent(const std::string& windowsPath)
{
    return "ENGINE PACKAGE " + FileNamePart(windowsPath) + std::string("\0QTS323x.DLL", 12);
}

void InstalledEnvironments::SeedEngine() const
{
    const std::string p = ProductDir();
    CreatePath(p + "\\Lib\\Src");
    for (const Layout& layout : Layouts) {
        CreatePath(p + layout.engineFolder);
        environment_.WriteFile(p + layout.demoProject, "program Demo;\r\n");
        for (const std::string& file : EnginePackageFiles(layout.environment))
            environment_.WriteFile(file, EnginePackageContent(file));
    }
}

void InstalledEnvironments::SeedEnvironment(Environment environment) const
{
    const Layout& layout = LayoutOf(environment);
    if (setup_.environmentKeys)
        SetEnvironmentRoot(environment, layout.rootDir);
    if (setup_.libraryKeys) {
        SetSearchPath(environment, layout.searchPath);
        if (setup_.componentLibraryValues && IsDelphi2OrBuilder1(environment))
            SetComponentLibrary(environment, layout.componentLibrary);
    }
    if (setup_.environmentFiles) {
        CreatePath(std::string(layout.rootDir) + "\\Bin");
        const std::string system = SystemDirectory();
        for (const std::string& file : OriginalFiles(environment)) {
            const bool inSystem = file.compare(0, system.size(), system) == 0;
            if (!inSystem || setup_.systemFiles)
                environment_.WriteFile(file, OriginalContent(file));
        }
        for (const std::string& file : DesignToolFiles(environment))
            environment_.WriteFile(file, OriginalContent(file));
    }
}

void InstalledEnvironments::SetEngineRoot(const std::string& rootDir) const
{
    WriteValue(true, EngineKey(), "RootDir", rootDir);
}

void InstalledEnvironments::RemoveEngineKey() const
{
    RemoveKey(true, EngineKey());
}

void InstalledEnvironments::SetEnvironmentRoot(Environment environment,
                                               const std::string& rootDir) const
{
    WriteValue(true, InstallationKey(environment), "RootDir", rootDir);
}

void InstalledEnvironments::RemoveEnvironmentKey(Environment environment) const
{
    RemoveKey(true, InstallationKey(environment));
}

void InstalledEnvironments::RemoveLibraryKey(Environment environment) const
{
    RemoveKey(false, LibraryKey(environment));
}

void InstalledEnvironments::SetSearchPath(Environment environment,
                                          const std::string& searchPath) const
{
    WriteValue(false, LibraryKey(environment), SearchPathValueName(environment), searchPath);
}

std::string InstalledEnvironments::SearchPath(Environment environment) const
{
    return ReadValue(false, LibraryKey(environment), SearchPathValueName(environment));
}

void InstalledEnvironments::SetComponentLibrary(Environment environment,
                                                const std::string& value) const
{
    WriteValue(false, LibraryKey(environment), "ComponentLibrary", value);
}

void InstalledEnvironments::RemoveComponentLibrary(Environment environment) const
{
    RemoveValue(false, LibraryKey(environment), "ComponentLibrary");
}

std::string InstalledEnvironments::ReadValue(bool localMachine, const std::string& key,
                                             const std::string& name)
{
    TRegistry registry;
    registry.SelectRoot(RootOf(localMachine));
    if (!registry.OpenKeyPath(key, false) || !registry.HasValue(name))
        return "";
    return registry.ReadText(name);
}

void InstalledEnvironments::WriteValue(bool localMachine, const std::string& key,
                                       const std::string& name, const std::string& text)
{
    TRegistry registry;
    registry.SelectRoot(RootOf(localMachine));
    if (!registry.OpenKeyPath(key, true))
        throw std::runtime_error("cannot create test registry key " + key);
    registry.WriteText(name, text);
}
