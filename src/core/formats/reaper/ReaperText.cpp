#include "formats/reaper/ReaperText.h"

namespace quorvix {

std::string_view firstField(std::string_view text, std::string_view& rest)
{
    std::size_t end = 0;
    while (end < text.size() && !isBlank(text[end]))
        ++end;
    std::size_t next = end;
    while (next < text.size() && isBlank(text[next]))
        ++next;
    rest = text.substr(next);
    return text.substr(0, end);
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

bool LineCursor::next(std::string_view& line)
{
    if (m_at >= m_text.size())
        return false;
    std::size_t end = m_at;
    while (end < m_text.size() && m_text[end] != '\n' && m_text[end] != '\r')
        ++end;
    line = m_text.substr(m_at, end - m_at);
    if (end < m_text.size() && m_text[end] == '\r' && end + 1 < m_text.size() && m_text[end + 1] == '\n')
        ++end;
    m_at = end + 1;
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

std::string oneLine(std::string_view name, TextEncoding encoding)
{
    const std::string converted = encoding == TextEncoding::Utf8 ? std::string() : windows1252ToUtf8(name);
    const std::string_view text = encoding == TextEncoding::Utf8 ? name : std::string_view(converted);
    std::string line;
    line.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            line += byte < 0x20 || byte == 0x7F ? ' ' : static_cast<char>(byte);
            ++i;
            continue;
        }
        const std::size_t length = utf8SequenceLength(text, i);
        const std::string_view sequence = text.substr(i, length);
        i += length;
        const auto second = sequence.size() > 1 ? static_cast<unsigned char>(sequence[1]) : 0;
        if (length == 1)
            line += "\xEF\xBF\xBD";
        else if ((byte == 0xC2 && second < 0xA0) || sequence == "\xE2\x80\xA8" || sequence == "\xE2\x80\xA9")
            line += ' '; // C1 controls (NEL among them) and the Unicode line and paragraph separators
        else
            line += sequence;
    }
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return line.substr(first, line.find_last_not_of(' ') - first + 1);
}

} // namespace quorvix
