#pragma once

// Small helpers for the line-oriented text formats and their messages: blanks are spaces and tabs, numbers
// are decimal.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvix {

inline bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

inline bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

/// The text without the blanks at its start.
inline std::string_view dropBlanks(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    return text.substr(i);
}

/// The text without the blanks at either end.
inline std::string_view trimBlanks(std::string_view text)
{
    text = dropBlanks(text);
    std::size_t end = text.size();
    while (end > 0 && isBlank(text[end - 1]))
        --end;
    return text.substr(0, end);
}

/// ASCII comparison that ignores case.
inline bool equalsNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    for (std::size_t i = 0; i < a.size(); ++i)
        if (lower(a[i]) != lower(b[i]))
            return false;
    return true;
}

/// What a decimal number above the highest value a field takes gives.
enum class TooLarge : unsigned char
{
    Highest, ///< the highest value: a file may write any number of digits
    Fails,   ///< no number
};

/// The value of a text made only of decimal digits (leading zeros allowed; no sign, no blank). Nothing for
/// an empty text or any other character; above `highest` (at most 2^60), `highest` or nothing as `tooLarge`
/// says.
inline std::optional<std::uint64_t> decimalDigits(std::string_view text, std::uint64_t highest,
                                                  TooLarge tooLarge)
{
    if (text.empty())
        return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (!isDigit(c))
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0'); // value <= highest: never wraps
        if (tooLarge == TooLarge::Highest)
            value = value < highest ? value : highest;
        else if (value > highest)
            return std::nullopt;
    }
    return value;
}

/// The value of a text of decimal digits after an optional "+" or "-" (leading zeros allowed, no blank).
/// Nothing for any other text, and for a value outside lowest..highest (each at most 2^60 from 0).
inline std::optional<std::int64_t> signedDecimal(std::string_view text, std::int64_t lowest,
                                                 std::int64_t highest)
{
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (negative || text.front() == '+'))
        text.remove_prefix(1);
    const auto magnitude = decimalDigits(text, std::uint64_t{1} << 60, TooLarge::Fails);
    if (!magnitude)
        return std::nullopt;
    const auto value = static_cast<std::int64_t>(*magnitude);
    const std::int64_t signedValue = negative ? -value : value;
    if (signedValue < lowest || signedValue > highest)
        return std::nullopt;
    return signedValue;
}

/// `"text"`: a name or value quoted in a message.
inline std::string inQuotes(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    out += text;
    out += '"';
    return out;
}

/// The first `shown` texts joined with ", ", and " and N more" for the rest: a long list in a message.
inline std::string shortList(const std::vector<std::string>& texts, std::size_t shown = 5)
{
    std::string list;
    for (std::size_t n = 0; n < texts.size() && n < shown; ++n)
        list += (n == 0 ? "" : ", ") + texts[n];
    if (texts.size() > shown)
        list += " and " + std::to_string(texts.size() - shown) + " more";
    return list;
}

} // namespace quorvix
