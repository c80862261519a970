// The setup window's pages as a script fills them in: the environment chosen on a window that
// opened with none selected, then the choices a person would make on the later pages, each
// with the window's own reaction to it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "EnvironmentProfile.h"
#include "SetupFields.h"
#include "SetupReport.h"

// Choices left empty keep what choosing the environment filled in.
struct SetupChoices {
    std::optional<bool> generate;                          // ChkGenerate
    std::optional<std::vector<std::string>> originalFiles; // MemoOriginal, whole
    std::optional<std::string> patchedFolder;              // EditPatched
    std::optional<StepChoice> design;                      // Install / Remove / Skip
    std::optional<std::string> libraryPath;                // EditLibraryPath
    std::optional<std::string> complib;                    // EditComplib
    std::optional<bool> installDemo;                       // ChkInstallDemo
    std::optional<StepChoice> tools;                       // Install / Remove / Skip
};

// The profile and fields of a fresh window on which `environment` has just been chosen.
// Notices go to `report`.
void ChooseEnvironment(Environment environment, EnvironmentProfile& profile, SetupFields& fields,
                       SetupReport& report);

// Applies the choices as a person would, page by page: a design choice of Install or Remove
// that becomes selected recomputes the component library and search path from the registry
// (UpdateDesignDefaults), and texts typed afterwards replace what that computed.
void ApplySetupChoices(const SetupChoices& choices, const EnvironmentProfile& profile,
                       SetupFields& fields, SetupReport& report);
