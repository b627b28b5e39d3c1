#pragma once

// The rows of a CSV table, as libcsv reads them (RFC 4180, tolerant): fields separated by a comma, a
// semicolon or a tab, quoted where they hold the separator, a quote or a line break. Blanks around an
// unquoted field are dropped; blank lines are no rows. LF, CR LF and a lone CR end a row; inside a quoted
// field each is a line break "\n".

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvix::csv {

/// One row of a table.
struct Row
{
    std::uint32_t line = 0; ///< the line it starts on, counted from 1 (a byte-order mark before it)
    std::vector<std::string> cells;
};

/// The separator of a table: the one of ',', ';' and tab that its first line holds most often outside
/// quotes (',' when it holds none).
char separatorOf(std::string_view text);

/// Calls `visit(const Row&)` for every row of `text` (after a UTF-8 byte-order mark), in order, until it
/// returns false. Throws std::bad_alloc when memory runs out.
void forEachRow(std::string_view text, char separator, const std::function<bool(const Row&)>& visit);

/// The first row of `text`, with its separator: empty cells when it has none.
std::vector<std::string> headerOf(std::string_view text, char separator);

/// Appends `field` to a row being written with `,`: quoted (its quotes doubled) when it holds a comma, a
/// quote, a line break, or blanks at either end, which readers would drop.
void appendField(std::string& row, std::string_view field);

} // namespace quorvix::csv
