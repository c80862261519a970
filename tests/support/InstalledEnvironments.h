// A machine on which the engine and the development environments are installed, seeded into the
// private registry store and drive table of a TestEnvironment. Used by the setup tests.
//
// It seeds the engine's key ("RootDir" = P) and folders (P\Lib\<each environment>, P\Lib\Src,
// the engine's package files and demo projects; no generated BDE.dcu yet) and, per installed
// environment, its installation key ("RootDir" = R; Delphi 5 lives on drive D:), its library key
// with the search path (and "ComponentLibrary" for Delphi 2 and C++Builder 1, written with the
// "$(DELPHI)" and "$(BCB)" macros), its original interface files, component library, design
// tool DLLs, and its database packages in the system folder. Seeded files hold bytes naming
// "idapi32.dll" in several spellings, with NUL bytes.
//
// Key names, value names and folders are written out here independently of the product's
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
    bool engineKey = true; // HKEY_LOCAL_MACHINE "Software\Quillon\Tessarium" with "RootDir"
    std::vector<Environment> environments = AllEnvironments(); // which are installed
    bool componentLibraryValues = true; // "ComponentLibrary" for Delphi 2 and C++Builder 1
};

class InstalledEnvironments
{
public:
    // Seeds the machine at once. The TestEnvironment must outlive this object.
    explicit InstalledEnvironments(TestEnvironment& environment, MachineSetup setup = {});

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

    // The original interface files of the defaults table, in its order (without "=target").
    std::vector<std::string> OriginalFiles(Environment environment) const;
    // Database Explorer DLL, then Query Builder DLL when the environment has one.
    static std::vector<std::string> DesignToolFiles(Environment environment);

    // Changes after seeding.
    void RemoveEngineKey() const;
    void RemoveEnvironmentKey(Environment environment) const;
    void RemoveLibraryKey(Environment environment) const;
    void SetSearchPath(Environment environment, const std::string& searchPath) const;
    std::string SearchPath(Environment environment) const; // "" when value or key is missing
    void SetComponentLibrary(Environment environment, const std::string& value) const;
    // Reads a text value; "" when the key or value is missing.
    static std::string ReadValue(bool localMachine, const std::string& key,
                                 const std::string& name);
    // Writes a text value, creating the key.
    static void WriteValue(bool localMachine, const std::string& key, const std::string& name,
                           const std::string& text);

private:
    MachineSetup setup_;
};
