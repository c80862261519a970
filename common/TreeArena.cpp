#ifndef _WIN32

#include "TreeArena.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define QTS_ARENA_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QTS_ARENA_CHECKED 1
#endif
#endif
#ifdef QTS_ARENA_CHECKED
#include <sanitizer/asan_interface.h>
#endif

namespace RegistryFile
{

namespace
{

// Under AddressSanitizer, memory of the arena that no one holds may not be touched: a piece used
// after it was given back is found as it would be with the C library's heap.
void MarkUsable(const void* memory, std::size_t bytes, bool usable)
{
#ifdef QTS_ARENA_CHECKED
    if (usable)
        ASAN_UNPOISON_MEMORY_REGION(memory, bytes);
    else
        ASAN_POISON_MEMORY_REGION(memory, bytes);
#else
    static_cast<void>(memory);
    static_cast<void>(bytes);
    static_cast<void>(usable);
#endif
}

// A small tree grows in blocks of doubling size, from the first one up to the largest one.
constexpr std::size_t FirstBlock = 16 * 1024;
constexpr std::size_t LargestBlock = 2 * 1024 * 1024;

} // namespace

void* TreeArena::Allocate(std::size_t bytes)
{
    const std::size_t units = std::max<std::size_t>(1, (bytes + Unit - 1) / Unit);
    if (units < kept_.size() && kept_[units]) {
        void* piece = kept_[units];
        std::memcpy(&kept_[units], piece, sizeof(void*));
        MarkUsable(piece, units * Unit, true);
        return piece;
    }
    if (units > SIZE_MAX / Unit)
        throw std::bad_alloc();
    const std::size_t size = units * Unit;
    if (size > left_)
        NewBlock(size);
    void* piece = next_;
    next_ += size;
    left_ -= size;
    MarkUsable(piece, size, true);
    return piece;
}

void TreeArena::Free(void* piece, std::size_t bytes)
{
    // Larger pieces stay where they are until the arena goes.
    const std::size_t units = std::max<std::size_t>(1, (bytes + Unit - 1) / Unit);
    if (!piece || units >= kept_.size())
        return;
    std::memcpy(piece, &kept_[units], sizeof(void*));
    kept_[units] = piece;
    MarkUsable(static_cast<char*>(piece) + sizeof(void*), units * Unit - sizeof(void*), false);
}

void TreeArena::NewBlock(std::size_t least)
{
    std::size_t size = std::max({least, expected_, std::clamp(total_, FirstBlock, LargestBlock)});
    expected_ = 0;
    Block block;
    // A block of huge pages costs one page fault where pages of the usual size cost hundreds.
    if (PosixFile::LargeBuffer::Worthwhile(size)) {
        size = (size + LargestBlock - 1) / LargestBlock * LargestBlock;
        block.large = PosixFile::LargeBuffer(size);
    }
    char* start = block.large.Valid() ? block.large.Data() : nullptr;
    if (!start) {
        block.small.reset(static_cast<char*>(std::malloc(size)));
        start = block.small.get();
        if (!start)
            throw std::bad_alloc();
    }
    block.start = start;
    block.size = size;
    MarkUsable(start, size, false);
    blocks_.push_back(std::move(block));
    // What was left of the block before stays unused: it is less than the piece asked for.
    next_ = start;
    left_ = size;
    total_ += size;
}

TreeArena::~TreeArena()
{
    Release();
}

void TreeArena::Release()
{
    for (const Block& block : blocks_)
        MarkUsable(block.start, block.size, true);
    blocks_.clear();
    next_ = nullptr;
    left_ = 0;
    total_ = 0;
    expected_ = 0;
    kept_.fill(nullptr);
}

} // namespace RegistryFile

#endif
