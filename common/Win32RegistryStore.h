// The registry store on Windows: every operation is the ANSI Win32 registry function of the same
// name, with the access rights passed on unchanged. No view is ever asked for: the program is a
// 32-bit one, so on 64-bit Windows it works in the same HKEY_LOCAL_MACHINE\Software
// (Software\WOW6432Node) as the environments, their installers and the engine.
#pragma once

#ifdef _WIN32

#include "RegistryStore.h"

class Win32RegistryStore : public RegistryStore
{
public:
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
};

#endif // _WIN32
