// The aliases the alias store benchmarks fill their stores with: numbered names that sort as
// they were written, each alias with all 18 values set.
#pragma once

#include <string>

#include "AliasStore.h"

namespace BenchAliases
{

inline std::string AliasName(int index)
{
    std::string digits = std::to_string(index);
    return "Alias" + std::string(digits.size() < 5 ? 5 - digits.size() : 0, '0') + digits;
}

// All twelve flags on or all off: a save that flips between the two changes twelve values.
inline AliasSettings FullSettings(int index, bool flagsOn)
{
    AliasSettings settings;
    settings.Path = "C:\\Data\\Sales\\Database" + std::to_string(index) + ".mdb";
    for (bool AliasSettings::*flag :
         {&AliasSettings::Exclusive, &AliasSettings::ReadOnly, &AliasSettings::LockEdits,
          &AliasSettings::SeparateWorkspace, &AliasSettings::UseDefaults,
          &AliasSettings::UseConstraints, &AliasSettings::UseAllowZeroLength,
          &AliasSettings::RenamePrimary, &AliasSettings::ShowGUIDs, &AliasSettings::DisableRefresh,
          &AliasSettings::DisableSeeChanges, &AliasSettings::ReportIndexesCaseSensitive})
        settings.*flag = flagsOn;
    settings.SystemDb = "C:\\Data\\System.mdw";
    settings.UserName = "Admin";
    settings.Connect = "ODBC;DSN=Sales" + std::to_string(index);
    settings.PrefetchThreshold = "20";
    settings.PrefetchResetEvery = "25";
    return settings;
}

} // namespace BenchAliases
