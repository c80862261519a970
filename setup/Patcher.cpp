#include "Patcher.h"

#include <algorithm>
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
    for (const auto& [search, replacement] : ReplacementTable(profile))
        ReplaceInPlace(image, search, replacement);

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
