#pragma once

// What the readers of the kinds of table share: the header, the cells of a row by column, numbers, the
// instrument of each device and the warnings.

#include "formats/csv/CsvColumns.h"
#include "formats/csv/CsvTable.h"
#include "model/ReadResult.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quorvix::csv {

class Table
{
public:
    Table(ReadResult& result, Header header, std::vector<std::string> names, std::string_view fileStem)
        : m_result(result), m_header(std::move(header)), m_names(std::move(names)), m_fileStem(fileStem)
    {}

    ReadResult& result() { return m_result; }
    InstrumentSet& set() { return m_result.set; }
    const Header& header() const { return m_header; }

    /// The row's cell of a column; empty when the table has no such column or the row no such cell.
    std::string_view cell(const Row& row, Column column) const;
    /// False, with a warning, when the row lacks a cell of one of the columns.
    bool hasCells(const Row& row, std::initializer_list<Column> columns);
    /// The number in the row's cell of the column, from 0 to `highest`; nothing for an empty cell. A cell
    /// that holds anything else is warned about and `ok` set to false.
    std::optional<std::uint16_t> number(const Row& row, Column column, std::uint32_t highest, bool& ok);
    /// The header's name of a column, quoted.
    std::string columnName(Column column) const;

    /// The instrument of the row's device (the device column, else the file's name), made on first use with
    /// a device of that model (and the manufacturer column's maker).
    std::size_t instrumentOf(const Row& row);

    void warn(std::uint32_t line, std::string message) { m_result.warnings.warn(line, std::move(message)); }
    /// Warns once that the header's columns the table's kind does not read are left out.
    void warnUnread();

private:
    ReadResult& m_result;
    Header m_header;
    std::vector<std::string> m_names; ///< the header row's cells
    std::string_view m_fileStem;
    std::map<std::string, std::size_t, std::less<>> m_instruments;
};

/// A cell as a message quotes it: short printable ASCII in quotes, anything else left out.
std::string shownCell(std::string_view cell);

/// Reads the rows below the header as the table's kind; false, with the error set, when none was read.
bool readVoices(Table& table, std::string_view text, char separator);
bool readNotes(Table& table, std::string_view text, char separator);
bool readControls(Table& table, std::string_view text, char separator);
bool readMidiGuide(Table& table, std::string_view text, char separator);
bool readTriggers(Table& table, std::string_view text, char separator);

/// Calls `visit(const Row&)` for every row below the header that holds a cell with text.
template <typename Visit>
void forEachBodyRow(std::string_view text, char separator, Visit&& visit)
{
    bool header = true;
    forEachRow(text, separator, [&](const Row& row) {
        if (header) {
            header = false;
            return true;
        }
        for (const std::string& cell : row.cells)
            if (!cell.empty()) {
                visit(row);
                break;
            }
        return true;
    });
}

} // namespace quorvix::csv
