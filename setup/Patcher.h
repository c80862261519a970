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

using ReplacementPairs = std::vector<std::pair<std::string, std::string>>;

// The 17 (search, replacement) pairs, in order, for the profile's engine and former suffixes.
ReplacementPairs ReplacementTable(const EnvironmentProfile& profile);

// Overwrites every occurrence of search in image, with the result of rescanning from the start
// after every replacement. Pairs of unequal length, and equal texts, leave the image alone.
void ReplaceInPlace(std::string& image, const std::string& search, const std::string& replacement);

// Gives image exactly the bytes that ReplaceInPlace with each pair of table in turn would give.
// That takes one pass over the image, except where a replacement of the table could, with the
// bytes around it, spell a name that the same or a later pair looks for: then the pairs are
// applied one after the other. Returns true when one pass did it.
bool ReplaceAllInPlace(std::string& image, const ReplacementPairs& table);

// Reads source, applies the replacement table, writes target; logs each step. Throws EFileError.
void PatchFile(const std::string& displayName, const std::string& source, const std::string& target,
               const EnvironmentProfile& profile, SetupReport& report);
