// Switching the Database Explorer and Query Builder DLLs to the engine and back.
#pragma once

#include <string>

#include "EnvironmentProfile.h"
#include "SetupReport.h"

// Moves the DLL to its saved copy's name (path + ".old"); true when it now bears that name.
bool SaveOriginal(const std::string& name, const std::string& path, SetupReport& report);
// Saves the DLL and writes a patched DLL in its place; does nothing when no file is at path.
void InstallDesignTool(const std::string& name, const std::string& path,
                       const EnvironmentProfile& profile, SetupReport& report);
// Puts the saved copy back under the DLL's name.
void RestoreOriginal(const std::string& name, const std::string& path, SetupReport& report);
