// PosixFile: the low-level file pieces that the file registry store and the file-system layer
// share on systems without Win32: a descriptor that closes itself, writes and reads that go on
// until every byte is through, and a new file written beside its target and renamed over it.
#pragma once

#ifndef _WIN32

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <sys/types.h>

namespace PosixFile
{

// An open file descriptor, closed when the object goes.
class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() { Close(); }
    Descriptor(Descriptor&& other) noexcept : fd_(other.Release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    void Reset(int fd = -1)
    {
        Close();
        fd_ = fd;
    }
    // Gives the descriptor up without closing it.
    int Release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes now and tells whether the close succeeded (a late write error shows up here).
    bool Close();

private:
    int fd_;
};

// Writes every byte at the current offset (write) or at an offset (pwrite), going on after
// short writes and interruptions. False on the first error.
bool WriteAll(int fd, const char* data, std::size_t size);
bool WriteAllAt(int fd, std::uint64_t offset, std::string_view bytes);

// Reads the bytes from offset `from` up to `to`: fewer when the file has become shorter.
bool ReadRange(int fd, std::uint64_t from, std::uint64_t to, std::string& bytes);

// Memory for reading a large file whole, in huge pages where the system grants them: in pages of
// the usual size every one of them costs a fault of its own when first written, which made up
// much of the time to read a large registry file. Anonymous memory: what the file does later
// cannot touch it.
class LargeBuffer
{
public:
    // Whether `size` bytes are worth a buffer of their own (at least one huge page).
    static bool Worthwhile(std::size_t size);

    LargeBuffer() = default;
    // Room for `size` bytes; not Valid() when the memory cannot be had.
    explicit LargeBuffer(std::size_t size);
    ~LargeBuffer();
    LargeBuffer(LargeBuffer&& other) noexcept;
    LargeBuffer& operator=(LargeBuffer&& other) noexcept;
    LargeBuffer(const LargeBuffer&) = delete;
    LargeBuffer& operator=(const LargeBuffer&) = delete;

    bool Valid() const { return start_ != nullptr; }
    char* Data() const { return start_; }
    std::size_t Size() const { return size_; }
    // Fewer bytes than asked for were filled.
    void Shorten(std::size_t size) { size_ = std::min(size, size_); }

private:
    void Release();

    char* start_ = nullptr;
    std::size_t mapped_ = 0;
    std::size_t size_ = 0;
};

// Reads the bytes from offset `from` up to `to` into a buffer of that size, which it shortens
// when the file has become shorter.
bool ReadRange(int fd, std::uint64_t from, std::uint64_t to, LargeBuffer& bytes);

// Flushes a folder's entries to the disk, after a file was renamed into it.
void SyncFolder(const std::string& folder);

// The folder part of a native path: "." for a bare name, "/" for a name in the root.
std::string FolderOf(const std::string& path);

// A new file in a folder under a fresh random name, created exclusively: never through a name
// that exists already, nor through a link. It is removed again unless it was renamed into place.
class TemporaryFile
{
public:
    // `mode`: the permissions asked for at creation (the umask applies).
    explicit TemporaryFile(const std::string& folder, mode_t mode = 0666);
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    bool Valid() const { return file_.Valid(); }
    int Get() const { return file_.Get(); }
    // Why the file could not be created (an errno value), when it is not valid.
    int Error() const { return error_; }
    // Flushes the content to the disk and closes the file; false when any of it failed.
    bool Finish();
    // Moves the finished file over target (a link there is replaced, never followed);
    // afterwards there is nothing left to clean up.
    bool RenameTo(const std::string& target);

private:
    Descriptor file_;
    std::string path_;
    int error_ = 0;
};

} // namespace PosixFile

#endif
