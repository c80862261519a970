#include "QtsTools.h"

#include <cstdio>
#include <vector>

#include "FileSystem.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace
{

std::string AssertionText(const std::string& message, const std::string& unit, int line)
{
    const char* const format = "%s (%s, line %d)";
    const int size = std::snprintf(nullptr, 0, format, message.c_str(), unit.c_str(), line);
    std::vector<char> buffer(static_cast<std::size_t>(size) + 1);
    std::snprintf(buffer.data(), buffer.size(), format, message.c_str(), unit.c_str(), line);
    return std::string(buffer.data(), static_cast<std::size_t>(size));
}

bool IsBlank(char c)
{
    return static_cast<unsigned char>(c) <= 32;
}

bool IsSeparator(char c)
{
    return c == '\\' || c == '/' || c == ':';
}

// The index just behind the last separator, or 0 when the path has none.
std::size_t NameStart(const std::string& path)
{
    for (std::size_t i = path.size(); i > 0; --i)
        if (IsSeparator(path[i - 1]))
            return i;
    return 0;
}

// Same-length replacement of a single character, on a private copy. Every byte is scanned
// (NUL bytes included), so this route finds exactly what the general route finds.
std::string ReplaceCharacter(std::string text, char pattern, char replacement)
{
    for (char& c : text)
        if (c == pattern)
            c = replacement;
    return text;
}

// Same-length replacement of a longer pattern: overwrite a private copy, continuing the
// search just behind each replaced occurrence.
std::string ReplaceSameLength(std::string text, const std::string& pattern,
                              const std::string& replacement)
{
    std::size_t position = PosFrom(pattern, text, 1);
    while (position != 0) {
        text.replace(position - 1, replacement.size(), replacement);
        position = PosFrom(pattern, text, position + pattern.size());
    }
    return text;
}

// Different lengths: build the result anew from the pieces between the occurrences.
std::string ReplaceBuilding(const std::string& text, const std::string& pattern,
                            const std::string& replacement)
{
    std::string result;
    result.reserve(text.size());
    std::size_t current = 1;
    std::size_t position = PosFrom(pattern, text, current);
    while (position != 0) {
        result.append(text, current - 1, position - current);
        result += replacement;
        current = position + pattern.size();
        position = PosFrom(pattern, text, current);
    }
    if (current <= text.size())
        result.append(text, current - 1, std::string::npos);
    return result;
}

} // namespace

EAssertionFailed::EAssertionFailed(const std::string& message, const std::string& unit, int line)
    : std::runtime_error(AssertionText(message, unit, line))
{
}

std::string ReplaceAll(const std::string& text, const std::string& pattern,
                       const std::string& replacement)
{
    if (pattern == replacement || pattern.empty())
        return text;
    if (pattern.size() == replacement.size()) {
        if (pattern.size() == 1)
            return ReplaceCharacter(text, pattern[0], replacement[0]);
        return ReplaceSameLength(text, pattern, replacement);
    }
    return ReplaceBuilding(text, pattern, replacement);
}

std::size_t CharPosFrom(const std::string& text, char character, std::size_t start)
{
    if (text.empty() || start < 1 || start > text.size() + 1)
        return 0;
    for (std::size_t i = start - 1; i < text.size() && text[i] != '\0'; ++i)
        if (text[i] == character)
            return i + 1;
    return 0;
}

std::size_t PosFrom(const std::string& pattern, const std::string& text, std::size_t start)
{
    if (pattern.empty() || text.empty() || start < 1 || start > text.size())
        return 0;
    const std::size_t found = text.find(pattern, start - 1);
    return found == std::string::npos ? 0 : found + 1;
}

std::size_t PosFromText(const std::string& text, const std::string& pattern, std::size_t start)
{
    return PosFrom(pattern, text, start);
}

std::string Trim(const std::string& text)
{
    std::size_t first = 0;
    std::size_t last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

std::string PairName(const std::string& item)
{
    const std::size_t equals = item.find('=');
    return Trim(equals == std::string::npos ? item : item.substr(0, equals));
}

std::string PairValue(const std::string& item)
{
    const std::size_t equals = item.find('=');
    return equals == std::string::npos ? std::string() : Trim(item.substr(equals + 1));
}

std::string SystemDirectory()
{
#ifdef _WIN32
    char buffer[255] = {};
    const UINT length = GetSystemDirectoryA(buffer, sizeof buffer);
    // A directory that does not fit is reported by its required size and nothing is written;
    // ask again with room enough rather than hand back an empty or cut text.
    if (length >= sizeof buffer) {
        std::vector<char> large(length + 1);
        const UINT written = GetSystemDirectoryA(large.data(), static_cast<UINT>(large.size()));
        return written < large.size() ? std::string(large.data()) : std::string();
    }
    return std::string(buffer);
#else
    return "C:\\windows\\system32";
#endif
}

std::string NormalizeDirPath(const std::string& path)
{
    if (path.empty())
        return std::string();
    std::string withSlash = path;
    if (withSlash.back() != '\\')
        withSlash += '\\';
    // A backslash that follows another one is dropped, except that the first two characters
    // are never a pair (a network path keeps its leading "\\").
    std::string result;
    result.reserve(withSlash.size());
    for (const char c : withSlash) {
        if (c == '\\' && result.size() >= 2 && result.back() == '\\')
            continue;
        result += c;
    }
    return result;
}

bool CreatePath(const std::string& path)
{
    const std::string normalized = NormalizeDirPath(path);
    std::string done;
    std::string remaining = normalized;
    if (normalized.size() >= 2 && normalized[1] == ':') {
        done = normalized.substr(0, 2);
        remaining = normalized.substr(2);
    } else if (normalized.compare(0, 2, "\\\\") == 0) {
        // \\server\share: up to, not including, the backslash behind the share name.
        const std::size_t serverEnd = normalized.find('\\', 2);
        const std::size_t shareEnd =
            serverEnd == std::string::npos ? serverEnd : normalized.find('\\', serverEnd + 1);
        const std::size_t driveEnd = shareEnd == std::string::npos ? normalized.size() : shareEnd;
        done = normalized.substr(0, driveEnd);
        remaining = normalized.substr(driveEnd);
    }
    if (!remaining.empty() && remaining[0] == '\\') {
        done += '\\';
        remaining.erase(0, 1);
    }

    bool result = true;
    while (result && !remaining.empty()) {
        const std::size_t slash = remaining.find('\\');
        if (slash == std::string::npos)
            throw EAssertionFailed("QuSysTools.CreatePath: No \\ found", "QtsTools", 294);
        done += remaining.substr(0, slash + 1);
        remaining.erase(0, slash + 1);
        const std::string folder = done.substr(0, done.size() - 1);
        if (!FolderExists(folder))
            result = FileSystem::CreateFolder(folder);
    }
    return result;
}

bool FolderExists(const std::string& path)
{
    if (FileSystem::Find(path) == FileSystem::EntryKind::Folder)
        return true;
    const unsigned type = FileSystem::DriveType(path);
    return type != 0 && type != 1;
}

std::string FileNamePart(const std::string& path)
{
    return path.substr(NameStart(path));
}

std::string FolderPart(const std::string& path)
{
    return path.substr(0, NameStart(path));
}
