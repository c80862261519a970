#include "TRegistry.h"

#include "RegistryNames.h"

#include <utility>

#include "RegistryStore.h"

namespace
{

std::string Formatted(const char* pattern, const std::string& argument)
{
    std::string message(pattern);
    const auto at = message.find("%s");
    if (at != std::string::npos)
        message.replace(at, 2, argument);
    return message;
}

[[noreturn]] void RaiseCreateKey(const std::string& path)
{
    throw ERegistryException(Formatted("Failed to create key %s", path));
}

[[noreturn]] void RaiseSetData(const std::string& name)
{
    throw ERegistryException(Formatted("Failed to set data for '%s'", name));
}

[[noreturn]] void RaiseGetData(const std::string& name)
{
    throw ERegistryException(Formatted("Failed to get data for '%s'", name));
}

[[noreturn]] void RaiseInvalidType(const std::string& name)
{
    throw ERegistryException(Formatted("Invalid data type for '%s'", name));
}

// A path as given to OpenKeyPath and friends, split into where it starts and what follows.
struct ResolvedPath {
    bool relativeToOpenKey = false; // taken from the open key (else from the root)
    std::string subKey;             // without the one leading backslash of an absolute path
};

// Copied value types: the four common ones keep their code, any other becomes REG_NONE.
std::uint32_t CopiedType(std::uint32_t type)
{
    switch (type) {
    case REG_TYPE_SZ:
    case REG_TYPE_EXPAND_SZ:
    case REG_TYPE_DWORD:
    case REG_TYPE_BINARY:
        return type;
    default:
        return REG_TYPE_NONE;
    }
}

// Names of all immediate subkeys, read before any of them is changed. `complete` turns false
// when some name could not be read.
std::vector<std::string> SubkeyNames(RegistryStore& store, const RegistryKey& key, bool& complete)
{
    std::vector<std::string> names;
    RegistryKeyInfo info;
    if (store.QueryInfo(key, info) != StoreStatus::Ok) {
        complete = false;
        return names;
    }
    names.reserve(info.SubKeys);
    for (std::uint32_t index = 0; index < info.SubKeys; ++index) {
        std::string name;
        if (store.EnumKey(key, index, name) == StoreStatus::Ok)
            names.push_back(std::move(name));
        else
            complete = false;
    }
    return names;
}

std::vector<std::string> SubkeyNames(RegistryStore& store, const RegistryKey& key)
{
    bool complete = true;
    return SubkeyNames(store, key, complete);
}

void CopyValue(RegistryStore& store, const RegistryKey& from, const RegistryKey& to,
               const std::string& name)
{
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    // A missing value (the default value usually is) and one of size 0 are not copied; one that
    // is there but cannot be read stops the move.
    const StoreStatus found = store.QueryValueInfo(from, name, type, size);
    if (found == StoreStatus::NotFound || (found == StoreStatus::Ok && size == 0))
        return;
    std::string data;
    if (found != StoreStatus::Ok || store.QueryValue(from, name, type, data) != StoreStatus::Ok)
        RaiseGetData(name);
    if (data.empty())
        return;
    if (store.SetValue(to, name, CopiedType(type), data) != StoreStatus::Ok)
        RaiseSetData(name);
}

// Copies every value of from to to; false when some value could not be listed.
bool CopyValues(RegistryStore& store, const RegistryKey& from, const RegistryKey& to)
{
    CopyValue(store, from, to, std::string());
    RegistryKeyInfo info;
    if (store.QueryInfo(from, info) != StoreStatus::Ok)
        return false;
    bool complete = true;
    std::vector<std::string> names;
    for (std::uint32_t index = 0; index < info.Values; ++index) {
        std::string name;
        if (store.EnumValue(from, index, name) != StoreStatus::Ok)
            complete = false;
        else if (!name.empty())
            names.push_back(std::move(name));
    }
    for (const auto& name : names)
        CopyValue(store, from, to, name);
    return complete;
}

// Copies the values and subkeys of from into to, depth first. A subkey that cannot be opened is
// left out and the result is false: the copy then lacks part of the tree. A subkey that is gone
// by the time it is opened (another program deleted it) leaves nothing out.
bool CopyTree(RegistryStore& store, RegistryRoot root, const RegistryKey& from,
              const RegistryKey& to)
{
    bool complete = CopyValues(store, from, to);
    for (const auto& name : SubkeyNames(store, from, complete)) {
        std::unique_ptr<RegistryKey> sourceChild;
        const StoreStatus opened =
            store.OpenKey(root, &from, name, KeyAccess::ReadWrite, sourceChild);
        if (opened != StoreStatus::Ok) {
            complete = complete && opened == StoreStatus::NotFound;
            continue;
        }
        std::unique_ptr<RegistryKey> targetChild;
        if (store.CreateKey(root, &to, name, KeyAccess::ReadWrite, targetChild) != StoreStatus::Ok)
            RaiseCreateKey(name);
        complete = CopyTree(store, root, *sourceChild, *targetChild) && complete;
    }
    return complete;
}

// Deletes the key at subKey below parent with everything under it, depth first.
bool RemoveTree(RegistryStore& store, RegistryRoot root, const RegistryKey* parent,
                const std::string& subKey)
{
    {
        std::unique_ptr<RegistryKey> key;
        if (store.OpenKey(root, parent, subKey, KeyAccess::All, key) == StoreStatus::Ok)
            for (const auto& name : SubkeyNames(store, *key))
                RemoveTree(store, root, key.get(), name);
    }
    return store.DeleteKey(root, parent, subKey) == StoreStatus::Ok;
}

} // namespace

TRegistry::TRegistry() : store_(CreateRegistryStore())
{
}

TRegistry::TRegistry(std::unique_ptr<RegistryStore> store) : store_(std::move(store))
{
}

TRegistry::~TRegistry() = default;

TRegistry::Batch::Batch(TRegistry& registry) : store_(*registry.store_), root_(registry.root_)
{
    store_.BeginBatch(root_);
}

TRegistry::Batch::~Batch()
{
    store_.EndBatch(root_);
}

void TRegistry::SelectRoot(RegistryRoot root)
{
    if (root == root_)
        return;
    CloseCurrentKey();
    root_ = root;
}

bool TRegistry::HasOpenKey() const
{
    return currentKey_ != nullptr;
}

namespace
{

ResolvedPath Resolve(const std::string& path, bool haveOpenKey)
{
    ResolvedPath resolved;
    if (!path.empty() && path[0] == '\\') {
        resolved.subKey = path.substr(1);
    } else {
        resolved.subKey = path;
        resolved.relativeToOpenKey = haveOpenKey;
    }
    return resolved;
}

// The path below the root of a path resolved while `openPath` is open.
std::string FullPath(const std::string& openPath, const ResolvedPath& resolved)
{
    std::string path;
    if (resolved.relativeToOpenKey)
        for (const char c : openPath)
            if (c != '\\' || (!path.empty() && path.back() != '\\'))
                path.push_back(c);
    if (!path.empty() && path.back() != '\\')
        path.push_back('\\');
    path += resolved.subKey;
    return path;
}

} // namespace

bool TRegistry::OpenKeyPath(const std::string& path, bool create)
{
    // An absolute path reaches the store without its leading backslash, in a string kept for its
    // room: a listing opens the same path again after every key it lists.
    const bool absolute = !path.empty() && path[0] == '\\';
    const bool relative = !absolute && HasOpenKey();
    if (absolute)
        storePath_.assign(path, 1, std::string::npos);
    const std::string& subKey = absolute ? storePath_ : path;
    if (HasEmptyComponent(subKey))
        return false;
    const RegistryKey* parent = relative ? currentKey_.get() : nullptr;
    std::unique_ptr<RegistryKey> key;
    const StoreStatus status =
        create && !subKey.empty()
            ? store_->CreateKey(root_, parent, subKey, KeyAccess::ReadWrite, key)
            : store_->OpenKey(root_, parent, subKey, KeyAccess::ReadWrite, key);
    if (status != StoreStatus::Ok || !key)
        return false;
    currentKey_ = std::move(key);
    if (!relative)
        currentPath_ = subKey;
    else if (&subKey != &currentPath_)
        currentPath_.append(1, '\\').append(subKey);
    else
        currentPath_ = currentPath_ + "\\" + subKey; // the open key's path, below itself
    return true;
}

void TRegistry::CloseCurrentKey()
{
    currentKey_.reset();
    currentPath_.clear();
}

std::string TRegistry::ReadText(const std::string& name)
{
    if (!currentKey_)
        return std::string();
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    if (store_->QueryValueInfo(*currentKey_, name, type, size) != StoreStatus::Ok || size == 0)
        return std::string();
    std::string data;
    if (store_->QueryValue(*currentKey_, name, type, data) != StoreStatus::Ok)
        RaiseGetData(name);
    if (type != REG_TYPE_SZ && type != REG_TYPE_EXPAND_SZ)
        RaiseInvalidType(name);
    const auto end = data.find('\0');
    if (end != std::string::npos)
        data.resize(end);
    return data;
}

std::int32_t TRegistry::ReadNumber(const std::string& name)
{
    if (!currentKey_)
        RaiseGetData(name);
    std::uint32_t type = 0;
    std::string data;
    if (store_->QueryValue(*currentKey_, name, type, data) != StoreStatus::Ok || data.size() > 4)
        RaiseGetData(name);
    if (type != REG_TYPE_DWORD)
        RaiseInvalidType(name);
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < data.size(); ++i)
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[i])) << (8 * i);
    return static_cast<std::int32_t>(value);
}

void TRegistry::WriteText(const std::string& name, const std::string& text)
{
    std::string data = text;
    data.push_back('\0');
    if (!currentKey_ || store_->SetValue(*currentKey_, name, REG_TYPE_SZ, data) != StoreStatus::Ok)
        RaiseSetData(name);
}

void TRegistry::WriteNumber(const std::string& name, std::int32_t value)
{
    const auto bits = static_cast<std::uint32_t>(value);
    std::string data(4, '\0');
    for (std::size_t i = 0; i < 4; ++i)
        data[i] = static_cast<char>((bits >> (8 * i)) & 0xFF);
    if (!currentKey_ ||
        store_->SetValue(*currentKey_, name, REG_TYPE_DWORD, data) != StoreStatus::Ok)
        RaiseSetData(name);
}

bool TRegistry::HasValue(const std::string& name)
{
    if (!currentKey_)
        return false;
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    return store_->QueryValueInfo(*currentKey_, name, type, size) == StoreStatus::Ok;
}

bool TRegistry::RemoveValue(const std::string& name)
{
    return currentKey_ && store_->DeleteValue(*currentKey_, name) == StoreStatus::Ok;
}

void TRegistry::ListSubkeys(std::vector<std::string>& list)
{
    list.clear();
    if (currentKey_)
        list = SubkeyNames(*store_, *currentKey_);
}

bool TRegistry::RemoveKeyTree(const std::string& path)
{
    const ResolvedPath resolved = Resolve(path, HasOpenKey());
    // The empty path would name the root or the open key itself: never deleted this way.
    if (resolved.subKey.empty() || HasEmptyComponent(resolved.subKey))
        return false;
    const RegistryKey* parent = resolved.relativeToOpenKey ? currentKey_.get() : nullptr;
    const Batch batch(*this);
    return RemoveTree(*store_, root_, parent, resolved.subKey);
}

void TRegistry::MoveKeyTree(const std::string& source, const std::string& target, bool removeSource)
{
    const ResolvedPath from = Resolve(source, HasOpenKey());
    const ResolvedPath to = Resolve(target, HasOpenKey());
    if (from.subKey.empty() || to.subKey.empty() || HasEmptyComponent(from.subKey) ||
        HasEmptyComponent(to.subKey))
        return;
    // A target inside the source (or the source itself) would copy the copy without end and a
    // removed source would take the copy with it.
    const std::string fromPath = FullPath(currentPath_, from);
    const std::string toPath = FullPath(currentPath_, to);
    if (IsSameOrBelowRegistryPath(toPath, fromPath))
        return;
    const Batch batch(*this);

    const RegistryKey* fromParent = from.relativeToOpenKey ? currentKey_.get() : nullptr;
    const RegistryKey* toParent = to.relativeToOpenKey ? currentKey_.get() : nullptr;
    {
        std::unique_ptr<RegistryKey> probe;
        if (store_->OpenKey(root_, toParent, to.subKey, KeyAccess::All, probe) == StoreStatus::Ok)
            return;
    }
    std::unique_ptr<RegistryKey> sourceKey;
    if (store_->OpenKey(root_, fromParent, from.subKey, KeyAccess::All, sourceKey) !=
        StoreStatus::Ok)
        return;
    {
        std::unique_ptr<RegistryKey> created;
        if (store_->CreateKey(root_, toParent, to.subKey, KeyAccess::ReadWrite, created) !=
            StoreStatus::Ok)
            RaiseCreateKey(target);
    }
    std::unique_ptr<RegistryKey> targetKey;
    if (store_->OpenKey(root_, toParent, to.subKey, KeyAccess::ReadWrite, targetKey) !=
        StoreStatus::Ok)
        return;
    const bool complete = CopyTree(*store_, root_, *sourceKey, *targetKey);
    sourceKey.reset();
    targetKey.reset();
    // A source whose tree was not copied whole stays, so that nothing is left only in a source
    // that is then partly deleted; the copy made so far stays too.
    if (removeSource && complete)
        RemoveKeyTree(source);
}
