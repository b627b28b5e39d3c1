#include "formats/hapax/HapaxNames.h"

#include "base/Encoding.h"
#include "formats/hapax/HapaxSyntax.h"

#include <array>
#include <utility>

namespace quorvix::hapax {

namespace {

/// What U+00A0 to U+00FF (Latin-1, the upper half of Windows-1252) become; empty: left out.
constexpr std::array<std::string_view, 96> kLatin1 = {
    " ", "!",  "c", "",  "",   "Y", "",   "",  "",  "(c)", "a", "<<", "",    "",    "(R)", "",
    "",  "+-", "2", "3", "'",  "u", "",   ".", "",  "1",   "o", ">>", "1/4", "1/2", "3/4", "?",
    "A", "A",  "A", "A", "Ae", "A", "AE", "C", "E", "E",   "E", "E",  "I",   "I",   "I",   "I",
    "D", "N",  "O", "O", "O",  "O", "Oe", "x", "O", "U",   "U", "U",  "Ue",  "Y",   "Th",  "ss",
    "a", "a",  "a", "a", "ae", "a", "ae", "c", "e", "e",   "e", "e",  "i",   "i",   "i",   "i",
    "d", "n",  "o", "o", "o",  "o", "oe", "/", "o", "u",   "u", "u",  "ue",  "y",   "th",  "y",
};

/// The other characters of Windows-1252 (its bytes 0x80 to 0x9F) that stand for ASCII ones.
constexpr std::array<std::pair<char32_t, std::string_view>, 21> kWindows1252 = {{
    {0x0152, "OE"}, {0x0153, "oe"}, {0x0160, "S"},   {0x0161, "s"},  {0x0178, "Y"},   {0x017D, "Z"},
    {0x017E, "z"},  {0x0192, "f"},  {0x2013, "-"},   {0x2014, "-"},  {0x2018, "'"},   {0x2019, "'"},
    {0x201A, ","},  {0x201C, "\""}, {0x201D, "\""},  {0x201E, "\""}, {0x2026, "..."}, {0x2039, "<"},
    {0x203A, ">"},  {0x2122, "TM"}, {0x20AC, "EUR"},
}};

std::string_view replacementOf(char32_t code)
{
    if (code >= 0xA0 && code <= 0xFF)
        return kLatin1[code - 0xA0];
    for (const auto& [known, text] : kWindows1252)
        if (known == code)
            return text;
    return {};
}

} // namespace

std::string deviceName(std::string_view utf8)
{
    std::string name;
    name.reserve(utf8.size());
    const auto add = [&](char c) {
        if (c == ' ' && (name.empty() || name.back() == ' '))
            return;
        name += c;
    };
    for (std::size_t i = 0; i < utf8.size();) {
        std::size_t length = 1;
        const char32_t code = utf8CharacterAt(utf8, i, length);
        i += length;
        if (code == '\t' || code == '\n' || code == '\r')
            add(' ');
        else if (code < 0x80 && isNameCharacter(static_cast<char>(code)))
            add(static_cast<char>(code));
        else
            for (const char c : replacementOf(code))
                add(c);
    }
    if (!name.empty() && name.back() == ' ')
        name.pop_back();
    return name;
}

} // namespace quorvix::hapax
