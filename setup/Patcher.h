// Writes modified copies of files in which the BDE's DLL names and registry fragment name the
// engine instead; never changes a file's length.
#pragma once

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "EnvironmentProfile.h"
#include "SetupReport.h"

// A file that cannot be opened, read, created or written.
class EFileError : public std::runtime_error
{
public:
    explicit EFileError(const std::string& message) : std::runtime_error(message) {}
};

// The 17 (search, replacement) pairs, in order, for the profile's engine and former suffixes.
std::vector<std::pair<std::string, std::string>>
ReplacementTable(const EnvironmentProfile& profile);

// Overwrites every occurrence of search in image, with the result of rescanning from the start
// after every replacement. Pairs of unequal length, and equal texts, leave the image alone.
void ReplaceInPlace(std::string& image, const std::string& search, const std::string& replacement);

using ReplacementPairs = std::vector<std::pair<std::string, std::string>>;

// True when no search text can overlap another occurrence of a search text, and no replacement
// can form or touch an occurrence of its own or a later search text. Then every pair finds
// exactly the occurrences of the untouched image, and all pairs can be done block by block.
bool ReplacementsAreIndependent(const ReplacementPairs& table);

// Applies ReplaceInPlace with every pair of the table in order, with the same result; when the
// table's replacements are independent, in cache-sized blocks rather than one pass per pair.
void ReplaceTableInPlace(std::string& image, const ReplacementPairs& table);

// Reads source, applies the replacement table, writes target; logs each step. Throws EFileError.
void PatchFile(const std::string& displayName, const std::string& source, const std::string& target,
               const EnvironmentProfile& profile, SetupReport& report);
