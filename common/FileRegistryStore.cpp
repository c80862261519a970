#ifndef _WIN32

#include "FileRegistryStore.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "FileRegistryStoreText.h"

using RegistryFile::Node;
using RegistryFile::Value;

namespace
{

// Below this size a file is never compacted: rewriting it would cost more than it saves.
constexpr std::uint64_t CompactionMinimum = 64 * 1024;

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

struct Fingerprint {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    timespec changed{};

    static Fingerprint Of(const struct stat& st)
    {
        Fingerprint f;
        f.exists = true;
        f.device = st.st_dev;
        f.inode = st.st_ino;
        f.size = st.st_size;
        f.modified = st.st_mtim;
        f.changed = st.st_ctim;
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

class FileDescriptor
{
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    void Reset(int fd)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

bool ReadRange(int fd, std::uint64_t from, std::uint64_t to, std::string& bytes)
{
    bytes.resize(to > from ? to - from : 0);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t got =
            ::pread(fd, &bytes[done], bytes.size() - done, static_cast<off_t>(from + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break; // shrank meanwhile: read what is there
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return true;
}

bool WriteAll(int fd, std::uint64_t at, std::string_view bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put =
            ::pwrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(at + done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

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
bool IsUnfinishedSignature(const std::string& bytes)
{
    for (const std::string_view signature :
         {std::string_view("\xEF\xBB\xBFREGEDIT4\r\n"), std::string_view("REGEDIT4\r\n")})
        if (bytes.size() <= signature.size() && signature.substr(0, bytes.size()) == bytes)
            return true;
    return false;
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
    // cannot be read or parsed.
    bool Refresh();

    // Whether the user may change this root (cached while the file stays the same).
    bool Writable()
    {
        if (!writableKnown_ || !seen_.exists) {
            writable_ = MayWrite(path_);
            writableKnown_ = seen_.exists;
        }
        return writable_;
    }

    // Makes one change under the file lock: `plan` looks at the up-to-date tree and gives the
    // record to append (none: nothing to write). The record is appended, then read back into
    // the tree like any other process's record.
    StoreStatus Change(const std::function<StoreStatus(std::string& record)>& plan);

private:
    bool Follow(int fd, const struct stat& st);
    bool Load(int fd, const struct stat& st);
    void MarkUnusable(const std::string& problem);
    bool ReadAppended(int fd, const struct stat& st);
    void ReportUnusable(const std::string& what);
    bool Lock();
    void Unlock() { ::flock(lockFd_.Get(), LOCK_UN); }
    void CompactIfWorthIt();

    std::string path_;
    RegistryFile::Reader reader_;
    Fingerprint seen_;
    bool looked_ = false;
    bool broken_ = false;
    std::string problem_; // why the root is unusable, as last reported
    FileDescriptor dataFd_;
    bool writable_ = false;
    bool writableKnown_ = false;
    FileDescriptor lockFd_;
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

bool FileRegistryStore::RootFile::Refresh()
{
    struct stat st {
    };
    // The file stays open between operations: a look at it costs one fstat. Others append to the
    // same file; a compaction or a replacement leaves it without links, and the path is opened
    // again.
    if (dataFd_.Valid()) {
        if (::fstat(dataFd_.Get(), &st) == 0 && st.st_nlink > 0) {
            if (looked_ && seen_ == Fingerprint::Of(st))
                return !broken_;
            return Follow(dataFd_.Get(), st);
        }
        dataFd_.Reset(-1);
    }
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        looked_ = true;
        writableKnown_ = false;
        seen_ = Fingerprint();
        if (error == ENOENT || error == ENOTDIR) {
            // No file: an empty root.
            if (broken_ || reader_.ReadEnd() != 0)
                reader_.Reset();
            broken_ = false;
            problem_.clear();
            return true;
        }
        MarkUnusable(std::string("cannot be read: ") + std::strerror(error));
        return false;
    }
    dataFd_.Reset(fd);
    if (::fstat(fd, &st) != 0) {
        MarkUnusable(std::string("cannot be read: ") + std::strerror(errno));
        return false;
    }
    return Follow(fd, st);
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
    std::string bytes;
    if (!ReadRange(fd, 0, static_cast<std::uint64_t>(st.st_size), bytes)) {
        MarkUnusable(std::string("cannot be read: ") + std::strerror(errno));
        return false;
    }
    if (!reader_.Feed(bytes)) {
        MarkUnusable("line " + std::to_string(reader_.ErrorLine()) + ": " + reader_.Error());
        return false;
    }
    if (reader_.ReadEnd() == 0 && !IsUnfinishedSignature(bytes)) {
        MarkUnusable("line 1: the file does not begin with the line REGEDIT4");
        return false;
    }
    return true;
}

bool FileRegistryStore::RootFile::ReadAppended(int fd, const struct stat& st)
{
    std::string bytes;
    if (!ReadRange(fd, reader_.ReadEnd(), static_cast<std::uint64_t>(st.st_size), bytes)) {
        MarkUnusable(std::string("cannot be read: ") + std::strerror(errno));
        return false;
    }
    if (!reader_.Feed(bytes)) {
        MarkUnusable("line " + std::to_string(reader_.ErrorLine()) + ": " + reader_.Error());
        return false;
    }
    return true;
}

bool FileRegistryStore::RootFile::Lock()
{
    if (!lockFd_.Valid()) {
        const std::string lockPath = path_ + ".lock";
        int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0)
            fd = ::open(lockPath.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        lockFd_.Reset(fd);
    }
    while (::flock(lockFd_.Get(), LOCK_EX) != 0)
        if (errno != EINTR)
            return false;
    return true;
}

StoreStatus
FileRegistryStore::RootFile::Change(const std::function<StoreStatus(std::string& record)>& plan)
{
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path_).parent_path(), error);
    if (!Lock())
        return StoreStatus::Failed;
    struct Unlocker {
        RootFile& file;
        ~Unlocker() { file.Unlock(); }
    } unlocker{*this};

    if (!Refresh())
        return StoreStatus::Failed;
    std::string record;
    const StoreStatus planned = plan(record);
    if (planned != StoreStatus::Ok || record.empty())
        return planned;

    FileDescriptor fd(::open(path_.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666));
    struct stat st {
    };
    if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0)
        return StoreStatus::Failed;
    // An unfinished line or value left by a crashed writer goes before anything is appended.
    const std::uint64_t at = reader_.SafeEnd();
    if (static_cast<std::uint64_t>(st.st_size) != at &&
        ::ftruncate(fd.Get(), static_cast<off_t>(at)) != 0)
        return StoreStatus::Failed;
    reader_.DropPending();
    if (at == 0)
        record = RegistryFile::Signature + record;
    if (!WriteAll(fd.Get(), at, record)) {
        if (::ftruncate(fd.Get(), static_cast<off_t>(at)) != 0) {
            // The file keeps a partial record, which the next load ignores.
        }
        looked_ = false; // read the file afresh next time
        return StoreStatus::Failed;
    }
    if (!reader_.Feed(record) || ::fstat(fd.Get(), &st) != 0) {
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
    struct stat original {
    };
    if (::stat(path_.c_str(), &original) != 0)
        return;
    const std::string image = RegistryFile::WholeFile(reader_.Tree(), reader_.RootName());
    // One name for every writer (they hold the lock): what a crash leaves there is simply
    // overwritten by the next compaction.
    const std::string temporary = path_ + ".tmp";
    FileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!fd.Valid())
        return;
    bool ok = WriteAll(fd.Get(), 0, image);
    // The new file belongs to whoever owned the old one, with the same permissions.
    if (ok && ::geteuid() == 0 && ::fchown(fd.Get(), original.st_uid, original.st_gid) != 0) {
        // Keeps root as owner; the permissions below still apply.
    }
    ok = ok && ::fchmod(fd.Get(), original.st_mode & 07777) == 0;
    ok = ok && ::fsync(fd.Get()) == 0;
    struct stat written {
    };
    ok = ok && ::fstat(fd.Get(), &written) == 0;
    if (!ok || ::rename(temporary.c_str(), path_.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return;
    }
    FileDescriptor folder(
        ::open(std::filesystem::path(path_).parent_path().c_str(), O_RDONLY | O_CLOEXEC));
    if (folder.Valid())
        ::fsync(folder.Get());
    std::uint64_t lines = 0;
    for (const char c : image)
        lines += c == '\n';
    reader_.Restart(image.size(), lines);
    seen_ = Fingerprint::Of(written);
}

namespace
{

class FileKey : public RegistryKey
{
public:
    FileKey(const FileRegistryStore* owner, RegistryRoot root, std::vector<std::string> path,
            std::uint32_t access)
        : owner(owner), root(root), path(std::move(path)), access(access)
    {
    }
    std::string Joined() const
    {
        std::string joined;
        for (const auto& name : path) {
            if (!joined.empty())
                joined.push_back('\\');
            joined += name;
        }
        return joined;
    }

    const FileRegistryStore* owner;
    RegistryRoot root;
    std::vector<std::string> path; // names as stored
    std::uint32_t access;
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

bool Split(const std::string& subKey, std::vector<std::string>& names)
{
    names.clear();
    if (subKey.empty())
        return true;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = subKey.find('\\', start);
        names.push_back(subKey.substr(start, end - start));
        if (names.back().empty())
            return false;
        if (end == std::string::npos)
            return true;
        start = end + 1;
    }
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
    key.reset();
    const FileKey* base = parent ? AsFileKey(this, parent) : nullptr;
    if (parent && (!base || base->root != root))
        return StoreStatus::Failed;
    std::vector<std::string> names;
    if (!Split(subKey, names))
        return StoreStatus::InvalidName;
    RootFile& file = Root(root);
    if (!file.Refresh())
        return StoreStatus::Failed;
    if ((access & KeyAccess::WriteMask) && !file.Writable())
        return StoreStatus::AccessDenied;
    std::vector<std::string> path = base ? base->path : std::vector<std::string>();
    Node* node = Find(file.Tree(), path);
    if (!node)
        return StoreStatus::Failed; // the parent was deleted meanwhile
    for (const auto& name : names) {
        node = node->Child(name);
        if (!node)
            return StoreStatus::NotFound;
        path.push_back(node->name);
    }
    key = std::make_unique<FileKey>(this, root, std::move(path), access);
    return StoreStatus::Ok;
}

StoreStatus FileRegistryStore::CreateKey(RegistryRoot root, const RegistryKey* parent,
                                         const std::string& subKey, std::uint32_t access,
                                         std::unique_ptr<RegistryKey>& key)
{
    key.reset();
    const FileKey* base = parent ? AsFileKey(this, parent) : nullptr;
    if (parent && (!base || base->root != root))
        return StoreStatus::Failed;
    std::vector<std::string> names;
    if (!Split(subKey, names))
        return StoreStatus::InvalidName;
    for (const auto& name : names)
        if (!RegistryFile::IsStorableKeyName(name))
            return StoreStatus::InvalidName;
    StoreStatus status = OpenKey(root, parent, subKey, access, key);
    if (status != StoreStatus::NotFound)
        return status;
    RootFile& file = Root(root);
    if (!file.Writable())
        return StoreStatus::AccessDenied;
    const std::vector<std::string> basePath = base ? base->path : std::vector<std::string>();
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
            joined += (joined.empty() ? "" : "\\") + (child ? child->name : name);
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
    const Value* value = nullptr;
    const StoreStatus status = FindValue(key, name, value);
    if (status == StoreStatus::Ok) {
        type = value->type;
        size = static_cast<std::uint32_t>(value->data.size());
    }
    return status;
}

StoreStatus FileRegistryStore::QueryValue(const RegistryKey& key, const std::string& name,
                                          std::uint32_t& type, std::string& data)
{
    const Value* value = nullptr;
    const StoreStatus status = FindValue(key, name, value);
    if (status == StoreStatus::Ok) {
        type = value->type;
        data = value->data;
    }
    return status;
}

StoreStatus FileRegistryStore::FindValue(const RegistryKey& key, const std::string& name,
                                         const RegistryFile::Value*& value)
{
    const FileKey* fileKey = AsFileKey(this, &key);
    if (!fileKey)
        return StoreStatus::Failed;
    if (!(fileKey->access & KeyAccess::QueryValue))
        return StoreStatus::AccessDenied;
    RootFile& file = Root(fileKey->root);
    if (!file.Refresh())
        return StoreStatus::Failed;
    const Node* node = Find(file.Tree(), fileKey->path);
    if (!node)
        return StoreStatus::Failed;
    value = node->FindValue(name);
    return value ? StoreStatus::Ok : StoreStatus::NotFound;
}

StoreStatus FileRegistryStore::SetValue(const RegistryKey& key, const std::string& name,
                                        std::uint32_t type, const std::string& data)
{
    const FileKey* fileKey = AsFileKey(this, &key);
    if (!fileKey)
        return StoreStatus::Failed;
    if (!(fileKey->access & KeyAccess::SetValue))
        return StoreStatus::AccessDenied;
    RootFile& file = Root(fileKey->root);
    const auto unchanged = [&]() {
        const Node* node = Find(file.Tree(), fileKey->path);
        const Value* value = node ? node->FindValue(name) : nullptr;
        return value && value->type == type && value->data == data;
    };
    // Writing what is already there changes nothing and need not grow the file.
    if (file.Refresh() && unchanged())
        return StoreStatus::Ok;
    return file.Change([&](std::string& record) {
        if (!Find(file.Tree(), fileKey->path))
            return StoreStatus::Failed;
        if (!unchanged())
            record =
                RegistryFile::SetValueRecord(file.RootName(), fileKey->Joined(), name, type, data);
        return StoreStatus::Ok;
    });
}

StoreStatus FileRegistryStore::DeleteValue(const RegistryKey& key, const std::string& name)
{
    const FileKey* fileKey = AsFileKey(this, &key);
    if (!fileKey)
        return StoreStatus::Failed;
    if (!(fileKey->access & KeyAccess::SetValue))
        return StoreStatus::AccessDenied;
    RootFile& file = Root(fileKey->root);
    if (!file.Refresh())
        return StoreStatus::Failed;
    const Node* node = Find(file.Tree(), fileKey->path);
    if (!node)
        return StoreStatus::Failed;
    if (!node->FindValue(name))
        return StoreStatus::NotFound;
    return file.Change([&](std::string& record) {
        const Node* current = Find(file.Tree(), fileKey->path);
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
    const FileKey* base = parent ? AsFileKey(this, parent) : nullptr;
    if (parent && (!base || base->root != root))
        return StoreStatus::Failed;
    std::vector<std::string> names;
    if (subKey.empty() || !Split(subKey, names))
        return StoreStatus::InvalidName;
    RootFile& file = Root(root);
    if (!file.Refresh())
        return StoreStatus::Failed;
    if (!file.Writable())
        return StoreStatus::AccessDenied;
    std::vector<std::string> path = base ? base->path : std::vector<std::string>();
    path.insert(path.end(), names.begin(), names.end());
    return file.Change([&](std::string& record) {
        const Node* node = Find(file.Tree(), path);
        if (!node)
            return StoreStatus::NotFound;
        if (!node->children.empty())
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
    const FileKey* fileKey = AsFileKey(this, &key);
    if (!fileKey)
        return StoreStatus::Failed;
    if (!(fileKey->access & KeyAccess::EnumerateSubKeys))
        return StoreStatus::AccessDenied;
    RootFile& file = Root(fileKey->root);
    if (!file.Refresh())
        return StoreStatus::Failed;
    const Node* node = Find(file.Tree(), fileKey->path);
    if (!node)
        return StoreStatus::Failed;
    if (index >= node->children.size())
        return StoreStatus::NoMoreItems;
    name = node->children[index]->name;
    return StoreStatus::Ok;
}

StoreStatus FileRegistryStore::EnumValue(const RegistryKey& key, std::uint32_t index,
                                         std::string& name)
{
    const FileKey* fileKey = AsFileKey(this, &key);
    if (!fileKey)
        return StoreStatus::Failed;
    if (!(fileKey->access & KeyAccess::QueryValue))
        return StoreStatus::AccessDenied;
    RootFile& file = Root(fileKey->root);
    if (!file.Refresh())
        return StoreStatus::Failed;
    const Node* node = Find(file.Tree(), fileKey->path);
    if (!node)
        return StoreStatus::Failed;
    if (index >= node->values.size())
        return StoreStatus::NoMoreItems;
    name = node->values[index].name;
    return StoreStatus::Ok;
}

StoreStatus FileRegistryStore::QueryInfo(const RegistryKey& key, RegistryKeyInfo& info)
{
    info = RegistryKeyInfo();
    const FileKey* fileKey = AsFileKey(this, &key);
    if (!fileKey)
        return StoreStatus::Failed;
    if (!(fileKey->access & KeyAccess::QueryValue))
        return StoreStatus::AccessDenied;
    RootFile& file = Root(fileKey->root);
    if (!file.Refresh())
        return StoreStatus::Failed;
    const Node* node = Find(file.Tree(), fileKey->path);
    if (!node)
        return StoreStatus::Failed;
    info.SubKeys = static_cast<std::uint32_t>(node->children.size());
    for (const auto& child : node->children)
        info.MaxSubKeyLength =
            std::max(info.MaxSubKeyLength, static_cast<std::uint32_t>(child->name.size()));
    info.Values = static_cast<std::uint32_t>(node->values.size());
    for (const Value& value : node->values) {
        info.MaxValueNameLength =
            std::max(info.MaxValueNameLength, static_cast<std::uint32_t>(value.name.size()));
        info.MaxValueDataLength =
            std::max(info.MaxValueDataLength, static_cast<std::uint32_t>(value.data.size()));
    }
    return StoreStatus::Ok;
}

#endif
