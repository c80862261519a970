// Small text and path functions shared by the setup operations. Strings are 8-bit text;
// positions are 1-based and 0 means "not found".
#pragma once

#include <cstddef>
#include <string>

std::string ReplaceAll(const std::string& text, const std::string& pattern,
                       const std::string& replacement);
std::size_t CharPosFrom(const std::string& text, char character, std::size_t start);
std::size_t PosFrom(const std::string& pattern, const std::string& text, std::size_t start);
// The same search with the text first and the pattern second.
std::size_t PosFromText(const std::string& text, const std::string& pattern, std::size_t start);
std::string Trim(const std::string& text); // removes codes 0..32 (as unsigned bytes) at both ends
std::string PairName(const std::string& item);
std::string PairValue(const std::string& item);
std::string SystemDirectory();
std::string NormalizeDirPath(const std::string& path);
bool CreatePath(const std::string& path);
bool FolderExists(const std::string& path);

// The file name part of a path: the text after the last "\", "/" or ":".
std::string FileNamePart(const std::string& path);
// The folder part of a path: everything up to and including the last "\", "/" or ":".
std::string FolderPart(const std::string& path);
