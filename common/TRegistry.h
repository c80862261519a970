// TRegistry: the one way every persisted setting is read and written. One root, at most one
// open key; reads and writes raise ERegistryException, everything else answers by result.
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "RegistryTypes.h"

class RegistryStore;
class RegistryKey;

class ERegistryException : public std::runtime_error
{
public:
    explicit ERegistryException(const std::string& message) : std::runtime_error(message) {}
};

class TRegistry
{
public:
    // Starts on the current user's root with no key open. On systems without a registry the
    // store files are located from the environment when the object is created.
    TRegistry();
    // On a store of the caller's choosing (one that wraps the system's store, for instance).
    explicit TRegistry(std::unique_ptr<RegistryStore> store);
    ~TRegistry();
    TRegistry(const TRegistry&) = delete;
    TRegistry& operator=(const TRegistry&) = delete;

    void SelectRoot(RegistryRoot root);
    RegistryRoot Root() const { return root_; }

    bool OpenKeyPath(const std::string& path, bool create);
    void CloseCurrentKey();
    const std::string& CurrentPath() const { return currentPath_; }
    bool HasOpenKey() const;

    std::string ReadText(const std::string& name);
    std::int32_t ReadNumber(const std::string& name);
    void WriteText(const std::string& name, const std::string& text);
    void WriteNumber(const std::string& name, std::int32_t value);
    bool HasValue(const std::string& name);
    bool RemoveValue(const std::string& name);
    void ListSubkeys(std::vector<std::string>& list);
    bool RemoveKeyTree(const std::string& path);
    void MoveKeyTree(const std::string& source, const std::string& target, bool removeSource);

    // While one lives, the calls on the root selected when it was made are one operation on the
    // store (see RegistryStore::BeginBatch): a save of many values or a listing of many keys
    // looks at the store once instead of at every call.
    class Batch
    {
    public:
        explicit Batch(TRegistry& registry);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        RegistryStore& store_;
        RegistryRoot root_;
    };

private:
    RegistryRoot root_ = RegistryRoot::CurrentUser;
    std::unique_ptr<RegistryStore> store_;
    std::unique_ptr<RegistryKey> currentKey_;
    std::string currentPath_;
    std::string storePath_; // the last absolute path handed to the store, without its backslash
};
