#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <vector>

namespace quorvix {

/// Append-only storage for many short strings. Stored bytes never move, so the views handed out stay valid
/// until the arena is destroyed. Blocks grow from small to a fixed size, so a nearly empty arena stays small
/// and a large one wastes at most one block.
class StringArena
{
public:
    /// Copies the bytes and returns a pointer to the copy (valid for the arena's life; not NUL-terminated).
    const char* store(std::string_view text);

    /// Copies two texts so that the second directly follows the first; returns the start of the first.
    const char* storePair(std::string_view first, std::string_view second);

    /// Bytes allocated for blocks.
    std::size_t allocatedBytes() const { return m_allocated; }

private:
    char* reserve(std::size_t size);

    static constexpr std::size_t kFirstBlockSize = 512;
    static constexpr std::size_t kLargestBlockSize = 16 * 1024;

    std::vector<std::unique_ptr<char[]>> m_blocks;
    char* m_next = nullptr;
    std::size_t m_left = 0;
    std::size_t m_nextBlockSize = kFirstBlockSize;
    std::size_t m_allocated = 0;
};

} // namespace quorvix
