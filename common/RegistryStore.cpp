#include "RegistryStore.h"

#ifndef _WIN32
#include "FileRegistryStore.h"
#include "WinePrefix.h"
#include "WineRegistryStore.h"
#endif

std::unique_ptr<RegistryStore> CreateRegistryStore()
{
#ifdef _WIN32
    return CreateWin32RegistryStore();
#else
    if (const std::string prefix = WinePrefix::FromEnvironment(); !prefix.empty())
        return std::make_unique<WineRegistryStore>(prefix);
    return std::make_unique<FileRegistryStore>(FileRegistryStore::UserFileFromEnvironment(),
                                               FileRegistryStore::MachineFileFromEnvironment());
#endif
}

bool HasEmptyComponent(const std::string& subKey)
{
    if (subKey.empty())
        return false;
    return subKey.front() == '\\' || subKey.back() == '\\' ||
           subKey.find("\\\\") != std::string::npos;
}
