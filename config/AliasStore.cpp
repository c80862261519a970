#include "AliasStore.h"

#include <iterator>
#include <utility>

#include "AsciiCase.h"

const char* const AliasesKeyPath = "\\Software\\Quillon\\Tessarium\\Configuration\\Aliases";

namespace
{

const char* const PathValue = "Path";

// The flags in the order a save writes them. A load reads "Exclusive" before "Read Only"; a
// save writes them the other way round, and both orders are kept as they are.
struct FlagField {
    const char* valueName;
    bool AliasSettings::*field;
};
const FlagField SaveFlagOrder[] = {
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

// The texts after "Path", in the order both a load and a save take them.
struct TextField {
    const char* valueName;
    std::string AliasSettings::*field;
};
const TextField TextOrder[] = {
    {"SystemDb", &AliasSettings::SystemDb},
    {"User Name", &AliasSettings::UserName},
    {"Connect", &AliasSettings::Connect},
    {"Prefetch Threshold", &AliasSettings::PrefetchThreshold},
    {"Prefetch Reset Every", &AliasSettings::PrefetchResetEvery},
};

RegistryRoot RootOf(AliasScope scope)
{
    return scope == AliasScope::Global ? HKEY_LOCAL_MACHINE_ROOT : HKEY_CURRENT_USER_ROOT;
}

std::string AliasKeyPath(const std::string& name)
{
    return std::string(AliasesKeyPath) + "\\" + name;
}

// On only for "TRUE" in any mix of letter case; " true", "1" and "Yes" are off.
bool FlagFromText(const std::string& text)
{
    return EqualIgnoringAsciiCase(text, "TRUE");
}

bool ReadFlag(TRegistry& registry, const char* valueName)
{
    return FlagFromText(registry.ReadText(valueName));
}

} // namespace

bool AliasSettings::operator==(const AliasSettings& other) const
{
    for (const FlagField& flag : SaveFlagOrder) {
        if (this->*flag.field != other.*flag.field)
            return false;
    }
    for (const TextField& text : TextOrder) {
        if (this->*text.field != other.*text.field)
            return false;
    }
    return Path == other.Path;
}

void AliasStore::ListAliases(AliasScope scope,
                             std::vector<std::pair<std::string, std::string>>& listed)
{
    listed.clear();
    registry_.SelectRoot(RootOf(scope));
    const TRegistry::Batch batch(registry_);
    const std::string aliasesKey = AliasesKeyPath;
    // Listing creates the scope's empty Aliases key when it is missing and may be created.
    if (!registry_.OpenKeyPath(aliasesKey, true))
        return;
    std::vector<std::string> names;
    registry_.ListSubkeys(names);
    listed.reserve(names.size());
    // After each alias the Aliases key is opened again. Should it be gone meanwhile, so are its
    // aliases: the rest are listed without a path rather than looked up from the root.
    bool onAliasesKey = true;
    const auto backToAliasesKey = [&] {
        registry_.CloseCurrentKey();
        onAliasesKey = registry_.OpenKeyPath(aliasesKey, false);
    };
    for (std::string& name : names) {
        std::string path;
        // An empty name would open the Aliases key itself.
        if (onAliasesKey && !name.empty() && registry_.OpenKeyPath(name, false)) {
            try {
                path = registry_.ReadText(PathValue);
            } catch (...) {
                // The aliases listed so far stay listed.
                backToAliasesKey();
                throw;
            }
            backToAliasesKey();
        }
        listed.emplace_back(std::move(name), std::move(path));
    }
    registry_.CloseCurrentKey();
}

std::optional<AliasSettings> AliasStore::LoadAlias(const std::string& name)
{
    AliasSettings settings;
    if (!LoadAlias(name, settings))
        return std::nullopt;
    return settings;
}

bool AliasStore::LoadAlias(const std::string& name, AliasSettings& settings)
{
    const TRegistry::Batch batch(registry_);
    if (name.empty() || !registry_.OpenKeyPath(AliasKeyPath(name), false))
        return false;
    settings.Path = registry_.ReadText(PathValue);
    // "Exclusive" first, then "Read Only", then the other flags in their save order.
    settings.Exclusive = ReadFlag(registry_, "Exclusive");
    settings.ReadOnly = ReadFlag(registry_, "Read Only");
    for (auto flag = std::next(std::begin(SaveFlagOrder), 2); flag != std::end(SaveFlagOrder);
         ++flag)
        settings.*flag->field = ReadFlag(registry_, flag->valueName);
    for (const TextField& text : TextOrder)
        settings.*text.field = registry_.ReadText(text.valueName);
    // The alias key stays open until the next operation opens another.
    return true;
}

bool AliasStore::SaveAlias(const std::string& name, const AliasSettings& settings)
{
    const TRegistry::Batch batch(registry_);
    if (name.empty() || !registry_.OpenKeyPath(AliasKeyPath(name), true))
        return false;
    // An alias key never holds an empty string or an explicit false: off flags and empty texts
    // are removed, whether they were there or not.
    for (const FlagField& flag : SaveFlagOrder) {
        if (settings.*flag.field)
            registry_.WriteText(flag.valueName, "True");
        else
            registry_.RemoveValue(flag.valueName);
    }
    auto writeText = [this](const char* valueName, const std::string& text) {
        if (text.empty())
            registry_.RemoveValue(valueName);
        else
            registry_.WriteText(valueName, text);
    };
    writeText(PathValue, settings.Path);
    for (const TextField& text : TextOrder)
        writeText(text.valueName, settings.*text.field);
    return true;
}

void AliasStore::RenameAlias(const std::string& oldName, const std::string& newName)
{
    // An alias without a name has no key yet; a move onto the empty name would address the
    // Aliases key itself.
    if (oldName.empty() || newName.empty())
        return;
    if (!registry_.OpenKeyPath(AliasKeyPath(oldName), false))
        return;
    // Moves only when the old key exists and no key of the new name does, so a rename onto
    // another alias, or onto the same name in other letter case, changes nothing.
    registry_.MoveKeyTree(AliasKeyPath(oldName), AliasKeyPath(newName), true);
}

bool AliasStore::DeleteAlias(const std::string& name)
{
    if (name.empty())
        return false;
    return registry_.RemoveKeyTree(AliasKeyPath(name));
}
