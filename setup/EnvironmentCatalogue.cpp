// The catalogue of the seven development environments: where each keeps its settings in the
// registry, and which of the engine's folders, demo project and package files belong to it.
#include <stdexcept>

#include "EnvironmentProfile.h"

namespace
{

// C++Builder 3 and 4 store their package list targets in small letters; the engine's sources
// are in capitals. Both spellings are part of the data.
const char* const PackagesCPP3 =
    "%quillon\\Lib\\CPP3\\VCLDB35.bpl=%borland\\Bin\\vcldb35.bpl,"
    "%quillon\\Lib\\CPP3\\Release\\VCLDB35.lib=%borland\\Lib\\Release\\vcldb35.lib+,"
    "%quillon\\Lib\\CPP3\\Debug\\VCLDB35.lib=%borland\\Lib\\Debug\\vcldb35.lib+";
const char* const PackagesCPP4 =
    "%quillon\\Lib\\CPP4\\VCLDB40.bpl=%borland\\Bin\\vcldb40.bpl,"
    "%quillon\\Lib\\CPP4\\Release\\VCLDB40.lib=%borland\\Lib\\Release\\vcldb40.lib+,"
    "%quillon\\Lib\\CPP4\\Debug\\VCLDB40.lib=%borland\\Lib\\Debug\\vcldb40.lib+";

// The C++Builder installation keys begin with "\": they are opened with no other key open, so
// they resolve from the root like the others.
const std::array<EnvironmentEntry, 7> Catalogue = {{
    {Environment::Delphi2, "RadDelphi20", "Delphi 2", "Delphi 2.0",
     "Software\\Borland\\Delphi\\2.0", "Software\\Borland\\Delphi\\2.0\\Library", "SearchPath",
     "Software\\Borland\\Delphi\\2.0\\Library", "ComponentLibrary", "\\Lib\\Delphi2",
     "\\Demo\\Delphi2\\Demo.dpr", ""},
    {Environment::Delphi3, "RadDelphi30", "Delphi 3", "Delphi 3.0",
     "Software\\Borland\\Delphi\\3.0", "Software\\Borland\\Delphi\\3.0\\Library", "SearchPath", "",
     "", "\\Lib\\Delphi3", "\\Demo\\Delphi3\\Demo.dpr",
     "%quillon\\Lib\\Delphi3\\VCLDB30.dpl=%borland\\Bin\\VCLDB30.dpl"},
    {Environment::Delphi4, "RadDelphi40", "Delphi 4", "Delphi 4.0",
     "Software\\Borland\\Delphi\\4.0", "Software\\Borland\\Delphi\\4.0\\Library", "Search Path", "",
     "", "\\Lib\\Delphi4", "\\Demo\\Delphi4\\Demo.dpr",
     "%quillon\\Lib\\Delphi4\\VCLDB40.bpl=%borland\\Bin\\VCLDB40.bpl"},
    {Environment::Delphi5, "RadDelphi50", "Delphi 5", "Delphi 5.0",
     "Software\\Borland\\Delphi\\5.0", "Software\\Borland\\Delphi\\5.0\\Library", "Search Path", "",
     "", "\\Lib\\Delphi5", "\\Demo\\Delphi5\\Demo.dpr",
     "%quillon\\Lib\\Delphi5\\VCLBDE50.bpl=%borland\\Bin\\VCLBDE50.bpl"},
    {Environment::CPP1, "RadCPP10", "C++Builder 1", "C++Builder 1.0",
     "\\Software\\Borland\\C++Builder\\1.0", "Software\\Borland\\C++Builder\\1.0\\Library",
     "SearchPath", "Software\\Borland\\C++Builder\\1.0\\Library", "ComponentLibrary", "\\Lib\\CPP",
     "\\Demo\\CPP\\Demo.mak", ""},
    {Environment::CPP3, "RadCPP30", "C++Builder 3", "C++Builder 3",
     "\\Software\\Borland\\C++Builder\\3.0", "Software\\Borland\\C++Builder\\3.0\\Library",
     "Search Path", "", "", "\\Lib\\CPP3", "\\Demo\\CPP3\\Demo.mak", PackagesCPP3},
    {Environment::CPP4, "RadCPP40", "C++Builder 4", "C++Builder 4",
     "\\Software\\Borland\\C++Builder\\4.0", "Software\\Borland\\C++Builder\\4.0\\Library",
     "Search Path", "", "", "\\Lib\\CPP4", "\\Demo\\CPP4\\Demo.mak", PackagesCPP4},
}};

} // namespace

const std::array<EnvironmentEntry, 7>& EnvironmentCatalogue()
{
    return Catalogue;
}

const EnvironmentEntry& CatalogueEntry(Environment environment)
{
    for (const EnvironmentEntry& entry : Catalogue)
        if (entry.environment == environment)
            return entry;
    throw std::logic_error("EnvironmentCatalogue: unknown environment");
}

std::optional<Environment> EnvironmentFromCaption(const std::string& text)
{
    for (const EnvironmentEntry& entry : Catalogue)
        if (text == entry.caption)
            return entry.environment;
    return std::nullopt;
}
