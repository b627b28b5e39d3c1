#pragma once

// The lines of a Cubase patchname script, each told apart the way every reader of scripts here tells them
// apart: the conversion to an instrument definition, the model's reader, and the looks at a script's header.

#include "base/Text.h"
#include "formats/cubase/ScriptEntry.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace quorvix {

/// How a script's lines are read. The conversion to an instrument definition keeps the original limits
/// (lines of 256 characters, see kMaxScriptLineLength) and ends a line at a NUL byte; the model's reader
/// skips a UTF-8 byte-order mark.
struct ScriptLineOptions
{
    std::size_t maxLineLength = 0;  ///< lines longer than this, in bytes, are marked tooLong; 0 for no limit
    bool cutAtNul = false;          ///< a NUL byte ends the text of its line (when the script holds one)
    bool skipByteOrderMark = false; ///< a UTF-8 byte-order mark before the first line is no part of it
};

enum class ScriptLineKind
{
    Entry,            ///< "[", a lowercase "p" and a digit, after spaces only
    TabIndentedEntry, ///< the same after blanks that hold a tab: no entry line for any reader of scripts
    Other,            ///< headers, headings, comments and blank lines
};

/// One line of a script. Views point into the script.
struct ScriptLine
{
    ScriptLineKind kind = ScriptLineKind::Other;
    std::uint64_t number = 0; ///< 1-based
    /// An entry: from its "[" to the line's end. Otherwise the line with the blanks at both ends dropped.
    std::string_view text;
    std::size_t lineEnd = 0; ///< the offset of the LF that ends the line, or the script's size
    bool ended = false;      ///< the line ends with an LF (the last line may not)
    bool tooLong = false;    ///< longer than ScriptLineOptions::maxLineLength (counted before a NUL cut)
};

/// The kind and text of one line without its line end (see ScriptLine).
inline ScriptLine classifyScriptLine(std::string_view line, std::size_t maxLineLength, bool cutAtNul)
{
    ScriptLine classified;
    classified.tooLong = maxLineLength > 0 && line.size() > maxLineLength;
    if (cutAtNul)
        line = line.substr(0, std::min(line.find('\0'), line.size()));
    std::size_t first = 0;
    while (first < line.size() && line[first] == ' ')
        ++first;
    classified.text = line.substr(first);
    if (isEntryLine(classified.text)) {
        classified.kind = ScriptLineKind::Entry;
        return classified;
    }
    classified.text = trimBlanks(line);
    classified.kind = isEntryLine(classified.text) ? ScriptLineKind::TabIndentedEntry : ScriptLineKind::Other;
    return classified;
}

/// Calls `handle(const ScriptLine&)` for every line of the script, in order, until it returns false. Lines
/// end at LF or CR LF; a last line without its LF keeps a CR at its end. False when `handle` stopped.
template <typename Handle>
bool forEachScriptLine(std::string_view script, const ScriptLineOptions& options, Handle&& handle)
{
    if (options.skipByteOrderMark && script.starts_with("\xEF\xBB\xBF"))
        script.remove_prefix(3);
    const bool cutAtNul = options.cutAtNul && script.find('\0') != std::string_view::npos;
    std::uint64_t number = 0;
    std::size_t start = 0;
    while (start < script.size()) {
        const void* found = std::memchr(script.data() + start, '\n', script.size() - start);
        const std::size_t newline =
            found ? static_cast<std::size_t>(static_cast<const char*>(found) - script.data()) : script.size();
        std::size_t stop = newline;
        if (found && stop > start && script[stop - 1] == '\r')
            --stop;
        ScriptLine line =
            classifyScriptLine(script.substr(start, stop - start), options.maxLineLength, cutAtNul);
        line.number = ++number;
        line.lineEnd = newline;
        line.ended = found != nullptr;
        if (!handle(static_cast<const ScriptLine&>(line)))
            return false;
        start = newline + 1;
    }
    return true;
}

} // namespace quorvix
