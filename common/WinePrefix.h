// WinePrefix: a Wine prefix as this program's registry and drives on systems without them.
// With QTS_WINEPREFIX set, HKEY_LOCAL_MACHINE is the prefix's system.reg, HKEY_CURRENT_USER its
// user.reg and the drive table its dosdevices folder, so that the environments and the engine
// running under Wine in that prefix see what the program writes.
//
// Wine's server holds the registry in memory while it runs and writes it back over the files,
// so nothing may be written while it serves the prefix: InUse tells.
#pragma once

#include <string>

namespace WinePrefix
{

// What the windows and qtsctl say before anything else while the prefix QTS_WINEPREFIX names is
// in use (InUseMessage); empty when it is not, when the variable is not set, and on Windows.
// Both registry roots are then unavailable: every open for writing is refused.
std::string InUseNotice();

} // namespace WinePrefix

#ifndef _WIN32

#include <vector>

namespace WinePrefix
{

// The prefix QTS_WINEPREFIX names; empty when it is not set.
std::string FromEnvironment();

std::string MachineRegistryFile(const std::string& prefix); // <prefix>/system.reg
std::string UserRegistryFile(const std::string& prefix);    // <prefix>/user.reg
std::string DriveTable(const std::string& prefix);          // <prefix>/dosdevices

// True while a Wine server serves the prefix: the lock it holds on its server folder's "lock"
// file is taken. A lock file that exists but cannot be examined counts as taken.
bool InUse(const std::string& prefix);

// What the program tells the user when InUse holds.
std::string InUseMessage(const std::string& prefix);

// The 32-bit program's view of "C:\windows\system32" in a 64-bit prefix: when `driveFolder` is
// the prefix's drive C: and the prefix has a syswow64 folder, components "windows\system32\..."
// become "windows\syswow64\..." (except the folders Windows shares between the two views). The
// components are changed in place; nothing happens without QTS_WINEPREFIX.
void RedirectSystemFolder(const std::string& driveFolder, std::vector<std::string>& components);

} // namespace WinePrefix

#endif
