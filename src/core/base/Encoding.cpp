#include "base/Encoding.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace quorvix {

namespace {

/// Unicode values of the bytes 0x80 to 0x9F; 0xA0 to 0xFF equal their Latin-1 code points.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

void appendUtf8(std::string& out, char32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

char32_t decodeAt(std::string_view text, std::size_t i, std::size_t length)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    if (length == 1)
        return lead;
    char32_t code = lead & (0xFFu >> (length + 1));
    for (std::size_t k = 1; k < length; ++k)
        code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
    return code;
}

} // namespace

std::size_t utf8SequenceLength(std::string_view text, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80)
        return 1;
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 1;
    }
    if (i + length > text.size() || byte(i + 1) < low || byte(i + 1) > high)
        return 1;
    for (std::size_t k = 2; k < length; ++k)
        if (byte(i + k) < 0x80 || byte(i + k) > 0xBF)
            return 1;
    return length;
}

char32_t utf8CharacterAt(std::string_view text, std::size_t i, std::size_t& length)
{
    length = utf8SequenceLength(text, i);
    if (length == 1 && static_cast<unsigned char>(text[i]) >= 0x80)
        return 0xFFFD;
    return decodeAt(text, i, length);
}

bool isValidUtf8(std::string_view bytes)
{
    std::size_t i = 0;
    while (i < bytes.size()) {
        // Text is mostly ASCII: eight bytes are checked at once while none has its high bit set.
        std::uint64_t eight = 0;
        while (i + sizeof eight <= bytes.size()) {
            std::memcpy(&eight, bytes.data() + i, sizeof eight);
            if ((eight & 0x8080808080808080u) != 0)
                break;
            i += sizeof eight;
        }
        if (i >= bytes.size())
            break;
        if (static_cast<unsigned char>(bytes[i]) < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = utf8SequenceLength(bytes, i);
        if (length == 1)
            return false;
        i += length;
    }
    return true;
}

TextEncoding guessEncoding(std::string_view bytes)
{
    return isValidUtf8(bytes) ? TextEncoding::Utf8 : TextEncoding::Windows1252;
}

std::string windows1252ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    appendWindows1252AsUtf8(out, bytes);
    return out;
}

void appendWindows1252AsUtf8(std::string& out, std::string_view bytes)
{
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80)
            out += c;
        else if (byte < 0xA0)
            appendUtf8(out, kHighControls[byte - 0x80u]);
        else
            appendUtf8(out, byte);
    }
}

std::string utf8ToWindows1252(std::string_view utf8, char replacement, std::size_t* lost)
{
    // Most names are ASCII: their bytes are copied at once, up to the first that is not.
    std::size_t i = 0;
    while (i < utf8.size() && static_cast<unsigned char>(utf8[i]) < 0x80)
        ++i;
    std::string out(utf8.substr(0, i));
    if (i == utf8.size())
        return out;
    out.reserve(utf8.size());
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            out += static_cast<char>(lead);
            ++i;
            continue;
        }
        const std::size_t length = utf8SequenceLength(utf8, i);
        const char32_t code = length == 1 ? char32_t{0xFFFD} : decodeAt(utf8, i, length);
        i += length;
        char byte = 0;
        if (code >= 0xA0 && code <= 0xFF) {
            byte = static_cast<char>(code);
        } else {
            for (std::size_t k = 0; k < kHighControls.size(); ++k) {
                if (kHighControls[k] == code) {
                    byte = static_cast<char>(0x80 + k);
                    break;
                }
            }
        }
        if (byte == 0) {
            byte = replacement;
            if (lost != nullptr)
                ++*lost;
        }
        out += byte;
    }
    return out;
}

std::string toUtf8(std::string_view bytes, TextEncoding from)
{
    return from == TextEncoding::Utf8 ? std::string(bytes) : windows1252ToUtf8(bytes);
}

WideEncoding wideEncodingOf(std::string_view bytes)
{
    const auto at = [&](std::size_t i) {
        return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0xFFu;
    };
    const auto ascii = [](unsigned char c) { return c != 0 && c < 0x80; };
    if (at(0) == 0xFF && at(1) == 0xFE)
        return at(2) == 0 && at(3) == 0 ? WideEncoding::Utf32LE : WideEncoding::Utf16LE;
    if (at(0) == 0xFE && at(1) == 0xFF)
        return WideEncoding::Utf16BE;
    if (at(0) == 0 && at(1) == 0 && at(2) == 0xFE && at(3) == 0xFF)
        return WideEncoding::Utf32BE;
    if (ascii(at(0)) && at(1) == 0 && at(2) == 0 && at(3) == 0)
        return WideEncoding::Utf32LE;
    if (at(0) == 0 && at(1) == 0 && at(2) == 0 && ascii(at(3)))
        return WideEncoding::Utf32BE;
    if (ascii(at(0)) && at(1) == 0)
        return WideEncoding::Utf16LE;
    if (at(0) == 0 && ascii(at(1)))
        return WideEncoding::Utf16BE;
    return WideEncoding::None;
}

bool wideToUtf8(std::string_view bytes, WideEncoding encoding, std::string& out, bool partial)
{
    out.clear();
    if (encoding == WideEncoding::None)
        return false;
    const bool wide32 = encoding == WideEncoding::Utf32LE || encoding == WideEncoding::Utf32BE;
    const bool little = encoding == WideEncoding::Utf16LE || encoding == WideEncoding::Utf32LE;
    const std::size_t unit = wide32 ? 4 : 2;
    const auto read = [&](std::size_t i) {
        char32_t value = 0;
        for (std::size_t k = 0; k < unit; ++k) {
            const auto byte = static_cast<unsigned char>(bytes[i + (little ? unit - 1 - k : k)]);
            value = (value << 8) | byte;
        }
        return value;
    };
    out.reserve(bytes.size() / unit + bytes.size() / 8);
    std::size_t i = 0;
    if (bytes.size() >= unit && read(0) == 0xFEFF)
        i = unit;
    for (; i + unit <= bytes.size(); i += unit) {
        char32_t code = read(i);
        if (!wide32 && code >= 0xD800 && code <= 0xDBFF) {
            if (i + 2 * unit > bytes.size())
                return partial;
            const char32_t low = read(i + unit);
            if (low < 0xDC00 || low > 0xDFFF)
                return false;
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            i += unit;
        } else if (code == 0 || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) {
            return false;
        }
        appendUtf8(out, code);
    }
    return i == bytes.size() || partial;
}

} // namespace quorvix
