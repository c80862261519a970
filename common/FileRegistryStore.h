// FileRegistryStore: the registry store of systems without a registry. Each of the two roots is
// one REGEDIT4 text file (a valid file for regedit's import), shared safely by any number of
// processes and users:
// - every change is one small record appended under an exclusive flock on "<file>.lock"; a
//   writer that cannot get the lock within a few seconds fails its change and says so;
// - each operation first applies the records other processes appended since the last look (an
//   lstat of the name tells whether there are any, and whether the name still leads to the file
//   that is open: device and inode, whatever links the file has); the calls of a batch look
//   once, and a batch that changes anything holds the lock from its first change to its end;
// - once the file is about twice its live content, the writer rewrites it compacted through a
//   temporary file of a fresh name, created exclusively in the file's folder, flushed and renamed
//   over the original. The new file keeps the owner, group and permissions of the old one; a
//   writer that cannot give it those (it does not own the file), or a file with a second hard
//   link, is not compacted and goes on growing;
// - an unfinished last line (a crash while appending) is ignored and cut off by the next writer;
// - a file that cannot be parsed (a key deeper than 512 levels included) is never written, every
//   open on its root fails, and standard error names the file and line;
// - a name that is not a regular file (FIFO, folder, socket, device) makes the root unusable
//   at once; so does a symbolic link at the name that belongs neither to the user nor to the
//   owner of its folder. Other links are followed: the file they lead to is the store, and its
//   lock and temporary files lie beside it. Lock and temporary files are never opened through
//   a link;
// - the lock file opens only to those who may write the store (same group, write permission
//   as read and write);
// - a root whose file (or nearest existing folder) the user may not write refuses every open
//   that asks for write access, as the Win32 registry does.
// Key and value names compare ignoring the case of every letter, as the Windows registry does
// (RegistryFile::CompareNames), and keep the spelling of their creation; values keep their type
// codes and bytes.
#pragma once

#ifndef _WIN32

#include <array>
#include <memory>
#include <string>

#include "RegistryStore.h"

namespace RegistryFile
{
struct Node;
struct Value;
struct KeyPath;
} // namespace RegistryFile

class FileRegistryStore : public RegistryStore
{
public:
    FileRegistryStore(const std::string& userFile, const std::string& machineFile);
    ~FileRegistryStore() override;
    FileRegistryStore(const FileRegistryStore&) = delete;
    FileRegistryStore& operator=(const FileRegistryStore&) = delete;

    // $QTS_USER_REGISTRY, else ${XDG_CONFIG_HOME:-$HOME/.config}/quillon-tessarium/user.reg.
    static std::string UserFileFromEnvironment();
    // $QTS_MACHINE_REGISTRY, else /etc/quillon-tessarium/machine.reg.
    static std::string MachineFileFromEnvironment();

    const std::string& FileOf(RegistryRoot root) const;

    StoreStatus OpenKey(RegistryRoot root, const RegistryKey* parent, const std::string& subKey,
                        std::uint32_t access, std::unique_ptr<RegistryKey>& key) override;
    StoreStatus CreateKey(RegistryRoot root, const RegistryKey* parent, const std::string& subKey,
                          std::uint32_t access, std::unique_ptr<RegistryKey>& key) override;
    StoreStatus QueryValueInfo(const RegistryKey& key, const std::string& name, std::uint32_t& type,
                               std::uint32_t& size) override;
    StoreStatus QueryValue(const RegistryKey& key, const std::string& name, std::uint32_t& type,
                           std::string& data) override;
    StoreStatus SetValue(const RegistryKey& key, const std::string& name, std::uint32_t type,
                         const std::string& data) override;
    StoreStatus DeleteValue(const RegistryKey& key, const std::string& name) override;
    StoreStatus DeleteKey(RegistryRoot root, const RegistryKey* parent,
                          const std::string& subKey) override;
    StoreStatus EnumKey(const RegistryKey& key, std::uint32_t index, std::string& name) override;
    StoreStatus EnumValue(const RegistryKey& key, std::uint32_t index, std::string& name) override;
    StoreStatus QueryInfo(const RegistryKey& key, RegistryKeyInfo& info) override;
    // The file is looked at once, at the batch's first call, and the lock is held from its
    // first change to its end: each change of a batch is one write.
    void BeginBatch(RegistryRoot root) override;
    void EndBatch(RegistryRoot root) override;

    class RootFile; // one root's file and what has been read of it

private:
    // The last path opened from a root, and the key it led to while no key has been freed.
    struct OpenedPath {
        std::string subKey;
        std::shared_ptr<const RegistryFile::KeyPath> path;
        RegistryFile::Node* node = nullptr;
        std::uint64_t generation = 0;
    };

    RootFile& Root(RegistryRoot root);
    // The node of an open key of this store that was opened with `access`; `look`: bring the
    // tree up to date first.
    StoreStatus KeyNode(const RegistryKey& key, std::uint32_t access, bool look,
                        const RegistryFile::Node*& node);
    // `look`: bring the tree up to date first.
    StoreStatus FindValue(const RegistryKey& key, const std::string& name,
                          const RegistryFile::Value*& value, bool look = true);
    std::array<std::unique_ptr<RootFile>, 2> roots_;
    std::array<OpenedPath, 2> lastOpened_;
    // Store calls so far, and the last value whose size was asked for: a query of its data as
    // the very next call answers from the same look, as one read of the value.
    std::uint64_t calls_ = 0;
    std::uint64_t sizedCall_ = 0;
    const RegistryKey* sizedKey_ = nullptr;
    std::string sizedName_;
    const RegistryFile::Value* sizedValue_ = nullptr;
};

#endif
