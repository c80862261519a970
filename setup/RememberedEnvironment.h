// The environment chosen in the last setup run, remembered for the current user in the engine's
// key, and the engine's key itself.
#pragma once

#include <optional>

#include "EnvironmentProfile.h"

// The engine's key, below either root: its folder ("RootDir") on the local machine, the
// remembered environment for the current user.
extern const char* const EngineKeyPath;              // "\Software\Quillon\Tessarium"
extern const char* const RememberedEnvironmentValue; // "LastEnvironment"

// The environment whose caption the current user's engine key remembers; none when the key or
// the value is missing or the text is no environment's caption. A value that cannot be read
// raises ERegistryException.
std::optional<Environment> ReadRememberedEnvironment();

// Opens the current user's engine key, creating it, and writes the caption of environment
// there; without an environment the key is still created and nothing is written. Nothing
// happens when the key cannot be opened; a value that cannot be written raises.
void WriteRememberedEnvironment(std::optional<Environment> environment);
