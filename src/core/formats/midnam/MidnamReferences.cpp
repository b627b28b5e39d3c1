#include "formats/midnam/MidnamReferences.h"

#include "base/Text.h"

#include <algorithm>
#include <iterator>
#include <string>

namespace quorvix::midnam {

namespace {

/// Skips from `at` past the end of a comment, CDATA section or DOCTYPE that starts there; false for none.
bool skipUnread(std::string_view bytes, std::size_t& at)
{
    const auto past = [&](std::string_view end) {
        const std::size_t found = bytes.find(end, at);
        at = found == std::string_view::npos ? bytes.size() : found + end.size();
        return true;
    };
    if (bytes.compare(at, 4, "<!--") == 0)
        return past("-->");
    if (bytes.compare(at, 9, "<![CDATA[") == 0)
        return past("]]>");
    if (bytes.compare(at, 9, "<!DOCTYPE") != 0)
        return false;
    // The internal subset declares entities; its text is never a name.
    int depth = 0;
    char quote = 0;
    for (at += 9; at < bytes.size(); ++at) {
        const char c = bytes[at];
        if (quote != 0)
            quote = c == quote ? 0 : quote;
        else if (c == '"' || c == '\'')
            quote = c;
        else if (c == '[')
            ++depth;
        else if (c == ']')
            --depth;
        else if (c == '>' && depth <= 0)
            break;
    }
    at = std::min(at + 1, bytes.size());
    return true;
}

} // namespace

void warnReferences(std::string_view bytes, Diagnostics& warnings)
{
    constexpr std::string_view kPredefined[] = {"amp", "lt", "gt", "quot", "apos"};
    std::uint32_t line = 1;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t from = at;
        if (bytes[at] == '<' && skipUnread(bytes, at)) {
            line +=
                static_cast<std::uint32_t>(std::count(bytes.begin() + static_cast<std::ptrdiff_t>(from),
                                                      bytes.begin() + static_cast<std::ptrdiff_t>(at), '\n'));
            continue;
        }
        line += bytes[at] == '\n' ? 1 : 0;
        const std::size_t end = bytes[at] == '&' ? bytes.find(';', at) : std::string_view::npos;
        ++at;
        if (end == std::string_view::npos || end - from > 40)
            continue;
        const std::string_view name = bytes.substr(from + 1, end - from - 1);
        const std::string reference = inQuotes(bytes.substr(from, end - from + 1));
        if (!name.empty() && name.front() == '#') {
            const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
            const std::string_view digits = name.substr(hex ? 2 : 1);
            if (!digits.empty() && digits.find_first_not_of('0') == std::string_view::npos)
                warnings.warn(line, "the character reference " + reference +
                                        " stands for no character: the name ends before it");
        } else if (!name.empty() &&
                   std::find(std::begin(kPredefined), std::end(kPredefined), name) == std::end(kPredefined)) {
            warnings.warn(line, "the entity reference " + reference +
                                    " is not expanded (entities are never expanded); it is read as written");
        }
    }
}

} // namespace quorvix::midnam
