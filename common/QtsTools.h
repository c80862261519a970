// Small text and path functions shared by the setup operations. Strings are 8-bit text;
// positions are 1-based and 0 means "not found". Paths are Windows paths ("\" separators);
// "/" counts as a separator too wherever a path is split, so native paths work as well.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>

// An internal guard that failed. The message reads "%s (%s, line %d)": what went wrong, the
// source unit and the line of the guard.
class EAssertionFailed : public std::runtime_error
{
public:
    EAssertionFailed(const std::string& message, const std::string& unit, int line);
};

// The text with every occurrence of pattern replaced, case-sensitive, left to right and
// non-overlapping. An empty pattern, or a pattern equal to its replacement, changes nothing.
std::string ReplaceAll(const std::string& text, const std::string& pattern,
                       const std::string& replacement);
// Position of character at or after start, or 0. The scan ends at the first NUL byte.
// start must lie in 1 .. length + 1; other starts give 0.
std::size_t CharPosFrom(const std::string& text, char character, std::size_t start);
// Position of pattern in text at or after start (byte for byte), or 0. An empty pattern or
// text, a start of 0 or a start beyond the end of the text give 0.
std::size_t PosFrom(const std::string& pattern, const std::string& text, std::size_t start);
// The same search with the text first and the pattern second.
std::size_t PosFromText(const std::string& text, const std::string& pattern, std::size_t start);
std::string Trim(const std::string& text); // removes codes 0..32 (as unsigned bytes) at both ends
// For "name=value": the trimmed part before the first "=" (the whole item trimmed without "=").
std::string PairName(const std::string& item);
// For "name=value": the trimmed part after the first "=" (empty without "=").
std::string PairValue(const std::string& item);
// The Windows system directory without a trailing backslash ("C:\windows\system32" on systems
// without one).
std::string SystemDirectory();
// The path with exactly one trailing backslash and every run of backslashes after the first
// character shrunk to one (so "\\server" keeps its two). Empty stays empty.
std::string NormalizeDirPath(const std::string& path);
// Creates every missing folder of path below its drive part ("C:" or "\\server\share", never
// created itself). True when all of them exist afterwards; stops at the first folder that
// cannot be created. Relative paths are taken from the current directory.
bool CreatePath(const std::string& path);
// True when path names an existing folder or the root of an existing drive.
bool FolderExists(const std::string& path);

// The file name part of a path: the text after the last "\", "/" or ":".
std::string FileNamePart(const std::string& path);
// The folder part of a path: everything up to and including the last "\", "/" or ":".
std::string FolderPart(const std::string& path);
