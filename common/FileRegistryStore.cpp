#ifndef _WIN32

#include "FileRegistryStore.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <mutex>
#include <set>
#include <string_view>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FileRegistryStoreText.h"
#include "PosixFile.h"

using PosixFile::Descriptor;
using RegistryFile::Node;
using RegistryFile::Value;

namespace
{

// Below this size a file is never compacted: rewriting it would cost more than it saves.
constexpr std::uint64_t CompactionMinimum = 64 * 1024;
// How long a writer waits for the others' changes before its own change fails.
constexpr auto LockPatience = std::chrono::seconds(5);
// Links followed from the store name to the file, as many as the kernel follows in a path.
constexpr int LinkLimit = 40;

std::string Variable(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string HomeFolder()
{
    std::string home = Variable("HOME");
    if (!home.empty())
        return home;
    if (const passwd* entry = getpwuid(getuid()))
        if (entry->pw_dir)
            return entry->pw_dir;
    return "/";
}

// A line on standard error about a lasting condition, said once per process (whose stores may
// be used on more than one thread).
void SayOnce(const std::string& line)
{
    static std::mutex guard;
    static std::set<std::string> said;
    const std::lock_guard<std::mutex> lock(guard);
    if (said.insert(line).second)
        std::fprintf(stderr, "%s\n", line.c_str());
}

struct Fingerprint {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};
    // Not part of the comparison: what a compaction must keep, and whether it may replace it.
    uid_t owner = 0;
    gid_t group = 0;
    mode_t mode = 0;
    nlink_t links = 0;

    static Fingerprint Of(const struct stat& st)
    {
        Fingerprint f;
        f.exists = true;
        f.device = st.st_dev;
        f.inode = st.st_ino;
        f.size = st.st_size;
        f.modified = st.st_mtim;
        f.changed = st.st_ctim;
        f.owner = st.st_uid;
        f.group = st.st_gid;
        f.mode = st.st_mode;
        f.links = st.st_nlink;
        return f;
    }
    bool SameFile(const struct stat& st) const
    {
        return exists && device == st.st_dev && inode == st.st_ino;
    }
    bool operator==(const Fingerprint& o) const
    {
        return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
               changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec;
    }
};

// Whether the user may change the file: the file itself when it exists, else the nearest
// existing folder on its path (where the first write would create folders and file).
bool MayWrite(const std::string& path)
{
    if (::access(path.c_str(), W_OK) == 0)
        return true;
    if (errno != ENOENT)
        return false;
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    while (!folder.empty()) {
        if (::access(folder.c_str(), F_OK) == 0)
            return ::access(folder.c_str(), W_OK | X_OK) == 0;
        if (errno != ENOENT)
            return false;
        const auto up = folder.parent_path();
        if (up == folder)
            break;
        folder = up;
    }
    return ::access(".", W_OK | X_OK) == 0;
}

// Text that a crash while creating the file may have left: a beginning of the first line.
bool IsUnfinishedSignature(std::string_view bytes)
{
    for (const std::string_view signature :
         {std::string_view("\xEF\xBB\xBFREGEDIT4\r\n"), std::string_view("REGEDIT4\r\n")})
        if (bytes.size() <= signature.size() && signature.substr(0, bytes.size()) == bytes)
            return true;
    return false;
}

// What a path that should be a regular file is instead.
std::string KindOf(mode_t mode)
{
    if (S_ISFIFO(mode))
        return "a named pipe (FIFO)";
    if (S_ISDIR(mode))
        return "a folder";
    if (S_ISSOCK(mode))
        return "a socket";
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return "a device";
    return "not a plain file";
}

// Why the file at a store name cannot be used, reached through links or not.
std::string NotRegular(const std::string& name, const std::string& file, mode_t mode)
{
    return (file == name ? std::string("is ") : "leads to " + file + ", which is ") + KindOf(mode) +
           ", not a regular file";
}

// The lock file's permissions: read and write for each class of users that may write the
// store, nothing for the others, who would only be able to hold the lock against its writers.
mode_t LockModeFor(mode_t storeMode)
{
    mode_t mode = S_IRUSR | S_IWUSR;
    if (storeMode & S_IWGRP)
        mode |= S_IRGRP | S_IWGRP;
    if (storeMode & S_IWOTH)
        mode |= S_IROTH | S_IWOTH;
    return mode;
}

// Where a store's content lives: at its name, or at the end of the links there.
struct Location {
    enum Kind { Missing, File, Refused } kind = Missing;
    std::string path; // the file, or where it would be created
    struct stat st {
    };                   // the file's status, when it is there
    std::string problem; // why it is refused
};

// Follows the links at a store name, each only when it belongs to this user or to the owner of
// the folder it lies in (the rule the kernel applies in sticky folders): another user who may
// write that folder must not choose which file the store writes.
Location Locate(const std::string& name)
{
    Location where;
    where.path = name;
    for (int hop = 0;; ++hop) {
        if (::lstat(where.path.c_str(), &where.st) != 0) {
            if (errno == ENOENT || errno == ENOTDIR)
                return where; // missing: an empty root, which the first write creates
            where.kind = Location::Refused;
            where.problem = where.path + " cannot be read: " + std::strerror(errno);
            return where;
        }
        if (!S_ISLNK(where.st.st_mode)) {
            where.kind = S_ISREG(where.st.st_mode) ? Location::File : Location::Refused;
            if (where.kind == Location::Refused)
                where.problem = NotRegular(name, where.path, where.st.st_mode);
            return where;
        }
        where.kind = Location::Refused;
        if (hop == LinkLimit) {
            where.problem = "too many symbolic links";
            return where;
        }
        const std::string folder = PosixFile::FolderOf(where.path);
        struct stat folderStatus {
        };
        if (::stat(folder.c_str(), &folderStatus) != 0) {
            where.problem = folder + " cannot be read: " + std::strerror(errno);
            return where;
        }
        if (where.st.st_uid != ::geteuid() && where.st.st_uid != folderStatus.st_uid) {
            where.problem = "the symbolic link " + where.path + " belongs to user " +
                            std::to_string(where.st.st_uid) +
                            ", neither you nor the owner of its folder, and is not followed";
            return where;
        }
        // Some file systems give links a size of 0.
        std::string target(
            std::max<std::size_t>(static_cast<std::size_t>(where.st.st_size), PATH_MAX) + 1, '\0');
        const ssize_t length = ::readlink(where.path.c_str(), target.data(), target.size());
        if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) {
            where.problem = "the symbolic link " + where.path + " cannot be read";
            return where;
        }
        target.resize(static_cast<std::size_t>(length));
        where.path = target.front() == '/' ? target : folder + "/" + target;
        where.kind = Location::Missing;
    }
}

} // namespace

// One root's file: the tree read from it, how far it has been read, and its lock.
class FileRegistryStore::RootFile
{
public:
    RootFile(std::string path, const char* rootName, const char* shortName)
        : path_(std::move(path)), reader_(rootName, shortName)
    {
    }

    const std::string& Path() const { return path_; }
    const std::string& RootName() const { return reader_.RootName(); }
    Node& Tree() { return reader_.Tree(); }

    // Brings the tree up to date with the file. False when the root cannot be used: the file
    // cannot be read or parsed, is not a regular file, or lies behind a link not followed.
    // `byName`: look at the store's name even when the open file tells enough by itself (a
    // writer under the lock does, so that nothing is ever appended to a file the name has left).
    // Within a batch, only the first call looks.
    bool Refresh(bool byName = false);

    // A batch looks at the file once, and holds the lock from its first change to its end.
    void BeginBatch() { ++batchDepth_; }
    void EndBatch();
    bool Batched() const { return batchDepth_ > 0; }
    // Changes whenever a key may have been freed: a key's node found before stays valid while
    // this is the same.
    std::uint64_t TreeGeneration() const { return reader_.Generation(); }

    // Whether the user may change this root (cached while the file stays the same).
    bool Writable()
    {
        if (!writableKnown_ || !seen_.exists) {
            writable_ = MayWrite(file_.empty() ? path_ : file_);
            writableKnown_ = seen_.exists;
        }
        return writable_;
    }

    // Makes one change under the file lock: `plan` looks at the up-to-date tree and gives the
    // record to append (none: nothing to write). The record is appended, then read back into
    // the tree like any other process's record.
    StoreStatus Change(const std::function<StoreStatus(std::string& record)>& plan);

private:
    bool Look(bool byName);
    bool Follow(int fd, const struct stat& st);
    bool Load(int fd, const struct stat& st);
    void MarkUnusable(const std::string& problem);
    bool ReadAppended(int fd, const struct stat& st);
    void ReportUnusable(const std::string& what);
    bool OpenLock(const std::string& lockPath);
    bool Lock(const std::string& file);
    void Unlock() { ::flock(lockFd_.Get(), LOCK_UN); }
    void MatchLock(gid_t storeGroup, mode_t storeMode);
    StoreStatus Append(std::string record);
    void CompactIfWorthIt();

    std::string path_; // the store's name
    std::string file_; // the file the name leads to, links followed (known after Refresh)
    RegistryFile::Reader reader_;
    Fingerprint seen_; // of the file read (dataFd_'s, when open), as far as read
    bool looked_ = false;
    bool broken_ = false;
    std::string problem_; // why the root is unusable, as last reported
    Descriptor dataFd_;
    bool dataWritable_ = false; // dataFd_ is open for writing as well
    bool writable_ = false;
    bool writableKnown_ = false;
    Descriptor lockFd_;
    std::string lockPath_;
    bool lockMine_ = false; // its group and permissions are ours to set
    mode_t lockMode_ = 0;
    gid_t lockGroup_ = 0;
    int batchDepth_ = 0;
    bool batchLooked_ = false; // the batch has looked at the file
    bool holding_ = false;     // the batch holds the lock, so the tree is the file's content
    bool batchAppended_ = false;
};

void FileRegistryStore::RootFile::ReportUnusable(const std::string& what)
{
    std::fprintf(stderr, "%s: %s; the registry file is left as it is and not used\n", path_.c_str(),
                 what.c_str());
}

void FileRegistryStore::RootFile::MarkUnusable(const std::string& problem)
{
    // Said once, not at every operation that finds the root still unusable.
    if (!broken_ || problem != problem_)
        ReportUnusable(problem);
    problem_ = problem;
    reader_.Reset();
    broken_ = true;
}

bool FileRegistryStore::RootFile::Refresh(bool byName)
{
    // What a batch looked at stays its view: under the lock no one else changes the file, and
    // before its first change the batch reads the file as it was at its first call.
    if (batchDepth_ > 0 && !byName && (batchLooked_ || holding_) && looked_ && !broken_)
        return true;
    const bool ok = Look(byName);
    batchLooked_ = batchDepth_ > 0 && ok;
    return ok;
}

void FileRegistryStore::RootFile::EndBatch()
{
    if (--batchDepth_ > 0)
        return;
    batchLooked_ = false;
    if (!holding_)
        return;
    holding_ = false;
    // The batch's writes left the file's times unknown: one look for all of them, then the
    // compaction they may call for, before others may write again.
    if (batchAppended_) {
        batchAppended_ = false;
        struct stat st {
        };
        if (dataFd_.Valid() && looked_ && ::fstat(dataFd_.Get(), &st) == 0) {
            seen_ = Fingerprint::Of(st);
            try {
                CompactIfWorthIt();
            } catch (...) {
                // Out of memory for the compacted image: the file stays as it is, correct and
                // larger, and a later writer compacts it.
            }
        } else {
            looked_ = false;
        }
    }
    Unlock();
}

bool FileRegistryStore::RootFile::Look(bool byName)
{
    // The file stays open between operations. Where the name leads straight to it and it has no
    // other name, one fstat tells all a reader needs: others appended to it (size, times), or
    // replaced or removed it (a compaction renames a new file over it: it has no name left).
    if (!byName && dataFd_.Valid() && looked_ && !broken_ && seen_.links == 1 && file_ == path_) {
        struct stat st {
        };
        if (::fstat(dataFd_.Get(), &st) == 0 && st.st_nlink == 1) {
            if (seen_ == Fingerprint::Of(st))
                return true;
            return Follow(dataFd_.Get(), st);
        }
    }
    // Otherwise a look at its name: one lstat tells whether the name still leads to the open
    // file and whether others appended to it.
    for (int attempt = 0;; ++attempt) {
        Location where = Locate(path_);
        if (where.kind == Location::Refused) {
            dataFd_.Reset();
            looked_ = true;
            writableKnown_ = false;
            seen_ = Fingerprint();
            MarkUnusable(where.problem);
            return false;
        }
        file_ = std::move(where.path);
        if (where.kind == Location::Missing) {
            // No file: an empty root.
            dataFd_.Reset();
            looked_ = true;
            writableKnown_ = false;
            seen_ = Fingerprint();
            if (broken_ || reader_.ReadEnd() != 0)
                reader_.Reset();
            broken_ = false;
            problem_.clear();
            return true;
        }
        if (dataFd_.Valid() && looked_ && seen_.SameFile(where.st)) {
            if (seen_ == Fingerprint::Of(where.st))
                return !broken_;
            return Follow(dataFd_.Get(), where.st);
        }
        // Never through a link put there since the look, and a FIFO put there must not block.
        // Opened for writing too where the user may write it, so that a change appends through
        // this same descriptor without opening the file again.
        constexpr int Flags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
        Descriptor fd(::open(file_.c_str(), O_RDWR | Flags));
        dataWritable_ = fd.Valid();
        if (!fd.Valid() && (errno == EACCES || errno == EROFS || errno == ETXTBSY))
            fd.Reset(::open(file_.c_str(), O_RDONLY | Flags));
        if (!fd.Valid() && (errno == ENOENT || errno == ELOOP) && attempt < 3)
            continue; // replaced between the look and the open: look again
        struct stat st {
        };
        if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0) {
            const int error = errno;
            dataFd_.Reset();
            MarkUnusable(std::string("cannot be read: ") + std::strerror(error));
            return false;
        }
        if (!S_ISREG(st.st_mode)) {
            dataFd_.Reset();
            MarkUnusable(NotRegular(path_, file_, st.st_mode));
            return false;
        }
        // Only a file held open keeps its inode number: the one read last, if it was let go of,
        // may be gone and its number given to this one, which is then a different file.
        if (!dataFd_.Valid())
            seen_ = Fingerprint();
        dataFd_ = std::move(fd);
        return Follow(dataFd_.Get(), st);
    }
}

bool FileRegistryStore::RootFile::Follow(int fd, const struct stat& st)
{
    // An unfinished continued value at the end may have been cut off by a writer since: read
    // the whole file again rather than go on from the middle of what replaced it.
    const bool whole = !looked_ || broken_ || !seen_.SameFile(st) || reader_.HasPending() ||
                       static_cast<std::uint64_t>(st.st_size) < reader_.ReadEnd() ||
                       (st.st_size == seen_.size && (st.st_mtim.tv_sec != seen_.modified.tv_sec ||
                                                     st.st_mtim.tv_nsec != seen_.modified.tv_nsec));
    const bool ok = whole ? Load(fd, st) : ReadAppended(fd, st);
    seen_ = Fingerprint::Of(st);
    looked_ = true;
    writableKnown_ = false;
    if (ok) {
        broken_ = false;
        problem_.clear();
    }
    return ok;
}

bool FileRegistryStore::RootFile::Load(int fd, const struct stat& st)
{
    reader_.Reset();
    const auto size = static_cast<std::uint64_t>(st.st_size);
    PosixFile::LargeBuffer large;
    if (PosixFile::LargeBuffer::Worthwhile(size))
        large = PosixFile::LargeBuffer(size);
    std::string bytes;
    if (large.Valid() ? !PosixFile::ReadRange(fd, 0, size, large)
                      : !PosixFile::ReadRange(fd, 0, size, bytes)) {
        MarkUnusable(std::string("cannot be read: ") + std::strerror(errno));
        return false;
    }
    const bool unfinished = large.Valid() ? IsUnfinishedSignature({large.Data(), large.Size()})
                                          : IsUnfinishedSignature(bytes);
    if (!(large.Valid() ? reader_.Feed(std::move(large)) : reader_.Feed(std::move(bytes)))) {
        MarkUnusable("line " + std::to_string(reader_.ErrorLine()) + ": " + reader_.Error());
        return false;
    }
    if (reader_.ReadEnd() == 0 && !unfinished) {
        MarkUnusable("line 1: the file does not begin with the line REGEDIT4");
        return false;
    }
    return true;
}

bool FileRegistryStore::RootFile::ReadAppended(int fd, const struct stat& st)
{
    std::string bytes;
    if (!PosixFile::ReadRange(fd, reader_.ReadEnd(), static_cast<std::uint64_t>(st.st_size),
                              bytes)) {
        MarkUnusable(std::string("cannot be read: ") + std::strerror(errno));
        return false;
    }
    if (!reader_.Feed(std::move(bytes))) {
        MarkUnusable("line " + std::to_string(reader_.ErrorLine()) + ": " + reader_.Error());
        return false;
    }
    return true;
}

bool FileRegistryStore::RootFile::OpenLock(const std::string& lockPath)
{
    lockFd_.Reset();
    lockPath_.clear();
    // Never through a link: another user who may write the folder could point it at any file.
    constexpr int Flags = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    Descriptor fd(::open(lockPath.c_str(), O_RDWR | Flags));
    int error = fd.Valid() ? 0 : errno;
    if (error == ENOENT) {
        // Created closed to everyone else, then opened to those who may write the store.
        fd.Reset(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_EXCL | Flags, S_IRUSR | S_IWUSR));
        error = fd.Valid() ? 0 : errno;
        if (error == EEXIST) {
            fd.Reset(::open(lockPath.c_str(), O_RDWR | Flags));
            error = fd.Valid() ? 0 : errno;
        }
    }
    if (error == EACCES) {
        // A lock file the user may only read still locks.
        fd.Reset(::open(lockPath.c_str(), O_RDONLY | Flags));
        error = fd.Valid() ? 0 : EACCES;
    }
    struct stat st {
    };
    std::string problem;
    if (!fd.Valid())
        problem = error == ELOOP
                      ? std::string("is a symbolic link, which is never followed")
                      : std::string("cannot be opened or created: ") + std::strerror(error);
    else if (::fstat(fd.Get(), &st) != 0)
        problem = std::string("cannot be read: ") + std::strerror(errno);
    else if (!S_ISREG(st.st_mode))
        problem = "is " + KindOf(st.st_mode) + ", not a regular file";
    if (!problem.empty()) {
        SayOnce(lockPath + ": the lock file " + problem + "; " + path_ + " cannot be changed");
        return false;
    }
    lockFd_ = std::move(fd);
    lockPath_ = lockPath;
    lockMine_ = st.st_uid == ::geteuid() || ::geteuid() == 0;
    lockMode_ = st.st_mode & 07777;
    lockGroup_ = st.st_gid;
    if (seen_.exists)
        MatchLock(seen_.group, seen_.mode);
    return true;
}

bool FileRegistryStore::RootFile::Lock(const std::string& file)
{
    const std::string lockPath = file + ".lock";
    if ((!lockFd_.Valid() || lockPath_ != lockPath) && !OpenLock(lockPath))
        return false;
    // Whoever holds the lock may never let go (a process stopped in a debugger, or anyone who
    // may open the lock file): the change fails after a while rather than hang the program.
    const auto deadline = std::chrono::steady_clock::now() + LockPatience;
    auto pause = std::chrono::milliseconds(1);
    while (::flock(lockFd_.Get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) {
            std::fprintf(stderr, "%s: %s; the change to %s is not made\n", lockPath.c_str(),
                         errno == EWOULDBLOCK
                             ? "another process has held this lock for more than 5 seconds"
                             : (std::string("cannot be locked: ") + std::strerror(errno)).c_str(),
                         path_.c_str());
            return false;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(50));
    }
    return true;
}

void FileRegistryStore::RootFile::MatchLock(gid_t storeGroup, mode_t storeMode)
{
    // The lock file opens to whoever may write the store, through the same group.
    const mode_t wanted = LockModeFor(storeMode);
    if (!lockMine_ || (lockMode_ == wanted && lockGroup_ == storeGroup))
        return;
    if (lockGroup_ != storeGroup && ::fchown(lockFd_.Get(), uid_t(-1), storeGroup) == 0)
        lockGroup_ = storeGroup;
    if (lockMode_ != wanted && ::fchmod(lockFd_.Get(), wanted) == 0)
        lockMode_ = wanted;
    // What could not be set now will not be settable at the next write either.
    lockMine_ = lockMode_ == wanted && lockGroup_ == storeGroup;
}

StoreStatus
FileRegistryStore::RootFile::Change(const std::function<StoreStatus(std::string& record)>& plan)
{
    // A batch that holds the lock has the file's content in its tree already.
    if (!holding_ || !looked_ || broken_) {
        if (holding_) {
            holding_ = false;
            Unlock();
        }
        // The lock lies beside the file the name leads to, so that every way to the file shares
        // it. A link retargeted between the look and the lock means looking again.
        for (int attempt = 0;; ++attempt) {
            if (file_.empty() && !Refresh())
                return StoreStatus::Failed;
            const std::string file = file_;
            if (!seen_.exists) {
                std::error_code error;
                std::filesystem::create_directories(PosixFile::FolderOf(file), error);
            }
            if (!Lock(file))
                return StoreStatus::Failed;
            const bool fresh = Refresh(true);
            if (fresh && file_ == file)
                break;
            Unlock();
            if (!fresh || attempt == 3)
                return StoreStatus::Failed;
        }
        holding_ = batchDepth_ > 0;
    }
    struct Unlocker {
        RootFile& file;
        ~Unlocker()
        {
            if (!file.holding_)
                file.Unlock();
        }
    } unlocker{*this};

    std::string record;
    const StoreStatus planned = plan(record);
    if (planned != StoreStatus::Ok || record.empty())
        return planned;
    return Append(std::move(record));
}

StoreStatus FileRegistryStore::RootFile::Append(std::string record)
{
    // Under the lock the file was just looked at: the open descriptor is the file at the name,
    // of the size seen. Only a missing file is opened here, created and never through a link.
    if (!seen_.exists) {
        Descriptor created(::open(
            file_.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_CREAT | O_EXCL, 0666));
        struct stat st {
        };
        if (!created.Valid() || ::fstat(created.Get(), &st) != 0) {
            looked_ = false;
            return StoreStatus::Failed;
        }
        dataFd_ = std::move(created);
        dataWritable_ = true;
        seen_ = Fingerprint::Of(st);
        looked_ = true;
    }
    if (!dataFd_.Valid() || !dataWritable_) {
        looked_ = false; // read the file afresh next time
        return StoreStatus::Failed;
    }
    const int fd = dataFd_.Get();
    MatchLock(seen_.group, seen_.mode);
    // An unfinished line or value left by a crashed writer goes before anything is appended.
    const std::uint64_t at = reader_.SafeEnd();
    if (static_cast<std::uint64_t>(seen_.size) != at &&
        ::ftruncate(fd, static_cast<off_t>(at)) != 0) {
        looked_ = false;
        return StoreStatus::Failed;
    }
    reader_.DropPending();
    if (at == 0)
        record = RegistryFile::Signature + record;
    if (!PosixFile::WriteAllAt(fd, at, record)) {
        if (::ftruncate(fd, static_cast<off_t>(at)) != 0) {
            // The file keeps a partial record, which the next load ignores.
        }
        looked_ = false;
        return StoreStatus::Failed;
    }
    const std::uint64_t end = at + record.size();
    if (!reader_.Feed(std::move(record))) {
        looked_ = false;
        return StoreStatus::Failed;
    }
    if (holding_) {
        // No one else writes before the batch ends, which looks at the file once for all.
        seen_.size = static_cast<off_t>(end);
        batchAppended_ = true;
        return StoreStatus::Ok;
    }
    struct stat st {
    };
    if (::fstat(fd, &st) != 0) {
        looked_ = false;
        return StoreStatus::Failed;
    }
    seen_ = Fingerprint::Of(st);
    CompactIfWorthIt();
    return StoreStatus::Ok;
}

void FileRegistryStore::RootFile::CompactIfWorthIt()
{
    const auto size = static_cast<std::uint64_t>(seen_.size);
    if (size < CompactionMinimum || size <= 2 * reader_.LiveBytes())
        return;
    // A new file in place of this one would part it from its other names, which would go on
    // showing an old content to whoever uses them.
    if (seen_.links > 1) {
        SayOnce(file_ + ": has " + std::to_string(seen_.links) +
                " hard links, so it is not compacted (every name keeps showing the same file)");
        return;
    }
    // The new file must keep the store's owner, group and permissions, or others who share the
    // store would lose it: only its owner (or root) can give it that owner. Anyone else goes on
    // appending.
    const uid_t user = ::geteuid();
    if (user != 0 && user != seen_.owner)
        return;
    const std::string folder = PosixFile::FolderOf(file_);
    PosixFile::TemporaryFile temporary(folder, S_IRUSR | S_IWUSR);
    if (!temporary.Valid()) {
        SayOnce(file_ + ": no temporary file can be created in " + folder + " (" +
                std::strerror(temporary.Error()) +
                "), so the registry file is not compacted and keeps growing");
        return;
    }
    std::string image = RegistryFile::WholeFile(reader_.Tree(), reader_.RootName());
    struct stat written {
    };
    bool ok = PosixFile::WriteAll(temporary.Get(), image.data(), image.size()) &&
              ::fstat(temporary.Get(), &written) == 0;
    // Owner and group before the mode: changing them clears set-ID bits, which the mode restores.
    if (ok && (written.st_uid != seen_.owner || written.st_gid != seen_.group))
        ok = ::fchown(temporary.Get(), written.st_uid != seen_.owner ? seen_.owner : uid_t(-1),
                      seen_.group) == 0;
    ok = ok && ::fchmod(temporary.Get(), seen_.mode & 07777) == 0 &&
         ::fstat(temporary.Get(), &written) == 0 && written.st_uid == seen_.owner &&
         written.st_gid == seen_.group && (written.st_mode & 07777) == (seen_.mode & 07777);
    // The new file stays open in place of the old one. Its device and inode tell the next look
    // whether the name still leads to it only while it is held: once let go, others may replace
    // and remove it, and its inode number may go to a file of theirs, which must not be read on
    // from where this one ends.
    Descriptor kept(ok ? ::fcntl(temporary.Get(), F_DUPFD_CLOEXEC, 0) : -1);
    if (!ok || !temporary.Finish() || !temporary.RenameTo(file_))
        return;
    PosixFile::SyncFolder(folder);
    // The tree is read again from the new file's bytes, so that its values look into those and
    // the bytes of the old file can go.
    reader_.Reset();
    if (!reader_.Feed(std::move(image)))
        looked_ = false;
    // The rename may have changed the new file's status time: taken afresh, the next look finds
    // it as it is. Without a descriptor of its own (none to spare), the next look opens it again.
    if (kept.Valid() && ::fstat(kept.Get(), &written) != 0)
        kept.Reset();
    seen_ = Fingerprint::Of(written);
    dataFd_ = std::move(kept);
    dataWritable_ = dataFd_.Valid();
}

namespace RegistryFile
{

// The names from the root down to an open key, shared by the keys opened below it: opening a
// subkey adds its own name and copies nothing above it.
struct KeyPath {
    std::shared_ptr<const KeyPath> parent; // null for a key right below the root
    std::string name;                      // as stored
    std::size_t depth = 1;                 // names from the root down to this one
};

} // namespace RegistryFile

namespace
{

using RegistryFile::KeyPath;
using SharedPath = std::shared_ptr<const KeyPath>;

std::size_t DepthOf(const SharedPath& path)
{
    return path ? path->depth : 0;
}

SharedPath Below(SharedPath parent, std::string name)
{
    const std::size_t depth = DepthOf(parent) + 1;
    return std::make_shared<const KeyPath>(KeyPath{std::move(parent), std::move(name), depth});
}

// The names of a path, from the root down.
std::vector<std::string> NamesOf(const SharedPath& path)
{
    std::vector<std::string> names(DepthOf(path));
    std::size_t at = names.size();
    for (const KeyPath* step = path.get(); step; step = step->parent.get())
        names[--at] = step->name;
    return names;
}

class FileKey final : public RegistryKey
{
public:
    FileKey(const FileRegistryStore* owner, RegistryRoot root, SharedPath path,
            std::uint32_t access)
        : owner(owner), root(root), path(std::move(path)), access(access)
    {
    }
    // The names from the root down, joined with backslashes: written from the last name back.
    std::string Joined() const
    {
        std::size_t size = 0;
        for (const KeyPath* step = path.get(); step; step = step->parent.get())
            size += step->name.size() + (step->parent ? 1 : 0);
        std::string joined(size, '\\');
        for (const KeyPath* step = path.get(); step; step = step->parent.get()) {
            size -= step->name.size();
            joined.replace(size, step->name.size(), step->name);
            size -= step->parent ? 1 : 0;
        }
        return joined;
    }

    const FileRegistryStore* owner;
    RegistryRoot root;
    SharedPath path; // null for the root itself
    std::uint32_t access;
    // The key's node, valid while the tree's generation is this one.
    mutable Node* node = nullptr;
    mutable std::uint64_t generation = 0;
};

const FileKey* AsFileKey(const FileRegistryStore* store, const RegistryKey* key)
{
    const auto* fileKey = dynamic_cast<const FileKey*>(key);
    return (fileKey && fileKey->owner == store) ? fileKey : nullptr;
}

Node* Find(Node& tree, const std::vector<std::string>& path)
{
    Node* node = &tree;
    for (const auto& name : path) {
        node = node->Child(name);
        if (!node)
            return nullptr;
    }
    return node;
}

// The node of an open key: the one found before while no key has been freed since, else found
// again by its path (it may be gone, or be a new key of the same name).
Node* NodeOf(FileRegistryStore::RootFile& file, const FileKey& key)
{
    if (!key.node || key.generation != file.TreeGeneration()) {
        key.node = Find(file.Tree(), NamesOf(key.path));
        key.generation = file.TreeGeneration();
    }
    return key.node;
}

// Where a key path starts (the parent key, or null for the root) and its names: Failed for a
// parent that is not this store's key under that root, InvalidName for a path that does not
// split into names.
StoreStatus Resolve(const FileRegistryStore* store, RegistryRoot root, const RegistryKey* parent,
                    const std::string& subKey, const FileKey*& base,
                    std::vector<std::string>& names)
{
    base = parent ? AsFileKey(store, parent) : nullptr;
    if (parent && (!base || base->root != root))
        return StoreStatus::Failed;
    return SplitKeyPath(subKey, names) ? StoreStatus::Ok : StoreStatus::InvalidName;
}

} // namespace

FileRegistryStore::FileRegistryStore(const std::string& userFile, const std::string& machineFile)
{
    roots_[0] = std::make_unique<RootFile>(userFile, "HKEY_CURRENT_USER", "HKCU");
    roots_[1] = std::make_unique<RootFile>(machineFile, "HKEY_LOCAL_MACHINE", "HKLM");
}

FileRegistryStore::~FileRegistryStore() = default;

std::string FileRegistryStore::UserFileFromEnvironment()
{
    const std::string file = Variable("QTS_USER_REGISTRY");
    if (!file.empty())
        return file;
    std::string config = Variable("XDG_CONFIG_HOME");
    if (config.empty())
        config = HomeFolder() + "/.config";
    return config + "/quillon-tessarium/user.reg";
}

std::string FileRegistryStore::MachineFileFromEnvironment()
{
    const std::string file = Variable("QTS_MACHINE_REGISTRY");
    return file.empty() ? std::string("/etc/quillon-tessarium/machine.reg") : file;
}

void FileRegistryStore::BeginBatch(RegistryRoot root)
{
    Root(root).BeginBatch();
}

void FileRegistryStore::EndBatch(RegistryRoot root)
{
    Root(root).EndBatch();
}

FileRegistryStore::RootFile& FileRegistryStore::Root(RegistryRoot root)
{
    return *roots_[root == RegistryRoot::CurrentUser ? 0 : 1];
}

const std::string& FileRegistryStore::FileOf(RegistryRoot root) const
{
    return roots_[root == RegistryRoot::CurrentUser ? 0 : 1]->Path();
}

StoreStatus FileRegistryStore::OpenKey(RegistryRoot root, const RegistryKey* parent,
                                       const std::string& subKey, std::uint32_t access,
                                       std::unique_ptr<RegistryKey>& key)
{
    ++calls_;
    key.reset();
    RootFile& file = Root(root);
    // A path from the root that was opened last time is found without walking it again, as
    // long as no key has been freed since.
    OpenedPath& last = lastOpened_[root == RegistryRoot::CurrentUser ? 0 : 1];
    if (!parent && last.node && last.subKey == subKey) {
        if (!file.Refresh())
            return StoreStatus::Failed;
        if ((access & KeyAccess::WriteMask) && !file.Writable())
            return StoreStatus::AccessDenied;
        if (last.generation == file.TreeGeneration()) {
            auto opened = std::make_unique<FileKey>(this, root, last.path, access);
            opened->node = last.node;
            opened->generation = last.generation;
            key = std::move(opened);
            return StoreStatus::Ok;
        }
    }
    const FileKey* base = parent ? AsFileKey(this, parent) : nullptr;
    if (parent && (!base || base->root != root))
        return StoreStatus::Failed;
    if (HasEmptyComponent(subKey))
        return StoreStatus::InvalidName;
    if (!file.Refresh())
        return StoreStatus::Failed;
    if ((access & KeyAccess::WriteMask) && !file.Writable())
        return StoreStatus::AccessDenied;
    Node* node = base ? NodeOf(file, *base) : &file.Tree();
    if (!node)
        return StoreStatus::Failed; // the parent was deleted meanwhile
    SharedPath path = base ? base->path : nullptr;
    const std::string_view names = subKey;
    for (std::size_t start = 0; start < names.size();) {
        const std::size_t end = std::min(names.find('\\', start), names.size());
        node = node->Child(names.substr(start, end - start));
        if (!node)
            return StoreStatus::NotFound;
        path = Below(std::move(path), std::string(node->name));
        start = end + 1;
    }
    auto opened = std::make_unique<FileKey>(this, root, std::move(path), access);
    opened->node = node;
    opened->generation = file.TreeGeneration();
    if (!base) {
        last.subKey = subKey;
        last.path = opened->path;
        last.node = node;
        last.generation = opened->generation;
    }
    key = std::move(opened);
    return StoreStatus::Ok;
}

StoreStatus FileRegistryStore::CreateKey(RegistryRoot root, const RegistryKey* parent,
                                         const std::string& subKey, std::uint32_t access,
                                         std::unique_ptr<RegistryKey>& key)
{
    ++calls_;
    key.reset();
    const FileKey* base = nullptr;
    std::vector<std::string> names;
    if (const StoreStatus status = Resolve(this, root, parent, subKey, base, names);
        status != StoreStatus::Ok)
        return status;
    for (const auto& name : names)
        if (!RegistryFile::IsStorableKeyName(name))
            return StoreStatus::InvalidName;
    // Deeper keys would make the file unreadable to every process, this one included.
    if ((base ? DepthOf(base->path) : 0) + names.size() > RegistryFile::MaximumKeyDepth)
        return StoreStatus::InvalidName;
    StoreStatus status = OpenKey(root, parent, subKey, access, key);
    if (status != StoreStatus::NotFound)
        return status;
    RootFile& file = Root(root);
    if (!file.Writable())
        return StoreStatus::AccessDenied;
    const std::vector<std::string> basePath =
        base ? NamesOf(base->path) : std::vector<std::string>();
    status = file.Change([&](std::string& record) {
        Node* node = Find(file.Tree(), basePath);
        if (!node)
            return StoreStatus::Failed;
        std::string joined;
        for (const auto& name : basePath)
            joined += (joined.empty() ? "" : "\\") + name;
        bool missing = false;
        for (const auto& name : names) {
            Node* child = node ? node->Child(name) : nullptr;
            missing = missing || !child;
            if (!joined.empty())
                joined.push_back('\\');
            joined += child ? child->name : std::string_view(name);
            node = child;
        }
        if (missing)
            record = RegistryFile::KeyRecord(file.RootName(), joined);
        return StoreStatus::Ok;
    });
    if (status != StoreStatus::Ok)
        return status;
    return OpenKey(root, parent, subKey, access, key);
}

StoreStatus FileRegistryStore::QueryValueInfo(const RegistryKey& key, const std::string& name,
                                              std::uint32_t& type, std::uint32_t& size)
{
    ++calls_;
    const Value* value = nullptr;
    const StoreStatus status = FindValue(key, name, value);
    if (status == StoreStatus::Ok) {
        type = value->type;
        size = static_cast<std::uint32_t>(value->Size());
        // A read asks for the size and then at once for the data: both come from this look.
        sizedKey_ = &key;
        sizedName_ = name;
        sizedCall_ = calls_;
        sizedValue_ = value;
    }
    return status;
}

StoreStatus FileRegistryStore::QueryValue(const RegistryKey& key, const std::string& name,
                                          std::uint32_t& type, std::string& data)
{
    ++calls_;
    const Value* value = nullptr;
    const bool paired = calls_ == sizedCall_ + 1 && sizedKey_ == &key && sizedName_ == name;
    // Nothing has changed since the size was asked for: the same value answers.
    const StoreStatus status =
        paired ? (value = sizedValue_, StoreStatus::Ok) : FindValue(key, name, value);
    if (status == StoreStatus::Ok) {
        type = value->type;
        data = value->Data();
    }
    return status;
}

StoreStatus FileRegistryStore::KeyNode(const RegistryKey& key, std::uint32_t access, bool look,
                                       const Node*& node)
{
    const FileKey* fileKey = AsFileKey(this, &key);
    if (!fileKey)
        return StoreStatus::Failed;
    if (!(fileKey->access & access))
        return StoreStatus::AccessDenied;
    RootFile& file = Root(fileKey->root);
    if (look && !file.Refresh())
        return StoreStatus::Failed;
    node = NodeOf(file, *fileKey);
    return node ? StoreStatus::Ok : StoreStatus::Failed;
}

StoreStatus FileRegistryStore::FindValue(const RegistryKey& key, const std::string& name,
                                         const RegistryFile::Value*& value, bool look)
{
    const Node* node = nullptr;
    if (const StoreStatus status = KeyNode(key, KeyAccess::QueryValue, look, node);
        status != StoreStatus::Ok)
        return status;
    value = node->FindValue(name);
    return value ? StoreStatus::Ok : StoreStatus::NotFound;
}

StoreStatus FileRegistryStore::SetValue(const RegistryKey& key, const std::string& name,
                                        std::uint32_t type, const std::string& data)
{
    ++calls_;
    const FileKey* fileKey = AsFileKey(this, &key);
    if (!fileKey)
        return StoreStatus::Failed;
    if (!(fileKey->access & KeyAccess::SetValue))
        return StoreStatus::AccessDenied;
    // A larger value would be a line that no reader takes: the file would be unusable.
    if (name.size() > RegistryFile::MaximumValueSize ||
        data.size() > RegistryFile::MaximumValueSize)
        return StoreStatus::InvalidName;
    RootFile& file = Root(fileKey->root);
    const auto unchanged = [&]() {
        const Node* node = NodeOf(file, *fileKey);
        const Value* value = node ? node->FindValue(name) : nullptr;
        return value && value->type == type && value->HasData(data);
    };
    // Writing what is already there changes nothing and need not grow the file. The tree as
    // last read is asked first: only a value that seems unchanged needs a look at the file to
    // be sure; any other goes to the lock, where the file is looked at anyway. A batch decides
    // under the lock, which it then keeps.
    if (!file.Batched() && unchanged() && file.Refresh() && unchanged())
        return StoreStatus::Ok;
    return file.Change([&](std::string& record) {
        if (!NodeOf(file, *fileKey))
            return StoreStatus::Failed;
        if (!unchanged())
            record =
                RegistryFile::SetValueRecord(file.RootName(), fileKey->Joined(), name, type, data);
        return StoreStatus::Ok;
    });
}

StoreStatus FileRegistryStore::DeleteValue(const RegistryKey& key, const std::string& name)
{
    ++calls_;
    const FileKey* fileKey = AsFileKey(this, &key);
    if (!fileKey)
        return StoreStatus::Failed;
    if (!(fileKey->access & KeyAccess::SetValue))
        return StoreStatus::AccessDenied;
    RootFile& file = Root(fileKey->root);
    // A value that the tree as last read holds goes to the lock, where the file is looked at
    // anyway; one it lacks needs a look at the file before it is reported missing. A batch
    // decides under the lock, which it then keeps.
    const Node* node = NodeOf(file, *fileKey);
    if (!file.Batched() && (!node || !node->FindValue(name))) {
        if (!file.Refresh())
            return StoreStatus::Failed;
        node = NodeOf(file, *fileKey);
        if (!node)
            return StoreStatus::Failed;
        if (!node->FindValue(name))
            return StoreStatus::NotFound;
    }
    return file.Change([&](std::string& record) {
        const Node* current = NodeOf(file, *fileKey);
        if (!current)
            return StoreStatus::Failed;
        if (!current->FindValue(name))
            return StoreStatus::NotFound;
        record = RegistryFile::DeleteValueRecord(file.RootName(), fileKey->Joined(), name);
        return StoreStatus::Ok;
    });
}

StoreStatus FileRegistryStore::DeleteKey(RegistryRoot root, const RegistryKey* parent,
                                         const std::string& subKey)
{
    ++calls_;
    const FileKey* base = nullptr;
    std::vector<std::string> names;
    if (const StoreStatus status = Resolve(this, root, parent, subKey, base, names);
        status != StoreStatus::Ok)
        return status;
    if (subKey.empty())
        return StoreStatus::InvalidName;
    RootFile& file = Root(root);
    if (!file.Refresh())
        return StoreStatus::Failed;
    if (!file.Writable())
        return StoreStatus::AccessDenied;
    std::vector<std::string> path = base ? NamesOf(base->path) : std::vector<std::string>();
    path.insert(path.end(), names.begin(), names.end());
    return file.Change([&](std::string& record) {
        const Node* node = Find(file.Tree(), path);
        if (!node)
            return StoreStatus::NotFound;
        if (node->ChildCount() != 0)
            return StoreStatus::AccessDenied;
        std::string joined;
        for (const auto& name : path)
            joined += (joined.empty() ? "" : "\\") + name;
        record = RegistryFile::DeleteKeyRecord(file.RootName(), joined);
        return StoreStatus::Ok;
    });
}

StoreStatus FileRegistryStore::EnumKey(const RegistryKey& key, std::uint32_t index,
                                       std::string& name)
{
    ++calls_;
    const Node* node = nullptr;
    if (const StoreStatus status = KeyNode(key, KeyAccess::EnumerateSubKeys, true, node);
        status != StoreStatus::Ok)
        return status;
    if (index >= node->ChildCount())
        return StoreStatus::NoMoreItems;
    name = node->ChildAt(index).name;
    return StoreStatus::Ok;
}

StoreStatus FileRegistryStore::EnumValue(const RegistryKey& key, std::uint32_t index,
                                         std::string& name)
{
    ++calls_;
    const Node* node = nullptr;
    if (const StoreStatus status = KeyNode(key, KeyAccess::QueryValue, true, node);
        status != StoreStatus::Ok)
        return status;
    if (index >= node->ValueCount())
        return StoreStatus::NoMoreItems;
    name = node->ValueAt(index).Name();
    return StoreStatus::Ok;
}

StoreStatus FileRegistryStore::QueryInfo(const RegistryKey& key, RegistryKeyInfo& info)
{
    ++calls_;
    info = RegistryKeyInfo();
    const Node* node = nullptr;
    if (const StoreStatus status = KeyNode(key, KeyAccess::QueryValue, true, node);
        status != StoreStatus::Ok)
        return status;
    info.SubKeys = static_cast<std::uint32_t>(node->ChildCount());
    info.MaxSubKeyLength = static_cast<std::uint32_t>(node->LongestChildName());
    info.Values = static_cast<std::uint32_t>(node->ValueCount());
    node->EachValue([&info](const Value& value) {
        info.MaxValueNameLength =
            std::max(info.MaxValueNameLength, static_cast<std::uint32_t>(value.Name().size()));
        info.MaxValueDataLength =
            std::max(info.MaxValueDataLength, static_cast<std::uint32_t>(value.Size()));
    });
    return StoreStatus::Ok;
}

#endif
