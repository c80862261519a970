// How key and value names compare: as the Windows registry compares them, ignoring case for
// every letter (names are UTF-8 text on systems without a registry), while keeping the order of
// plain ASCII names.
#pragma once

#include <string_view>

// Negative, zero or positive as `a` sorts before, equal to or after `b`.
int CompareRegistryNames(std::string_view a, std::string_view b);

// True when the key path `path` names `ancestor` itself or a key below it. Both are paths of
// names separated by "\" from the same starting point.
bool IsSameOrBelowRegistryPath(std::string_view path, std::string_view ancestor);
