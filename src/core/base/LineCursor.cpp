#include "base/LineCursor.h"

namespace quorvix {

std::uint32_t lineNumberAt(std::string_view text, std::size_t offset)
{
    LineCursor lines(text.substr(0, offset));
    std::string_view line;
    while (lines.next(line)) {
    }
    // A line end right before `offset` means the byte opens the next line.
    const bool atLineStart = offset == 0 || text[offset - 1] == '\n' || text[offset - 1] == '\r';
    return lines.number() + (atLineStart ? 1 : 0);
}

} // namespace quorvix
