// The order in which alias names are listed, in the alias window and by qtsctl alike.
#pragma once

#include <string_view>

// Orders alias names the way the Windows locale compare orders words: letters compare ignoring
// case, then the first difference in case puts the small letter first ("a" < "A" < "b"), and
// hyphens and apostrophes only count when everything else is equal. Punctuation sorts before
// digits, digits before letters. The process locale plays no part, so the order is the same on
// every machine. Result < 0, 0 or > 0; 0 only for identical names.
int CompareAliasNames(std::string_view left, std::string_view right);
