// What a patched file must hold, worked out the slow and obvious way: every listed name form,
// in order, replaced by rescanning the image from its start after every single replacement.
#pragma once

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

// Returns false when the rescans did not settle within maxReplacements.
inline bool RescanReplace(std::string& image, const std::string& search,
                          const std::string& replacement, std::size_t maxReplacements = 1000000)
{
    if (search.empty() || search.size() != replacement.size() || search == replacement)
        return true;
    for (std::size_t done = 0; done < maxReplacements; ++done) {
        const std::size_t found = image.find(search);
        if (found == std::string::npos)
            return true;
        std::copy(replacement.begin(), replacement.end(), image.begin() + found);
    }
    return false;
}

// The names the engine takes over, as the environments' files spell them, in the order in which
// they are switched; "\Borland\Database Engine" is the BDE's registry fragment.
inline const std::vector<std::pair<std::string, std::string>>& ListedForms()
{
    static const std::vector<std::pair<std::string, std::string>> forms = {
        {"idapi32.dll", "QTS323x.DLL"},
        {"idapi32.DLL", "QTS323x.DLL"},
        {"IDAPI32.DLL", "QTS323x.DLL"},
        {"Idapi32.dll", "QTS323x.DLL"},
        {"qtspi32.dll", "QTS323x.DLL"},
        {"qtspi32.DLL", "QTS323x.DLL"},
        {"QTSPI32.DLL", "QTS323x.DLL"},
        {"Qtspi32.dll", "QTS323x.DLL"},
        {"\\Borland\\Database Engine", "\\Quillon\\Tessarium\\QTSPI"},
        {"qts3235.dll", "QTS323x.DLL"},
        {"qts3235.DLL", "QTS323x.DLL"},
        {"QTS3235.DLL", "QTS323x.DLL"},
        {"Qts3235.dll", "QTS323x.DLL"},
        {"qts3230.dll", "QTS323x.DLL"},
        {"qts3230.DLL", "QTS323x.DLL"},
        {"QTS3230.DLL", "QTS323x.DLL"},
        {"Qts3230.dll", "QTS323x.DLL"},
    };
    return forms;
}

inline std::string ReferencePatch(std::string image)
{
    for (const auto& [search, replacement] : ListedForms())
        RescanReplace(image, search, replacement);
    return image;
}
