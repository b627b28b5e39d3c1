// The names an .ins line can hold.

#include "base/Text.h"
#include "formats/ins/InsWriter.h"

#include <algorithm>

namespace quorvix {

namespace {

constexpr std::string_view kLineBreak = "a line break inside a name would end its line";
constexpr std::string_view kCommentStart = "a \";\" after a blank would start a comment";
constexpr std::string_view kCannotHold = "an instrument definition file cannot hold it as it is";

/// The name with the blanks before every ";" dropped; sets `changed` when it drops any.
std::string withoutCommentStarts(std::string_view name, bool& changed)
{
    std::string out;
    out.reserve(name.size());
    changed = false;
    for (const char c : name) {
        if (c == ';')
            while (!out.empty() && isBlank(out.back())) {
                out.pop_back();
                changed = true;
            }
        out += c;
    }
    return out;
}

InsName modelName(std::string_view name, std::string& scratch)
{
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t')
            out += ' ';
        else {
            if (c == ';')
                while (!out.empty() && isBlank(out.back()))
                    out.pop_back();
            out += c;
        }
    }
    scratch = std::string(trimBlanks(out));
    return {scratch, scratch == trimBlanks(name) ? std::string_view() : kCannotHold};
}

InsName windowName(std::string_view name, std::string& scratch)
{
    // Most names need nothing: they are returned without a copy.
    const std::size_t last = name.find_last_not_of(" \t\r");
    const std::size_t cr = name.find('\r');
    const bool innerCr = cr != std::string_view::npos && last != std::string_view::npos && cr < last;
    if (!innerCr && name.find(';') == std::string_view::npos)
        return {name, {}};
    std::string plain(name);
    std::string_view change;
    if (innerCr) {
        std::replace(plain.begin(), plain.begin() + static_cast<std::ptrdiff_t>(last), '\r', ' ');
        change = kLineBreak;
    }
    bool changed = false;
    scratch = withoutCommentStarts(plain, changed);
    if (changed && change.empty())
        change = kCommentStart;
    return {scratch, change};
}

InsName windowCommentName(std::string_view name, std::string& scratch)
{
    if (name.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos)
        return {name, {}};
    scratch.assign(name);
    for (char& c : scratch)
        if (c == '\r' || c == '\n' || c == '\0')
            c = ' ';
    return {scratch, kLineBreak};
}

} // namespace

InsName insName(std::string_view name, InsNameRule rule, std::string& scratch)
{
    switch (rule) {
    case InsNameRule::Model:
        return modelName(name, scratch);
    case InsNameRule::Window:
        return windowName(name, scratch);
    case InsNameRule::WindowComment:
        return windowCommentName(name, scratch);
    }
    return {name, {}};
}

std::string insSafeName(std::string_view name, bool& changed)
{
    std::string scratch;
    const InsName safe = insName(name, InsNameRule::Model, scratch);
    changed = !safe.change.empty();
    return scratch;
}

} // namespace quorvix
