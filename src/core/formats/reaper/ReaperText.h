#pragma once

// Text helpers of the REAPER bank file reader and the REAPER writers: fields, lines and one-line names.

#include "base/Encoding.h"
#include "base/Text.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvix {

inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

/// The text up to its first space or tab; `rest` receives what follows, without the blanks before it.
std::string_view firstField(std::string_view text, std::string_view& rest);

/// ASCII comparison that ignores case.
bool equalsNoCase(std::string_view a, std::string_view b);

/// The lines of a text, numbered from 1. LF, CR LF and a lone CR each end a line; a final line end does not
/// open another line.
class LineCursor
{
public:
    explicit LineCursor(std::string_view text) : m_text(text) {}

    /// The next line, without its line end; false after the last one.
    bool next(std::string_view& line);
    /// The number of the line next() gave last.
    std::uint32_t number() const { return m_number; }

private:
    std::string_view m_text;
    std::size_t m_at = 0;
    std::uint32_t m_number = 0;
};

/// The 1-based number of the line that holds byte `offset` of `text`, counted as LineCursor counts.
std::uint32_t lineNumberAt(std::string_view text, std::size_t offset);

/// A name as one line of UTF-8 text: converted from `encoding`, line breaks (also U+2028 and U+2029), tabs
/// and other control characters made spaces, a byte that is not valid UTF-8 made U+FFFD, and spaces at
/// either end removed.
std::string oneLine(std::string_view name, TextEncoding encoding);
/// Same, appended to `out`.
void appendOneLine(std::string& out, std::string_view name, TextEncoding encoding);

} // namespace quorvix
