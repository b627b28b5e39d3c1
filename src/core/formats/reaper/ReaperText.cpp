#include "formats/reaper/ReaperText.h"

#include <algorithm>

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

std::string oneLine(std::string_view name, TextEncoding encoding)
{
    std::string line;
    appendOneLine(line, name, encoding);
    return line;
}

namespace {

/// 0x20 to 0x7E: a character a line holds as it is, in either encoding.
bool printableAscii(char c)
{
    return static_cast<unsigned char>(static_cast<unsigned char>(c) - 0x20) < 0x5F;
}

/// Appends the name's characters, each one that would break or blur a line as a space.
void appendOnOneLine(std::string& out, std::string_view name, TextEncoding encoding)
{
    thread_local std::string converted; // reused: writers call this for every name
    std::string_view text = name;
    // ASCII is the same in both encodings: only a name with other bytes needs converting.
    if (encoding != TextEncoding::Utf8 &&
        std::any_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; })) {
        converted.clear();
        appendWindows1252AsUtf8(converted, name);
        text = converted;
    }
    for (std::size_t i = 0; i < text.size();) {
        std::size_t run = i;
        while (run < text.size() && printableAscii(text[run]))
            ++run;
        if (run > i) { // printable ASCII, taken as it is
            out.append(text.substr(i, run - i));
            i = run;
            continue;
        }
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            out += byte < 0x20 || byte == 0x7F ? ' ' : static_cast<char>(byte);
            ++i;
            continue;
        }
        const std::size_t length = utf8SequenceLength(text, i);
        const std::string_view sequence = text.substr(i, length);
        i += length;
        const auto second = sequence.size() > 1 ? static_cast<unsigned char>(sequence[1]) : 0;
        if (length == 1)
            out += "\xEF\xBF\xBD";
        else if ((byte == 0xC2 && second < 0xA0) || sequence == "\xE2\x80\xA8" || sequence == "\xE2\x80\xA9")
            out += ' '; // C1 controls (NEL among them) and the Unicode line and paragraph separators
        else
            out += sequence;
    }
}

} // namespace

void appendOneLine(std::string& out, std::string_view name, TextEncoding encoding)
{
    const std::size_t start = out.size();
    // Printable ASCII, as nearly every name is, is taken as it is, without a look at each character.
    unsigned char other = 0;
    for (const char c : name)
        other |= static_cast<unsigned char>(!printableAscii(c));
    if (other == 0)
        out.append(name);
    else
        appendOnOneLine(out, name, encoding);
    // Without the spaces at either end.
    std::size_t end = out.size();
    while (end > start && out[end - 1] == ' ')
        --end;
    std::size_t first = start;
    while (first < end && out[first] == ' ')
        ++first;
    out.erase(end);
    out.erase(start, first - start);
}

} // namespace quorvix
