#include "formats/cubase/CubaseScriptWriter.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>

namespace quorvix {

namespace {

constexpr std::array<bool, 256> makeScriptCharacterTable()
{
    std::array<bool, 256> table{};
    for (const unsigned char c : {9, 32, 33, 34, 38, 39, 40, 41, 43, 44, 45, 46, 47, 91, 93, 123, 125})
        table[c] = true;
    for (unsigned c = '0'; c <= '9'; ++c)
        table[c] = true;
    for (unsigned c = 'A'; c <= 'Z'; ++c)
        table[c] = true;
    for (unsigned c = 'a'; c <= 'z'; ++c)
        table[c] = true;
    return table;
}

constexpr std::array<bool, 256> kScriptCharacters = makeScriptCharacterTable();

/// 0..999 as "%3.1i" writes them: right-aligned in three characters.
constexpr std::array<std::array<char, 3>, 1000> makeThreeWide()
{
    std::array<std::array<char, 3>, 1000> table{};
    for (std::size_t value = 0; value < table.size(); ++value) {
        table[value][0] = value < 100 ? ' ' : static_cast<char>('0' + value / 100);
        table[value][1] = value < 10 ? ' ' : static_cast<char>('0' + value / 10 % 10);
        table[value][2] = static_cast<char>('0' + value % 10);
    }
    return table;
}

constexpr std::array<std::array<char, 3>, 1000> kThreeWide = makeThreeWide();

// "%3.1i": at least one digit, right-aligned in three characters. Writes at most 11 characters.
char* putNumber(char* out, std::int32_t value)
{
    if (value >= 0 && value < 1000) { // nearly every number: three characters, looked up
        std::memcpy(out, kThreeWide[static_cast<std::size_t>(value)].data(), 3);
        return out + 3;
    }
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    const auto length = static_cast<std::size_t>(result.ptr - digits);
    for (std::size_t pad = length; pad < 3; ++pad)
        *out++ = ' ';
    std::memcpy(out, digits, length);
    return out + length;
}

char* putSeparator(char* out)
{
    out[0] = ',';
    out[1] = ' ';
    return out + 2;
}

/// Every byte as an entry line holds it: itself when IsScriptCharacter accepts it, a space otherwise.
constexpr std::array<char, 256> makeCleaningTable()
{
    std::array<char, 256> table{};
    for (std::size_t c = 0; c < table.size(); ++c)
        table[c] = kScriptCharacters[c] ? static_cast<char>(c) : ' ';
    return table;
}

constexpr std::array<char, 256> kCleaned = makeCleaningTable();

char scriptCharacter(char c)
{
    return kCleaned[static_cast<unsigned char>(c)];
}

/// Puts the text's bytes as an entry line holds them.
char* putCleaned(char* out, std::string_view text)
{
    for (std::size_t i = 0; i < text.size(); ++i)
        out[i] = scriptCharacter(text[i]);
    return out + text.size();
}

} // namespace

bool IsScriptCharacter(unsigned char character)
{
    return kScriptCharacters[character];
}

std::string_view VoiceName(const ZT_cwbankvoice& voice)
{
    // A record filled to the last byte has no terminator; the name then ends with the field.
    const void* end = std::memchr(voice.name, '\0', sizeof voice.name);
    const std::size_t length =
        end ? static_cast<std::size_t>(static_cast<const char*>(end) - voice.name) : sizeof voice.name;
    return {voice.name, length};
}

void AppendEntryLine(std::string& line, const ScriptVoice& voice, std::string_view tag)
{
    // The line is made in place: "[", the tag, the numbers with their separators, and the name.
    constexpr std::size_t kShortTag = 8;
    char made[1 + kShortTag + 3 * (2 + 11) + 2 + kEntryNameLimit];
    char* out = made;
    *out++ = '[';
    if (tag.size() <= kShortTag) {
        out = putCleaned(out, tag);
    } else {
        line.append(made, 1);
        for (const char c : tag)
            line += scriptCharacter(c);
        out = made;
    }
    out = putNumber(putSeparator(out), voice.program);
    out = putNumber(putSeparator(out), voice.bank / 128);
    out = putNumber(putSeparator(out), voice.bank % 128);
    *out++ = ']';
    *out++ = '\t';
    // The name up to its first "}" (kept), and at most kEntryNameLimit bytes of it.
    std::size_t length = std::min(voice.name.size(), kEntryNameLimit);
    if (const void* brace = std::memchr(voice.name.data(), '}', length))
        length = static_cast<std::size_t>(static_cast<const char*>(brace) - voice.name.data()) + 1;
    out = putCleaned(out, voice.name.substr(0, length));
    line.append(made, static_cast<std::size_t>(out - made));
}

std::string FormatEntryLine(const ZT_cwbankvoice& voice, std::string_view tag)
{
    std::string line;
    line.reserve(tag.size() + 24 + kEntryNameLimit);
    AppendEntryLine(line, ScriptVoice{voice.bank, voice.program, VoiceName(voice)}, tag);
    return line;
}

} // namespace quorvix
