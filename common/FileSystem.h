// The file-system layer (names avoid the Win32 macros DeleteFile, MoveFile, CopyFile): every file the program touches goes through these functions. Paths are
// Windows paths ("C:\Program Files\x", "\\server\share\x", relative paths); on Windows they go
// to the Win32 file functions, elsewhere they are turned into native paths through the drive
// table (see NativePath) at the moment a file is touched.
#pragma once

#include <string>

namespace FileSystem {

// What a search for one path finds (FindFirstFileA semantics: no wildcards are used here).
enum class EntryKind { None, File, Folder };
EntryKind Find(const std::string& path);

// True when a file (not a folder) of that name exists.
bool FileExists(const std::string& path);

// The drive type of the root of the path's drive (GetDriveTypeA numbering): 0 unknown,
// 1 no root directory, 3 fixed, ... A drive letter without a table entry gives 1.
unsigned DriveType(const std::string& path);

bool CreateFolder(const std::string& path);             // CreateDirectoryA: parent must exist
bool RemoveFile(const std::string& path);   // DeleteFileA: fails on a read-only or missing file
// MoveFileA: never replaces an existing file; names differing only in letter case are one file.
bool RenameFile(const std::string& from, const std::string& to);
// CopyFileA with overwriting allowed: fails on a read-only target.
bool CopyFileOver(const std::string& from, const std::string& to);
bool IsReadOnly(const std::string& path);
bool ClearReadOnly(const std::string& path);            // keeps the other attributes
bool SetReadOnly(const std::string& path);              // for tests and tools

// Reads a whole file, opened for reading without sharing.
enum class ReadResult { Ok, CannotOpen, ShortRead };
ReadResult ReadWholeFile(const std::string& path, std::string& image);

// Replaces the file at path by image: written to a temporary file in the same folder and renamed
// over the target only when complete, so a failure leaves the old file as it was. A read-only or
// busy target, or a missing folder, gives CannotCreate.
enum class WriteResult { Ok, CannotCreate, ShortWrite };
WriteResult ReplaceWholeFile(const std::string& path, const std::string& image);

// The native path for a Windows path (identity on Windows). A drive letter resolves through the
// drive table $QTS_DOSDEVICES; a component missing under its exact name is matched ignoring
// ASCII case. A path that already starts with "/" is native.
std::string NativePath(const std::string& windowsPath);

} // namespace FileSystem
