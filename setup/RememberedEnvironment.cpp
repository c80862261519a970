#include "RememberedEnvironment.h"

#include "TRegistry.h"

const char* const EngineKeyPath = "\\Software\\Quillon\\Tessarium";
const char* const RememberedEnvironmentValue = "LastEnvironment";

std::optional<Environment> ReadRememberedEnvironment()
{
    TRegistry registry;
    registry.SelectRoot(RegistryRoot::CurrentUser);
    if (!registry.OpenKeyPath(EngineKeyPath, false) ||
        !registry.HasValue(RememberedEnvironmentValue))
        return std::nullopt;
    return EnvironmentFromCaption(registry.ReadText(RememberedEnvironmentValue));
}

void WriteRememberedEnvironment(std::optional<Environment> environment)
{
    TRegistry registry;
    registry.SelectRoot(RegistryRoot::CurrentUser);
    if (!registry.OpenKeyPath(EngineKeyPath, true))
        return;
    if (environment)
        registry.WriteText(RememberedEnvironmentValue, CatalogueEntry(*environment).caption);
}
