#ifdef _WIN32

#include "Win32RegistryStore.h"

#include <vector>

#include <windows.h>

namespace
{

// An open HKEY; closing never flushes.
class Win32Key : public RegistryKey
{
public:
    explicit Win32Key(HKEY handle) : handle_(handle) {}
    ~Win32Key() override { ::RegCloseKey(handle_); }
    Win32Key(const Win32Key&) = delete;
    Win32Key& operator=(const Win32Key&) = delete;
    HKEY Get() const { return handle_; }

private:
    HKEY handle_;
};

StoreStatus StatusOf(LONG error)
{
    switch (error) {
    case ERROR_SUCCESS:
        return StoreStatus::Ok;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return StoreStatus::NotFound;
    case ERROR_ACCESS_DENIED:
        return StoreStatus::AccessDenied;
    case ERROR_NO_MORE_ITEMS:
        return StoreStatus::NoMoreItems;
    case ERROR_INVALID_PARAMETER:
    case ERROR_BADKEY:
        return StoreStatus::InvalidName;
    default:
        return StoreStatus::Failed;
    }
}

HKEY RootKey(RegistryRoot root)
{
    return root == RegistryRoot::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// The handle a key of this store stands for, or null for a key of another store.
HKEY HandleOf(const RegistryKey& key)
{
    const auto* own = dynamic_cast<const Win32Key*>(&key);
    return own ? own->Get() : nullptr;
}

// The key a sub-key path is taken from: the open parent, or the predefined root.
HKEY BaseOf(RegistryRoot root, const RegistryKey* parent)
{
    return parent ? HandleOf(*parent) : RootKey(root);
}

// Opens (or creates) the key at subKey below parent or the root through `call`, one of the two
// system functions that hand out a new HKEY.
template <typename Call>
StoreStatus KeyFrom(RegistryRoot root, const RegistryKey* parent, const std::string& subKey,
                    std::unique_ptr<RegistryKey>& key, Call call)
{
    const HKEY base = BaseOf(root, parent);
    if (!base)
        return StoreStatus::Failed;
    // The system would collapse "a\\b" and ignore a trailing backslash; such paths name no key.
    if (HasEmptyComponent(subKey))
        return StoreStatus::InvalidName;
    HKEY handle = nullptr;
    const LONG error = call(base, subKey.c_str(), &handle);
    if (error != ERROR_SUCCESS)
        return StatusOf(error);
    key = std::make_unique<Win32Key>(handle);
    return StoreStatus::Ok;
}

// Reads a key or value name through `call` (RegEnumKeyExA or RegEnumValueA) into a buffer of
// `size` bytes; a longer buffer is asked for only if the system says the name does not fit.
template <typename Call> StoreStatus NameFrom(std::size_t size, std::string& name, Call call)
{
    std::vector<char> buffer(size);
    for (;;) {
        DWORD length = static_cast<DWORD>(buffer.size());
        const LONG error = call(buffer.data(), &length);
        if (error == ERROR_SUCCESS) {
            name.assign(buffer.data(), length);
            return StoreStatus::Ok;
        }
        if (error != ERROR_MORE_DATA || buffer.size() >= 0x10000)
            return StatusOf(error);
        buffer.resize(buffer.size() * 4);
    }
}

} // namespace

StoreStatus Win32RegistryStore::OpenKey(RegistryRoot root, const RegistryKey* parent,
                                        const std::string& subKey, std::uint32_t access,
                                        std::unique_ptr<RegistryKey>& key)
{
    return KeyFrom(root, parent, subKey, key, [access](HKEY base, const char* path, HKEY* opened) {
        return ::RegOpenKeyExA(base, path, 0, access, opened);
    });
}

StoreStatus Win32RegistryStore::CreateKey(RegistryRoot root, const RegistryKey* parent,
                                          const std::string& subKey, std::uint32_t access,
                                          std::unique_ptr<RegistryKey>& key)
{
    return KeyFrom(root, parent, subKey, key, [access](HKEY base, const char* path, HKEY* created) {
        return ::RegCreateKeyExA(base, path, 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                                 created, nullptr);
    });
}

StoreStatus Win32RegistryStore::QueryValueInfo(const RegistryKey& key, const std::string& name,
                                               std::uint32_t& type, std::uint32_t& size)
{
    const HKEY handle = HandleOf(key);
    if (!handle)
        return StoreStatus::Failed;
    DWORD valueType = 0;
    DWORD valueSize = 0;
    const LONG error =
        ::RegQueryValueExA(handle, name.c_str(), nullptr, &valueType, nullptr, &valueSize);
    if (error != ERROR_SUCCESS)
        return StatusOf(error);
    type = valueType;
    size = valueSize;
    return StoreStatus::Ok;
}

StoreStatus Win32RegistryStore::QueryValue(const RegistryKey& key, const std::string& name,
                                           std::uint32_t& type, std::string& data)
{
    const HKEY handle = HandleOf(key);
    if (!handle)
        return StoreStatus::Failed;
    DWORD valueType = 0;
    DWORD size = 0;
    LONG error = ::RegQueryValueExA(handle, name.c_str(), nullptr, &valueType, nullptr, &size);
    // The value may grow between asking for its size and reading it: ask again until it fits.
    std::vector<BYTE> buffer;
    while (error == ERROR_SUCCESS || error == ERROR_MORE_DATA) {
        buffer.resize(size > 0 ? size : 1);
        size = static_cast<DWORD>(buffer.size());
        error = ::RegQueryValueExA(handle, name.c_str(), nullptr, &valueType, buffer.data(), &size);
        if (error == ERROR_SUCCESS) {
            type = valueType;
            data.assign(reinterpret_cast<const char*>(buffer.data()), size);
            return StoreStatus::Ok;
        }
    }
    return StatusOf(error);
}

StoreStatus Win32RegistryStore::SetValue(const RegistryKey& key, const std::string& name,
                                         std::uint32_t type, const std::string& data)
{
    const HKEY handle = HandleOf(key);
    if (!handle)
        return StoreStatus::Failed;
    return StatusOf(::RegSetValueExA(handle, name.c_str(), 0, type,
                                     reinterpret_cast<const BYTE*>(data.data()),
                                     static_cast<DWORD>(data.size())));
}

StoreStatus Win32RegistryStore::DeleteValue(const RegistryKey& key, const std::string& name)
{
    const HKEY handle = HandleOf(key);
    if (!handle)
        return StoreStatus::Failed;
    return StatusOf(::RegDeleteValueA(handle, name.c_str()));
}

StoreStatus Win32RegistryStore::DeleteKey(RegistryRoot root, const RegistryKey* parent,
                                          const std::string& subKey)
{
    const HKEY base = BaseOf(root, parent);
    if (!base)
        return StoreStatus::Failed;
    // An empty path would name the base key itself: never deleted this way.
    if (subKey.empty())
        return StoreStatus::Failed;
    if (HasEmptyComponent(subKey))
        return StoreStatus::InvalidName;
    return StatusOf(::RegDeleteKeyA(base, subKey.c_str()));
}

StoreStatus Win32RegistryStore::EnumKey(const RegistryKey& key, std::uint32_t index,
                                        std::string& name)
{
    const HKEY handle = HandleOf(key);
    if (!handle)
        return StoreStatus::Failed;
    // Key names are at most 255 characters.
    return NameFrom(256, name, [handle, index](char* buffer, DWORD* length) {
        return ::RegEnumKeyExA(handle, index, buffer, length, nullptr, nullptr, nullptr, nullptr);
    });
}

StoreStatus Win32RegistryStore::EnumValue(const RegistryKey& key, std::uint32_t index,
                                          std::string& name)
{
    const HKEY handle = HandleOf(key);
    if (!handle)
        return StoreStatus::Failed;
    DWORD longest = 0;
    const LONG infoError =
        ::RegQueryInfoKeyA(handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                           &longest, nullptr, nullptr, nullptr);
    if (infoError != ERROR_SUCCESS)
        return StatusOf(infoError);
    return NameFrom(longest + 1 > 256 ? longest + 1 : 256, name,
                    [handle, index](char* buffer, DWORD* length) {
                        return ::RegEnumValueA(handle, index, buffer, length, nullptr, nullptr,
                                               nullptr, nullptr);
                    });
}

StoreStatus Win32RegistryStore::QueryInfo(const RegistryKey& key, RegistryKeyInfo& info)
{
    const HKEY handle = HandleOf(key);
    if (!handle)
        return StoreStatus::Failed;
    DWORD subKeys = 0;
    DWORD maxSubKeyLength = 0;
    DWORD values = 0;
    DWORD maxValueNameLength = 0;
    DWORD maxValueDataLength = 0;
    const LONG error =
        ::RegQueryInfoKeyA(handle, nullptr, nullptr, nullptr, &subKeys, &maxSubKeyLength, nullptr,
                           &values, &maxValueNameLength, &maxValueDataLength, nullptr, nullptr);
    if (error != ERROR_SUCCESS)
        return StatusOf(error);
    info.SubKeys = subKeys;
    info.MaxSubKeyLength = maxSubKeyLength;
    info.Values = values;
    info.MaxValueNameLength = maxValueNameLength;
    info.MaxValueDataLength = maxValueDataLength;
    return StoreStatus::Ok;
}

std::unique_ptr<RegistryStore> CreateWin32RegistryStore()
{
    return std::make_unique<Win32RegistryStore>();
}

#endif // _WIN32
