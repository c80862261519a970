// The seven development environments the engine integrates with, and the profile of the one
// chosen in the setup window: its catalogue entry plus the folders found in the registry.
#pragma once

#include <array>
#include <optional>
#include <string>

enum class Environment { Delphi2, Delphi3, Delphi4, Delphi5, CPP1, CPP3, CPP4 };

// One row of the catalogue. Texts are the product's own; see EnvironmentCatalogue.cpp.
struct EnvironmentEntry {
    Environment environment;
    const char* radioName;       // object name of the radio button, e.g. "RadDelphi20"
    const char* caption;         // radio caption, also the "LastEnvironment" text
    const char* displayName;     // name in messages
    const char* environmentKey;  // HKEY_LOCAL_MACHINE installation key
    const char* libraryKey;      // HKEY_CURRENT_USER library settings key
    const char* searchPathValue; // "SearchPath" or "Search Path"
    const char* complibKey;      // empty except Delphi 2 and C++Builder 1
    const char* complibValue;    // "ComponentLibrary" or empty
    const char* libSubfolder;    // e.g. "\Lib\Delphi2"
    const char* demoProject;     // e.g. "\Demo\Delphi2\Demo.dpr"
    const char* packageList;     // package mapping list, may be empty
};

// The catalogue, in the order in which environments are tested everywhere.
const std::array<EnvironmentEntry, 7>& EnvironmentCatalogue();
const EnvironmentEntry& CatalogueEntry(Environment environment);
// The environment whose "LastEnvironment" text equals text exactly, if any.
std::optional<Environment> EnvironmentFromCaption(const std::string& text);

struct EnvironmentProfile {
    std::string EngineSuffix;   // "3x"
    std::string FormerSuffixes; // "35,30"
    std::string DisplayName;
    std::string EnvironmentKey;
    std::string RootDirValue; // "RootDir"
    std::string LibraryKey;
    std::string SearchPathValue;
    std::string ComplibKey;
    std::string ComplibValue;
    std::string PackageList;
    std::string LibSubfolder;
    std::string DemoProject;
    std::string EnvironmentDir; // R: the environment's root folder, from the registry
    std::string ProductDir;     // P: the engine's install folder, from the registry
    std::string CurrentComplib; // C: the component library loaded now (Delphi 2, C++Builder 1)
};
