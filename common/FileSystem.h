// The file-system layer (names avoid the Win32 macros DeleteFile, MoveFile, CopyFile): every
// file the program touches goes through these functions. Paths are Windows paths
// ("C:\Program Files\x", "\\server\share\x", relative paths); on Windows they go to the Win32
// file functions, elsewhere they are turned into native paths through the drive table (see
// NativePath) at the moment a file is touched.
//
// Contract shared by both sides:
// - "Read-only" is the read-only attribute on Windows and a clear owner write bit elsewhere.
//   The layer tests it itself where Windows refuses (delete, copy over, replace), so a process
//   running with every right (root) meets the same failures as any user.
// - A file "in use" is one another open holds without sharing. Elsewhere that is a file on
//   which an advisory flock is held (ReadWholeFile, ReplaceWholeFile and CopyFileOver take
//   one while they work); delete, rename, copy over and replace fail on such a file.
// - Drive roots ("C:", "C:\", "\\server\share") are never created, removed or renamed.
// - No function throws; failures are results.
#pragma once

#include <string>

namespace FileSystem
{

// What a search for one path finds (FindFirstFileA semantics: no wildcards are used here).
// Anything that is not a folder counts as a file.
enum class EntryKind { None, File, Folder };
EntryKind Find(const std::string& path);

// True when a file (not a folder) of that name exists.
bool FileExists(const std::string& path);

// The drive type when the path names the root of a drive ("C:\", "\\server\share\"; "C:" is
// taken as "C:\"),
// GetDriveTypeA numbering: 3 fixed, 4 remote (a network share). A drive letter without a
// table entry, a share that does not exist, and any path that is not a drive root give 1
// (no root directory).
unsigned DriveType(const std::string& path);

// CreateDirectoryA: the parent must exist; fails when anything of that name exists.
bool CreateFolder(const std::string& path);
// DeleteFileA: fails on a read-only, missing or in-use file, and on a folder.
bool RemoveFile(const std::string& path);
// MoveFileA: moves a file or folder; never replaces an existing entry; fails when from is
// missing or in use. Names differing only in letter case are one file, so renaming "a.txt"
// to "A.TXT" changes the letter case of its name.
bool RenameFile(const std::string& from, const std::string& to);
// CopyFileA with overwriting allowed: the target gets the source's bytes, read-only state and
// modification time. Fails on a missing or in-use source, and on a read-only, in-use or folder
// target; a failed copy leaves an existing target as it was.
bool CopyFileOver(const std::string& from, const std::string& to);
bool IsReadOnly(const std::string& path);    // false for a missing file
bool ClearReadOnly(const std::string& path); // keeps the other attributes
bool SetReadOnly(const std::string& path);   // for tests and tools

// Reads a whole file, opened for reading without sharing: CannotOpen for a missing file, a
// folder, or a file in use; ShortRead when fewer bytes arrive than the file's length.
enum class ReadResult { Ok, CannotOpen, ShortRead };
ReadResult ReadWholeFile(const std::string& path, std::string& image);

// Replaces the file at path by image: written to a temporary file in the same folder and renamed
// over the target only when complete, so a failure leaves the old file as it was and leaves no
// temporary file behind. A read-only or busy target, a folder of that name, or a missing folder
// gives CannotCreate; a write that stops short (disk full) gives ShortWrite. The new file has
// normal attributes.
enum class WriteResult { Ok, CannotCreate, ShortWrite };
WriteResult ReplaceWholeFile(const std::string& path, const std::string& image);

// The native path for a Windows path (identity on Windows); "\" becomes "/" once the drive is
// resolved. A drive letter "X:" resolves through the drive table: the folder $QTS_DOSDEVICES
// (default ${XDG_DATA_HOME:-$HOME/.local/share}/quillon-tessarium/dosdevices) with entries "c:",
// "d:" ... (folders or symbolic links); a letter without an entry is a drive that does not exist.
// A path that starts with one "\" is on the current drive, which is always C: here (so "\etc" is
// C:\etc, never the host's /etc); only a path written with "/" first is native. A network path
// "\\server\share\x" resolves through the entry "unc/server/share" of the same table. "." and
// ".." are resolved by name and never climb above the drive root. A component missing under its
// exact name is matched ignoring ASCII case. Relative paths stay relative to the current
// directory. A path that cannot name anything (an empty path, a network path without a share)
// gives the empty string.
std::string NativePath(const std::string& windowsPath);

// The other way, for what a file or folder dialog returns (identity on Windows): a native
// absolute path inside the folder of a drive of the table (links followed on both sides) is the
// Windows path on that drive ("C:\db\x.mdb", the drive root "C:\"); where drives nest, the
// deepest one, then the first letter, wins. Any other path comes back as it is.
std::string WindowsPath(const std::string& nativePath);

} // namespace FileSystem
