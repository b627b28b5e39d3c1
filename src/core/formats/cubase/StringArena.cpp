#include "formats/cubase/StringArena.h"

#include <algorithm>
#include <cstring>

namespace quorvix {

char* StringArena::reserve(std::size_t size)
{
    if (size > m_left) {
        // A text larger than the usual block gets a block of its own; the current block stays open.
        if (size > m_nextBlockSize) {
            m_blocks.push_back(std::make_unique_for_overwrite<char[]>(size));
            m_allocated += size;
            return m_blocks.back().get();
        }
        m_blocks.push_back(std::make_unique_for_overwrite<char[]>(m_nextBlockSize));
        m_allocated += m_nextBlockSize;
        m_next = m_blocks.back().get();
        m_left = m_nextBlockSize;
        m_nextBlockSize = std::min(m_nextBlockSize * 2, kLargestBlockSize);
    }
    char* start = m_next;
    m_next += size;
    m_left -= size;
    return start;
}

const char* StringArena::store(std::string_view text)
{
    if (text.empty())
        return "";
    char* start = reserve(text.size());
    std::memcpy(start, text.data(), text.size());
    return start;
}

const char* StringArena::storePair(std::string_view first, std::string_view second)
{
    if (first.empty() && second.empty())
        return "";
    char* start = reserve(first.size() + second.size());
    if (!first.empty())
        std::memcpy(start, first.data(), first.size());
    if (!second.empty())
        std::memcpy(start + first.size(), second.data(), second.size());
    return start;
}

} // namespace quorvix
