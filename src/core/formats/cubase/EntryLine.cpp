#include "formats/cubase/CubaseScriptWriter.h"

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

// "%3.1i": at least one digit, right-aligned in three characters. Writes at most 11 characters.
char* putNumber(char* out, std::int32_t value)
{
    if (value >= 0 && value < 1000) { // nearly every number: no general formatting needed
        out[0] = value < 100 ? ' ' : static_cast<char>('0' + value / 100);
        out[1] = value < 10 ? ' ' : static_cast<char>('0' + value / 10 % 10);
        out[2] = static_cast<char>('0' + value % 10);
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

char scriptCharacter(char c)
{
    return kScriptCharacters[static_cast<unsigned char>(c)] ? c : ' ';
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
    std::string_view name = voice.name;
    if (const auto brace = name.find('}'); brace != std::string_view::npos)
        name = name.substr(0, brace + 1);
    if (name.size() > kEntryNameLimit)
        name = name.substr(0, kEntryNameLimit);

    const std::size_t start = line.size();
    line += '[';
    line += tag;
    for (std::size_t i = start + 1; i < line.size(); ++i)
        line[i] = scriptCharacter(line[i]);
    // The rest is made in place: numbers, separators and at most kEntryNameLimit name bytes.
    char rest[3 * (2 + 11) + 2 + kEntryNameLimit];
    char* out = rest;
    for (const std::int32_t number : {voice.program, voice.bank / 128, voice.bank % 128}) {
        *out++ = ',';
        *out++ = ' ';
        out = putNumber(out, number);
    }
    *out++ = ']';
    *out++ = '\t';
    for (const char c : name)
        *out++ = scriptCharacter(c);
    line.append(rest, static_cast<std::size_t>(out - rest));
}

std::string FormatEntryLine(const ZT_cwbankvoice& voice, std::string_view tag)
{
    std::string line;
    line.reserve(tag.size() + 24 + kEntryNameLimit);
    AppendEntryLine(line, ScriptVoice{voice.bank, voice.program, VoiceName(voice)}, tag);
    return line;
}

} // namespace quorvix
