#include "base/FileNames.h"

#include "base/Encoding.h"

#include <array>
#include <cstdint>

namespace quorvix {

namespace {

bool isAsciiLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isKeptAscii(char c)
{
    return isAsciiLetter(c) || (c >= '0' && c <= '9') || c == ' ' || c == '_';
}

char upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool equalsUpper(std::string_view text, std::string_view upperWord)
{
    if (text.size() != upperWord.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (upper(text[i]) != upperWord[i])
            return false;
    return true;
}

/// The part of a file name that Windows compares with its device names.
std::string_view devicePart(std::string_view fileName)
{
    std::string_view part = fileName.substr(0, fileName.find('.'));
    while (!part.empty() && part.back() == ' ')
        part.remove_suffix(1);
    return part;
}

/// The code point of a valid UTF-8 sequence.
std::uint32_t codePoint(std::string_view sequence)
{
    const auto byte = [&](std::size_t k) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(sequence[k]));
    };
    switch (sequence.size()) {
    case 2:
        return ((byte(0) & 0x1F) << 6) | (byte(1) & 0x3F);
    case 3:
        return ((byte(0) & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
    default:
        return ((byte(0) & 0x07) << 18) | ((byte(1) & 0x3F) << 12) | ((byte(2) & 0x3F) << 6) |
               (byte(3) & 0x3F);
    }
}

/// Characters that show nothing or turn the text around them: C1 controls, the soft hyphen, zero-width and
/// direction marks, and the byte-order mark.
bool isInvisible(std::uint32_t c)
{
    return (c >= 0x80 && c <= 0x9F) || c == 0xAD || (c >= 0x200B && c <= 0x200F) ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F) || c == 0xFEFF ||
           (c >= 0xFFF0 && c <= 0xFFFF);
}

/// The name's ASCII letters, digits, spaces and underscores, and its visible non-ASCII characters.
std::string keptCharacters(std::string_view name)
{
    std::string kept;
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t length = utf8SequenceLength(name, i);
        const std::string_view character = name.substr(i, length);
        i += length;
        if (length == 1) {
            if (isKeptAscii(character[0]))
                kept += character[0];
        } else if (!isInvisible(codePoint(character))) {
            kept += character;
        }
    }
    return kept;
}

} // namespace

bool isWindowsDeviceName(std::string_view fileName)
{
    const std::string_view part = devicePart(fileName);
    static constexpr std::array<std::string_view, 6> kWords = {"CON", "PRN",    "AUX",
                                                               "NUL", "CONIN$", "CONOUT$"};
    for (const std::string_view word : kWords)
        if (equalsUpper(part, word))
            return true;
    if (part.size() < 4 || !(equalsUpper(part.substr(0, 3), "COM") || equalsUpper(part.substr(0, 3), "LPT")))
        return false;
    const std::string_view number = part.substr(3);
    return (number.size() == 1 && number[0] >= '0' && number[0] <= '9') || number == "\xC2\xB9" ||
           number == "\xC2\xB2" || number == "\xC2\xB3";
}

std::string avoidingDeviceNames(std::string_view fileName)
{
    std::string result(fileName);
    if (isWindowsDeviceName(fileName))
        result.insert(devicePart(fileName).size(), "_");
    return result;
}

std::string_view cutAtCharacter(std::string_view text, std::size_t limit)
{
    if (text.size() <= limit)
        return text;
    std::size_t end = 0;
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t next = i + utf8SequenceLength(text, i);
        if (next > limit)
            break;
        end = i = next;
    }
    return text.substr(0, end);
}

std::string fileStemFrom(std::string_view name, std::string_view fallback, std::size_t limit)
{
    std::string stem = keptCharacters(name);
    if (stem.find_first_not_of(' ') == std::string::npos)
        stem = fallback;
    return avoidingDeviceNames(cutAtCharacter(stem, limit));
}

std::string fittedFileName(std::string_view stem, std::string_view suffix, std::string_view extension)
{
    const std::size_t room = suffix.size() + extension.size() < kFileNameLimit
                                 ? kFileNameLimit - suffix.size() - extension.size()
                                 : 0;
    std::string name(cutAtCharacter(stem, room));
    name += suffix;
    // "_" makes the name one byte longer; a device name is short enough for it.
    name = avoidingDeviceNames(name);
    name += extension;
    return name;
}

} // namespace quorvix
