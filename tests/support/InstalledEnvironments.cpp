#include "InstalledEnvironments.h"

#include <stdexcept>
#include <utility>

#include "QtsTools.h"
#include "TRegistry.h"
#include "TestEnvironment.h"

namespace
{

// One environment as an installer would leave it, and what the engine brings for it.
struct Layout {
    Environment environment;
    const char* installationKey;
    const char* searchPathValue;
    const char* rootDir; // R
    const char* searchPath;
    const char* componentLibrary;            // registry text, "" when the environment has none
    std::vector<const char*> originals;      // original interface files below R
    const char* systemPackage;               // database package in the system folder, or ""
    std::vector<const char*> tools;          // Database Explorer and Query Builder DLLs below R
    const char* engineFolder;                // below P
    const char* demoProject;                 // below P
    std::vector<const char*> enginePackages; // below P
};

// clang-format off
const Layout Layouts[] = {
    {Environment::Delphi2, "Software\\Borland\\Delphi\\2.0", "SearchPath",
     "C:\\Program Files\\Borland\\Delphi 2.0", "$(DELPHI)\\LIB", "$(DELPHI)\\Bin\\CmpLib32.dcl",
     {"\\Lib\\BDE.dcu"}, "", {"\\Bin\\DBX.DLL", "\\Bin\\VQBLib32.DLL"},
     "\\Lib\\Delphi2", "\\Demo\\Delphi2\\Demo.dpr", {}},
    {Environment::Delphi3, "Software\\Borland\\Delphi\\3.0", "SearchPath",
     "C:\\Program Files\\Borland\\Delphi 3", "$(DELPHI)\\Lib;$(DELPHI)\\Bin;$(DELPHI)\\Imports", "",
     {"\\Lib\\BDE.dcu"}, "\\VCLDB30.dpl", {"\\Bin\\DBX30.DPL", "\\Bin\\VQBLib32.dll"},
     "\\Lib\\Delphi3", "\\Demo\\Delphi3\\Demo.dpr", {"\\Lib\\Delphi3\\VCLDB30.dpl"}},
    {Environment::Delphi4, "Software\\Borland\\Delphi\\4.0", "Search Path",
     "C:\\Program Files\\Borland\\Delphi4",
     "$(DELPHI)\\Lib;$(DELPHI)\\Bin;$(DELPHI)\\Imports;$(DELPHI)\\Projects\\Bpl", "",
     {"\\Lib\\BDE.dcu"}, "\\VCLDB40.bpl", {"\\Bin\\DBX40.BPL"},
     "\\Lib\\Delphi4", "\\Demo\\Delphi4\\Demo.dpr", {"\\Lib\\Delphi4\\VCLDB40.bpl"}},
    {Environment::Delphi5, "Software\\Borland\\Delphi\\5.0", "Search Path", "D:\\Borland\\Delphi5",
     "$(DELPHI)\\Lib;$(DELPHI)\\Bin;$(DELPHI)\\Imports;$(DELPHI)\\Projects\\Bpl", "",
     {"\\Lib\\BDE.dcu"}, "\\VCLBDE50.bpl", {"\\Bin\\DBX50.BPL"},
     "\\Lib\\Delphi5", "\\Demo\\Delphi5\\Demo.dpr", {"\\Lib\\Delphi5\\VCLBDE50.bpl"}},
    {Environment::CPP1, "Software\\Borland\\C++Builder\\1.0", "SearchPath",
     "C:\\Program Files\\Borland\\CBuilder", "$(BCB)\\LIB;$(BCB)\\LIB\\OBJ",
     "$(BCB)\\Bin\\CmpLib32.ccl",
     {"\\Lib\\Obj\\BDE.dcu", "\\Lib\\VCL.lib", "\\Lib\\VCLd.lib"}, "",
     {"\\Bin\\DBX.DLL", "\\Bin\\VQBLib32.DLL"}, "\\Lib\\CPP", "\\Demo\\CPP\\Demo.mak", {}},
    {Environment::CPP3, "Software\\Borland\\C++Builder\\3.0", "Search Path",
     "C:\\Program Files\\Borland\\CBuilder3", "$(BCB)\\Lib;$(BCB)\\Lib\\Obj;$(BCB)\\Bin", "",
     {"\\Lib\\Obj\\BDE.dcu", "\\Lib\\Release\\VCLDB35.lib", "\\Lib\\Debug\\VCLDB35.lib"},
     "\\VCLDB35.bpl", {"\\Bin\\DBX35.BPL"}, "\\Lib\\CPP3", "\\Demo\\CPP3\\Demo.mak",
     {"\\Lib\\CPP3\\VCLDB35.bpl", "\\Lib\\CPP3\\Release\\VCLDB35.lib",
      "\\Lib\\CPP3\\Debug\\VCLDB35.lib"}},
    {Environment::CPP4, "Software\\Borland\\C++Builder\\4.0", "Search Path",
     "C:\\Program Files\\Borland\\CBuilder4", "$(BCB)\\Lib;$(BCB)\\Lib\\Obj;$(BCB)\\Bin", "",
     {"\\Lib\\Obj\\BDE.dcu", "\\Lib\\Release\\VCLDB40.lib", "\\Lib\\Debug\\VCLDB40.lib"},
     "\\VCLDB40.bpl", {"\\Bin\\DBX40.BPL"}, "\\Lib\\CPP4", "\\Demo\\CPP4\\Demo.mak",
     {"\\Lib\\CPP4\\VCLDB40.bpl", "\\Lib\\CPP4\\Release\\VCLDB40.lib",
      "\\Lib\\CPP4\\Debug\\VCLDB40.lib"}},
};
// clang-format on

const Layout& LayoutOf(Environment environment)
{
    for (const Layout& layout : Layouts)
        if (layout.environment == environment)
            return layout;
    throw std::logic_error("unknown environment");
}

// Every spelling the patcher knows, one it must leave alone ("IDAPI32.dll"), the BDE's registry
// fragment, and NUL bytes, which are ordinary content.
std::string OriginalContent(const std::string& windowsPath)
{
    return "ORIGINAL " + FileNamePart(windowsPath) + std::string("\0\x01", 2) +
           "idapi32.dll|IDAPI32.DLL|Idapi32.dll|idapi32.DLL|IDAPI32.dll" + std::string("\0", 1) +
           "Software\\Borland\\Database Engine" + std::string("\0\xff\0", 3) +
           "qts3235.dll|QTS3230.DLL|end";
}

void RemoveKey(bool localMachine, const std::string& key)
{
    TRegistry registry;
    registry.SelectRoot(localMachine ? RegistryRoot::LocalMachine : RegistryRoot::CurrentUser);
    registry.RemoveKeyTree(key);
}

} // namespace

std::vector<Environment> AllEnvironments()
{
    return {Environment::Delphi2, Environment::Delphi3, Environment::Delphi4, Environment::Delphi5,
            Environment::CPP1,    Environment::CPP3,    Environment::CPP4};
}

InstalledEnvironments::InstalledEnvironments(TestEnvironment& environment, MachineSetup setup)
    : setup_(std::move(setup))
{
    environment.AddDrive('d'); // Delphi 5 lives on a second drive, as it often did
    const std::string p = ProductDir();
    if (setup_.engineKey)
        WriteValue(true, EngineKey(), "RootDir", p);
    CreatePath(p + "\\Lib\\Src");
    for (const Layout& layout : Layouts) {
        CreatePath(p + layout.engineFolder);
        environment.WriteFile(p + layout.demoProject, "program Demo;\r\n");
        for (const char* package : layout.enginePackages)
            environment.WriteFile(p + package, "ENGINE PACKAGE " + FileNamePart(package) +
                                                   std::string("\0QTS323x.DLL", 12));
    }

    for (Environment installed : setup_.environments) {
        const Layout& layout = LayoutOf(installed);
        WriteValue(true, layout.installationKey, "RootDir", layout.rootDir);
        SetSearchPath(installed, layout.searchPath);
        if (setup_.componentLibraryValues && *layout.componentLibrary)
            SetComponentLibrary(installed, layout.componentLibrary);
        for (const std::string& file : OriginalFiles(installed))
            environment.WriteFile(file, OriginalContent(file));
        for (const std::string& file : DesignToolFiles(installed))
            environment.WriteFile(file, OriginalContent(file));
    }
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
    return InstallationKey(environment) + "\\Library";
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
    const std::string library = SeededComponentLibrary(environment);
    return library.empty() ? "" : EnvironmentDir(environment) + library.substr(library.find('\\'));
}

std::vector<std::string> InstalledEnvironments::OriginalFiles(Environment environment) const
{
    const Layout& layout = LayoutOf(environment);
    std::vector<std::string> files;
    for (const char* file : layout.originals)
        files.push_back(layout.rootDir + std::string(file));
    if (*layout.componentLibrary)
        files.push_back(ComponentLibraryFile(environment));
    if (*layout.systemPackage)
        files.push_back(SystemDirectory() + layout.systemPackage);
    return files;
}

std::vector<std::string> InstalledEnvironments::DesignToolFiles(Environment environment)
{
    std::vector<std::string> files;
    for (const char* file : LayoutOf(environment).tools)
        files.push_back(EnvironmentDir(environment) + file);
    return files;
}

void InstalledEnvironments::RemoveEngineKey() const
{
    RemoveKey(true, EngineKey());
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

std::string InstalledEnvironments::ReadValue(bool localMachine, const std::string& key,
                                             const std::string& name)
{
    TRegistry registry;
    registry.SelectRoot(localMachine ? RegistryRoot::LocalMachine : RegistryRoot::CurrentUser);
    if (!registry.OpenKeyPath(key, false) || !registry.HasValue(name))
        return "";
    return registry.ReadText(name);
}

void InstalledEnvironments::WriteValue(bool localMachine, const std::string& key,
                                       const std::string& name, const std::string& text)
{
    TRegistry registry;
    registry.SelectRoot(localMachine ? RegistryRoot::LocalMachine : RegistryRoot::CurrentUser);
    if (!registry.OpenKeyPath(key, true))
        throw std::runtime_error("cannot create test registry key " + key);
    registry.WriteText(name, text);
}
