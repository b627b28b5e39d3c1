// The names an .ins line can hold.

#include "base/Text.h"
#include "formats/ins/InsWriter.h"

namespace quorvix {

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

std::string insSafeName(std::string_view name, bool& changed)
{
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && c != '\t')
            out += ' ';
        else if (c == ';') {
            while (!out.empty() && isBlank(out.back()))
                out.pop_back();
            out += c;
        } else
            out += c;
    }
    std::size_t begin = 0;
    std::size_t end = out.size();
    while (begin < end && isBlank(out[begin]))
        ++begin;
    while (end > begin && isBlank(out[end - 1]))
        --end;
    out = out.substr(begin, end - begin);
    std::size_t nameBegin = 0;
    std::size_t nameEnd = name.size();
    while (nameBegin < nameEnd && isBlank(name[nameBegin]))
        ++nameBegin;
    while (nameEnd > nameBegin && isBlank(name[nameEnd - 1]))
        --nameEnd;
    changed = out != name.substr(nameBegin, nameEnd - nameBegin);
    return out;
}

} // namespace quorvix
