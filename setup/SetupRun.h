// The setup run: every step the user chose, in fixed order.
#pragma once

#include "EnvironmentProfile.h"
#include "SetupFields.h"
#include "SetupReport.h"

// Carries out the interface files, design environment, design tools and "LastEnvironment"
// steps. An exception ends the run at its step and leaves this function; the caller appends the
// closing lines ("" and "Done.") in every case and restores the cursor.
void RunSetupSteps(const EnvironmentProfile& profile, const SetupFields& fields,
                   SetupReport& report);

// The whole run: the steps, then an empty line and "Done.", also when a step fails (the
// exception then leaves after those lines).
void RunSetup(const EnvironmentProfile& profile, const SetupFields& fields, SetupReport& report);
