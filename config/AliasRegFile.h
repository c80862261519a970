// Aliases as a REGEDIT4 file: written from a scope's Aliases key so that regedit (or an import)
// puts them back under the same root, and such a file checked and applied to the Aliases key.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "AliasStore.h"

// The REGEDIT4 text of the aliases named (every alias of the scope when `names` is empty), in
// the alias name order, each with all its values and subkeys as stored: types and bytes are
// kept, so importing the text gives the same aliases. Named aliases that the scope does not hold
// are put in `missing` and left out. Throws ERegistryException when a key or value cannot be
// read.
std::string ExportAliases(AliasScope scope, const std::vector<std::string>& names,
                          std::vector<std::string>& missing);

// Why a file was refused: its line (1-based) and what is wrong there. `otherScope` is set when
// the key would be an alias key of the other scope.
struct AliasFileProblem {
    std::size_t line = 0;
    std::string message;
    std::optional<AliasScope> otherScope;
};

// A REGEDIT4 alias file, read completely before anything is written. It may create alias keys
// and subkeys below them, set and delete values there, and delete alias keys ([-...]); a key or
// value anywhere else, the Aliases key itself included, refuses the whole file.
class AliasImport
{
public:
    // False, with Problem() set, when the text does not parse or leaves the scope's Aliases key.
    bool Parse(const std::string& text, AliasScope scope);
    const AliasFileProblem& Problem() const { return problem_; }
    // The aliases the file touches, in the order they first appear.
    const std::vector<std::string>& AliasNames() const { return aliases_; }

    // Writes what Parse read, in the file's order. Throws ERegistryException when a key cannot
    // be created or a value cannot be written; what came before stays written.
    void Apply() const;

private:
    struct Step {
        enum Kind { OpenKey, DeleteKey, SetValue, DeleteValue } kind;
        std::string key; // below the root, no leading backslash
        std::string name;
        std::uint32_t type = 0;
        std::string data;
    };
    bool Fail(std::size_t line, std::string message);

    AliasScope scope_ = AliasScope::Global;
    std::vector<Step> steps_;
    std::vector<std::string> aliases_;
    AliasFileProblem problem_;
};
