// The memory of the file store's key tree: pieces that never overlap, are reused once given
// back, and blocks sized for a tree read from a large file.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "TreeArena.h"

namespace
{

using RegistryFile::TreeArena;

struct Piece {
    unsigned char* bytes;
    std::size_t size;
    unsigned char mark;
};

// Pieces of the sizes the tree asks for (a key, a row of up to 36 values), each filled with a
// mark of its own.
std::vector<Piece> Fill(TreeArena& arena, int round)
{
    std::vector<Piece> pieces;
    for (int n = 0; n < 2000; ++n) {
        const std::size_t size = 8 + static_cast<std::size_t>(n % 37) * 32;
        auto* bytes = static_cast<unsigned char*>(arena.Allocate(size));
        const auto mark = static_cast<unsigned char>(n * 7 + round);
        std::memset(bytes, mark, size);
        pieces.push_back({bytes, size, mark});
    }
    return pieces;
}

bool Intact(const Piece& piece)
{
    for (std::size_t i = 0; i < piece.size; ++i)
        if (piece.bytes[i] != piece.mark)
            return false;
    return true;
}

} // namespace

TEST(TreeArena, PiecesNeverOverlapAndChangingTreesReuseWhatWasGivenBack)
{
    TreeArena arena;
    std::vector<Piece> pieces = Fill(arena, 0);
    for (const Piece& piece : pieces) {
        ASSERT_TRUE(Intact(piece));
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(piece.bytes) % alignof(std::max_align_t), 0u);
    }
    const std::size_t reserved = arena.Reserved();

    // Keys deleted and added again, round after round, in another order each time.
    for (int round = 1; round <= 20; ++round) {
        for (std::size_t n = round % 2; n < pieces.size(); n += 2)
            arena.Free(pieces[n].bytes, pieces[n].size);
        for (std::size_t n = 1 - round % 2; n < pieces.size(); n += 2)
            arena.Free(pieces[n].bytes, pieces[n].size);
        pieces = Fill(arena, round);
        for (const Piece& piece : pieces)
            ASSERT_TRUE(Intact(piece)) << "round " << round;
    }
    EXPECT_EQ(arena.Reserved(), reserved);
}

TEST(TreeArena, TreeOfALargeFileGetsOneBlockAndReleaseStartsOver)
{
    TreeArena arena;
    constexpr std::size_t FileSize = 5 * 1024 * 1024 + 123;
    arena.Expect(FileSize);
    std::vector<Piece> pieces;
    for (std::size_t used = 0; used + 96 <= FileSize; used += 96) {
        auto* bytes = static_cast<unsigned char*>(arena.Allocate(96));
        const auto mark = static_cast<unsigned char>(used / 96);
        std::memset(bytes, mark, 96);
        pieces.push_back({bytes, 96, mark});
    }
    EXPECT_GE(arena.Reserved(), FileSize);
    EXPECT_LT(arena.Reserved(), 2 * FileSize);
    for (const Piece& piece : pieces)
        ASSERT_TRUE(Intact(piece));

    arena.Release();
    EXPECT_EQ(arena.Reserved(), 0u);
    auto* again = static_cast<unsigned char*>(arena.Allocate(4000));
    std::memset(again, 1, 4000);
    EXPECT_LE(arena.Reserved(), 64u * 1024);
}

#endif
