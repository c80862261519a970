// The aliases of one scope in the registry: listing, loading, saving, renaming, deleting.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "TRegistry.h"

enum class AliasScope { Global = 0, CurrentUser = 1 };

// The 18 stored values of one alias.
struct AliasSettings {
    std::string Path;
    bool Exclusive = false;
    bool ReadOnly = false;
    bool LockEdits = false;
    bool SeparateWorkspace = false;
    bool UseDefaults = false;
    bool UseConstraints = false;
    bool UseAllowZeroLength = false;
    bool RenamePrimary = false;
    bool ShowGUIDs = false;
    bool DisableRefresh = false;
    bool DisableSeeChanges = false;
    bool ReportIndexesCaseSensitive = false;
    std::string SystemDb;
    std::string UserName;
    std::string Connect;
    std::string PrefetchThreshold;
    std::string PrefetchResetEvery;

    bool operator==(const AliasSettings& other) const;
};

extern const char* const AliasesKeyPath; // "\Software\Quillon\Tessarium\Configuration\Aliases"

// Works on the registry object the alias window keeps for its lifetime.
class AliasStore
{
public:
    explicit AliasStore(TRegistry& registry) : registry_(registry) {}

    // (name, path) pairs in the registry's enumeration order. If a read fails half-way the pairs
    // listed before it are in `listed` when the exception leaves.
    void ListAliases(AliasScope scope, std::vector<std::pair<std::string, std::string>>& listed);
    std::optional<AliasSettings> LoadAlias(const std::string& name);
    // Reads the alias's values into `settings`, one by one in their stored order; false, with
    // `settings` untouched, when the alias key cannot be opened. A value that cannot be read
    // raises, and the values read before it are in `settings` by then.
    bool LoadAlias(const std::string& name, AliasSettings& settings);
    bool SaveAlias(const std::string& name, const AliasSettings& settings);
    void RenameAlias(const std::string& oldName, const std::string& newName);
    bool DeleteAlias(const std::string& name);

private:
    TRegistry& registry_;
};
