#ifndef _WIN32

#include "PosixFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <random>
#include <utility>

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace PosixFile
{

bool Descriptor::Close()
{
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
}

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const std::size_t chunk = std::min<std::size_t>(size, std::size_t(1) << 30);
        const ssize_t written = ::write(fd, data, chunk);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

bool WriteAllAt(int fd, std::uint64_t offset, std::string_view bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const std::size_t chunk = std::min<std::size_t>(bytes.size() - done, std::size_t(1) << 30);
        const ssize_t written =
            ::pwrite(fd, bytes.data() + done, chunk, static_cast<off_t>(offset + done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += static_cast<std::size_t>(written);
    }
    return true;
}

namespace
{

constexpr std::size_t HugePage = std::size_t(2) << 20;

// Reads into `data` until `size` bytes are there or the file ends; the bytes read, or -1.
ssize_t ReadAllAt(int fd, std::uint64_t offset, char* data, std::size_t size)
{
    std::size_t done = 0;
    while (done < size) {
        const ssize_t got =
            ::pread(fd, data + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return -1;
        if (got == 0)
            break; // shrank meanwhile: what is there
        done += static_cast<std::size_t>(got);
    }
    return static_cast<ssize_t>(done);
}

} // namespace

bool ReadRange(int fd, std::uint64_t from, std::uint64_t to, std::string& bytes)
{
    bytes.resize(to > from ? static_cast<std::size_t>(to - from) : 0);
    const ssize_t got = ReadAllAt(fd, from, bytes.data(), bytes.size());
    if (got < 0)
        return false;
    bytes.resize(static_cast<std::size_t>(got));
    return true;
}

bool LargeBuffer::Worthwhile(std::size_t size)
{
    return size >= HugePage;
}

LargeBuffer::LargeBuffer(std::size_t size)
{
    // Whole huge pages, starting at one: a mapping one huge page larger is cut to fit.
    const std::size_t rounded = (size + HugePage - 1) / HugePage * HugePage;
    if (rounded < size || rounded + HugePage < rounded)
        return;
    void* const mapping = ::mmap(nullptr, rounded + HugePage, PROT_READ | PROT_WRITE,
                                 MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED)
        return;
    const auto address = reinterpret_cast<std::uintptr_t>(mapping);
    const std::uintptr_t aligned = (address + HugePage - 1) / HugePage * HugePage;
    if (aligned > address)
        ::munmap(mapping, aligned - address);
    if (const std::size_t tail = HugePage - (aligned - address))
        ::munmap(reinterpret_cast<void*>(aligned + rounded), tail);
    start_ = reinterpret_cast<char*>(aligned);
    mapped_ = rounded;
    size_ = size;
    // Without huge pages (not offered, or not now) the buffer works all the same.
    ::madvise(start_, mapped_, MADV_HUGEPAGE);
}

LargeBuffer::~LargeBuffer()
{
    Release();
}

LargeBuffer::LargeBuffer(LargeBuffer&& other) noexcept
    : start_(std::exchange(other.start_, nullptr)), mapped_(std::exchange(other.mapped_, 0)),
      size_(std::exchange(other.size_, 0))
{
}

LargeBuffer& LargeBuffer::operator=(LargeBuffer&& other) noexcept
{
    if (this != &other) {
        Release();
        start_ = std::exchange(other.start_, nullptr);
        mapped_ = std::exchange(other.mapped_, 0);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

void LargeBuffer::Release()
{
    if (start_)
        ::munmap(start_, mapped_);
    start_ = nullptr;
    mapped_ = 0;
    size_ = 0;
}

bool ReadRange(int fd, std::uint64_t from, std::uint64_t to, LargeBuffer& bytes)
{
    const ssize_t got = ReadAllAt(fd, from, bytes.Data(),
                                  std::min<std::uint64_t>(bytes.Size(), to > from ? to - from : 0));
    if (got < 0)
        return false;
    bytes.Shorten(static_cast<std::size_t>(got));
    return true;
}

void SyncFolder(const std::string& folder)
{
    Descriptor dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.Valid())
        ::fsync(dir.Get());
}

std::string FolderOf(const std::string& path)
{
    std::string::size_type slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    while (slash > 0 && path[slash - 1] == '/')
        --slash;
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

TemporaryFile::TemporaryFile(const std::string& folder, mode_t mode)
{
    std::random_device random;
    for (int attempt = 0; attempt < 100 && !file_.Valid(); ++attempt) {
        const std::uint64_t number =
            (static_cast<std::uint64_t>(random()) << 32) ^ static_cast<std::uint64_t>(random());
        char name[40];
        std::snprintf(name, sizeof name, "/.qts-%016llx.tmp",
                      static_cast<unsigned long long>(number));
        path_ = folder + name;
        file_.Reset(
            ::open(path_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
        error_ = file_.Valid() ? 0 : errno;
        if (!file_.Valid() && error_ != EEXIST)
            break;
    }
    if (!file_.Valid())
        path_.clear();
}

TemporaryFile::~TemporaryFile()
{
    file_.Close();
    if (!path_.empty())
        ::unlink(path_.c_str());
}

bool TemporaryFile::Finish()
{
    const bool synced = ::fsync(file_.Get()) == 0;
    return file_.Close() && synced;
}

bool TemporaryFile::RenameTo(const std::string& target)
{
    if (::rename(path_.c_str(), target.c_str()) != 0)
        return false;
    path_.clear();
    return true;
}

} // namespace PosixFile

#endif
