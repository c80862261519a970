// WineRegistryStore: the registry store on a Wine prefix's own files, HKEY_LOCAL_MACHINE in
// system.reg and HKEY_CURRENT_USER in user.reg (see WinePrefix.h).
// - It shows the 32-bit programs' view, the one the environments and the engine have: in a
//   prefix whose #arch is win64, HKEY_LOCAL_MACHINE\Software\<X> is Software\Wow6432Node\<X>
//   (Software\Classes excepted); HKEY_CURRENT_USER is the same in both views.
// - It never writes while a Wine server serves the prefix (the server would write its own copy
//   back over ours): opens for writing are refused then, and every write looks again.
// - Every write replaces the file atomically (a temporary file in the prefix, flushed, renamed
//   over it) under a lock of its own that serialises this program's processes; keys it did not
//   touch keep their text byte for byte, touched keys get a fresh modification time.
// - A file that does not parse is never written: every open on its root fails and standard
//   error names the file and line. A missing file is a prefix Wine has not made yet, likewise
//   unusable.
// Names compare as Wine compares them (ignoring the case of letters); texts are UTF-8 here and
// UTF-16 in Wine.
#pragma once

#ifndef _WIN32

#include <array>
#include <memory>
#include <string>

#include "RegistryStore.h"

namespace WineRegistry
{
struct Node;
}

class WineRegistryStore : public RegistryStore
{
public:
    explicit WineRegistryStore(std::string prefix);
    ~WineRegistryStore() override;
    WineRegistryStore(const WineRegistryStore&) = delete;
    WineRegistryStore& operator=(const WineRegistryStore&) = delete;

    const std::string& Prefix() const { return prefix_; }

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

    class RootFile; // one root's file as last read

private:
    RootFile& Root(RegistryRoot root);
    // The node of an open key of this store that was opened with `access`, the file brought up
    // to date first.
    StoreStatus KeyNode(const RegistryKey& key, std::uint32_t access, WineRegistry::Node*& node);
    std::string prefix_;
    std::array<std::unique_ptr<RootFile>, 2> roots_;
};

#endif
