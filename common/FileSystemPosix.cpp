// The file-system layer on systems without drive letters: Windows paths are resolved through
// the drive table, and the Win32 behaviours the program relies on (no replacing rename,
// read-only files that even root cannot delete, opens without sharing) are rebuilt here.
#ifndef _WIN32

#include "FileSystem.h"
#include "WinePrefix.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include "AsciiCase.h"
#include "PosixFile.h"

namespace FileSystem
{

namespace
{

// ---------------------------------------------------------------------------------------------
// Handles

using FileHandle = PosixFile::Descriptor;
using PosixFile::SyncFolder;
using PosixFile::TemporaryFile;
using PosixFile::WriteAll;

class DirectoryHandle
{
public:
    explicit DirectoryHandle(const std::string& path) : dir_(::opendir(path.c_str())) {}
    ~DirectoryHandle()
    {
        if (dir_)
            ::closedir(dir_);
    }
    DirectoryHandle(const DirectoryHandle&) = delete;
    DirectoryHandle& operator=(const DirectoryHandle&) = delete;
    DIR* Get() const { return dir_; }

private:
    DIR* dir_;
};

// ---------------------------------------------------------------------------------------------
// Resolving Windows paths

enum class Base { Relative, Native, Drive, Network };

struct Resolved {
    std::string native; // the native path ("" when the path can name nothing)
    std::string leaf;   // the last component as written in the path ("" for a root)
    Base base = Base::Relative;
    bool root = false; // names a drive root, a share, or "/" itself
    bool valid = true; // false for a drive or share that cannot exist
};

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

std::string Join(const std::string& folder, const std::string& name)
{
    if (folder.empty())
        return name;
    if (folder.back() == '/')
        return folder + name;
    return folder + "/" + name;
}

std::vector<std::string> SplitComponents(const std::string& text)
{
    std::vector<std::string> parts;
    std::string current;
    for (const char c : text) {
        if (IsSeparator(c)) {
            if (!current.empty())
                parts.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        parts.push_back(current);
    return parts;
}

// Resolves "." and ".." by name, as Windows does. Below a root ".." stops at the root; a
// relative path keeps the ".." it starts with.
std::vector<std::string> Normalize(const std::vector<std::string>& parts, bool rooted)
{
    std::vector<std::string> result;
    for (const std::string& part : parts) {
        if (part == ".")
            continue;
        if (part == "..") {
            if (!result.empty() && result.back() != "..")
                result.pop_back();
            else if (!rooted)
                result.push_back(part);
            continue;
        }
        result.push_back(part);
    }
    return result;
}

bool Exists(const std::string& native)
{
    struct stat info;
    return ::lstat(native.c_str(), &info) == 0;
}

// The name under which a component is found in folder: its exact name when that exists,
// otherwise the first entry (in name order) equal to it ignoring ASCII case; empty when none.
std::string MatchComponent(const std::string& folder, const std::string& name)
{
    if (Exists(Join(folder.empty() ? "." : folder, name)))
        return name;
    DirectoryHandle dir(folder.empty() ? "." : folder);
    if (!dir.Get())
        return std::string();
    std::string best;
    while (const dirent* entry = ::readdir(dir.Get())) {
        const std::string candidate = entry->d_name;
        if (candidate == "." || candidate == "..")
            continue;
        if (EqualIgnoringAsciiCase(candidate, name) && (best.empty() || candidate < best))
            best = candidate;
    }
    return best;
}

// Appends components below start, each matched ignoring case; once one is missing the rest
// is appended as written (nothing below a missing entry can exist).
std::string Descend(std::string path, const std::vector<std::string>& parts)
{
    bool searching = true;
    for (const std::string& part : parts) {
        std::string name = part;
        if (searching) {
            const std::string found = MatchComponent(path, part);
            if (found.empty())
                searching = false;
            else
                name = found;
        }
        path = Join(path, name);
    }
    return path;
}

std::string DriveTable()
{
    if (const std::string prefix = WinePrefix::FromEnvironment(); !prefix.empty())
        return WinePrefix::DriveTable(prefix);
    if (const char* table = std::getenv("QTS_DOSDEVICES"); table && *table)
        return table;
    std::string data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg) {
        data = xdg;
    } else {
        std::string home;
        if (const char* env = std::getenv("HOME"); env && *env)
            home = env;
        else if (const passwd* user = ::getpwuid(::getuid()))
            home = user->pw_dir;
        data = home + "/.local/share";
    }
    return data + "/quillon-tessarium/dosdevices";
}

// The folder of drive letter in the drive table (its entry, matched ignoring case); false when
// the table has no entry for it, i.e. the drive does not exist.
bool DriveFolder(char letter, std::string& folder)
{
    const std::string entry = std::string(1, LowerAscii(letter)) + ":";
    const std::string table = DriveTable();
    const std::string found = MatchComponent(table, entry);
    folder = Join(table, found.empty() ? entry : found);
    return !found.empty();
}

Resolved Resolve(const std::string& windowsPath)
{
    Resolved result;
    const std::string& p = windowsPath;
    std::vector<std::string> parts;
    std::string start;

    if (p.empty()) {
        // No name at all names nothing (not the current folder).
        result.valid = false;
        return result;
    }
    if (p.size() >= 2 && p[0] == '\\' && IsSeparator(p[1])) {
        // \\server\share\...: the share is the table entry "unc/server/share".
        result.base = Base::Network;
        std::vector<std::string> all = SplitComponents(p.substr(2));
        const auto badName = [](const std::string& s) { return s == "." || s == ".."; };
        if (all.size() < 2 || badName(all[0]) || badName(all[1])) {
            result.valid = false;
            result.root = all.size() < 2;
            return result;
        }
        start = Descend(DriveTable(), {"unc", all[0], all[1]});
        result.valid = Exists(start);
        parts.assign(all.begin() + 2, all.end());
        parts = Normalize(parts, true);
    } else if (p.size() >= 2 && p[1] == ':' &&
               ((p[0] >= 'a' && p[0] <= 'z') || (p[0] >= 'A' && p[0] <= 'Z'))) {
        result.base = Base::Drive;
        result.valid = DriveFolder(p[0], start);
        parts = Normalize(SplitComponents(p.substr(2)), true);
        WinePrefix::RedirectSystemFolder(start, parts);
    } else if (p[0] == '\\') {
        // "\Bin\x" is on the current drive, as on Windows; that drive is always C: here, whatever
        // the native current folder, so such a path never names the host's own root.
        result.base = Base::Drive;
        result.valid = DriveFolder('c', start);
        parts = Normalize(SplitComponents(p), true);
        WinePrefix::RedirectSystemFolder(start, parts);
    } else if (p[0] == '/') {
        // Only a path written with "/" first is native: what a dialog returns outside every
        // mapped drive.
        result.base = Base::Native;
        start = "/";
        parts = Normalize(SplitComponents(p), true);
    } else {
        parts = Normalize(SplitComponents(p), false);
    }

    result.root = result.base != Base::Relative && parts.empty();
    result.leaf = parts.empty() ? std::string() : parts.back();
    result.native = Descend(start, parts);
    if (result.native.empty())
        result.native = "."; // the current directory itself
    return result;
}

// Paths that name a drive, a share or something that cannot exist are never changed.
bool Changeable(const Resolved& path)
{
    return path.valid && !path.root;
}

std::string ParentOf(const std::string& native)
{
    const std::size_t slash = native.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return native.substr(0, slash);
}

// The file a write to native reaches: a symbolic link at the end is followed.
std::string WriteTarget(const std::string& native)
{
    struct stat info;
    if (::lstat(native.c_str(), &info) == 0 && S_ISLNK(info.st_mode)) {
        if (char* real = ::realpath(native.c_str(), nullptr)) {
            std::string target = real;
            std::free(real);
            return target;
        }
    }
    return native;
}

bool ReadOnlyMode(mode_t mode)
{
    return (mode & S_IWUSR) == 0;
}

// True when another open holds a lock on the file, i.e. it is in use without sharing.
bool HeldByOther(const std::string& native)
{
    FileHandle file(::open(native.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!file.Valid())
        return false;
    if (::flock(file.Get(), LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK;
    ::flock(file.Get(), LOCK_UN);
    return false;
}

enum class ReplaceStage { Ok, CannotCreate, WriteFailed };

// Writes a new file through write() into a temporary file beside target and renames it over
// target when complete. The old target stays locked while this runs, so no one else opens it
// halfway; any failure leaves it as it was.
ReplaceStage ReplaceAtomically(const Resolved& target, const std::function<bool(int)>& write)
{
    if (!Changeable(target))
        return ReplaceStage::CannotCreate;
    const std::string real = WriteTarget(target.native);
    FileHandle old;
    struct stat info;
    if (::stat(real.c_str(), &info) == 0) {
        if (!S_ISREG(info.st_mode) || ReadOnlyMode(info.st_mode) ||
            ::access(real.c_str(), W_OK) != 0)
            return ReplaceStage::CannotCreate;
        old.Reset(::open(real.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        if (old.Valid() && ::flock(old.Get(), LOCK_EX | LOCK_NB) != 0)
            return ReplaceStage::CannotCreate;
    }
    const std::string folder = ParentOf(real);
    TemporaryFile temporary(folder);
    if (!temporary.Valid())
        return ReplaceStage::CannotCreate;
    if (!write(temporary.Get()) || !temporary.Finish())
        return ReplaceStage::WriteFailed;
    if (!temporary.RenameTo(real))
        return ReplaceStage::CannotCreate;
    SyncFolder(folder);
    return ReplaceStage::Ok;
}

// Moves a file to a name on another file system: copied without replacing anything, then the
// original removed.
bool MoveAcrossDevices(const std::string& from, const std::string& to)
{
    FileHandle source(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info;
    if (!source.Valid() || ::fstat(source.Get(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    FileHandle target(
        ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 07777));
    if (!target.Valid())
        return false;
    bool ok = true;
    std::vector<char> buffer(1 << 16);
    for (;;) {
        const ssize_t got = ::read(source.Get(), buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        if (!WriteAll(target.Get(), buffer.data(), static_cast<std::size_t>(got))) {
            ok = false;
            break;
        }
    }
    const timespec times[2] = {info.st_atim, info.st_mtim};
    ok = ok && ::futimens(target.Get(), times) == 0 && ::fsync(target.Get()) == 0;
    ok = target.Close() && ok;
    if (!ok || ::unlink(from.c_str()) != 0) {
        ::unlink(to.c_str());
        return false;
    }
    return true;
}

// rename() that never replaces an existing entry.
bool RenameNoReplace(const std::string& from, const std::string& to)
{
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno == EXDEV)
        return MoveAcrossDevices(from, to);
    if (errno != EINVAL && errno != ENOSYS)
        return false;
#endif
    // The file system cannot refuse a replacing rename itself: a file gets its new name as a
    // hard link (which fails when the name exists), then loses the old one.
    struct stat info;
    if (::lstat(from.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        if (::link(from.c_str(), to.c_str()) == 0)
            return ::unlink(from.c_str()) == 0;
        if (errno == EXDEV)
            return MoveAcrossDevices(from, to);
        if (errno != EPERM && errno != ENOTSUP)
            return false;
    }
    if (Exists(to))
        return false;
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool SameEntry(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

// -------------------------------------------------------------------------------------------------

std::string NativePath(const std::string& windowsPath)
{
    return Resolve(windowsPath).native;
}

EntryKind Find(const std::string& path)
{
    const Resolved resolved = Resolve(path);
    struct stat info;
    if (!resolved.valid || ::stat(resolved.native.c_str(), &info) != 0)
        return EntryKind::None;
    return S_ISDIR(info.st_mode) ? EntryKind::Folder : EntryKind::File;
}

bool FileExists(const std::string& path)
{
    return Find(path) == EntryKind::File;
}

unsigned DriveType(const std::string& path)
{
    const Resolved resolved = Resolve(path);
    struct stat info;
    if (!resolved.root || !resolved.valid || ::stat(resolved.native.c_str(), &info) != 0 ||
        !S_ISDIR(info.st_mode))
        return 1;
    return resolved.base == Base::Network ? 4 : 3;
}

bool CreateFolder(const std::string& path)
{
    const Resolved resolved = Resolve(path);
    return Changeable(resolved) && ::mkdir(resolved.native.c_str(), 0777) == 0;
}

bool RemoveFile(const std::string& path)
{
    const Resolved resolved = Resolve(path);
    if (!Changeable(resolved))
        return false;
    struct stat info;
    if (::lstat(resolved.native.c_str(), &info) != 0 || S_ISDIR(info.st_mode))
        return false;
    if (!S_ISLNK(info.st_mode) && (ReadOnlyMode(info.st_mode) || HeldByOther(resolved.native)))
        return false;
    return ::unlink(resolved.native.c_str()) == 0;
}

bool RenameFile(const std::string& from, const std::string& to)
{
    const Resolved source = Resolve(from);
    const Resolved target = Resolve(to);
    if (!Changeable(source) || !Changeable(target))
        return false;
    struct stat sourceInfo;
    if (::lstat(source.native.c_str(), &sourceInfo) != 0)
        return false;
    if (S_ISREG(sourceInfo.st_mode) && HeldByOther(source.native))
        return false;

    struct stat targetInfo;
    if (::lstat(target.native.c_str(), &targetInfo) == 0) {
        // The target name finds the source itself only when both name the same entry of the
        // same folder, i.e. they differ in letter case at most: give it the new spelling.
        const bool sameFile =
            SameEntry(sourceInfo, targetInfo) && ParentOf(source.native) == ParentOf(target.native);
        if (!sameFile)
            return false;
        const std::string respelled = Join(ParentOf(source.native), target.leaf);
        if (respelled == source.native)
            return true;
        return ::rename(source.native.c_str(), respelled.c_str()) == 0;
    }
    return RenameNoReplace(source.native, target.native);
}

bool CopyFileOver(const std::string& from, const std::string& to)
{
    const Resolved source = Resolve(from);
    const Resolved target = Resolve(to);
    if (!source.valid || !Changeable(target))
        return false;
    FileHandle input(::open(source.native.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info;
    if (!input.Valid() || ::fstat(input.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        ::flock(input.Get(), LOCK_SH | LOCK_NB) != 0)
        return false;
    struct stat targetInfo;
    if (::stat(target.native.c_str(), &targetInfo) == 0 && SameEntry(info, targetInfo))
        return false;

    const auto copy = [&](int fd) {
        std::vector<char> buffer(1 << 16);
        for (;;) {
            const ssize_t got = ::read(input.Get(), buffer.data(), buffer.size());
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                return false;
            if (got == 0)
                break;
            if (!WriteAll(fd, buffer.data(), static_cast<std::size_t>(got)))
                return false;
        }
        const timespec times[2] = {info.st_atim, info.st_mtim};
        return ::fchmod(fd, info.st_mode & 0777) == 0 && ::futimens(fd, times) == 0;
    };
    return ReplaceAtomically(target, copy) == ReplaceStage::Ok;
}

bool IsReadOnly(const std::string& path)
{
    const Resolved resolved = Resolve(path);
    struct stat info;
    return resolved.valid && ::stat(resolved.native.c_str(), &info) == 0 &&
           ReadOnlyMode(info.st_mode);
}

bool ClearReadOnly(const std::string& path)
{
    const Resolved resolved = Resolve(path);
    struct stat info;
    return resolved.valid && ::stat(resolved.native.c_str(), &info) == 0 &&
           ::chmod(resolved.native.c_str(), (info.st_mode & 07777) | S_IWUSR) == 0;
}

bool SetReadOnly(const std::string& path)
{
    const Resolved resolved = Resolve(path);
    struct stat info;
    return resolved.valid && ::stat(resolved.native.c_str(), &info) == 0 &&
           ::chmod(resolved.native.c_str(),
                   (info.st_mode & 07777) & ~static_cast<mode_t>(S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

ReadResult ReadWholeFile(const std::string& path, std::string& image)
{
    const Resolved resolved = Resolve(path);
    if (!resolved.valid)
        return ReadResult::CannotOpen;
    FileHandle file(::open(resolved.native.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info;
    if (!file.Valid() || ::fstat(file.Get(), &info) != 0 || !S_ISREG(info.st_mode) ||
        ::flock(file.Get(), LOCK_EX | LOCK_NB) != 0)
        return ReadResult::CannotOpen;

    image.assign(static_cast<std::size_t>(info.st_size), '\0');
    std::size_t done = 0;
    while (done < image.size()) {
        const ssize_t got = ::read(file.Get(), &image[done], image.size() - done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        done += static_cast<std::size_t>(got);
    }
    if (done < image.size()) {
        image.resize(done);
        return ReadResult::ShortRead;
    }
    return ReadResult::Ok;
}

WriteResult ReplaceWholeFile(const std::string& path, const std::string& image)
{
    const auto write = [&](int fd) { return WriteAll(fd, image.data(), image.size()); };
    switch (ReplaceAtomically(Resolve(path), write)) {
    case ReplaceStage::Ok:
        return WriteResult::Ok;
    case ReplaceStage::WriteFailed:
        return WriteResult::ShortWrite;
    case ReplaceStage::CannotCreate:
        break;
    }
    return WriteResult::CannotCreate;
}

std::string WindowsPath(const std::string& nativePath)
{
    if (nativePath.empty() || nativePath[0] != '/')
        return nativePath;
    std::error_code error;
    const std::filesystem::path target =
        std::filesystem::weakly_canonical(nativePath, error).lexically_normal();
    if (error)
        return nativePath;
    const std::string table = DriveTable();
    std::filesystem::directory_iterator entries(table, error);
    if (error)
        return nativePath;

    std::string letters; // the drive entries, a to z
    for (const auto& entry : entries) {
        const std::string name = entry.path().filename().string();
        const char letter = LowerAscii(name.empty() ? '\0' : name[0]);
        if (name.size() == 2 && name[1] == ':' && letter >= 'a' && letter <= 'z' &&
            letters.find(letter) == std::string::npos)
            letters += letter;
    }
    std::sort(letters.begin(), letters.end());

    char best = 0;
    std::filesystem::path bestRoot;
    std::size_t bestDepth = 0;
    for (const char letter : letters) {
        const std::string entry = MatchComponent(table, std::string(1, letter) + ":");
        const std::filesystem::path root =
            std::filesystem::canonical(Join(table, entry), error).lexically_normal();
        if (error || !std::filesystem::is_directory(root, error))
            continue;
        // Inside the root: the root's components are a prefix of the target's.
        const auto mismatch = std::mismatch(root.begin(), root.end(), target.begin(), target.end());
        const std::size_t depth = static_cast<std::size_t>(std::distance(root.begin(), root.end()));
        if (mismatch.first == root.end() && (best == 0 || depth > bestDepth)) {
            best = letter;
            bestRoot = root;
            bestDepth = depth;
        }
    }
    if (best == 0)
        return nativePath;

    std::string result(1, static_cast<char>(best - 'a' + 'A'));
    result += ":";
    for (const auto& part : target.lexically_relative(bestRoot)) {
        const std::string name = part.string();
        if (!name.empty() && name != ".")
            result += "\\" + name;
    }
    return result.size() == 2 ? result + "\\" : result;
}

} // namespace FileSystem

#endif // _WIN32
