#ifndef _WIN32

#include "WinePrefix.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AsciiCase.h"

namespace WinePrefix
{

namespace
{

// The folders a Wine server of this prefix may keep its lock in. Wine names the server folder
// after the prefix's device and inode; it lies in /tmp/.wine-<uid>, or, where Wine is built to
// pick a fresh folder, in the folder whose name the prefix's "wineserver" file records.
std::vector<std::string> ServerFolders(const std::string& prefix, const struct stat& st)
{
    char name[64];
    std::snprintf(name, sizeof name, "/server-%llx-%llx",
                  static_cast<unsigned long long>(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    std::vector<std::string> roots;
    std::ifstream recorded(prefix + "/wineserver");
    std::string folder;
    if (recorded && std::getline(recorded, folder) && !folder.empty()) {
        if (folder.front() == '/') {
            roots.push_back(folder);
        } else {
            if (const char* tmp = std::getenv("TMPDIR"); tmp && *tmp)
                roots.push_back(std::string(tmp) + "/" + folder);
            roots.push_back("/tmp/" + folder);
        }
    }
    roots.push_back("/tmp/.wine-" + std::to_string(::getuid()));
    if (st.st_uid != ::getuid())
        roots.push_back("/tmp/.wine-" + std::to_string(st.st_uid));
    for (std::string& root : roots)
        root += name;
    return roots;
}

// Whether a process holds the server's lock on this file (Wine takes a POSIX write lock on it
// for as long as the server runs).
bool LockTaken(const std::string& lockFile)
{
    const int fd = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return errno != ENOENT && errno != ENOTDIR;
    struct flock probe {
    };
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0;
    probe.l_len = 0;
    const bool answered = ::fcntl(fd, F_GETLK, &probe) == 0;
    ::close(fd);
    return !answered || probe.l_type != F_UNLCK;
}

} // namespace

std::string FromEnvironment()
{
    const char* prefix = std::getenv("QTS_WINEPREFIX");
    return prefix ? std::string(prefix) : std::string();
}

std::string MachineRegistryFile(const std::string& prefix)
{
    return prefix + "/system.reg";
}

std::string UserRegistryFile(const std::string& prefix)
{
    return prefix + "/user.reg";
}

std::string DriveTable(const std::string& prefix)
{
    return prefix + "/dosdevices";
}

bool InUse(const std::string& prefix)
{
    struct stat st {
    };
    if (::stat(prefix.c_str(), &st) != 0)
        return false;
    for (const std::string& folder : ServerFolders(prefix, st))
        if (LockTaken(folder + "/lock"))
            return true;
    return false;
}

std::string InUseMessage(const std::string& prefix)
{
    return "The Wine prefix " + prefix +
           " is in use. Close its programs (or run \"wineserver -k\") and start again.";
}

std::string InUseNotice()
{
    const std::string prefix = FromEnvironment();
    if (prefix.empty() || !InUse(prefix))
        return std::string();
    return InUseMessage(prefix);
}

void RedirectSystemFolder(const std::string& driveFolder, std::vector<std::string>& components)
{
    if (components.size() < 2 || !EqualIgnoringAsciiCase(components[0], "windows") ||
        !EqualIgnoringAsciiCase(components[1], "system32"))
        return;
    // Folders that both views share, as Windows' own redirection leaves them.
    if (components.size() >= 3) {
        const std::string& third = components[2];
        for (const char* shared : {"catroot", "catroot2", "driverstore", "logfiles", "spool"})
            if (EqualIgnoringAsciiCase(third, shared))
                return;
        if (components.size() >= 4 && EqualIgnoringAsciiCase(third, "drivers") &&
            EqualIgnoringAsciiCase(components[3], "etc"))
            return;
    }
    const std::string prefix = FromEnvironment();
    if (prefix.empty())
        return;
    struct stat drive {
    };
    struct stat prefixDrive {
    };
    struct stat wow {
    };
    if (::stat(driveFolder.c_str(), &drive) != 0 ||
        ::stat((prefix + "/drive_c").c_str(), &prefixDrive) != 0 ||
        drive.st_dev != prefixDrive.st_dev || drive.st_ino != prefixDrive.st_ino)
        return;
    if (::stat((prefix + "/drive_c/windows/syswow64").c_str(), &wow) != 0 || !S_ISDIR(wow.st_mode))
        return;
    components[1] = "syswow64";
}

} // namespace WinePrefix

#else

#include "WinePrefix.h"

namespace WinePrefix
{

std::string InUseNotice()
{
    return std::string();
}

} // namespace WinePrefix

#endif
