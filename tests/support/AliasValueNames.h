// The 18 values an alias key holds, named once for the tests and apart from AliasStore.cpp, so
// that a name misspelt in the code fails a test instead of agreeing with it.
#pragma once

#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "AliasStore.h"

// The flags in the order a save writes them.
inline const std::pair<const char*, bool AliasSettings::*> AliasFlagFields[] = {
    {"Read Only", &AliasSettings::ReadOnly},
    {"Exclusive", &AliasSettings::Exclusive},
    {"Lock Edits", &AliasSettings::LockEdits},
    {"Separate Workspace", &AliasSettings::SeparateWorkspace},
    {"Use Defaults", &AliasSettings::UseDefaults},
    {"Use Constraints", &AliasSettings::UseConstraints},
    {"Use AllowZeroLength", &AliasSettings::UseAllowZeroLength},
    {"Rename Primary", &AliasSettings::RenamePrimary},
    {"Show GUIDs", &AliasSettings::ShowGUIDs},
    {"Disable Refresh", &AliasSettings::DisableRefresh},
    {"Disable SeeChanges", &AliasSettings::DisableSeeChanges},
    {"ReportIndexesCaseSensitive", &AliasSettings::ReportIndexesCaseSensitive},
};

// The texts, "Path" first, in the order both a load and a save take them.
inline const std::pair<const char*, std::string AliasSettings::*> AliasTextFields[] = {
    {"Path", &AliasSettings::Path},
    {"SystemDb", &AliasSettings::SystemDb},
    {"User Name", &AliasSettings::UserName},
    {"Connect", &AliasSettings::Connect},
    {"Prefetch Threshold", &AliasSettings::PrefetchThreshold},
    {"Prefetch Reset Every", &AliasSettings::PrefetchResetEvery},
};

// All 18 names in the order a load reads them: "Path", "Exclusive", "Read Only", the other
// flags, the other texts.
inline std::vector<std::string> AliasValueNamesInLoadOrder()
{
    std::vector<std::string> names = {AliasTextFields[0].first, AliasFlagFields[1].first,
                                      AliasFlagFields[0].first};
    for (auto flag = std::next(std::begin(AliasFlagFields), 2); flag != std::end(AliasFlagFields);
         ++flag)
        names.push_back(flag->first);
    for (auto text = std::next(std::begin(AliasTextFields)); text != std::end(AliasTextFields);
         ++text)
        names.push_back(text->first);
    return names;
}
