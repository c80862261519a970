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

bool SplitKeyPath(const std::string& subKey, std::vector<std::string>& names)
{
    names.clear();
    if (subKey.empty())
        return true;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = subKey.find('\\', start);
        names.push_back(subKey.substr(start, end - start));
        if (names.back().empty())
            return false;
        if (end == std::string::npos)
            return true;
        start = end + 1;
    }
}
