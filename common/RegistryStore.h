// RegistryStore: the store TRegistry sits on. Its operations follow the Win32 registry functions
// one to one (RegOpenKeyExA, RegCreateKeyExA, RegQueryValueExA, RegSetValueExA, RegDeleteValueA,
// RegDeleteKeyA, RegEnumKeyExA, RegEnumValueA, RegQueryInfoKeyA, RegCloseKey), so that on Windows
// the store is a thin mapping onto them; elsewhere a file store behaves the same way.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "RegistryTypes.h"

// An open key (an HKEY). Destroying it closes the key (RegCloseKey); closing never flushes.
// Each store hands out and accepts only its own keys.
class RegistryKey
{
public:
    virtual ~RegistryKey() = default;
};

// Outcome of a store operation (the Win32 error codes a caller needs to tell apart).
enum class StoreStatus {
    Ok,           // ERROR_SUCCESS
    NotFound,     // ERROR_FILE_NOT_FOUND: no such key or value
    AccessDenied, // ERROR_ACCESS_DENIED: the access asked for is not granted
    NoMoreItems,  // ERROR_NO_MORE_ITEMS: enumeration index past the end
    InvalidName,  // ERROR_INVALID_PARAMETER / ERROR_BADKEY: a name the store cannot hold
    Failed,       // anything else (unreadable store, I/O error, key deleted under the handle, ...)
};

// Access rights, with the Win32 REGSAM values so that a Win32 store passes them on unchanged.
namespace KeyAccess
{
constexpr std::uint32_t QueryValue = 0x0001;       // KEY_QUERY_VALUE
constexpr std::uint32_t SetValue = 0x0002;         // KEY_SET_VALUE
constexpr std::uint32_t CreateSubKey = 0x0004;     // KEY_CREATE_SUB_KEY
constexpr std::uint32_t EnumerateSubKeys = 0x0008; // KEY_ENUMERATE_SUB_KEYS
constexpr std::uint32_t Notify = 0x0010;           // KEY_NOTIFY
constexpr std::uint32_t Read = 0x20019;            // KEY_READ
constexpr std::uint32_t All = 0xF003F;             // KEY_ALL_ACCESS
// What TRegistry asks for on every open and create: read, set value, create subkey.
constexpr std::uint32_t ReadWrite = Read | SetValue | CreateSubKey;
// Any of these means the caller wants to change the key.
constexpr std::uint32_t WriteMask = SetValue | CreateSubKey | 0x00010000 /* DELETE */ |
                                    0x00040000 /* WRITE_DAC */ | 0x00080000 /* WRITE_OWNER */ |
                                    0x0020 /* KEY_CREATE_LINK */;
} // namespace KeyAccess

// RegQueryInfoKeyA, the fields TRegistry uses. Lengths are in bytes, without the final NUL.
struct RegistryKeyInfo {
    std::uint32_t SubKeys = 0;
    std::uint32_t MaxSubKeyLength = 0;
    std::uint32_t Values = 0;
    std::uint32_t MaxValueNameLength = 0;
    std::uint32_t MaxValueDataLength = 0;
};

// Keys are addressed as Win32 does: a sub-key path relative to an open key (`parent`), or to the
// predefined root key when `parent` is null. Sub-key paths have no leading backslash and are
// never checked for empty components here: callers refuse such paths (HasEmptyComponent) before
// they reach a store, since the Win32 functions would silently collapse them.
class RegistryStore
{
public:
    virtual ~RegistryStore() = default;

    // RegOpenKeyExA. An empty sub-key opens a new handle on `parent` (or the root) itself.
    virtual StoreStatus OpenKey(RegistryRoot root, const RegistryKey* parent,
                                const std::string& subKey, std::uint32_t access,
                                std::unique_ptr<RegistryKey>& key) = 0;
    // RegCreateKeyExA with REG_OPTION_NON_VOLATILE: opens the key, creating it and any missing
    // keys on its path.
    virtual StoreStatus CreateKey(RegistryRoot root, const RegistryKey* parent,
                                  const std::string& subKey, std::uint32_t access,
                                  std::unique_ptr<RegistryKey>& key) = 0;
    // RegQueryValueExA without a buffer: type code and size in bytes.
    virtual StoreStatus QueryValueInfo(const RegistryKey& key, const std::string& name,
                                       std::uint32_t& type, std::uint32_t& size) = 0;
    // RegQueryValueExA: type code and the whole data.
    virtual StoreStatus QueryValue(const RegistryKey& key, const std::string& name,
                                   std::uint32_t& type, std::string& data) = 0;
    // RegSetValueExA: creates or replaces the value with exactly these bytes.
    virtual StoreStatus SetValue(const RegistryKey& key, const std::string& name,
                                 std::uint32_t type, const std::string& data) = 0;
    // RegDeleteValueA.
    virtual StoreStatus DeleteValue(const RegistryKey& key, const std::string& name) = 0;
    // RegDeleteKeyA: deletes the key at subKey below parent (or the root); it must have no
    // subkeys. An empty subKey deletes nothing and fails.
    virtual StoreStatus DeleteKey(RegistryRoot root, const RegistryKey* parent,
                                  const std::string& subKey) = 0;
    // RegEnumKeyExA / RegEnumValueA: the name at an index, NoMoreItems past the end.
    virtual StoreStatus EnumKey(const RegistryKey& key, std::uint32_t index, std::string& name) = 0;
    virtual StoreStatus EnumValue(const RegistryKey& key, std::uint32_t index,
                                  std::string& name) = 0;
    // RegQueryInfoKeyA.
    virtual StoreStatus QueryInfo(const RegistryKey& key, RegistryKeyInfo& info) = 0;

    // The calls on one root between BeginBatch and the matching EndBatch are one operation of
    // the caller (a save of several values, a listing): the store may take in what other
    // processes changed once, at the batch's first call, and keep other writers waiting from the
    // batch's first change to its end. Every change is still written, and visible to others, as
    // it is made. Batches nest. A store whose single calls cost nothing extra ignores them.
    virtual void BeginBatch(RegistryRoot) {}
    virtual void EndBatch(RegistryRoot) {}
};

// The store of this system: the Win32 registry on Windows, elsewhere the Wine prefix that
// QTS_WINEPREFIX names or else the file store (located from the environment at this moment).
std::unique_ptr<RegistryStore> CreateRegistryStore();

#ifdef _WIN32
// Defined with the Win32 store.
std::unique_ptr<RegistryStore> CreateWin32RegistryStore();
#endif

// True when a sub-key path (leading backslash of an absolute path already dropped) has an empty
// component: a leading, doubled or trailing backslash. The empty path itself has none.
bool HasEmptyComponent(const std::string& subKey);

// The names of a sub-key path (leading backslash of an absolute path already dropped); false for
// a path with an empty component. The empty path has no names.
bool SplitKeyPath(const std::string& subKey, std::vector<std::string>& names);
