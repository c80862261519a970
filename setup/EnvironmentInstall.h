// Making the design environment use the engine, or undoing that: registry settings and
// package files.
#pragma once

#include "EnvironmentProfile.h"
#include "SetupFields.h"
#include "SetupReport.h"

// Writes the search path, the component library (Delphi 2, C++Builder 1) and the demo project.
// May throw ERegistryException.
void UpdateEnvironmentSettings(const EnvironmentProfile& profile, const SetupFields& fields,
                               SetupReport& report);
void InstallPackageFiles(const EnvironmentProfile& profile, SetupReport& report);
void RemovePackageFiles(const EnvironmentProfile& profile, SetupReport& report);
