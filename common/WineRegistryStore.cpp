#ifndef _WIN32

#include "WineRegistryStore.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "WinePrefix.h"
#include "WineRegistryFile.h"

using WineRegistry::Node;
using WineRegistry::Value;

namespace
{

// How long a writer waits for another of our processes to finish its write.
constexpr auto LockWait = std::chrono::seconds(5);

class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }

private:
    int fd_;
};

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
    bool operator==(const Fingerprint& o) const
    {
        return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
               changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec;
    }
};

bool ReadAll(int fd, std::string& bytes)
{
    char buffer[1 << 16];
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            return true;
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
}

bool WriteAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return false;
        done += static_cast<std::size_t>(put);
    }
    return true;
}

bool IsStringType(std::uint32_t type)
{
    return type == 1 || type == 2 || type == 7;
}

// Wine holds texts as UTF-16; this program's texts are UTF-8 bytes.
std::string ProgramData(const Value& value)
{
    if (!IsStringType(value.type))
        return value.data;
    std::string text = WineRegistry::Utf8FromUtf16(WineRegistry::Utf16FromBytes(value.data));
    if (value.data.size() % 2)
        text.push_back(value.data.back());
    return text;
}

std::string WineData(std::uint32_t type, const std::string& data)
{
    if (!IsStringType(type))
        return data;
    return WineRegistry::BytesFromUtf16(WineRegistry::Utf16FromUtf8(data));
}

class WineKey : public RegistryKey
{
public:
    WineKey(const WineRegistryStore* owner, RegistryRoot root, std::vector<std::string> path,
            std::uint32_t access)
        : owner(owner), root(root), path(std::move(path)), access(access)
    {
    }
    const WineRegistryStore* owner;
    RegistryRoot root;
    std::vector<std::string> path; // in the program's view, below the root
    std::uint32_t access;
};

} // namespace

class WineRegistryStore::RootFile
{
public:
    RootFile(std::string prefix, std::string path, bool machine)
        : prefix_(std::move(prefix)), path_(std::move(path)), machine_(machine)
    {
    }

    // Brings the file up to date; false when the root cannot be used.
    bool Refresh();
    WineRegistry::File& File() { return *file_; }

    // Where a key of the program's view lies in the file.
    std::vector<std::string> FilePath(std::vector<std::string> path) const;
    Node* Find(const std::vector<std::string>& path) { return file_->Find(FilePath(path)); }

    // Whether opens for writing are allowed now: the user may write the file and the prefix,
    // and no Wine server serves the prefix.
    bool MayChange();

    // Makes one change under our lock, the file up to date and the prefix not in use: `change`
    // edits the file (telling whether it did); the file is then written out.
    StoreStatus Change(const std::function<StoreStatus(WineRegistry::File&, std::uint64_t now,
                                                       bool& changed)>& change);

private:
    void MarkUnusable(const std::string& problem);
    bool Save();

    std::string prefix_;
    std::string path_;
    bool machine_;
    std::unique_ptr<WineRegistry::File> file_;
    Fingerprint seen_;
    bool looked_ = false;
    bool broken_ = false;
    std::string problem_;
};

void WineRegistryStore::RootFile::MarkUnusable(const std::string& problem)
{
    if (!broken_ || problem != problem_)
        std::fprintf(stderr, "%s: %s; the registry file is left as it is and not used\n",
                     path_.c_str(), problem.c_str());
    problem_ = problem;
    broken_ = true;
    file_.reset();
}

bool WineRegistryStore::RootFile::Refresh()
{
    struct stat st {
    };
    if (::stat(path_.c_str(), &st) != 0) {
        looked_ = true;
        seen_ = Fingerprint();
        MarkUnusable(errno == ENOENT ? std::string("there is no such file (make the prefix with "
                                                   "\"wineboot -i\" first)")
                                     : std::string("cannot be read: ") + std::strerror(errno));
        return false;
    }
    if (looked_ && file_ && seen_ == Fingerprint::Of(st))
        return true;
    looked_ = true;
    if (!S_ISREG(st.st_mode)) {
        seen_ = Fingerprint::Of(st);
        MarkUnusable("not a regular file");
        return false;
    }
    Descriptor fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    std::string text;
    text.reserve(static_cast<std::size_t>(st.st_size) + 1);
    if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) ||
        !ReadAll(fd.Get(), text)) {
        MarkUnusable(std::string("cannot be read: ") + std::strerror(errno));
        return false;
    }
    seen_ = Fingerprint::Of(st);
    auto file = std::make_unique<WineRegistry::File>();
    if (!file->Parse(std::move(text))) {
        MarkUnusable("line " + std::to_string(file->ErrorLine()) + ": " + file->Error());
        return false;
    }
    file_ = std::move(file);
    broken_ = false;
    problem_.clear();
    return true;
}

std::vector<std::string> WineRegistryStore::RootFile::FilePath(std::vector<std::string> path) const
{
    static const std::u16string software = WineRegistry::Folded("Software");
    static const std::u16string classes = WineRegistry::Folded("Classes");
    static const std::u16string wow = WineRegistry::Folded("Wow6432Node");
    if (machine_ && file_ && file_->Arch() == "win64" && path.size() >= 2 &&
        WineRegistry::Folded(path[0]) == software) {
        const std::u16string second = WineRegistry::Folded(path[1]);
        if (second != classes && second != wow)
            path.insert(path.begin() + 1, "Wow6432Node");
    }
    return path;
}

bool WineRegistryStore::RootFile::MayChange()
{
    return ::access(path_.c_str(), W_OK) == 0 && ::access(prefix_.c_str(), W_OK | X_OK) == 0 &&
           !WinePrefix::InUse(prefix_);
}

StoreStatus WineRegistryStore::RootFile::Change(
    const std::function<StoreStatus(WineRegistry::File&, std::uint64_t, bool&)>& change)
{
    // One lock for the prefix, beside its files; never opened through a link.
    const std::string lockPath = prefix_ + "/.quillon-tessarium.lock";
    Descriptor lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!lock.Valid()) {
        std::fprintf(stderr, "%s: cannot be opened: %s\n", lockPath.c_str(), std::strerror(errno));
        return StoreStatus::Failed;
    }
    const auto giveUp = std::chrono::steady_clock::now() + LockWait;
    while (::flock(lock.Get(), LOCK_EX | LOCK_NB) != 0) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || std::chrono::steady_clock::now() > giveUp) {
            std::fprintf(stderr, "%s: another process holds this lock; nothing was written\n",
                         lockPath.c_str());
            return StoreStatus::Failed;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    // The lock goes with the descriptor.

    if (!Refresh())
        return StoreStatus::Failed;
    if (WinePrefix::InUse(prefix_)) {
        std::fprintf(stderr, "%s\n", WinePrefix::InUseMessage(prefix_).c_str());
        return StoreStatus::AccessDenied;
    }
    bool changed = false;
    const StoreStatus status = change(*file_, WineRegistry::File::Now(), changed);
    if (!changed)
        return status;
    if (status != StoreStatus::Ok || !Save()) {
        looked_ = false; // what is in memory is not in the file: read it afresh
        return status == StoreStatus::Ok ? StoreStatus::Failed : status;
    }
    return StoreStatus::Ok;
}

bool WineRegistryStore::RootFile::Save()
{
    struct stat original {
    };
    if (::stat(path_.c_str(), &original) != 0)
        return false;
    const std::string text = file_->Text();
    std::string temporary = path_ + ".qts-XXXXXX";
    Descriptor fd(::mkostemp(&temporary[0], O_CLOEXEC));
    if (!fd.Valid())
        return false;
    struct Remover {
        const std::string& path;
        bool keep = false;
        ~Remover()
        {
            if (!keep)
                ::unlink(path.c_str());
        }
    } remover{temporary};
    if (!WriteAll(fd.Get(), text))
        return false;
    if (::geteuid() == 0 && ::fchown(fd.Get(), original.st_uid, original.st_gid) != 0)
        return false;
    if (::fchmod(fd.Get(), original.st_mode & 07777) != 0 || ::fsync(fd.Get()) != 0)
        return false;
    // A server that started while the file was being written would overwrite it later.
    if (WinePrefix::InUse(prefix_)) {
        std::fprintf(stderr, "%s\n", WinePrefix::InUseMessage(prefix_).c_str());
        return false;
    }
    if (::rename(temporary.c_str(), path_.c_str()) != 0)
        return false;
    remover.keep = true;
    Descriptor folder(::open(prefix_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.Valid())
        ::fsync(folder.Get());
    struct stat written {
    };
    if (::fstat(fd.Get(), &written) != 0)
        return false;
    seen_ = Fingerprint::Of(written);
    return true;
}

namespace
{

const WineKey* AsWineKey(const WineRegistryStore* store, const RegistryKey* key)
{
    const auto* wineKey = dynamic_cast<const WineKey*>(key);
    return (wineKey && wineKey->owner == store) ? wineKey : nullptr;
}

} // namespace

WineRegistryStore::WineRegistryStore(std::string prefix) : prefix_(std::move(prefix))
{
    roots_[0] = std::make_unique<RootFile>(prefix_, WinePrefix::UserRegistryFile(prefix_), false);
    roots_[1] = std::make_unique<RootFile>(prefix_, WinePrefix::MachineRegistryFile(prefix_), true);
}

WineRegistryStore::~WineRegistryStore() = default;

WineRegistryStore::RootFile& WineRegistryStore::Root(RegistryRoot root)
{
    return *roots_[root == RegistryRoot::CurrentUser ? 0 : 1];
}

StoreStatus WineRegistryStore::OpenKey(RegistryRoot root, const RegistryKey* parent,
                                       const std::string& subKey, std::uint32_t access,
                                       std::unique_ptr<RegistryKey>& key)
{
    key.reset();
    const WineKey* base = parent ? AsWineKey(this, parent) : nullptr;
    if (parent && (!base || base->root != root))
        return StoreStatus::Failed;
    std::vector<std::string> names;
    if (!SplitKeyPath(subKey, names))
        return StoreStatus::InvalidName;
    RootFile& file = Root(root);
    if (!file.Refresh())
        return StoreStatus::Failed;
    if ((access & KeyAccess::WriteMask) && !file.MayChange())
        return StoreStatus::AccessDenied;
    std::vector<std::string> path = base ? base->path : std::vector<std::string>();
    if (!file.Find(path))
        return StoreStatus::Failed; // the parent was deleted meanwhile
    path.insert(path.end(), names.begin(), names.end());
    if (!file.Find(path))
        return StoreStatus::NotFound;
    key = std::make_unique<WineKey>(this, root, std::move(path), access);
    return StoreStatus::Ok;
}

StoreStatus WineRegistryStore::CreateKey(RegistryRoot root, const RegistryKey* parent,
                                         const std::string& subKey, std::uint32_t access,
                                         std::unique_ptr<RegistryKey>& key)
{
    key.reset();
    const WineKey* base = parent ? AsWineKey(this, parent) : nullptr;
    if (parent && (!base || base->root != root))
        return StoreStatus::Failed;
    std::vector<std::string> names;
    if (!SplitKeyPath(subKey, names))
        return StoreStatus::InvalidName;
    for (const auto& name : names)
        if (name.size() > 255 || name.find_first_of(std::string("\0\r\n", 3)) != std::string::npos)
            return StoreStatus::InvalidName;
    StoreStatus status = OpenKey(root, parent, subKey, access, key);
    if (status != StoreStatus::NotFound)
        return status;
    RootFile& file = Root(root);
    std::vector<std::string> path = base ? base->path : std::vector<std::string>();
    const std::size_t baseLength = path.size();
    path.insert(path.end(), names.begin(), names.end());
    status = file.Change([&](WineRegistry::File& wine, std::uint64_t now, bool& changed) {
        const std::vector<std::string> where = file.FilePath(path);
        if (!wine.Find(std::vector<std::string>(
                file.FilePath(std::vector<std::string>(path.begin(), path.begin() + baseLength)))))
            return StoreStatus::Failed;
        if (!wine.Find(where)) {
            wine.CreatePath(where, now);
            changed = true;
        }
        return StoreStatus::Ok;
    });
    if (status != StoreStatus::Ok)
        return status;
    return OpenKey(root, parent, subKey, access, key);
}

StoreStatus WineRegistryStore::QueryValueInfo(const RegistryKey& key, const std::string& name,
                                              std::uint32_t& type, std::uint32_t& size)
{
    std::string data;
    const StoreStatus status = QueryValue(key, name, type, data);
    if (status == StoreStatus::Ok)
        size = static_cast<std::uint32_t>(data.size());
    return status;
}

StoreStatus WineRegistryStore::KeyNode(const RegistryKey& key, std::uint32_t access, Node*& node)
{
    const WineKey* wineKey = AsWineKey(this, &key);
    if (!wineKey)
        return StoreStatus::Failed;
    if (!(wineKey->access & access))
        return StoreStatus::AccessDenied;
    RootFile& file = Root(wineKey->root);
    if (!file.Refresh())
        return StoreStatus::Failed;
    node = file.Find(wineKey->path);
    return node ? StoreStatus::Ok : StoreStatus::Failed;
}

StoreStatus WineRegistryStore::QueryValue(const RegistryKey& key, const std::string& name,
                                          std::uint32_t& type, std::string& data)
{
    Node* node = nullptr;
    if (const StoreStatus status = KeyNode(key, KeyAccess::QueryValue, node);
        status != StoreStatus::Ok)
        return status;
    const Value* value = node->block ? node->block->FindValue(WineRegistry::Folded(name)) : nullptr;
    if (!value)
        return StoreStatus::NotFound;
    type = value->type;
    data = ProgramData(*value);
    return StoreStatus::Ok;
}

StoreStatus WineRegistryStore::SetValue(const RegistryKey& key, const std::string& name,
                                        std::uint32_t type, const std::string& data)
{
    const WineKey* wineKey = AsWineKey(this, &key);
    if (!wineKey)
        return StoreStatus::Failed;
    if (!(wineKey->access & KeyAccess::SetValue))
        return StoreStatus::AccessDenied;
    RootFile& file = Root(wineKey->root);
    const std::string wineData = WineData(type, data);
    const std::u16string folded = WineRegistry::Folded(name);
    const auto unchanged = [&](Node* node) {
        const Value* value = node && node->block ? node->block->FindValue(folded) : nullptr;
        return value && value->type == type && value->data == wineData;
    };
    // Writing what is already there changes nothing and costs no rewrite of the file.
    if (file.Refresh() && unchanged(file.Find(wineKey->path)))
        return StoreStatus::Ok;
    return file.Change([&](WineRegistry::File& wine, std::uint64_t now, bool& changed) {
        Node* node = wine.Find(file.FilePath(wineKey->path));
        if (!node)
            return StoreStatus::Failed;
        if (!unchanged(node)) {
            wine.SetValue(*node, name, type, wineData, now);
            changed = true;
        }
        return StoreStatus::Ok;
    });
}

StoreStatus WineRegistryStore::DeleteValue(const RegistryKey& key, const std::string& name)
{
    const WineKey* wineKey = AsWineKey(this, &key);
    if (!wineKey)
        return StoreStatus::Failed;
    if (!(wineKey->access & KeyAccess::SetValue))
        return StoreStatus::AccessDenied;
    RootFile& file = Root(wineKey->root);
    if (!file.Refresh())
        return StoreStatus::Failed;
    const std::u16string folded = WineRegistry::Folded(name);
    const auto present = [&](Node* node) {
        return node && node->block && node->block->FindValue(folded);
    };
    Node* node = file.Find(wineKey->path);
    if (!node)
        return StoreStatus::Failed;
    if (!present(node))
        return StoreStatus::NotFound;
    return file.Change([&](WineRegistry::File& wine, std::uint64_t now, bool& changed) {
        Node* current = wine.Find(file.FilePath(wineKey->path));
        if (!current)
            return StoreStatus::Failed;
        if (!present(current))
            return StoreStatus::NotFound;
        changed = wine.DeleteValue(*current, name, now);
        return StoreStatus::Ok;
    });
}

StoreStatus WineRegistryStore::DeleteKey(RegistryRoot root, const RegistryKey* parent,
                                         const std::string& subKey)
{
    const WineKey* base = parent ? AsWineKey(this, parent) : nullptr;
    if (parent && (!base || base->root != root))
        return StoreStatus::Failed;
    std::vector<std::string> names;
    if (subKey.empty() || !SplitKeyPath(subKey, names))
        return StoreStatus::InvalidName;
    RootFile& file = Root(root);
    if (!file.Refresh())
        return StoreStatus::Failed;
    if (!file.MayChange())
        return StoreStatus::AccessDenied;
    std::vector<std::string> path = base ? base->path : std::vector<std::string>();
    path.insert(path.end(), names.begin(), names.end());
    return file.Change([&](WineRegistry::File& wine, std::uint64_t now, bool& changed) {
        Node* node = wine.Find(file.FilePath(path));
        if (!node)
            return StoreStatus::NotFound;
        if (!node->children.empty())
            return StoreStatus::AccessDenied;
        wine.DeleteKey(*node, now);
        changed = true;
        return StoreStatus::Ok;
    });
}

StoreStatus WineRegistryStore::EnumKey(const RegistryKey& key, std::uint32_t index,
                                       std::string& name)
{
    Node* node = nullptr;
    if (const StoreStatus status = KeyNode(key, KeyAccess::EnumerateSubKeys, node);
        status != StoreStatus::Ok)
        return status;
    if (index >= node->children.size())
        return StoreStatus::NoMoreItems;
    name = node->children[index]->name;
    return StoreStatus::Ok;
}

StoreStatus WineRegistryStore::EnumValue(const RegistryKey& key, std::uint32_t index,
                                         std::string& name)
{
    Node* node = nullptr;
    if (const StoreStatus status = KeyNode(key, KeyAccess::QueryValue, node);
        status != StoreStatus::Ok)
        return status;
    if (!node->block || index >= node->block->values.size())
        return StoreStatus::NoMoreItems;
    name = node->block->values[index].name;
    return StoreStatus::Ok;
}

StoreStatus WineRegistryStore::QueryInfo(const RegistryKey& key, RegistryKeyInfo& info)
{
    info = RegistryKeyInfo();
    Node* node = nullptr;
    if (const StoreStatus status = KeyNode(key, KeyAccess::QueryValue, node);
        status != StoreStatus::Ok)
        return status;
    info.SubKeys = static_cast<std::uint32_t>(node->children.size());
    for (const auto& child : node->children)
        info.MaxSubKeyLength =
            std::max(info.MaxSubKeyLength, static_cast<std::uint32_t>(child->name.size()));
    if (node->block) {
        info.Values = static_cast<std::uint32_t>(node->block->values.size());
        for (const Value& value : node->block->values) {
            info.MaxValueNameLength =
                std::max(info.MaxValueNameLength, static_cast<std::uint32_t>(value.name.size()));
            info.MaxValueDataLength = std::max(
                info.MaxValueDataLength, static_cast<std::uint32_t>(ProgramData(value).size()));
        }
    }
    return StoreStatus::Ok;
}

#endif
