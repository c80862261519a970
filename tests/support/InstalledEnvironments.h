// A machine on which the engine and the development environments are installed, seeded into the
// private registry store and drive table of a TestEnvironment. Used by the setup tests.
//
// What it seeds (each part can be left out through MachineSetup):
//   - HKEY_LOCAL_MACHINE "Software\Quillon\Tessarium", "RootDir" = P (ProductDir()).
//   - Per environment, HKEY_LOCAL_MACHINE installation key ("Software\Borland\Delphi\2.0", ...,
//     "Software\Borland\C++Builder\4.0") with "RootDir" = R (EnvironmentDir(); Delphi 5 is
//     on drive D:, the others on C:).
//   - Per environment, HKEY_CURRENT_USER library key ("...\Library") with the search path under
//     the environment's own value name ("SearchPath" or "Search Path", SearchPathValueName()),
//     text SeededSearchPath(); for Delphi 2 and C++Builder 1 also "ComponentLibrary" =
//     SeededComponentLibrary() ("$(DELPHI)\Bin\CmpLib32.dcl", "$(BCB)\Bin\CmpLib32.ccl").
//   - Environment files: the original BDE interface files of the defaults (R\Lib\BDE.dcu,
//     R\Lib\Obj\BDE.dcu, R\Lib\VCL.lib, the Release/Debug libraries, the component library),
//     the design tool DLLs (R\Bin\DBX.DLL, ...), and, in the system folder S, the environment's
//     database packages (S\VCLDB30.dpl, ...). Each holds OriginalContent(path): bytes naming
//     "idapi32.dll" in several spellings and "\Borland\Database Engine", with NUL bytes.
//     The environment's own files that a package list marks with "+" are the Release/Debug
//     libraries, which are also original interface files (one file: names compare ignoring case).
//   - Engine files: P\Lib\<environment folder> for all seven, P\Lib\Src, the engine's package
//     files named in the package lists (P\Lib\Delphi3\VCLDB30.dpl, ...; EnginePackageContent()),
//     and the demo projects (P\Demo\Delphi2\Demo.dpr, ...). No BDE.dcu in P\Lib\<folder>:
//     nothing has been generated yet.
//
// The key names, value names and folders are written out here independently of the product's
// catalogue, so that tests compare the catalogue against them rather than against itself.
#pragma once

#include <string>
#include <vector>

#include "EnvironmentProfile.h"

class TestEnvironment;

// All seven environments, in catalogue order.
std::vector<Environment> AllEnvironments();

struct MachineSetup {
    std::string productDir = "C:\\Program Files\\Quillon\\Tessarium"; // P
    bool engineKey = true;   // HKEY_LOCAL_MACHINE "Software\Quillon\Tessarium" with "RootDir"
    bool engineFiles = true; // the engine's library folders, package files and demo projects
    std::vector<Environment> environments = AllEnvironments(); // which are installed
    bool environmentKeys = true;                               // installation keys with "RootDir"
    bool libraryKeys = true;                                   // library keys with the search path
    bool componentLibraryValues = true; // "ComponentLibrary" for Delphi 2 and C++Builder 1
    bool environmentFiles = true;       // interface files, component libraries, design tools
    // The packages in the system folder (on Windows the tests run only on a scratch machine,
    // whose test environment removes them again).
    bool systemFiles = true;
};

class InstalledEnvironments
{
public:
    // Seeds the machine at once (and maps drive D:, where Delphi 5 lives). The TestEnvironment
    // must outlive this object.
    explicit InstalledEnvironments(TestEnvironment& environment, MachineSetup setup = {});

    const MachineSetup& Setup() const { return setup_; }
    const std::string& ProductDir() const { return setup_.productDir; }

    // Registry names and seeded texts, per environment.
    static std::string EngineKey(); // "Software\Quillon\Tessarium"
    static std::string InstallationKey(Environment environment);
    static std::string LibraryKey(Environment environment);
    static std::string SearchPathValueName(Environment environment);
    static std::string EnvironmentDir(Environment environment);         // R
    static std::string SeededSearchPath(Environment environment);       // search path as installed
    static std::string SeededComponentLibrary(Environment environment); // "" except D2, CB1
    // The component library file the environment loads: R\Bin\CmpLib32.dcl or .ccl; "" else.
    static std::string ComponentLibraryFile(Environment environment);

    // Files, as Windows paths.
    // The original interface files of the defaults table, in its order (without "=target").
    std::vector<std::string> OriginalFiles(Environment environment) const;
    // Database Explorer DLL, then Query Builder DLL when the environment has one.
    static std::vector<std::string> DesignToolFiles(Environment environment);
    // The engine's package files of the environment's package list (source side), in list order.
    std::vector<std::string> EnginePackageFiles(Environment environment) const;
    // The environment's own files that the package list marks with "+", as the list spells them.
    static std::vector<std::string> MarkedPackageTargets(Environment environment);

    // Content of a seeded environment file and of a seeded engine package file.
    static std::string OriginalContent(const std::string& windowsPath);
    static std::string EnginePackageContent(const std::string& windowsPath);

    // Changes after seeding.
    void SetEngineRoot(const std::string& rootDir) const; // creates the key when missing
    void RemoveEngineKey() const;
    void SetEnvironmentRoot(Environment environment, const std::string& rootDir) const;
    void RemoveEnvironmentKey(Environment environment) const;
    void RemoveLibraryKey(Environment environment) const;
    void SetSearchPath(Environment environment, const std::string& searchPath) const;
    std::string SearchPath(Environment environment) const; // "" when value or key is missing
    void SetComponentLibrary(Environment environment, const std::string& value) const;
    void RemoveComponentLibrary(Environment environment) const;
    // Reads a text value; "" when the key or value is missing.
    static std::string ReadValue(bool localMachine, const std::string& key,
                                 const std::string& name);
    static void WriteValue(bool localMachine, const std::string& key, const std::string& name,
                           const std::string& text);

private:
    void SeedEngine() const;
    void SeedEnvironment(Environment environment) const;

    TestEnvironment& environment_;
    MachineSetup setup_;
};
