#include "RegistryStore.h"

#ifndef _WIN32
#include "FileRegistryStore.h"
#endif

std::unique_ptr<RegistryStore> CreateRegistryStore()
{
#ifdef _WIN32
    return CreateWin32RegistryStore();
#else
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
