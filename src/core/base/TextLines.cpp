#include "base/TextLines.h"

#include <algorithm>

namespace quorvix {

int TextLines::Add(std::string line)
{
    const int index = GetSize();
    SetAtGrow(index, std::move(line));
    return index;
}

void TextLines::RemoveAll()
{
    std::vector<std::string>().swap(m_lines);
}

void TextLines::growTo(std::size_t size)
{
    if (size <= m_lines.capacity())
        return;
    if (m_lines.capacity() == 0) {
        m_lines.reserve(size);
        return;
    }
    // The automatic step is an eighth of the current size, at least 4. It is deliberately not capped, so
    // that appending stays amortised linear for millions of lines.
    std::size_t step =
        m_growBy > 0 ? static_cast<std::size_t>(m_growBy) : std::max<std::size_t>(m_lines.size() / 8, 4);
    m_lines.reserve(std::max(m_lines.capacity() + step, size));
}

void TextLines::SetSize(int newSize, int growBy)
{
    if (growBy != -1)
        m_growBy = std::max(growBy, 0);
    if (newSize <= 0) {
        RemoveAll();
        return;
    }
    const auto size = static_cast<std::size_t>(newSize);
    if (size > m_lines.size())
        growTo(size);
    m_lines.resize(size);
}

void TextLines::SetAtGrow(int index, std::string line)
{
    if (index < 0)
        return;
    const auto i = static_cast<std::size_t>(index);
    if (i >= m_lines.size()) {
        growTo(i + 1);
        m_lines.resize(i + 1);
    }
    m_lines[i] = std::move(line);
}

} // namespace quorvix
