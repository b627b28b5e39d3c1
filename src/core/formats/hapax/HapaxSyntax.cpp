#include "formats/hapax/HapaxSyntax.h"

#include "base/LineCursor.h"
#include "base/Text.h"
#include "formats/reaper/ReaperText.h"

#include <algorithm>
#include <array>
#include <initializer_list>

namespace quorvix::hapax {

namespace {

constexpr std::string_view kNameSigns = " _-+!\"$'()*,./:<=>?@";

constexpr std::array<std::pair<Section, std::string_view>, 8> kSections{{
    {Section::DrumLanes, "DRUMLANES"},
    {Section::Pc, "PC"},
    {Section::Cc, "CC"},
    {Section::CcPair, "CC_PAIR"},
    {Section::Nrpn, "NRPN"},
    {Section::Assign, "ASSIGN"},
    {Section::Automation, "AUTOMATION"},
    {Section::Comment, "COMMENT"},
}};

constexpr std::array<std::string_view, 8> kDirectives = {"VERSION", "TRACKNAME", "TYPE",   "OUTPORT",
                                                         "OUTCHAN", "INPORT",    "INCHAN", "MAXRATE"};

/// True when the value is a decimal number from `lowest` to `highest` (leading zeros allowed).
bool numberIn(std::string_view value, std::uint64_t lowest, std::uint64_t highest)
{
    const auto number = decimalDigits(value, highest, TooLarge::Fails);
    return number && *number >= lowest;
}

/// True when the value is `prefix` (any letter case) followed by a number from 1 to `highest`.
bool numbered(std::string_view value, std::string_view prefix, std::uint64_t highest)
{
    return value.size() > prefix.size() && equalsNoCase(value.substr(0, prefix.size()), prefix) &&
           numberIn(value.substr(prefix.size()), 1, highest);
}

bool oneOf(std::string_view value, std::initializer_list<std::string_view> words)
{
    return std::any_of(words.begin(), words.end(),
                       [&](std::string_view word) { return equalsNoCase(value, word); });
}

bool isPort(std::string_view value, bool output)
{
    if (numbered(value, "USBD", 16) || numbered(value, "USBH", 16))
        return true;
    if (output)
        return oneOf(value, {"A", "B", "C", "D", "USBD", "USBH"}) || numbered(value, "CVG", 4) ||
               numbered(value, "CV", 4) || numbered(value, "G", 4);
    return oneOf(value, {"NONE", "ALLACTIVE", "A", "B", "USBH", "USBD", "CVG"});
}

} // namespace

bool isNameCharacter(char c)
{
    // Asked for every character of every name written: one look in a table.
    static constexpr auto kTaken = [] {
        std::array<bool, 256> taken{};
        for (int c = 0; c < 128; ++c)
            taken[static_cast<std::size_t>(c)] =
                (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                (c != 0 && kNameSigns.find(static_cast<char>(c)) != std::string_view::npos);
        return taken;
    }();
    return kTaken[static_cast<unsigned char>(c)];
}

std::string refusedCharacter(std::string_view name, TextEncoding encoding)
{
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (isNameCharacter(name[i]))
            continue;
        if (static_cast<unsigned char>(name[i]) < 0x80 || encoding == TextEncoding::Windows1252)
            return toUtf8(name.substr(i, 1), encoding);
        std::size_t length = 1;
        utf8CharacterAt(name, i, length);
        // A byte that is no UTF-8 is named as the code page would show it.
        return length == 1 ? windows1252ToUtf8(name.substr(i, 1)) : std::string(name.substr(i, length));
    }
    return {};
}

Section sectionNamed(std::string_view name)
{
    for (const auto& [section, text] : kSections)
        if (equalsNoCase(name, text))
            return section;
    return Section::Unknown;
}

std::string_view sectionName(Section section)
{
    for (const auto& [known, text] : kSections)
        if (known == section)
            return text;
    return {};
}

std::optional<Directive> directiveNamed(std::string_view keyword)
{
    for (std::size_t i = 0; i < kDirectives.size(); ++i)
        if (equalsNoCase(keyword, kDirectives[i]))
            return static_cast<Directive>(i);
    return std::nullopt;
}

std::string_view directiveName(Directive directive)
{
    return kDirectives[static_cast<std::size_t>(directive)];
}

std::string_view directiveValueProblem(Directive directive, std::string_view value)
{
    if (equalsNoCase(value, "NULL"))
        return {};
    switch (directive) {
    case Directive::Version:
        return numberIn(value, 0, 9999) ? "" : "a number";
    case Directive::TrackName:
        return {};
    case Directive::Type:
        return oneOf(value, {"POLY", "DRUM", "MPE"}) ? "" : "POLY, DRUM, MPE or NULL";
    case Directive::OutPort:
        return isPort(value, true)
                   ? ""
                   : "A, B, C, D, USBD, USBH, USBD1 to USBD16, USBH1 to USBH16, CV1 to CV4, G1 "
                     "to G4, CVG1 to CVG4 or NULL";
    case Directive::InPort:
        return isPort(value, false)
                   ? ""
                   : "NONE, ALLACTIVE, A, B, USBD, USBH, USBD1 to USBD16, USBH1 to USBH16, CVG or NULL";
    case Directive::OutChan:
        return numberIn(value, 1, 16) ? "" : "1 to 16 or NULL";
    case Directive::InChan:
        return numberIn(value, 1, 16) || oneOf(value, {"ALL"}) ? "" : "1 to 16, ALL or NULL";
    case Directive::MaxRate:
        return oneOf(value, {"192", "96", "64", "48", "32", "24", "16", "12", "8", "6", "4", "3", "2", "1"})
                   ? ""
                   : "192, 96, 64, 48, 32, 24, 16, 12, 8, 6, 4, 3, 2, 1 or NULL";
    }
    return {};
}

std::string_view statementOf(std::string_view line)
{
    return trimBlanks(line.substr(0, line.find('#')));
}

bool isSectionLine(std::string_view statement, std::string_view& name, bool& closing)
{
    if (statement.size() < 2 || statement.front() != '[' || statement.back() != ']')
        return false;
    name = statement.substr(1, statement.size() - 2);
    closing = !name.empty() && name.front() == '/';
    if (closing)
        name.remove_prefix(1);
    return true;
}

bool looksLikeDefinition(std::string_view head)
{
    if (head.find('\0') != std::string_view::npos)
        return false;
    LineCursor lines(withoutByteOrderMark(head));
    std::string_view line;
    while (lines.next(line)) {
        const std::string_view statement = statementOf(line);
        if (statement.empty())
            continue;
        std::string_view name;
        bool closing = false;
        if (isSectionLine(statement, name, closing))
            return !closing && sectionNamed(name) != Section::Unknown;
        // A directive with a value it takes: prose that starts with "Type" or "Version 1.0" is no definition.
        std::string_view value;
        const auto directive = directiveNamed(firstField(statement, value));
        return directive && !value.empty() && directiveValueProblem(*directive, value).empty();
    }
    return false;
}

} // namespace quorvix::hapax
