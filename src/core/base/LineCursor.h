#pragma once

// The lines of the line-oriented formats, numbered as an editor shows them.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace quorvix {

/// The lines of a text, numbered from 1. LF, CR LF and a lone CR each end a line; a final line end does not
/// open another line.
class LineCursor
{
public:
    explicit LineCursor(std::string_view text) : m_text(text) {}

    /// The next line, without its line end; false after the last one. Inline: readers call it per line.
    bool next(std::string_view& line)
    {
        if (m_at >= m_text.size())
            return false;
        if (m_number == 0 || m_nextLf < m_at)
            m_nextLf = find('\n');
        if (m_number == 0 || m_nextCr < m_at)
            m_nextCr = find('\r');
        const std::size_t end = m_nextLf < m_nextCr ? m_nextLf : m_nextCr;
        line = m_text.substr(m_at, end - m_at);
        m_at = end == m_nextCr && m_nextLf == end + 1 ? end + 2 : end + 1;
        ++m_number;
        return true;
    }
    /// The number of the line next() gave last.
    std::uint32_t number() const { return m_number; }

private:
    std::size_t find(char c) const
    {
        const void* hit = std::memchr(m_text.data() + m_at, c, m_text.size() - m_at);
        return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - m_text.data()) : m_text.size();
    }

    std::string_view m_text;
    std::size_t m_at = 0;
    // The next LF and the next CR at or after m_at, searched again only once passed: a file with one kind of
    // line end is read in one pass.
    std::size_t m_nextLf = 0;
    std::size_t m_nextCr = 0;
    std::uint32_t m_number = 0;
};

/// The 1-based number of the line that holds byte `offset` of `text`, counted as LineCursor counts.
std::uint32_t lineNumberAt(std::string_view text, std::size_t offset);

} // namespace quorvix
