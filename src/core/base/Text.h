#pragma once

// Small helpers for the line-oriented text formats: blanks are spaces and tabs.

#include <string_view>

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

} // namespace quorvix
