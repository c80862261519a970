// TreeArena: the memory of the file store's key tree. A large store holds a piece of memory for
// every key and one for the values of each; from the C library's heap every piece costs its own
// header and its own free when the tree goes, and as the heap grows every 4 KiB first written
// costs a page fault. Here the pieces lie in a few large blocks, in huge pages where a tree is
// that large, and go all at once with the arena. Pieces given back are kept by size and handed
// out again, so a tree that keeps changing does not keep growing for it.
#pragma once

#ifndef _WIN32

#include <array>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <vector>

#include "PosixFile.h"

namespace RegistryFile
{

class TreeArena
{
public:
    TreeArena() = default;
    ~TreeArena();
    TreeArena(const TreeArena&) = delete;
    TreeArena& operator=(const TreeArena&) = delete;

    // Memory for `bytes`, aligned for any object of the tree, not initialized.
    void* Allocate(std::size_t bytes);
    // Takes back a piece that Allocate gave for the same number of bytes.
    void Free(void* piece, std::size_t bytes);
    // The next block holds at least this many bytes: a tree about to be read from a file takes
    // about as many bytes as the file.
    void Expect(std::size_t bytes) { expected_ = bytes; }
    // Frees every block: every piece handed out is gone.
    void Release();
    // The bytes of all blocks taken so far.
    std::size_t Reserved() const { return total_; }

private:
    struct FreeMemory {
        void operator()(char* block) const { std::free(block); }
    };
    struct Block {
        std::unique_ptr<char, FreeMemory> small;
        PosixFile::LargeBuffer large;
        char* start = nullptr;
        std::size_t size = 0;
    };
    // Pieces up to this size are kept for reuse when given back; the tree's pieces are smaller.
    static constexpr std::size_t Unit = alignof(std::max_align_t);
    static constexpr std::size_t LargestKept = 2048;

    void NewBlock(std::size_t least);

    std::vector<Block> blocks_;
    char* next_ = nullptr;
    std::size_t left_ = 0;
    std::size_t total_ = 0;
    std::size_t expected_ = 0;
    // The pieces given back, by size in units; each holds the address of the next.
    std::array<void*, LargestKept / Unit + 1> kept_{};
};

// Lets the standard containers of the tree take their memory from an arena.
template <typename T> class TreeAllocator
{
public:
    using value_type = T;

    explicit TreeAllocator(TreeArena& arena) : arena_(&arena) {}
    template <typename U> TreeAllocator(const TreeAllocator<U>& other) : arena_(&other.Arena()) {}

    T* allocate(std::size_t count) { return static_cast<T*>(arena_->Allocate(count * sizeof(T))); }
    void deallocate(T* piece, std::size_t count) { arena_->Free(piece, count * sizeof(T)); }
    TreeArena& Arena() const { return *arena_; }

    template <typename U> bool operator==(const TreeAllocator<U>& other) const
    {
        return arena_ == &other.Arena();
    }
    template <typename U> bool operator!=(const TreeAllocator<U>& other) const
    {
        return !(*this == other);
    }

private:
    TreeArena* arena_;
};

} // namespace RegistryFile

#endif
