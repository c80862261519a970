// The two rules that change a library search path (folders separated by ";").
#pragma once

#include <string>

#include "EnvironmentProfile.h"

// True when the engine folder occurs in the search path (case-sensitive substring). An empty
// engine folder never occurs.
bool SearchPathHasEngine(const std::string& searchPath, const std::string& productDir);
// The engine's library and source folders first, then the old entries (and, for Delphi 3, 4
// and 5, the environment's "\Lib\Delphi2" folder last).
std::string SearchPathInstallProposal(const std::string& searchPath,
                                      const EnvironmentProfile& profile, Environment environment);
// Deletes from each occurrence of the engine folder up to and including the next ";" (to the end
// when there is none), starting again from the front until the folder no longer occurs. The
// ";" before a deleted last entry stays. An empty engine folder removes nothing.
std::string SearchPathRemoval(const std::string& searchPath, const std::string& productDir);
