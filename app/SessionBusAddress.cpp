#include "SessionBusAddress.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

#ifdef __unix__
#include <unistd.h>
#endif

namespace
{

constexpr char AddressVariable[] = "DBUS_SESSION_BUS_ADDRESS";
constexpr char LauncherName[] = "dbus-launch";
// The folder libdbus was built to run dbus-launch from before it searches the PATH.
constexpr char LauncherFolder[] = "/usr/bin";
// Where the PATH is not set, the C library searches these, as libdbus's search does.
constexpr char PathWhereUnset[] = "/bin:/usr/bin";

bool IsSet(const char* value)
{
    return value && *value;
}

// A launcher in the PATH counts the way the search for it counts: an empty entry is the current
// folder.
bool LauncherInPath(std::string_view path, const ExecutableTest& isExecutable)
{
    for (;;) {
        const std::size_t end = path.find(':');
        const std::string_view folder = path.substr(0, end);
        const std::string file =
            folder.empty() ? std::string(LauncherName) : std::string(folder) + '/' + LauncherName;
        if (isExecutable(file))
            return true;
        if (end == std::string_view::npos)
            return false;
        path.remove_prefix(end + 1);
    }
}

// A value in a D-Bus address: bytes other than these few are written as %XX.
std::string EscapedAddressValue(std::string_view value)
{
    std::string escaped;
    for (const char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') || byte == '-' || byte == '_' ||
                           byte == '/' || byte == '.' || byte == '*';
        if (plain) {
            escaped += c;
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02x", byte);
            escaped += hex;
        }
    }
    return escaped;
}

} // namespace

std::string SessionBusAddressInPlaceOfLaunch(const EnvironmentLookup& environment,
                                             const ExecutableTest& isExecutable)
{
    const char* runtimeFolder = environment("XDG_RUNTIME_DIR");
    if (IsSet(environment(AddressVariable)) || !IsSet(runtimeFolder))
        return {};
    if (isExecutable(std::string(LauncherFolder) + '/' + LauncherName))
        return {};
    const char* path = environment("PATH");
    if (LauncherInPath(path ? path : PathWhereUnset, isExecutable))
        return {};
    return "unix:path=" + EscapedAddressValue(std::string(runtimeFolder) + "/bus");
}

void AvoidSessionBusLaunchWithoutLauncher()
{
#ifdef __unix__
    const std::string address = SessionBusAddressInPlaceOfLaunch(
        [](const char* name) { return std::getenv(name); },
        [](const std::string& file) { return access(file.c_str(), X_OK) == 0; });
    if (!address.empty())
        setenv(AddressVariable, address.c_str(), 1);
#endif
}
