#include "formats/cubase/ScriptReader.h"

#include "base/Text.h"
#include "formats/cubase/CakewalkDefinitionWriter.h"
#include "formats/cubase/ScriptLines.h"

#include <algorithm>
#include <map>

namespace quorvix {

namespace {

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const char a = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
        if (a != prefix[i])
            return false;
    }
    return true;
}

std::string bankText(std::int32_t msb, std::int32_t lsb)
{
    const auto part = [](std::int32_t value) { return value < 0 ? std::string("-") : std::to_string(value); };
    return "MSB " + part(msb) + ", LSB " + part(lsb);
}

/// The model's reader reads every line Cubase reads: a long line is only warned about.
constexpr ScriptLineOptions kModelLines{kMaxScriptLineLength, false, true};

struct PendingPatch
{
    std::uint8_t program;
    TextRef name;
    std::uint32_t line;
};

struct PendingBank
{
    BankSelect select;
    std::vector<PendingPatch> patches;
    std::int32_t heading = -1; ///< the heading all its entries stand under; -2 when they differ
};

/// Reads a script line by line, one method per kind of line, then makes the instrument of what it read.
class ScriptModelReader
{
public:
    explicit ScriptModelReader(ReadResult& result) : m_result(result), m_set(result.set) {}

    void line(const ScriptLine& line);
    /// After the last line: the instrument, or the failure of a script without entries.
    void finish(std::string_view text, std::string_view fileStem);

private:
    void header(const ScriptLine& line);
    void groupHeading(std::string_view text);
    void entry(const ScriptLine& line);
    void file(std::int32_t msb, std::int32_t lsb, PendingPatch patch);
    std::int32_t openHeading() const;
    void addBank(Instrument& instrument, std::size_t index);

    ReadResult& m_result;
    InstrumentSet& m_set;
    std::string_view m_deviceName;
    std::string_view m_manufacturer;
    std::vector<PendingBank> m_banks;
    std::map<std::pair<std::int32_t, std::int32_t>, std::size_t> m_bankBySelect;
    std::vector<TextRef> m_headings;          ///< every heading line, in order
    std::vector<std::int32_t> m_headingBanks; ///< per heading: the one bank under it, -2 for several
    std::vector<std::int32_t> m_openHeadings = std::vector<std::int32_t>(10, -1); ///< per level
    std::size_t m_entries = 0;
    bool m_sawTabEntry = false;
};

void ScriptModelReader::line(const ScriptLine& line)
{
    const auto number = static_cast<std::uint32_t>(line.number);
    if (line.tooLong)
        m_result.warnings.warn(number, "line is longer than " + std::to_string(kMaxScriptLineLength) +
                                           " characters; Cubase may not read it");
    switch (line.kind) {
    case ScriptLineKind::Entry:
        entry(line);
        break;
    case ScriptLineKind::TabIndentedEntry:
        if (!m_sawTabEntry)
            m_result.warnings.warn(number, "an entry line indented with a tab is no entry line; it is left "
                                           "out (indent with spaces, or not at all)");
        m_sawTabEntry = true;
        break;
    case ScriptLineKind::Other:
        header(line);
        break;
    }
}

void ScriptModelReader::header(const ScriptLine& line)
{
    const std::string_view text = line.text;
    if (startsWithNoCase(text, "[device name]")) {
        if (m_deviceName.empty())
            m_deviceName = trimBlanks(text.substr(13));
    } else if (startsWithNoCase(text, "[device manufacturer]")) {
        m_manufacturer = trimBlanks(text.substr(21));
    } else if (startsWithNoCase(text, "[mode")) {
        std::fill(m_openHeadings.begin(), m_openHeadings.end(), -1);
    } else if (text.size() >= 4 && text[0] == '[' && text[1] == 'g' && text[2] >= '1' && text[2] <= '9' &&
               text[3] == ']') {
        groupHeading(text);
    }
}

void ScriptModelReader::groupHeading(std::string_view text)
{
    const auto level = static_cast<std::size_t>(text[2] - '0');
    m_openHeadings[level] = static_cast<std::int32_t>(m_headings.size());
    for (std::size_t deeper = level + 1; deeper < m_openHeadings.size(); ++deeper)
        m_openHeadings[deeper] = -1;
    m_headings.push_back(m_set.refer(trimBlanks(text.substr(4))));
    m_headingBanks.push_back(-1);
}

void ScriptModelReader::entry(const ScriptLine& line)
{
    const auto number = static_cast<std::uint32_t>(line.number);
    const EntryFields fields = parseEntryLine(line.text);
    if (fields.programText.empty()) {
        m_result.warnings.warn(number, "entry without a program number left out");
        return;
    }
    const std::int32_t program = DecimalValue(fields.programText);
    std::int32_t msb = 0;
    std::int32_t lsb = 0;
    if (fields.threeNumbers) {
        msb = fields.secondNegative ? -1 : DecimalValue(fields.secondText);
        lsb = fields.thirdNegative ? -1 : DecimalValue(fields.thirdText);
    } else {
        const std::int32_t bank = DecimalValue(fields.secondText);
        msb = bank / 128;
        lsb = bank % 128;
    }
    if (program > 127 || msb > 127 || lsb > 127) {
        m_result.warnings.warn(
            number,
            "entry " +
                std::string(fields.name.empty() ? "without a name" : "\"" + std::string(fields.name) + "\"") +
                " left out: program " + std::to_string(program) + ", " + bankText(msb, lsb) +
                " cannot be sent (programs and bank selects go from 0 to 127)");
        return;
    }
    ++m_entries;
    file(msb, lsb, PendingPatch{static_cast<std::uint8_t>(program), m_set.refer(fields.name), number});
}

std::int32_t ScriptModelReader::openHeading() const
{
    std::int32_t heading = -1;
    for (auto it = m_openHeadings.rbegin(); it != m_openHeadings.rend() && heading < 0; ++it)
        heading = *it;
    return heading;
}

void ScriptModelReader::file(std::int32_t msb, std::int32_t lsb, PendingPatch patch)
{
    const auto [found, inserted] = m_bankBySelect.try_emplace({msb, lsb}, m_banks.size());
    if (inserted) {
        PendingBank bank;
        bank.select.msb = static_cast<std::int16_t>(msb);
        bank.select.lsb = static_cast<std::int16_t>(lsb);
        m_banks.push_back(std::move(bank));
    }
    const auto bankIndex = static_cast<std::int32_t>(found->second);
    PendingBank& bank = m_banks[found->second];
    const std::int32_t heading = openHeading();
    if (bank.patches.empty())
        bank.heading = heading;
    else if (bank.heading != heading)
        bank.heading = -2;
    if (heading >= 0) {
        std::int32_t& under = m_headingBanks[static_cast<std::size_t>(heading)];
        under = under == -1 || under == bankIndex ? bankIndex : -2;
    }
    bank.patches.push_back(patch);
}

void ScriptModelReader::addBank(Instrument& instrument, std::size_t index)
{
    PendingBank& pending = m_banks[index];
    std::stable_sort(pending.patches.begin(), pending.patches.end(),
                     [](const PendingPatch& x, const PendingPatch& y) { return x.program < y.program; });
    PatchList list;
    for (std::size_t i = 0; i < pending.patches.size(); ++i) {
        const PendingPatch& patch = pending.patches[i];
        if (i + 1 < pending.patches.size() && pending.patches[i + 1].program == patch.program) {
            m_result.warnings.warn(pending.patches[i + 1].line,
                                   "program " + std::to_string(patch.program) + " of bank " +
                                       bankText(pending.select.msb, pending.select.lsb) +
                                       " is named again (first at line " + std::to_string(patch.line) +
                                       "); the later name is used");
            continue;
        }
        list.patches.push_back(Patch{patch.name, patch.program, kNoList});
    }
    Bank bank;
    bank.select = pending.select;
    bank.number = bankNumberOf(bank.select);
    if (pending.heading >= 0 &&
        m_headingBanks[static_cast<std::size_t>(pending.heading)] == static_cast<std::int32_t>(index))
        bank.name = m_headings[static_cast<std::size_t>(pending.heading)];
    list.name = bank.name;
    bank.patchList = static_cast<std::int32_t>(m_set.patchLists.size());
    m_set.patchLists.push_back(std::move(list));
    instrument.banks.push_back(bank);
}

void ScriptModelReader::finish(std::string_view text, std::string_view fileStem)
{
    if (m_entries == 0) {
        std::string why = "holds no entry line (\"[p2, program, msb, lsb] name\")";
        if (text.find('\n') == std::string_view::npos && text.find('\r') != std::string_view::npos)
            why += "; its lines end in a lone CR, which Cubase scripts do not use";
        m_result.fail({}, why);
        return;
    }
    Instrument instrument;
    // Every view into the text is taken before keep() may move it.
    const TextRef manufacturerRef = m_set.refer(m_manufacturer);
    instrument.name = m_deviceName.empty() ? m_set.keep(fileStem) : m_set.refer(m_deviceName);
    if (!m_manufacturer.empty() && m_manufacturer != "-") {
        instrument.device = 0;
        m_set.devices.push_back(Device{manufacturerRef, instrument.name, {}, {}});
    }
    bool sameMethod = true;
    BankSelectMethod method = BankSelectMethod::Normal;
    for (std::size_t b = 0; b < m_banks.size(); ++b) {
        addBank(instrument, b);
        BankSelectMethod own = BankSelectMethod::Normal;
        methodOf(instrument.banks.back().select, own);
        if (b == 0)
            method = own;
        sameMethod = sameMethod && own == method;
    }
    instrument.method = sameMethod ? method : BankSelectMethod::Normal;
    m_set.instruments.push_back(std::move(instrument));
    m_result.warnings.sortByLine();
    m_result.warnings.finish();
}

} // namespace

bool looksLikeCubaseScript(std::string_view text)
{
    bool first = true;
    bool found = false;
    forEachScriptLine(text, {0, false, true}, [&](const ScriptLine& line) {
        if (line.kind == ScriptLineKind::Entry) {
            // A line that only starts like an entry ("[p1 of 3]") makes no script: an entry has its program
            // number and its "]".
            found = line.text.find(']') != std::string_view::npos &&
                    !parseEntryLine(line.text).programText.empty();
        } else if (line.text.empty()) {
            return true;
        } else {
            found = first && startsWithNoCase(line.text, "[cubase parse file]");
        }
        first = false;
        return !found;
    });
    return found;
}

ReadResult readCubaseScript(std::string bytes, std::string_view fileStem)
{
    ReadResult result;
    const TextEncoding encoding = guessEncoding(bytes);
    result.set = InstrumentSet(std::move(bytes), encoding);
    std::string_view text = result.set.source();
    ScriptModelReader reader(result);
    forEachScriptLine(text, kModelLines, [&](const ScriptLine& line) {
        reader.line(line);
        return true;
    });
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    reader.finish(text, fileStem);
    return result;
}

} // namespace quorvix
