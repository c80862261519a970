#include "SetupChoices.h"

#include "ApplyEnvironment.h"

void ChooseEnvironment(Environment environment, EnvironmentProfile& profile, SetupFields& fields,
                       SetupReport& report)
{
    profile = EnvironmentProfile();
    fields = SetupFields();
    fields.environment = environment;
    ApplyEnvironment(profile, fields, report);
}

void ApplySetupChoices(const SetupChoices& choices, const EnvironmentProfile& profile,
                       SetupFields& fields, SetupReport& report)
{
    if (choices.generate)
        fields.generate = *choices.generate;
    if (choices.originalFiles)
        fields.originalFiles = *choices.originalFiles;
    if (choices.patchedFolder)
        fields.patchedFolder = *choices.patchedFolder;
    // Selecting the radio button that is selected already changes nothing; Skip has no handler.
    if (choices.design && *choices.design != fields.design) {
        fields.design = *choices.design;
        if (fields.design != StepChoice::Skip)
            UpdateDesignDefaults(profile, fields, report);
    }
    if (choices.libraryPath)
        fields.libraryPath = *choices.libraryPath;
    if (choices.complib)
        fields.complib = *choices.complib;
    if (choices.installDemo)
        fields.installDemo = *choices.installDemo;
    if (choices.tools)
        fields.tools = *choices.tools;
}
