#include "base/LineCursor.h"

#include <algorithm>
#include <cstring>

namespace quorvix {

std::size_t LineCursor::find(char c) const
{
    const void* hit = std::memchr(m_text.data() + m_at, c, m_text.size() - m_at);
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - m_text.data()) : m_text.size();
}

bool LineCursor::next(std::string_view& line)
{
    if (m_at >= m_text.size())
        return false;
    if (m_number == 0 || m_nextLf < m_at)
        m_nextLf = find('\n');
    if (m_number == 0 || m_nextCr < m_at)
        m_nextCr = find('\r');
    const std::size_t end = std::min(m_nextLf, m_nextCr);
    line = m_text.substr(m_at, end - m_at);
    m_at = end == m_nextCr && m_nextLf == end + 1 ? end + 2 : end + 1;
    ++m_number;
    return true;
}

std::uint32_t lineNumberAt(std::string_view text, std::size_t offset)
{
    LineCursor lines(text.substr(0, offset));
    std::string_view line;
    while (lines.next(line)) {
    }
    // A line end right before `offset` means the byte opens the next line.
    const bool atLineStart = offset == 0 || text[offset - 1] == '\n' || text[offset - 1] == '\r';
    return lines.number() + (atLineStart ? 1 : 0);
}

} // namespace quorvix
