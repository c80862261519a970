// Filling the profile and the setup window's fields for the chosen environment.
#pragma once

#include "EnvironmentProfile.h"
#include "SetupFields.h"
#include "SetupReport.h"

// Copies the catalogue entry of fields.environment into the profile, reads the engine's and the
// environment's folders, search path and component library from the registry, and fills the
// fields with their defaults. Does nothing beyond the two constant suffixes when no environment
// is selected. Showing all page tabs is the window's part.
void ApplyEnvironment(EnvironmentProfile& profile, SetupFields& fields, SetupReport& report);

// Recomputes the component library and search path fields from the registry for the current
// Install/Remove choice.
void UpdateDesignDefaults(const EnvironmentProfile& profile, SetupFields& fields,
                          SetupReport& report);
