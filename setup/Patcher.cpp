#include "Patcher.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string_view>

#include "FileSystem.h"
#include "QtsTools.h"

namespace
{

// The four letter-case forms in which a DLL name appears in the environment's files.
void AddDllForms(ReplacementPairs& table, const std::string& lower, const std::string& upper,
                 const std::string& capitalised, const std::string& engineDll)
{
    table.emplace_back(lower + ".dll", engineDll);
    table.emplace_back(lower + ".DLL", engineDll);
    table.emplace_back(upper + ".DLL", engineDll);
    table.emplace_back(capitalised + ".dll", engineDll);
}

// The pairs of a table that change anything (a search text, a replacement of its length that
// differs from it), kept in the table's order, and what one pass over an image needs to know
// about them.
class TablePass
{
public:
    explicit TablePass(const ReplacementPairs& table);

    bool Apply(std::string& image) const;

private:
    // An occurrence of a row's search text in the image as read.
    struct Found {
        std::size_t at;
        std::size_t row;
    };

    // Reports every occurrence of every row in the image as read, overlapping ones included, by
    // position and at one position in the table's order, to found; stops when found returns
    // false and then returns false.
    template <typename Report> bool FindAll(const std::string& image, Report&& found) const;
    // Applies a group of overlapping occurrences (none overlapping any outside it) as the rows
    // in their order would: an occurrence is replaced unless a row before it, or its own row
    // further left, has already replaced bytes it needs. Only for tables without completions.
    void ApplyOverlapping(std::string& image, std::vector<Found>& group) const;
    // The pass for a table none of whose replacements can complete a name.
    void ApplyWithoutCompletions(std::string& image) const;
    // The pass for a table with completions: false, with the image untouched, unless every
    // occurrence stands clear of the others and the bytes around none complete a name.
    bool ApplyIfNothingCompletes(std::string& image) const;
    void Write(std::string& image, const Found& found) const;

    std::vector<std::pair<std::string, std::string>> rows_;
    std::size_t shortest_ = SIZE_MAX;
    std::size_t longest_ = 0;
    // How far the end of a window of shortest_ bytes may move on when this byte lies under it.
    std::array<std::size_t, 256> skip_{};
    // The rows whose search text has this byte at position shortest_ - 1.
    std::array<std::vector<std::size_t>, 256> endingWith_;

    // A way in which the replacement of a row, together with the bytes around it, could spell
    // the search text of row `to` (the same row or a later one), starting `offset` bytes from
    // it: the two agree wherever they overlap. The rows applied one after the other would then
    // replace a name that the image as read does not hold. Listed per replacing row.
    struct Completion {
        std::size_t to;
        std::ptrdiff_t offset;
    };
    std::vector<std::vector<Completion>> completionsFrom_;
    bool anyCompletion_ = false;
};

TablePass::TablePass(const ReplacementPairs& table)
{
    for (const auto& [search, replacement] : table)
        if (!search.empty() && search.size() == replacement.size() && search != replacement)
            rows_.emplace_back(search, replacement);
    if (rows_.empty())
        return;

    for (const auto& row : rows_) {
        shortest_ = std::min(shortest_, row.first.size());
        longest_ = std::max(longest_, row.first.size());
    }
    skip_.fill(shortest_);
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        const std::string& search = rows_[row].first;
        for (std::size_t t = 0; t + 1 < shortest_; ++t) {
            std::size_t& skip = skip_[static_cast<unsigned char>(search[t])];
            skip = std::min(skip, shortest_ - 1 - t);
        }
        const auto last = static_cast<unsigned char>(search[shortest_ - 1]);
        skip_[last] = 0;
        endingWith_[last].push_back(row);
    }

    completionsFrom_.resize(rows_.size());
    for (std::size_t from = 0; from < rows_.size(); ++from) {
        const std::string& replacement = rows_[from].second;
        const auto length = static_cast<std::ptrdiff_t>(replacement.size());
        for (std::size_t to = from; to < rows_.size(); ++to) {
            const std::string& search = rows_[to].first;
            const auto searchLength = static_cast<std::ptrdiff_t>(search.size());
            for (std::ptrdiff_t offset = 1 - searchLength; offset < length; ++offset) {
                const std::ptrdiff_t first = std::max<std::ptrdiff_t>(0, offset);
                const std::ptrdiff_t last = std::min(length, offset + searchLength);
                bool agrees = true;
                for (std::ptrdiff_t i = first; agrees && i < last; ++i)
                    agrees = replacement[static_cast<std::size_t>(i)] ==
                             search[static_cast<std::size_t>(i - offset)];
                if (agrees) {
                    completionsFrom_[from].push_back({to, offset});
                    anyCompletion_ = true;
                }
            }
        }
    }
}

template <typename Report> bool TablePass::FindAll(const std::string& image, Report&& found) const
{
    const auto* data = reinterpret_cast<const unsigned char*>(image.data());
    const std::size_t size = image.size();
    for (std::size_t end = shortest_ - 1; end < size;) {
        if (const std::size_t skip = skip_[data[end]]; skip != 0) {
            end += skip;
            continue;
        }
        const std::size_t at = end + 1 - shortest_;
        for (const std::size_t row : endingWith_[data[end]]) {
            const std::string& search = rows_[row].first;
            if (search.size() <= size - at &&
                std::memcmp(data + at, search.data(), search.size()) == 0 && !found({at, row}))
                return false;
        }
        ++end;
    }
    return true;
}

void TablePass::Write(std::string& image, const Found& found) const
{
    const std::string& replacement = rows_[found.row].second;
    std::copy(replacement.begin(), replacement.end(), image.begin() + found.at);
}

void TablePass::ApplyOverlapping(std::string& image, std::vector<Found>& group) const
{
    std::stable_sort(group.begin(), group.end(),
                     [](const Found& a, const Found& b) { return a.row < b.row; });
    const auto endOf = [this](const Found& found) {
        return found.at + rows_[found.row].first.size();
    };
    // Replaced by earlier rows, by position; they never overlap one another.
    std::vector<Found> replaced;
    std::vector<Found> merged;
    for (auto rowStart = group.begin(); rowStart != group.end();) {
        const std::size_t row = rowStart->row;
        const auto rowEnd = std::find_if(rowStart, group.end(),
                                         [row](const Found& found) { return found.row != row; });
        // Without completions a replaced name spoils every occurrence that overlaps it, and
        // creates none: the row replaces, from the left, what earlier rows left intact and its
        // own replacements have not spoiled.
        std::vector<Found> ownReplaced;
        auto earlier = replaced.begin();
        for (auto found = rowStart; found != rowEnd; ++found) {
            if (!ownReplaced.empty() && found->at < endOf(ownReplaced.back()))
                continue;
            while (earlier != replaced.end() && endOf(*earlier) <= found->at)
                ++earlier;
            if (earlier != replaced.end() && earlier->at < endOf(*found))
                continue;
            ownReplaced.push_back(*found);
        }
        merged.clear();
        std::merge(replaced.begin(), replaced.end(), ownReplaced.begin(), ownReplaced.end(),
                   std::back_inserter(merged),
                   [](const Found& a, const Found& b) { return a.at < b.at; });
        replaced.swap(merged);
        rowStart = rowEnd;
    }
    for (const Found& found : replaced)
        Write(image, found);
}

void TablePass::ApplyWithoutCompletions(std::string& image) const
{
    // Occurrences that overlap are gathered and settled together once the scan has passed
    // their end; the scan never looks back at bytes before the occurrence it reports.
    std::vector<Found> group;
    std::size_t groupEnd = 0;
    const auto settle = [&] {
        if (group.size() == 1)
            Write(image, group.front());
        else if (!group.empty())
            ApplyOverlapping(image, group);
        group.clear();
    };
    FindAll(image, [&](const Found& found) {
        if (found.at >= groupEnd)
            settle();
        group.push_back(found);
        groupEnd = std::max(groupEnd, found.at + rows_[found.row].first.size());
        return true;
    });
    settle();
}

bool TablePass::ApplyIfNothingCompletes(std::string& image) const
{
    // Every occurrence must stand at least longest_ - 1 bytes clear of the others, so that the
    // bytes around it stay as read whatever is replaced elsewhere; then a completion can only
    // come from those bytes, and is looked for in them.
    std::vector<Found> all;
    std::size_t clearFrom = 0;
    const bool nothingCompletes = FindAll(image, [&](const Found& found) {
        if (!all.empty() && found.at < clearFrom)
            return false;
        const std::string& replacement = rows_[found.row].second;
        for (const Completion& completion : completionsFrom_[found.row]) {
            const std::string& search = rows_[completion.to].first;
            const std::ptrdiff_t start = static_cast<std::ptrdiff_t>(found.at) + completion.offset;
            if (start < 0 || static_cast<std::size_t>(start) + search.size() > image.size())
                continue;
            // The search text agrees with the replacement where the two overlap; compare the
            // rest with the bytes around the occurrence.
            bool spelled = true;
            for (std::size_t i = 0; spelled && i < search.size(); ++i) {
                const std::size_t at = static_cast<std::size_t>(start) + i;
                if (at < found.at || at >= found.at + replacement.size())
                    spelled = image[at] == search[i];
            }
            if (spelled)
                return false;
        }
        all.push_back(found);
        clearFrom = found.at + replacement.size() + longest_ - 1;
        return true;
    });
    if (!nothingCompletes)
        return false;
    for (const Found& found : all)
        Write(image, found);
    return true;
}

bool TablePass::Apply(std::string& image) const
{
    if (rows_.empty())
        return true;
    if (!anyCompletion_) {
        ApplyWithoutCompletions(image);
        return true;
    }
    if (ApplyIfNothingCompletes(image))
        return true;
    for (const auto& [search, replacement] : rows_)
        ReplaceInPlace(image, search, replacement);
    return false;
}

} // namespace

ReplacementPairs ReplacementTable(const EnvironmentProfile& profile)
{
    const std::string engineDll = "QTS32" + profile.EngineSuffix + ".DLL";
    ReplacementPairs table;
    AddDllForms(table, "idapi32", "IDAPI32", "Idapi32", engineDll);
    AddDllForms(table, "qtspi32", "QTSPI32", "Qtspi32", engineDll);
    table.emplace_back("\\Borland\\Database Engine", "\\Quillon\\Tessarium\\QTSPI");
    // The engine's former DLL names, for each suffix of the comma-separated list in its order.
    const std::string& suffixes = profile.FormerSuffixes;
    for (std::size_t start = 0; !suffixes.empty() && start <= suffixes.size();) {
        const std::size_t comma = std::min(suffixes.find(',', start), suffixes.size());
        const std::string suffix = suffixes.substr(start, comma - start);
        AddDllForms(table, "qts32" + suffix, "QTS32" + suffix, "Qts32" + suffix, engineDll);
        start = comma + 1;
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

bool ReplaceAllInPlace(std::string& image, const ReplacementPairs& table)
{
    return TablePass(table).Apply(image);
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
    ReplaceAllInPlace(image, ReplacementTable(profile));

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
