#include "formats/midnam/XmlStream.h"

#include "base/Encoding.h"

#include <array>
#include <charconv>
#include <cstring>

namespace quorvix::midnam {

namespace {

constexpr std::size_t kBlock = 64 * 1024;

/// The escape of an ASCII character, or null when it stands as it is.
const char* asciiEscape(unsigned char c, XmlEscape escape)
{
    if (escape == XmlEscape::None)
        return nullptr;
    const bool attribute = escape == XmlEscape::Attribute;
    switch (c) {
    case '&':
        return "&amp;";
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    case '"':
        return attribute ? "&quot;" : nullptr;
    case '\t':
        return attribute ? "&#9;" : nullptr;
    case '\n':
        return attribute ? "&#10;" : nullptr;
    case '\r':
        return "&#13;";
    default:
        return nullptr;
    }
}

constexpr std::array<unsigned char, 256> makeNotPlainTable()
{
    std::array<unsigned char, 256> table{};
    for (std::size_t c = 0; c < table.size(); ++c)
        table[c] = c < 0x20 || c >= 0x7F || c == '&' || c == '<' || c == '>' || c == '"';
    return table;
}

constexpr std::array<unsigned char, 256> kNotPlain = makeNotPlainTable();

/// True when every byte stands as it is in text and in attribute values: printable ASCII but & < > ".
bool allPlain(std::string_view text)
{
    unsigned char notPlain = 0;
    for (const char c : text)
        notPlain |= kNotPlain[static_cast<unsigned char>(c)];
    return notPlain == 0;
}

char* copy(char* out, std::string_view bytes)
{
    if (!bytes.empty())
        std::memcpy(out, bytes.data(), bytes.size());
    return out + bytes.size();
}

} // namespace

std::string_view trimmed(std::string_view text)
{
    constexpr std::string_view kBlank = " \t\r\n";
    const auto first = text.find_first_not_of(kBlank);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlank) - first + 1);
}

bool appendXml(std::string& out, std::string_view text, XmlEscape escape)
{
    // Printable ASCII that no escape touches is taken in runs.
    const auto plain = [](unsigned char c) { return kNotPlain[c] == 0; };
    bool leftOut = false;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t run = i;
        while (run < text.size() && plain(static_cast<unsigned char>(text[run])))
            ++run;
        if (run > i) {
            out.append(text.substr(i, run - i));
            i = run;
            continue;
        }
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            ++i;
            if (const char* replacement = asciiEscape(c, escape))
                out += replacement;
            else if (c >= 0x20 || c == '\t' || c == '\n' || c == '\r')
                out += static_cast<char>(c);
            else
                leftOut = true;
            continue;
        }
        const std::size_t length = utf8SequenceLength(text, i);
        // U+FFFE and U+FFFF are no XML characters; surrogates cannot occur in valid UTF-8.
        const bool nonCharacter = length == 3 && c == 0xEF &&
                                  static_cast<unsigned char>(text[i + 1]) == 0xBF &&
                                  static_cast<unsigned char>(text[i + 2]) >= 0xBE;
        if (length == 1 || nonCharacter)
            leftOut = true;
        else
            out.append(text.substr(i, length));
        i += length;
    }
    return leftOut;
}

std::string cleanName(std::string_view utf8)
{
    std::string safe;
    appendXml(safe, utf8, XmlEscape::None);
    return std::string(trimmed(safe));
}

std::string commentText(std::string_view text)
{
    std::string safe = cleanName(text);
    for (std::size_t at = safe.find("--"); at != std::string::npos; at = safe.find("--", at))
        safe.insert(at + 1, " ");
    if (!safe.empty() && safe.back() == '-')
        safe += ' ';
    return safe;
}

XmlStream::XmlStream(OutputSink& sink) : m_sink(sink), m_block(new char[kBlock]) {}

char* XmlStream::room(std::size_t size)
{
    if (size > kBlock - m_used)
        flush();
    char* const at = m_block.get() + m_used;
    m_used += size;
    return at;
}

void XmlStream::put(std::string_view bytes)
{
    if (bytes.size() > kBlock) {
        flush();
        m_sink.write(bytes);
        return;
    }
    copy(room(bytes.size()), bytes);
}

std::string_view XmlStream::escaped(std::string_view utf8, XmlEscape escape)
{
    // Nearly every text is plain, and stays where it is.
    if (allPlain(utf8))
        return utf8;
    m_escaped.clear();
    m_leftOut |= appendXml(m_escaped, utf8, escape);
    return m_escaped;
}

XmlStream& XmlStream::operator<<(std::string_view markup)
{
    put(markup);
    return *this;
}

void XmlStream::text(std::string_view utf8)
{
    put(escaped(utf8, XmlEscape::Text));
}

void XmlStream::attribute(std::string_view name, std::string_view utf8)
{
    putPlainAttribute(name, escaped(utf8, XmlEscape::Attribute));
}

void XmlStream::attribute(std::string_view name, long long number)
{
    char digits[24];
    const char* end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    putPlainAttribute(name, std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

void XmlStream::putPlainAttribute(std::string_view name, std::string_view value)
{
    const std::size_t size = name.size() + value.size() + 4;
    if (size > kBlock) {
        put(" ");
        put(name);
        put("=\"");
        put(value);
        put("\"");
        return;
    }
    char* out = room(size);
    *out++ = ' ';
    out = copy(out, name);
    *out++ = '=';
    *out++ = '"';
    out = copy(out, value);
    *out = '"';
}

void XmlStream::flush()
{
    if (m_used != 0)
        m_sink.write(std::string_view(m_block.get(), m_used));
    m_used = 0;
}

} // namespace quorvix::midnam
