// The package mapping list: comma text of source=target items with the macros "%borland" and
// "%quillon" and the backup mark "+".
#pragma once

#include <string>
#include <vector>

#include "EnvironmentProfile.h"

// Splits comma text: "," separates; unquoted items also end at codes 1..32, which are skipped
// before an item and around a comma; a quoted item runs to its closing quote, "" is one quote.
std::vector<std::string> SplitCommaText(const std::string& text);

struct PackageItem {
    std::string source;  // the engine's file, macros expanded
    std::string target;  // the environment's file, macros expanded, "+" removed
    bool marked = false; // the target is the environment's own file and is backed up
    std::string backup;  // target + ".old" when marked
};

// The items of profile.PackageList in list order, read as the installation reads them.
std::vector<PackageItem> ReadPackageList(const EnvironmentProfile& profile);
