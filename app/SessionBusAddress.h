// SessionBusAddress: keeps libdbus from starting a launcher that is not installed.
//
// Asked for the session bus with no address set and no bus in the user's runtime folder,
// libdbus forks the whole program to run dbus-launch, from its own folder or the PATH, and
// waits for it. Where dbus-launch is not installed (containers, build machines, remote X
// sessions) that child can only fail, and the window waits the milliseconds it takes, since
// the toolkit's accessibility bridge asks for the bus as the window gets its first control.
#pragma once

#include <functional>
#include <string>

// The value of an environment variable, or null where it is not set.
using EnvironmentLookup = std::function<const char*(const char* name)>;
// Whether the file at a path may be run.
using ExecutableTest = std::function<bool(const std::string& path)>;

// The address to give libdbus in place of a launch that cannot work: the bus socket in the
// user's runtime folder, which is where a session bus without an address set would be, and
// where libdbus looks before it launches one. Empty where libdbus is best left to itself: an
// address is set, no runtime folder is named, or some dbus-launch could run.
std::string SessionBusAddressInPlaceOfLaunch(const EnvironmentLookup& environment,
                                             const ExecutableTest& isExecutable);

// Sets DBUS_SESSION_BUS_ADDRESS to that address where there is one. The environment is the
// process's own, so this runs before any other thread does.
void AvoidSessionBusLaunchWithoutLauncher();
