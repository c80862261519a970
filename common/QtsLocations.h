// Where this system keeps the two registry roots and the drives, and what chose the place: the
// files of the file registry store and the drive table, a Wine prefix's files (QTS_WINEPREFIX),
// or the Windows registry and drives.
#pragma once

#include <string>
#include <vector>

struct QtsLocation {
    std::string what;    // "HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "Drive table"
    std::string where;   // a native path, or a description on Windows
    std::string movedBy; // the environment variable that chose it; empty for the default
};

// In the order HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER, drive table; read from the environment
// at this moment.
std::vector<QtsLocation> QtsLocations();
