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

// "%3.1i": at least one digit, right-aligned in three characters.
void appendNumber(std::string& out, std::int32_t value)
{
    char digits[16];
    const auto result = std::to_chars(digits, digits + sizeof digits, value);
    const auto length = static_cast<std::size_t>(result.ptr - digits);
    if (length < 3)
        out.append(3 - length, ' ');
    out.append(digits, length);
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

std::string FormatEntryLine(const ZT_cwbankvoice& voice, std::string_view tag)
{
    std::string_view name = VoiceName(voice);
    if (const auto brace = name.find('}'); brace != std::string_view::npos)
        name = name.substr(0, brace + 1);
    if (name.size() > kEntryNameLimit)
        name = name.substr(0, kEntryNameLimit);

    std::string line;
    line.reserve(tag.size() + 24 + name.size());
    line += '[';
    line += tag;
    line += ", ";
    appendNumber(line, voice.program);
    line += ", ";
    appendNumber(line, voice.bank / 128);
    line += ", ";
    appendNumber(line, voice.bank % 128);
    line += "]\t";
    line += name;
    for (char& c : line) {
        if (!IsScriptCharacter(static_cast<unsigned char>(c)))
            c = ' ';
    }
    return line;
}

} // namespace quorvix
