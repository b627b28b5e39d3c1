// The tables of names without patches: to-csv's note and controller tables and midi.guide's tables.

#include "base/Text.h"
#include "formats/csv/CsvRead.h"
#include "model/NamedNumbers.h"

#include <utility>

namespace quorvix::csv {

namespace {

/// The note lists of each instrument of a table, by name in order of first use.
class NoteTables
{
public:
    explicit NoteTables(Table& table) : m_table(table) {}

    /// The names of the list `name` of the row's instrument.
    NoteNames& listOf(const Row& row, std::string_view name)
    {
        std::vector<std::pair<std::string, NoteNames>>& lists = m_lists[m_table.instrumentOf(row)];
        for (auto& [listName, notes] : lists)
            if (listName == name)
                return notes;
        return lists.emplace_back(std::string(name), NoteNames()).second;
    }

    /// Gives each instrument its lists: the first as its own, the others as its device's spare lists.
    bool finish(std::string_view what)
    {
        InstrumentSet& set = m_table.set();
        if (m_lists.empty()) {
            m_table.result().fail({},
                                  "holds no " + std::string(what) + ": no row below the header names one");
            return false;
        }
        for (auto& [index, lists] : m_lists) {
            Instrument& instrument = set.instruments[index];
            for (auto& [name, notes] : lists) {
                const TextRef listName = name.empty() ? instrument.name : set.keep(name);
                if (instrument.noteList == kNoList) {
                    instrument.noteList = notes.makeList(set, listName);
                    continue;
                }
                const std::int32_t list = notes.makeList(set, listName, instrument.device);
                set.devices[static_cast<std::size_t>(instrument.device)].spareNoteLists.push_back(list);
            }
        }
        return true;
    }

private:
    Table& m_table;
    std::map<std::size_t, std::vector<std::pair<std::string, NoteNames>>> m_lists;
};

/// The controller, RPN and NRPN names of each instrument of a table.
class ControlTables
{
public:
    explicit ControlTables(Table& table) : m_table(table) {}

    ControlNames& of(const Row& row) { return m_names[m_table.instrumentOf(row)]; }

    bool finish()
    {
        InstrumentSet& set = m_table.set();
        if (m_names.empty()) {
            m_table.result().fail({}, "holds no controller names: no row below the header names one");
            return false;
        }
        std::size_t asMsb = 0;
        for (auto& [index, names] : m_names) {
            names.makeLists(set, set.instruments[index], set.instruments[index].name);
            asMsb += names.pairsAsMsb();
        }
        if (asMsb > 0)
            m_table.warn(0, std::to_string(asMsb) +
                                (asMsb == 1
                                     ? " 14-bit controller pair is named at its MSB controller as a 7-bit "
                                       "controller"
                                     : " 14-bit controller pairs are named at their MSB controller as "
                                       "7-bit controllers") +
                                ", beside the 7-bit ones");
        return true;
    }

private:
    Table& m_table;
    std::map<std::size_t, ControlNames> m_names;
};

/// "N rows name ..." for a count of rows.
std::string rows(std::size_t count)
{
    return std::to_string(count) + (count == 1 ? " row names" : " rows name");
}

/// The row's name in the column, without blanks at its ends; empty (with a warning) when it has none.
std::string_view nameOf(Table& table, const Row& row)
{
    const std::string_view name = trimBlanks(table.cell(row, Column::Name));
    if (name.empty())
        table.warn(row.line, "row skipped: its " + table.columnName(Column::Name) + " cell is empty");
    return name;
}

} // namespace

bool readNotes(Table& table, std::string_view text, char separator)
{
    NoteTables lists(table);
    forEachBodyRow(text, separator, [&](const Row& row) {
        bool ok = true;
        if (!table.hasCells(row, {Column::Note, Column::Name}))
            return;
        const auto note = table.number(row, Column::Note, 127, ok);
        const std::string_view name = ok ? nameOf(table, row) : std::string_view();
        if (!note || name.empty()) {
            if (ok && !note)
                table.warn(row.line, "row skipped: its " + table.columnName(Column::Note) + " cell is empty");
            return;
        }
        const std::string_view list = table.cell(row, Column::List);
        if (!lists.listOf(row, list).add(*note, table.set().keep(name)))
            table.warn(row.line, "row skipped: note " + std::to_string(*note) + " of list" + shownCell(list) +
                                     " is named on an earlier row already");
    });
    table.warnUnread();
    return lists.finish("drum-note names");
}

bool readControls(Table& table, std::string_view text, char separator)
{
    struct Type
    {
        std::string_view name;
        ControlKind kind;
        std::uint32_t highest;
    };
    constexpr Type kTypes[] = {{"cc", ControlKind::Controller, 127},
                               {"cc14", ControlKind::Controller14, 31},
                               {"rpn", ControlKind::Rpn, 16383},
                               {"nrpn", ControlKind::Nrpn, 16383}};
    ControlTables names(table);
    forEachBodyRow(text, separator, [&](const Row& row) {
        if (!table.hasCells(row, {Column::Type, Column::Number, Column::Name}))
            return;
        const std::string_view typeText = trimBlanks(table.cell(row, Column::Type));
        const Type* type = nullptr;
        for (const Type& known : kTypes)
            if (equalsNoCase(typeText, known.name))
                type = &known;
        if (type == nullptr) {
            table.warn(row.line, "row skipped: its " + table.columnName(Column::Type) + " cell" +
                                     shownCell(typeText) + " is none of cc, cc14, rpn and nrpn");
            return;
        }
        bool ok = true;
        const auto number = table.number(row, Column::Number, type->highest, ok);
        const std::string_view name = ok ? nameOf(table, row) : std::string_view();
        if (ok && !number)
            table.warn(row.line, "row skipped: its " + table.columnName(Column::Number) + " cell is empty");
        if (!number || name.empty())
            return;
        if (!names.of(row).add(type->kind, *number, table.set().keep(name)))
            table.warn(row.line, "row skipped: " + std::string(type->name) + " " + std::to_string(*number) +
                                     " is named on an earlier row already");
    });
    table.warnUnread();
    return names.finish();
}

bool readMidiGuide(Table& table, std::string_view text, char separator)
{
    ControlTables names(table);
    std::size_t repeated = 0;
    std::size_t oddPairs = 0;
    forEachBodyRow(text, separator, [&](const Row& row) {
        if (!table.hasCells(row, {Column::Name}))
            return;
        bool ok = true;
        const auto ccMsb = table.number(row, Column::CcMsb, 127, ok);
        const auto ccLsb = table.number(row, Column::CcLsb, 127, ok);
        const auto nrpnMsb = table.number(row, Column::NrpnMsb, 127, ok);
        const auto nrpnLsb = table.number(row, Column::NrpnLsb, 127, ok);
        const std::string_view name = ok ? nameOf(table, row) : std::string_view();
        if (name.empty())
            return;
        if (!ccMsb && !nrpnMsb && !nrpnLsb) {
            table.warn(row.line, "row skipped: it names no controller and no NRPN (its controller and NRPN "
                                 "cells are empty)");
            return;
        }
        const TextRef kept = table.set().keep(name);
        ControlNames& instrument = names.of(row);
        if (ccMsb) {
            const bool pair = ccLsb && *ccMsb < 32 && *ccLsb == *ccMsb + 32;
            oddPairs += ccLsb && !pair ? 1 : 0;
            repeated +=
                instrument.add(pair ? ControlKind::Controller14 : ControlKind::Controller, *ccMsb, kept) ? 0
                                                                                                         : 1;
        }
        if (nrpnMsb || nrpnLsb) {
            const auto number = static_cast<std::uint16_t>(nrpnMsb.value_or(0) * 128 + nrpnLsb.value_or(0));
            repeated += instrument.add(ControlKind::Nrpn, number, kept) ? 0 : 1;
        }
    });
    if (repeated > 0)
        table.warn(0, rows(repeated) + " a controller or NRPN that an earlier row names (a mode of the "
                                       "device); the earlier row's name is kept");
    if (oddPairs > 0)
        table.warn(0, rows(oddPairs) + " a 14-bit controller pair whose LSB controller is not its MSB + 32; "
                                       "it is named at its MSB controller as a 7-bit controller");
    return names.finish();
}

bool readTriggers(Table& table, std::string_view text, char separator)
{
    NoteTables lists(table);
    std::size_t ranges = 0;
    std::size_t repeated = 0;
    forEachBodyRow(text, separator, [&](const Row& row) {
        if (!table.hasCells(row, {Column::Name, Column::Note}))
            return;
        bool ok = true;
        auto note = table.number(row, Column::Note, 127, ok);
        const auto lowest = table.number(row, Column::NoteMin, 127, ok);
        const auto highest = table.number(row, Column::NoteMax, 127, ok);
        const std::string_view name = ok ? nameOf(table, row) : std::string_view();
        if (name.empty())
            return;
        if (!note && lowest && lowest == highest)
            note = lowest;
        if (!note) {
            ++ranges;
            return;
        }
        repeated +=
            lists.listOf(row, trimBlanks(table.cell(row, Column::Section))).add(*note, table.set().keep(name))
                ? 0
                : 1;
    });
    if (ranges > 0)
        table.warn(0, rows(ranges) + " a range of notes and no default note (slices, a sound played "
                                     "chromatically); left out");
    if (repeated > 0)
        table.warn(0, rows(repeated) + " a note that an earlier row of its section names (on another "
                                       "channel); the earlier row's name is kept");
    return lists.finish("drum-note names");
}

} // namespace quorvix::csv
