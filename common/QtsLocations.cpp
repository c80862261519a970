#include "QtsLocations.h"

#include <cstdlib>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>

#include "FileRegistryStore.h"
#include "WinePrefix.h"
#endif

namespace
{

#ifndef _WIN32
bool IsSet(const char* name)
{
    const char* value = std::getenv(name);
    return value && *value;
}

// The first of the variables that is set, or empty.
std::string FirstSet(std::initializer_list<const char*> names)
{
    for (const char* name : names)
        if (IsSet(name))
            return name;
    return std::string();
}

// The same rule as the file-system layer's drive table.
std::string DriveTableFolder()
{
    if (IsSet("QTS_DOSDEVICES"))
        return std::getenv("QTS_DOSDEVICES");
    std::string data;
    if (IsSet("XDG_DATA_HOME"))
        data = std::getenv("XDG_DATA_HOME");
    else if (IsSet("HOME"))
        data = std::string(std::getenv("HOME")) + "/.local/share";
    else if (const passwd* user = ::getpwuid(::getuid()))
        data = std::string(user->pw_dir) + "/.local/share";
    else
        data = "/.local/share";
    return data + "/quillon-tessarium/dosdevices";
}
#endif

} // namespace

std::vector<QtsLocation> QtsLocations()
{
#ifdef _WIN32
    return {{"HKEY_LOCAL_MACHINE", "the Windows registry (32-bit view)", ""},
            {"HKEY_CURRENT_USER", "the Windows registry", ""},
            {"Drive table", "the Windows drives", ""}};
#else
    if (const std::string prefix = WinePrefix::FromEnvironment(); !prefix.empty())
        return {{"HKEY_LOCAL_MACHINE", WinePrefix::MachineRegistryFile(prefix), "QTS_WINEPREFIX"},
                {"HKEY_CURRENT_USER", WinePrefix::UserRegistryFile(prefix), "QTS_WINEPREFIX"},
                {"Drive table", WinePrefix::DriveTable(prefix), "QTS_WINEPREFIX"}};
    return {{"HKEY_LOCAL_MACHINE", FileRegistryStore::MachineFileFromEnvironment(),
             FirstSet({"QTS_MACHINE_REGISTRY"})},
            {"HKEY_CURRENT_USER", FileRegistryStore::UserFileFromEnvironment(),
             FirstSet({"QTS_USER_REGISTRY", "XDG_CONFIG_HOME"})},
            {"Drive table", DriveTableFolder(), FirstSet({"QTS_DOSDEVICES", "XDG_DATA_HOME"})}};
#endif
}
