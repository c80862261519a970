// What a patched file must hold, worked out the slow and obvious way: every listed name form,
// in order, replaced by rescanning the image from its start after every single replacement.
#pragma once

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

// Returns false when the rescans did not settle within maxReplacements.
inline bool RescanReplace(std::string& image, const std::string& search,
                          const std::string& replacement, std::size_t maxReplacements = 100000)
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

// The names the engine takes over, in the order in which they are switched;
// "\Borland\Database Engine" is the BDE's registry fragment.
inline const std::vector<std::pair<std::string, std::string>>& ListedForms()
{
    static const std::string engine = "QTS323x.DLL";
    // clang-format off
    static const std::vector<std::pair<std::string, std::string>> forms = {
        {"idapi32.dll", engine}, {"idapi32.DLL", engine}, {"IDAPI32.DLL", engine},
        {"Idapi32.dll", engine}, {"qtspi32.dll", engine}, {"qtspi32.DLL", engine},
        {"QTSPI32.DLL", engine}, {"Qtspi32.dll", engine},
        {"\\Borland\\Database Engine", "\\Quillon\\Tessarium\\QTSPI"},
        {"qts3235.dll", engine}, {"qts3235.DLL", engine}, {"QTS3235.DLL", engine},
        {"Qts3235.dll", engine}, {"qts3230.dll", engine}, {"qts3230.DLL", engine},
        {"QTS3230.DLL", engine}, {"Qts3230.dll", engine}};
    // clang-format on
    return forms;
}

inline std::string ReferencePatch(std::string image)
{
    for (const auto& [search, replacement] : ListedForms())
        RescanReplace(image, search, replacement);
    return image;
}
