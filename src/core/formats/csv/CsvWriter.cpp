#include "formats/csv/CsvWriter.h"

#include "base/Encoding.h"
#include "base/Text.h"
#include "formats/csv/CsvColumns.h"
#include "formats/csv/CsvTable.h"

#include <algorithm>
#include <array>
#include <vector>

namespace quorvix {

namespace {

/// Rows into the sink, in blocks.
class TableWriter
{
public:
    TableWriter(const InstrumentSet& set, const Instrument& instrument, OutputSink& out,
                Diagnostics& warnings)
        : m_set(set), m_instrument(instrument), m_out(out), m_warnings(warnings),
          m_device(set.utf8(instrument.name))
    {}

    void header(std::string_view names)
    {
        m_block.append(kUtf8ByteOrderMark);
        m_block.append(names);
        m_block.append("\r\n");
    }

    /// A row that starts with the device's cell.
    void row(std::initializer_list<std::string_view> cells)
    {
        csv::appendField(m_block, m_device);
        for (const std::string_view cell : cells) {
            m_block += ',';
            csv::appendField(m_block, cell);
        }
        m_block.append("\r\n");
        ++m_rows;
        if (m_block.size() >= 64 * 1024)
            flush();
    }

    void flush()
    {
        m_out.write(m_block);
        m_block.clear();
    }

    void warn(std::string message) { m_warnings.warn(0, inQuotes(m_device) + ": " + std::move(message)); }

    void voices();
    void notes();
    void controllers();

private:
    const ControlList* controlList(std::int32_t index) const
    {
        return index >= 0 && static_cast<std::size_t>(index) < m_set.controlLists.size()
                   ? &m_set.controlLists[static_cast<std::size_t>(index)]
                   : nullptr;
    }
    const Device* device() const
    {
        return m_instrument.device >= 0 &&
                       static_cast<std::size_t>(m_instrument.device) < m_set.devices.size()
                   ? &m_set.devices[static_cast<std::size_t>(m_instrument.device)]
                   : nullptr;
    }
    /// The note lists of the instrument and its patches, then its device's spare lists, each once.
    std::vector<std::int32_t> noteLists() const;
    std::vector<std::int32_t> controlLists() const;
    void warnLeftOut();

    const InstrumentSet& m_set;
    const Instrument& m_instrument;
    OutputSink& m_out;
    Diagnostics& m_warnings;
    std::string m_device;
    std::string m_block;
    std::size_t m_rows = 0;
};

std::string byteText(std::int16_t value)
{
    return value >= 0 ? std::to_string(value) : std::string();
}

void TableWriter::voices()
{
    header(csv::kVoicesHeader);
    std::vector<const Bank*> banks;
    for (const Bank& bank : m_instrument.banks)
        banks.push_back(&bank);
    std::stable_sort(banks.begin(), banks.end(),
                     [](const Bank* a, const Bank* b) { return a->number < b->number; });
    std::size_t byProgram = 0;
    std::size_t outside = 0;
    for (const Bank* bank : banks) {
        const PatchList* list = m_set.patchListOf(*bank);
        if (list == nullptr || list->patches.empty())
            continue;
        byProgram += bank->select.program >= 0 ? 1 : 0;
        const std::string number = std::to_string(bank->number);
        const std::string name = m_set.utf8(bank->name.empty() ? list->name : bank->name);
        const std::string msb = byteText(bank->select.msb);
        const std::string lsb = byteText(bank->select.lsb);
        for (const Patch& patch : list->patches) {
            if (patch.program < 0 || patch.program > 127) {
                ++outside;
                continue;
            }
            row({number, name, msb, lsb, std::to_string(patch.program), m_set.utf8(patch.name)});
        }
    }
    flush();
    if (byProgram > 0)
        warn(std::to_string(byProgram) + (byProgram == 1 ? " bank is" : " banks are") +
             " selected with a program change 100 + bank, which the table has no column for; the \"bank\" "
             "cell holds the bank's number");
    if (outside > 0)
        warn(std::to_string(outside) + (outside == 1 ? " program is" : " programs are") +
             " not from 0 to 127; left out");
    warnLeftOut();
}

void TableWriter::warnLeftOut()
{
    if (!noteLists().empty())
        warn("its drum-note names are not written: a table of voices holds patch names (to-csv --what notes "
             "writes them)");
    if (!controlLists().empty())
        warn("its controller, RPN and NRPN names are not written: a table of voices holds patch names "
             "(to-csv --what controllers writes them)");
}

std::vector<std::int32_t> TableWriter::noteLists() const
{
    std::vector<std::int32_t> lists;
    const auto use = [&](std::int32_t index) {
        if (index >= 0 && static_cast<std::size_t>(index) < m_set.noteLists.size() &&
            !m_set.noteLists[static_cast<std::size_t>(index)].notes.empty() &&
            std::find(lists.begin(), lists.end(), index) == lists.end())
            lists.push_back(index);
    };
    use(m_instrument.noteList);
    for (const Bank& bank : m_instrument.banks)
        if (const PatchList* list = m_set.patchListOf(bank))
            for (const Patch& patch : list->patches)
                use(patch.noteList);
    if (const Device* held = device())
        for (const std::int32_t index : held->spareNoteLists)
            use(index);
    return lists;
}

std::vector<std::int32_t> TableWriter::controlLists() const
{
    std::vector<std::int32_t> lists;
    std::vector<std::int32_t> candidates{m_instrument.controllers, m_instrument.rpns, m_instrument.nrpns};
    if (const Device* held = device())
        candidates.insert(candidates.end(), held->spareControlLists.begin(), held->spareControlLists.end());
    for (const std::int32_t index : candidates)
        if (const ControlList* list = controlList(index);
            list != nullptr && !list->controls.empty() &&
            std::find(lists.begin(), lists.end(), index) == lists.end())
            lists.push_back(index);
    return lists;
}

void TableWriter::notes()
{
    header(csv::kNotesHeader);
    for (const std::int32_t index : noteLists()) {
        const NoteList& list = m_set.noteLists[static_cast<std::size_t>(index)];
        const std::string name = m_set.utf8(list.name);
        for (const NameEntry& note : list.notes)
            if (note.number <= 127)
                row({name, std::to_string(note.number), m_set.utf8(note.name)});
    }
    flush();
    if (m_rows == 0)
        m_warnings.warn(0, inQuotes(m_device) +
                               " holds no drum-note names: the CSV spreadsheet written for it "
                               "names none");
}

void TableWriter::controllers()
{
    header(csv::kControlsHeader);
    std::size_t outside = 0;
    for (const std::int32_t index : controlLists()) {
        const ControlList& list = *controlList(index);
        constexpr std::array<std::pair<std::string_view, std::uint16_t>, 4> kTypes{
            {{"cc", 127}, {"cc14", 31}, {"rpn", 16383}, {"nrpn", 16383}}};
        const auto& [type, highest] = kTypes[static_cast<std::size_t>(list.kind)];
        for (const NameEntry& control : list.controls) {
            if (control.number > highest) {
                ++outside;
                continue;
            }
            row({type, std::to_string(control.number), m_set.utf8(control.name)});
        }
    }
    flush();
    if (outside > 0)
        warn(std::to_string(outside) + (outside == 1 ? " controller number is" : " controller numbers are") +
             " beyond what its kind sends; left out");
    if (m_rows == 0)
        m_warnings.warn(0, inQuotes(m_device) +
                               " holds no controller, RPN or NRPN names: the CSV spreadsheet "
                               "written for it names none");
}

} // namespace

std::optional<CsvContent> csvContentNamed(std::string_view name)
{
    if (name == "voices")
        return CsvContent::Voices;
    if (name == "notes")
        return CsvContent::Notes;
    if (name == "controllers")
        return CsvContent::Controllers;
    return std::nullopt;
}

void writeCsv(const InstrumentSet& set, const Instrument& instrument, CsvContent content, OutputSink& out,
              Diagnostics& warnings)
{
    TableWriter writer(set, instrument, out, warnings);
    switch (content) {
    case CsvContent::Voices:
        writer.voices();
        break;
    case CsvContent::Notes:
        writer.notes();
        break;
    case CsvContent::Controllers:
        writer.controllers();
        break;
    }
}

} // namespace quorvix
