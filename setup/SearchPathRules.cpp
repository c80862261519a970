// The library search path rules: putting the engine's folders in front when installing, and
// taking every folder of the engine out when removing. Both work on the text exactly as stored;
// macros such as "$(DELPHI)" stay as they stand.
#include "SearchPathRules.h"

bool SearchPathHasEngine(const std::string& searchPath, const std::string& productDir)
{
    // An empty folder name would be found everywhere; it means the engine was not found, so it
    // must count as absent.
    return !productDir.empty() && searchPath.find(productDir) != std::string::npos;
}

std::string SearchPathInstallProposal(const std::string& searchPath,
                                      const EnvironmentProfile& profile, Environment environment)
{
    const std::string& engine = profile.ProductDir;
    std::string proposal =
        engine + profile.LibSubfolder + ";" + engine + "\\Lib\\Src;" + searchPath;
    // Delphi 3, 4 and 5 also get the environment's "\Lib\Delphi2" folder, as the last entry.
    if (environment == Environment::Delphi3 || environment == Environment::Delphi4 ||
        environment == Environment::Delphi5)
        proposal += ";" + profile.EnvironmentDir + "\\Lib\\Delphi2";
    return proposal;
}

std::string SearchPathRemoval(const std::string& searchPath, const std::string& productDir)
{
    std::string result = searchPath;
    if (productDir.empty())
        return result;
    for (;;) {
        const std::size_t occurrence = result.find(productDir);
        if (occurrence == std::string::npos)
            return result;
        const std::size_t separator = result.find(';', occurrence);
        if (separator == std::string::npos)
            result.erase(occurrence);
        else
            result.erase(occurrence, separator - occurrence + 1);
    }
}
