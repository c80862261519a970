// The file-system layer on Windows: each operation is the Win32 file function of the same
// meaning, with the paths passed through unchanged.
#ifdef _WIN32

#include "FileSystem.h"

#include <new>
#include <utility>

#include <windows.h>

#include "AsciiCase.h"

namespace FileSystem
{

namespace
{

// Closes a Win32 file handle when it goes out of scope.
class Handle
{
public:
    explicit Handle(HANDLE handle) : handle_(handle) {}
    ~Handle()
    {
        if (Valid())
            ::CloseHandle(handle_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

// A temporary file that is deleted again unless it was renamed into place.
class TemporaryFile
{
public:
    explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
    ~TemporaryFile()
    {
        if (!path_.empty())
            ::DeleteFileA(path_.c_str());
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    const std::string& Path() const { return path_; }
    void Release() { path_.clear(); }

private:
    std::string path_;
};

bool IsSeparator(char c)
{
    return c == '\\' || c == '/';
}

bool IsLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// The root of a drive as GetDriveTypeA wants it ("C:\", "\\server\share\", "\" for the current
// drive), or the empty string when the path names anything below a root.
std::string DriveRoot(const std::string& path)
{
    if (path.size() == 1 && IsSeparator(path[0]))
        return "\\";
    if (path.size() >= 2 && IsLetter(path[0]) && path[1] == ':') {
        if (path.size() == 2 || (path.size() == 3 && IsSeparator(path[2])))
            return path.substr(0, 2) + "\\";
        return std::string();
    }
    if (path.size() > 2 && IsSeparator(path[0]) && IsSeparator(path[1])) {
        const std::size_t serverEnd = path.find_first_of("\\/", 2);
        if (serverEnd == std::string::npos || serverEnd == 2)
            return std::string();
        const std::size_t shareEnd = path.find_first_of("\\/", serverEnd + 1);
        if (shareEnd == serverEnd + 1)
            return std::string();
        if (shareEnd == std::string::npos)
            return path + "\\";
        return shareEnd + 1 == path.size() ? path : std::string();
    }
    return std::string();
}

// The folder a file of that path lives in, for a temporary file beside it.
std::string FolderOf(const std::string& path)
{
    const std::size_t end = path.find_last_of("\\/:");
    if (end == std::string::npos)
        return ".";
    return path.substr(0, end + 1);
}

bool HasWildcard(const std::string& path)
{
    return path.find_first_of("*?") != std::string::npos;
}

// True when nothing stops the file at path from being replaced: it is not a folder, not
// read-only, and no other open holds it without sharing. A missing file can be created.
bool Replaceable(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return true;
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))
        return false;
    const Handle probe(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    return probe.Valid();
}

bool WriteAll(HANDLE file, const std::string& image)
{
    std::size_t done = 0;
    while (done < image.size()) {
        const std::size_t left = image.size() - done;
        const DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
        DWORD written = 0;
        if (!::WriteFile(file, image.data() + done, chunk, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

} // namespace

std::string NativePath(const std::string& windowsPath)
{
    return windowsPath;
}

std::string WindowsPath(const std::string& nativePath)
{
    return nativePath;
}

EntryKind Find(const std::string& path)
{
    if (path.empty() || HasWildcard(path))
        return EntryKind::None;
    WIN32_FIND_DATAA data;
    const HANDLE search = ::FindFirstFileA(path.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE)
        return EntryKind::None;
    ::FindClose(search);
    return (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? EntryKind::Folder : EntryKind::File;
}

bool FileExists(const std::string& path)
{
    return Find(path) == EntryKind::File;
}

unsigned DriveType(const std::string& path)
{
    // Only a drive's root has a drive type; Windows answers "no root directory" for anything
    // below it (some emulations answer for any existing folder, hence the check here).
    const std::string root = DriveRoot(path);
    if (root.empty())
        return DRIVE_NO_ROOT_DIR;
    return ::GetDriveTypeA(root.c_str());
}

bool CreateFolder(const std::string& path)
{
    return ::CreateDirectoryA(path.c_str(), nullptr) != 0;
}

bool RemoveFile(const std::string& path)
{
    return ::DeleteFileA(path.c_str()) != 0;
}

bool RenameFile(const std::string& from, const std::string& to)
{
    if (from == to || !EqualIgnoringAsciiCase(from, to))
        return ::MoveFileA(from.c_str(), to.c_str()) != 0;
    // A new spelling of the same name. Some systems take such a rename as done without changing
    // the name, so it goes through a temporary name in the same folder.
    char temporary[MAX_PATH + 1] = {};
    if (::GetTempFileNameA(FolderOf(from).c_str(), "qts", 0, temporary) == 0)
        return false;
    ::DeleteFileA(temporary);
    if (!::MoveFileA(from.c_str(), temporary))
        return false;
    if (::MoveFileA(temporary, to.c_str()))
        return true;
    ::MoveFileA(temporary, from.c_str());
    return false;
}

bool CopyFileOver(const std::string& from, const std::string& to)
{
    // Windows refuses to overwrite a read-only file; checked here as well so that a process
    // with every right meets the same refusal.
    if (IsReadOnly(to))
        return false;
    return ::CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

bool IsReadOnly(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
}

bool ClearReadOnly(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    DWORD cleared = attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY);
    if (cleared == 0)
        cleared = FILE_ATTRIBUTE_NORMAL;
    return ::SetFileAttributesA(path.c_str(), cleared) != 0;
}

bool SetReadOnly(const std::string& path)
{
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return false;
    const DWORD set =
        (attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_NORMAL)) | FILE_ATTRIBUTE_READONLY;
    return ::SetFileAttributesA(path.c_str(), set) != 0;
}

ReadResult ReadWholeFile(const std::string& path, std::string& image)
{
    const Handle file(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size;
    if (!file.Valid() || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 0)
        return ReadResult::CannotOpen;

    // A 32-bit program cannot hold every file whole. A length beyond what a string can hold must
    // not wrap round to a small one (a 4 GiB + 16 bytes file would come back as its first 16
    // bytes, complete as far as anyone could tell): such a file cannot be read whole.
    image.clear();
    if (static_cast<unsigned long long>(size.QuadPart) > image.max_size())
        return ReadResult::ShortRead;
    try {
        image.assign(static_cast<std::size_t>(size.QuadPart), '\0');
    } catch (const std::bad_alloc&) {
        return ReadResult::ShortRead;
    }
    std::size_t done = 0;
    while (done < image.size()) {
        const std::size_t left = image.size() - done;
        const DWORD chunk = left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left);
        DWORD got = 0;
        if (!::ReadFile(file.Get(), &image[done], chunk, &got, nullptr) || got == 0)
            break;
        done += got;
    }
    if (done < image.size()) {
        image.resize(done);
        return ReadResult::ShortRead;
    }
    return ReadResult::Ok;
}

WriteResult ReplaceWholeFile(const std::string& path, const std::string& image)
{
    if (path.empty() || !Replaceable(path))
        return WriteResult::CannotCreate;

    char name[MAX_PATH + 1] = {};
    if (::GetTempFileNameA(FolderOf(path).c_str(), "qts", 0, name) == 0)
        return WriteResult::CannotCreate;
    TemporaryFile temporary(name);
    {
        const Handle file(::CreateFileA(temporary.Path().c_str(), GENERIC_WRITE, 0, nullptr,
                                        CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid())
            return WriteResult::CannotCreate;
        if (!WriteAll(file.Get(), image) || !::FlushFileBuffers(file.Get()))
            return WriteResult::ShortWrite;
    }
    if (!::MoveFileExA(temporary.Path().c_str(), path.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return WriteResult::CannotCreate;
    temporary.Release();
    return WriteResult::Ok;
}

} // namespace FileSystem

#endif // _WIN32
