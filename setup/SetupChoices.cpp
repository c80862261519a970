#include "SetupChoices.h"

#include "ApplyEnvironment.h"

namespace
{

// A field the user set replaces the window's value; one left out keeps it.
template <typename T> void TakeIfGiven(const std::optional<T>& choice, T& field)
{
    if (choice)
        field = *choice;
}

} // namespace

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
    TakeIfGiven(choices.generate, fields.generate);
    TakeIfGiven(choices.originalFiles, fields.originalFiles);
    TakeIfGiven(choices.patchedFolder, fields.patchedFolder);
    // Selecting the radio button that is selected already changes nothing; Skip has no handler.
    if (choices.design && *choices.design != fields.design) {
        fields.design = *choices.design;
        if (fields.design != StepChoice::Skip)
            UpdateDesignDefaults(profile, fields, report);
    }
    TakeIfGiven(choices.libraryPath, fields.libraryPath);
    TakeIfGiven(choices.complib, fields.complib);
    TakeIfGiven(choices.installDemo, fields.installDemo);
    TakeIfGiven(choices.tools, fields.tools);
}
