#include "formats/midnam/XmlStream.h"

#include "base/Encoding.h"

#include <charconv>

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

} // namespace

std::string_view trimmed(std::string_view text)
{
    constexpr std::string_view kBlank = " \t\r\n";
    const auto first = text.find_first_not_of(kBlank);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlank) - first + 1);
}

std::string quoted(std::string_view text)
{
    return "\"" + std::string(text) + "\"";
}

bool appendXml(std::string& out, std::string_view text, XmlEscape escape)
{
    // Printable ASCII that no escape touches is taken in runs.
    const auto plain = [](unsigned char c) {
        return c >= 0x20 && c < 0x7F && c != '&' && c != '<' && c != '>' && c != '"';
    };
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

XmlStream& XmlStream::operator<<(std::string_view markup)
{
    m_buffer.append(markup);
    maybeFlush();
    return *this;
}

void XmlStream::text(std::string_view utf8)
{
    m_leftOut |= appendXml(m_buffer, utf8, XmlEscape::Text);
    maybeFlush();
}

void XmlStream::attribute(std::string_view name, std::string_view utf8)
{
    m_buffer += ' ';
    m_buffer.append(name);
    m_buffer += "=\"";
    m_leftOut |= appendXml(m_buffer, utf8, XmlEscape::Attribute);
    m_buffer += '"';
    maybeFlush();
}

void XmlStream::attribute(std::string_view name, long long number)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    attribute(name, std::string_view(digits, static_cast<std::size_t>(end - digits)));
}

void XmlStream::flush()
{
    if (!m_buffer.empty())
        m_sink.write(m_buffer);
    m_buffer.clear();
}

void XmlStream::maybeFlush()
{
    if (m_buffer.size() >= kBlock)
        flush();
}

} // namespace quorvix::midnam
