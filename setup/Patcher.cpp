#include "Patcher.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "FileSystem.h"
#include "QtsTools.h"

namespace
{

// The four letter-case forms in which a DLL name appears in the environment's files.
void AddDllForms(std::vector<std::pair<std::string, std::string>>& table, const std::string& lower,
                 const std::string& upper, const std::string& capitalised,
                 const std::string& engineDll)
{
    table.emplace_back(lower + ".dll", engineDll);
    table.emplace_back(lower + ".DLL", engineDll);
    table.emplace_back(upper + ".DLL", engineDll);
    table.emplace_back(capitalised + ".dll", engineDll);
}

std::vector<std::string> SplitSuffixes(const std::string& text)
{
    std::vector<std::string> suffixes;
    std::string::size_type start = 0;
    while (start <= text.size()) {
        const std::string::size_type comma = text.find(',', start);
        const std::string::size_type end = comma == std::string::npos ? text.size() : comma;
        suffixes.push_back(text.substr(start, end - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return suffixes;
}

} // namespace

std::vector<std::pair<std::string, std::string>> ReplacementTable(const EnvironmentProfile& profile)
{
    const std::string engineDll = "QTS32" + profile.EngineSuffix + ".DLL";
    std::vector<std::pair<std::string, std::string>> table;
    AddDllForms(table, "idapi32", "IDAPI32", "Idapi32", engineDll);
    AddDllForms(table, "qtspi32", "QTSPI32", "Qtspi32", engineDll);
    table.emplace_back("\\Borland\\Database Engine", "\\Quillon\\Tessarium\\QTSPI");
    if (!profile.FormerSuffixes.empty()) {
        for (const std::string& suffix : SplitSuffixes(profile.FormerSuffixes))
            AddDllForms(table, "qts32" + suffix, "QTS32" + suffix, "Qts32" + suffix, engineDll);
    }
    return table;
}

void ReplaceInPlace(std::string& image, const std::string& search, const std::string& replacement)
{
    if (search.size() != replacement.size() || search.empty() || search == replacement)
        return;
    const std::string_view view(image);
    std::string::size_type from = 0;
    for (;;) {
        const std::string::size_type found = view.find(search, from);
        if (found == std::string_view::npos)
            return;
        std::copy(replacement.begin(), replacement.end(), image.begin() + found);
        // Nothing before the occurrence matched, and only the replaced bytes changed: a new
        // match can only be one that the replacement completes, starting at most
        // search.size() - 1 bytes earlier. Resuming there finds exactly what a rescan from the
        // start of the image would find first.
        from = found >= search.size() - 1 ? found - (search.size() - 1) : 0;
    }
}

namespace
{

// True when b, placed at offset (which may be negative) against a, agrees with a on every byte
// where the two overlap, and they overlap at all.
bool AgreeWhereOverlapping(const std::string& a, const std::string& b, std::ptrdiff_t offset)
{
    const std::ptrdiff_t first = std::max<std::ptrdiff_t>(0, offset);
    const std::ptrdiff_t last = std::min<std::ptrdiff_t>(
        static_cast<std::ptrdiff_t>(a.size()), offset + static_cast<std::ptrdiff_t>(b.size()));
    if (first >= last)
        return false;
    for (std::ptrdiff_t i = first; i < last; ++i)
        if (a[static_cast<std::size_t>(i)] != b[static_cast<std::size_t>(i - offset)])
            return false;
    return true;
}

bool CanMeet(const std::string& a, const std::string& b, bool sameText)
{
    const auto from = -static_cast<std::ptrdiff_t>(b.size()) + 1;
    const auto to = static_cast<std::ptrdiff_t>(a.size());
    for (std::ptrdiff_t offset = from; offset < to; ++offset)
        if (!(sameText && offset == 0) && AgreeWhereOverlapping(a, b, offset))
            return true;
    return false;
}

} // namespace

bool ReplacementsAreIndependent(const ReplacementPairs& table)
{
    for (std::size_t i = 0; i < table.size(); ++i) {
        const auto& [search, replacement] = table[i];
        if (search.empty() || search.size() != replacement.size() || search == replacement)
            return false;
        for (std::size_t j = 0; j < table.size(); ++j) {
            if (CanMeet(search, table[j].first, i == j))
                return false;
            // A replacement that forms an earlier row's search text does no harm: that row has
            // already been done when it appears.
            if (j >= i && CanMeet(replacement, table[j].first, false))
                return false;
        }
    }
    return true;
}

void ReplaceTableInPlace(std::string& image, const ReplacementPairs& table)
{
    if (!ReplacementsAreIndependent(table)) {
        for (const auto& [search, replacement] : table)
            ReplaceInPlace(image, search, replacement);
        return;
    }
    // Occurrences never overlap and no replacement forms a search text that is still to come, so
    // every pair finds exactly the occurrences of the untouched image. The image is therefore
    // done block by block, all pairs per block, while the block is still in the processor's
    // cache. A search never starts inside a replacement that reaches over from an earlier block:
    // only there could an earlier row's text have been formed.
    constexpr std::size_t BlockSize = 64 * 1024;
    const std::string_view view(image);
    std::size_t frontier = 0;
    for (std::size_t block = 0; block < image.size(); block += BlockSize) {
        const std::size_t blockEnd = std::min(image.size(), block + BlockSize);
        std::size_t reached = frontier;
        for (const auto& [search, replacement] : table) {
            // Occurrences that start in this block, possibly ending in the next.
            const std::string_view window =
                view.substr(0, std::min(image.size(), blockEnd + search.size() - 1));
            std::size_t from = std::max(block, frontier);
            for (;;) {
                const std::size_t found = window.find(search, from);
                if (found == std::string_view::npos || found >= blockEnd)
                    break;
                std::copy(replacement.begin(), replacement.end(), image.begin() + found);
                from = found + search.size();
                reached = std::max(reached, from);
            }
        }
        frontier = reached;
    }
}

void PatchFile(const std::string& displayName, const std::string& source, const std::string& target,
               const EnvironmentProfile& profile, SetupReport& report)
{
    report.LogProgress("");
    report.LogProgress("Reading original " + displayName + "...");
    std::string image;
    switch (FileSystem::ReadWholeFile(source, image)) {
    case FileSystem::ReadResult::Ok:
        break;
    case FileSystem::ReadResult::CannotOpen:
        throw EFileError("Cannot open file " + source);
    case FileSystem::ReadResult::ShortRead:
        throw EFileError("Stream read error");
    }

    report.LogProgress("Patching " + displayName + "...");
    ReplaceTableInPlace(image, ReplacementTable(profile));

    report.LogProgress("Writing patched " + displayName + "...");
    // A folder that cannot be made shows up as the creation failure just below.
    CreatePath(FolderPart(target));
    // The image goes to a temporary file that replaces the target only once it is complete, so a
    // failed write never destroys the file that was there (the source itself when patching in
    // place).
    switch (FileSystem::ReplaceWholeFile(target, image)) {
    case FileSystem::WriteResult::Ok:
        break;
    case FileSystem::WriteResult::CannotCreate:
        throw EFileError("Cannot create file " + target);
    case FileSystem::WriteResult::ShortWrite:
        throw EFileError("Stream write error");
    }
    report.LogProgress("The patched " + displayName + " has been written to " + target + ".");
}
