#include "formats/csv/CsvReader.h"

#include "base/Encoding.h"
#include "base/Text.h"
#include "formats/csv/CsvRead.h"

#include <algorithm>
#include <tuple>

namespace quorvix {

namespace csv {

std::string shownCell(std::string_view cell)
{
    if (cell.size() > 24 || std::any_of(cell.begin(), cell.end(), [](char c) { return c < ' ' || c > '~'; }))
        return {};
    return " " + inQuotes(cell);
}

std::string_view Table::cell(const Row& row, Column column) const
{
    const std::size_t at = m_header[column];
    return at < row.cells.size() ? std::string_view(row.cells[at]) : std::string_view();
}

bool Table::hasCells(const Row& row, std::initializer_list<Column> columns)
{
    std::size_t needed = 0;
    for (const Column column : columns)
        if (m_header.has(column))
            needed = std::max(needed, m_header[column] + 1);
    if (row.cells.size() >= needed)
        return true;
    warn(row.line, "row skipped: it has " + std::to_string(row.cells.size()) +
                       (row.cells.size() == 1 ? " cell" : " cells") + ", but the header's columns need " +
                       std::to_string(needed));
    return false;
}

std::optional<std::uint16_t> Table::number(const Row& row, Column column, std::uint32_t highest, bool& ok)
{
    const std::string_view text = cell(row, column);
    if (text.empty())
        return std::nullopt;
    const auto value = decimalDigits(text, std::uint64_t{highest} + 1, TooLarge::Highest);
    if (value && *value <= highest)
        return static_cast<std::uint16_t>(*value);
    if (ok)
        warn(row.line, "row skipped: its " + columnName(column) + " cell" + shownCell(text) +
                           " is no number from 0 to " + std::to_string(highest));
    ok = false;
    return std::nullopt;
}

std::string Table::columnName(Column column) const
{
    return inQuotes(m_header.has(column) ? std::string_view(m_names[m_header[column]]) : std::string_view());
}

std::size_t Table::instrumentOf(const Row& row)
{
    const std::string_view device = cell(row, Column::Device);
    if (const auto found = m_instruments.find(device); found != m_instruments.end())
        return found->second;
    InstrumentSet& set = m_result.set;
    Device made;
    made.model = set.keep(device.empty() ? m_fileStem : device);
    made.manufacturer = set.keep(cell(row, Column::Manufacturer));
    set.devices.push_back(std::move(made));
    Instrument instrument;
    instrument.name = set.devices.back().model;
    instrument.device = static_cast<std::int32_t>(set.devices.size() - 1);
    set.instruments.push_back(std::move(instrument));
    m_instruments.emplace(std::string(device), set.instruments.size() - 1);
    return set.instruments.size() - 1;
}

void Table::warnUnread()
{
    const std::vector<std::string>& unread = m_header.unread;
    if (unread.empty())
        return;
    std::string names;
    for (std::size_t i = 0; i < unread.size(); ++i)
        names += (i == 0 ? "" : i + 1 == unread.size() ? " and " : ", ") + inQuotes(unread[i]);
    warn(1, "the " + names + (unread.size() == 1 ? " column is" : " columns are") +
                " left out: Quorvix keeps no such values");
}

namespace {

/// A bank of an instrument as the rows give it, and its patches with the lines that name them.
struct ReadBank
{
    std::int32_t number = 0;
    BankSelect select;
    std::string name;
    std::vector<Patch> patches;
    std::vector<std::uint32_t> lines;
};

class VoiceTable
{
public:
    explicit VoiceTable(Table& table) : m_table(table) {}

    void row(const Row& row)
    {
        if (!m_table.hasCells(row, {Column::Program, Column::Name}))
            return;
        bool ok = true;
        const auto program = m_table.number(row, Column::Program, 128, ok);
        const auto msb = m_table.number(row, Column::Msb, 127, ok);
        const auto lsb = m_table.number(row, Column::Lsb, 127, ok);
        const auto bank = m_table.number(row, Column::Bank, 16383, ok);
        const std::string_view name = m_table.cell(row, Column::Name);
        if (ok && !program)
            m_table.warn(row.line,
                         "row skipped: its " + m_table.columnName(Column::Program) + " cell is empty");
        if (!ok || !program)
            return;
        BankSelect select;
        if (m_table.header().has(Column::Msb) || m_table.header().has(Column::Lsb)) {
            select.msb = msb ? static_cast<std::int16_t>(*msb) : std::int16_t{-1};
            select.lsb = lsb ? static_cast<std::int16_t>(*lsb) : std::int16_t{-1};
        } else if (bank) {
            select = bankSelectFor(BankSelectMethod::Normal, *bank);
        }
        const std::int32_t number = bank ? *bank : bankNumberOf(select);
        ReadBank& into =
            bankOf(m_table.instrumentOf(row), number, select, m_table.cell(row, Column::BankName));
        Patch patch;
        patch.name = m_table.set().keep(name);
        patch.program = *program;
        into.patches.push_back(patch);
        into.lines.push_back(row.line);
        m_zero = m_zero || *program == 0;
        m_top = m_top || *program == 128;
    }

    /// Makes the banks; false, with the error set, when no row was read.
    bool finish()
    {
        InstrumentSet& set = m_table.set();
        if (set.instruments.empty()) {
            m_table.result().fail({}, "holds no patch: no row below the header names one");
            return false;
        }
        const bool fromOne = m_top && !m_zero;
        if (fromOne)
            m_table.warn(1, "the " + m_table.columnName(Column::Program) +
                                " column counts programs from 1 (it holds 128 and never 0): each is read as "
                                "one less, the program change a device receives");
        for (auto& [key, bank] : m_banks)
            makeBank(key.first, bank, fromOne);
        for (Instrument& instrument : set.instruments)
            instrument.method = methodOf(instrument);
        m_table.warnUnread();
        return true;
    }

private:
    using Key = std::pair<std::size_t, std::size_t>; ///< instrument, bank in order of first use

    ReadBank& bankOf(std::size_t instrument, std::int32_t number, const BankSelect& select,
                     std::string_view name)
    {
        if (m_last != nullptr && m_lastInstrument == instrument && m_last->number == number &&
            m_last->select == select && m_last->name == name)
            return *m_last;
        const auto key = std::tuple(instrument, number, select.msb, select.lsb, std::string(name));
        const auto [place, fresh] = m_order.try_emplace(key, m_banks.size());
        if (fresh)
            m_banks.emplace_back(Key{instrument, place->second},
                                 ReadBank{number, select, std::string(name), {}, {}});
        m_last = &m_banks[place->second].second;
        m_lastInstrument = instrument;
        return *m_last;
    }

    void makeBank(std::size_t instrument, ReadBank& read, bool fromOne)
    {
        InstrumentSet& set = m_table.set();
        std::vector<std::size_t> order(read.patches.size());
        for (std::size_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return read.patches[a].program < read.patches[b].program;
        });
        PatchList list;
        list.name = set.keep(read.name);
        for (std::size_t k = 0; k < order.size(); ++k) {
            const std::size_t i = order[k];
            Patch patch = read.patches[i];
            if (k > 0 && read.patches[order[k - 1]].program == patch.program) {
                m_table.warn(read.lines[i], "row skipped: program " + std::to_string(patch.program) +
                                                " of this bank is named on line " +
                                                std::to_string(read.lines[order[k - 1]]) + " already");
                continue;
            }
            if (fromOne)
                patch.program = patch.program - 1;
            else if (patch.program > 127) {
                m_table.warn(read.lines[i], "row skipped: program 128 is no program from 0 to 127");
                continue;
            }
            list.patches.push_back(patch);
        }
        Bank bank;
        bank.number = read.number;
        bank.select = read.select;
        bank.name = list.name;
        bank.patchList = static_cast<std::int32_t>(set.patchLists.size());
        set.patchLists.push_back(std::move(list));
        set.instruments[instrument].banks.push_back(bank);
    }

    /// The method every bank's select agrees on (a bank that selects nothing agrees with any); Normal when
    /// they differ.
    BankSelectMethod methodOf(const Instrument& instrument) const
    {
        std::optional<BankSelectMethod> agreed;
        for (const Bank& bank : instrument.banks) {
            BankSelectMethod method = BankSelectMethod::Normal;
            if (bank.select == BankSelect{} || !quorvix::methodOf(bank.select, method))
                continue;
            if (agreed && *agreed != method)
                return BankSelectMethod::Normal;
            agreed = method;
        }
        return agreed.value_or(BankSelectMethod::Normal);
    }

    Table& m_table;
    std::map<std::tuple<std::size_t, std::int32_t, std::int16_t, std::int16_t, std::string>, std::size_t>
        m_order;
    std::vector<std::pair<Key, ReadBank>> m_banks;
    ReadBank* m_last = nullptr;
    std::size_t m_lastInstrument = 0;
    bool m_zero = false;
    bool m_top = false;
};

} // namespace

bool readVoices(Table& table, std::string_view text, char separator)
{
    VoiceTable voices(table);
    forEachBodyRow(text, separator, [&](const Row& row) { voices.row(row); });
    return voices.finish();
}

} // namespace csv

bool looksLikeCsv(std::string_view head)
{
    const char separator = csv::separatorOf(head);
    return csv::headerKind(csv::headerOf(head, separator)).has_value();
}

ReadResult readCsv(std::string bytes, std::string_view fileStem)
{
    ReadResult result;
    const char separator = csv::separatorOf(bytes);
    std::vector<std::string> names = csv::headerOf(bytes, separator);
    const std::optional<csv::Header> header = csv::headerKind(names);
    if (!header) {
        result.fail({}, "is no table Quorvix reads: its first row names no program and name columns (or "
                        "those of a note or controller table)");
        return result;
    }
    result.set = InstrumentSet(std::string(), guessEncoding(bytes));
    csv::Table table(result, *header, std::move(names), fileStem);
    using Reader = bool (*)(csv::Table&, std::string_view, char);
    constexpr Reader kReaders[] = {csv::readVoices, csv::readNotes, csv::readControls, csv::readMidiGuide,
                                   csv::readTriggers};
    if (!kReaders[static_cast<std::size_t>(header->kind)](table, bytes, separator)) {
        result.set = InstrumentSet();
        result.warnings = Diagnostics();
        return result;
    }
    result.warnings.sortByLine();
    result.warnings.finish();
    return result;
}

} // namespace quorvix
