#include "formats/cubase/CakewalkDefinitionWriter.h"

#include "base/FileNames.h"
#include "base/LineWriter.h"
#include "base/Text.h"
#include "formats/cubase/ScriptBanks.h"
#include "formats/ins/InsWriter.h"

#include <algorithm>
#include <initializer_list>
#include <limits>
#include <stdexcept>
#include <unordered_map>
#include <vector>

namespace quorvix {

namespace {

constexpr std::string_view kRuleLine = "; -------------------------------------------";

/// Asks the processor to start loading the bytes at `address`, which are needed a little later.
inline void prefetch(const char* address)
{
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(address, 0, 2);
#else
    (void)address;
#endif
}

/// What a reader of the written definition gets back: it reads bank and program numbers as numbers, takes
/// banks from 0 to 16383 and programs from 0 to 127, and keeps one list per bank number (the last).
class ReadBack
{
public:
    ReadBack(const BankRecordList& banks, std::int32_t count)
    {
        for (std::int32_t b = 0; b < count; ++b) {
            const std::int64_t number = valueOf(banks.at(b).bankText);
            m_numbers.push_back(number);
            if (number >= 0 && number <= kHighestBank)
                m_lastOf[number] = b;
            m_texts.push_back(banks.at(b).bankText);
        }
    }

    /// Why no entry of bank `b` reads back; empty when they do.
    std::string whyBankIsLost(std::int32_t b) const
    {
        const std::int64_t number = m_numbers[static_cast<std::size_t>(b)];
        if (number < 0)
            return "the entry gives no bank number";
        if (number > kHighestBank)
            return "bank " + m_texts[static_cast<std::size_t>(b)] + " is above 16383, the highest bank";
        const std::int32_t last = m_lastOf.at(number);
        if (last != b)
            return "bank " + m_texts[static_cast<std::size_t>(b)] + " reads back as bank " +
                   std::to_string(number) + ", as does bank " + m_texts[static_cast<std::size_t>(last)] +
                   ", and a reader keeps only the list of the last";
        return {};
    }

    /// Whether a program text does not read back.
    static bool programIsLost(std::string_view programText)
    {
        const std::int64_t number = valueOf(programText);
        return number < 0 || number > 127;
    }

    /// Why a program text does not read back (see programIsLost).
    static std::string whyProgramIsLost(std::string_view programText)
    {
        if (programText.empty())
            return "the entry gives no program number";
        return "program " + std::string(programText) + " is above 127, the highest program";
    }

private:
    static constexpr std::int64_t kHighestBank = 16383;

    /// The number of a text of digits (saturated far above any limit); -1 for an empty text.
    static std::int64_t valueOf(std::string_view digits)
    {
        if (digits.empty())
            return -1;
        std::int64_t value = 0;
        for (const char c : digits)
            value = std::min<std::int64_t>(value * 10 + (c - '0'), std::int64_t{1} << 40);
        return value;
    }

    std::vector<std::int64_t> m_numbers;
    std::vector<std::string> m_texts;
    std::unordered_map<std::int64_t, std::int32_t> m_lastOf;
};

/// The parts one after another.
std::string joined(std::initializer_list<std::string_view> parts)
{
    std::string text;
    for (const std::string_view part : parts)
        text.append(part);
    return text;
}

/// The warnings about single entries. They name the entry's line, which is found only for the warnings that
/// are kept (Diagnostics keeps the first kLimit): counting lines for millions of entries would cost a pass
/// over the script each. The others are only counted.
class EntryWarnings
{
public:
    explicit EntryWarnings(const Diagnostics& warnings)
        : m_room(warnings.size() > warnings.list().size() ? 0 : Diagnostics::kLimit - warnings.list().size())
    {}

    /// Whether the next warning is kept, so that its message is worth making.
    bool wanted() const { return m_offsets.size() < m_room; }
    void add(std::uint32_t offset, std::string message)
    {
        m_offsets.push_back(offset);
        m_messages.push_back(std::move(message));
    }
    void drop() { ++m_dropped; }

    /// Hands every warning to `warnings`, in the order they were made.
    void finish(const ScriptBanks& script, Diagnostics& warnings)
    {
        const std::vector<std::uint32_t> lines = script.lineNumbers(m_offsets);
        for (std::size_t i = 0; i < m_messages.size(); ++i)
            warnings.warn(lines[i], std::move(m_messages[i]));
        for (std::size_t i = 0; i < m_dropped; ++i)
            warnings.warn(0, std::string());
    }

private:
    std::size_t m_room;
    std::vector<std::uint32_t> m_offsets;
    std::vector<std::string> m_messages;
    std::size_t m_dropped = 0;
};

/// The lines of the definition collected in a TextLines, laid out at their largest possible number first
/// (one per entry; repeated lines are left out and the rest trimmed at the end), so that millions of lines
/// are placed without the list ever being copied.
class CollectedLines
{
public:
    CollectedLines(TextLines& lines, std::size_t mostLines) : m_lines(lines)
    {
        if (mostLines > static_cast<std::size_t>(std::numeric_limits<int>::max()))
            throw std::length_error("instrument definition has too many lines");
        m_lines.RemoveAll();
        m_lines.SetSize(static_cast<int>(mostLines));
    }
    ~CollectedLines() { m_lines.SetSize(m_next); }
    CollectedLines(const CollectedLines&) = delete;
    CollectedLines& operator=(const CollectedLines&) = delete;

    void line(std::initializer_list<std::string_view> parts)
    {
        std::size_t size = 0;
        for (const std::string_view part : parts)
            size += part.size();
        std::string& line = m_lines[m_next++];
        line.reserve(size);
        for (const std::string_view part : parts)
            line.append(part);
    }

private:
    TextLines& m_lines;
    int m_next = 0;
};

/// Writes the instrument definition of the script's banks to `out` (which has line(parts)), consuming the
/// entries, and warns in the conversion's result about what will not read back.
template <typename Lines>
class DefinitionWriter
{
public:
    DefinitionWriter(ScriptBanks& script, Lines& out, DefinitionConversion& result)
        : m_script(script), m_out(out), m_result(result), m_warnings(result.warnings)
    {}

    /// The whole text: `instrumentName` in the header comment, `headingName` in the definition's heading.
    void write(std::string_view instrumentName, std::string_view headingName, const TimeStamp& stamp)
    {
        writeHeader(instrumentName, stamp);
        BankRecordList& banks = m_script.banks();
        banks.Sort();
        const ReadBack readBack(banks, m_script.bankCount());
        for (std::int32_t b = 0; b < m_script.bankCount(); ++b)
            writeBank(banks.at(b), readBack.whyBankIsLost(b));
        writeFooter(headingName);
        m_warnings.finish(m_script, m_result.warnings);
        m_result.warnings.sortByLine();
        m_result.warnings.finish();
    }

private:
    void writeHeader(std::string_view instrumentName, const TimeStamp& stamp)
    {
        m_out.line({kRuleLine});
        m_out.line({"; Header"});
        m_out.line({kRuleLine});
        m_out.line({"; Cakewalk Instrument Definition File"});
        m_out.line({"; Instrument: ", instrumentName});
        m_out.line({"; Generated with Quorvix ", stamp.date, " ", stamp.time});
        m_out.line({"; ", kDefinitionCredit});
        m_out.line({kRuleLine});
        m_out.line({});
        m_out.line({});
        m_out.line({".Patch Names"});
        m_out.line({});
        m_out.line({"; ------- Voices -------"});
        m_out.line({});
    }

    void writeFooter(std::string_view headingName)
    {
        m_out.line({" "});
        m_out.line({kRuleLine});
        m_out.line({" "});
        m_out.line({".Instrument Definitions"});
        m_out.line({" "});
        m_out.line({"[ ", headingName, "]"});
        for (std::int32_t b = 0; b < m_script.bankCount(); ++b) {
            const std::string& text = m_script.banks().at(b).bankText;
            m_out.line({"Patch[", text, "]=Bank", text});
        }
    }

    void writeBank(const BankRecord& bank, const std::string& bankReason)
    {
        m_script.entries().takeSorted(bank.patchListSlot, m_entries);
        m_out.line({" "});
        m_out.line({"[Bank", bank.bankText, "]"});
        m_runEnd = 0;
        for (std::size_t p = 0; p < m_entries.size(); ++p) {
            // The entries are read in program order, not in reading order: their lines are rarely cached.
            constexpr std::size_t kAhead = 16;
            if (p + kAhead < m_entries.size()) {
                const char* ahead = m_script.text().data() + m_entries[p + kAhead].offset;
                prefetch(ahead);
                prefetch(ahead + 63);
            }
            const EntryText entry =
                m_script.entryOf(m_entries[p], m_digits[p % 2]); // m_previous keeps the other
            const std::string_view name = writeEntry(p, entry);
            m_previous = entry;
            if (p == m_runEnd)
                m_survivor = survivorOf(p);
            if (!bankReason.empty() || ReadBack::programIsLost(entry.programText) || name != m_survivor)
                warnLost(m_entries[p].offset, entry, bank, bankReason);
        }
    }

    /// Writes the line of entry `p` unless it repeats the line before; returns the name as written.
    std::string_view writeEntry(std::size_t p, const EntryText& entry)
    {
        const InsName safe = insName(entry.patchName, InsNameRule::Window, m_nameScratch);
        if (p == 0 || entry.programText != m_previous.programText ||
            entry.patchName != m_previous.patchName) {
            if (!safe.change.empty() && !m_warnings.wanted())
                m_warnings.drop();
            else if (!safe.change.empty())
                m_warnings.add(m_entries[p].offset,
                               joined({"patch name \"", entry.patchName, "\" is written as \"", safe.text,
                                       "\": ", safe.change}));
            m_out.line({entry.programText, "=", safe.text});
        }
        return safe.text;
    }

    /// The name a reader keeps for the program of entry `p`, the first of its run: of the lines of one
    /// program number a reader keeps the last.
    std::string_view survivorOf(std::size_t p)
    {
        m_runEnd = p + 1;
        while (m_runEnd < m_entries.size() && m_entries[m_runEnd].program == m_entries[p].program)
            ++m_runEnd;
        char digits[16];
        return insName(m_script.entryOf(m_entries[m_runEnd - 1], digits).patchName, InsNameRule::Window,
                       m_survivorScratch)
            .text;
    }

    /// Counts an entry that a reader of the definition will not get back (its bank is lost for
    /// `bankReason`, its program is out of range, or its program is named again later) and warns about it.
    void warnLost(std::uint32_t offset, const EntryText& entry, const BankRecord& bank,
                  const std::string& bankReason)
    {
        ++m_result.entriesNotReadBack;
        if (!m_warnings.wanted()) {
            m_warnings.drop();
            return;
        }
        const std::string reason =
            !bankReason.empty() ? bankReason
            : ReadBack::programIsLost(entry.programText)
                ? ReadBack::whyProgramIsLost(entry.programText)
                : joined({"program ", entry.programText,
                          " of this bank is named again later; a reader keeps only the last name"});
        m_warnings.add(offset, joined({"\"", entry.patchName, "\" (program ", entry.programText, ", bank ",
                                       bank.bankText, ") will not read back from the definition: ", reason}));
    }

    ScriptBanks& m_script;
    Lines& m_out;
    DefinitionConversion& m_result;
    EntryWarnings m_warnings;
    std::vector<EntryRecord> m_entries; ///< the entries of the bank being written, in program order
    std::string m_nameScratch;
    std::string m_survivorScratch;
    char m_digits[2][16] = {};
    EntryText m_previous;
    std::size_t m_runEnd = 0;    ///< the end of the run of entries of one program that holds the current one
    std::string_view m_survivor; ///< the name a reader keeps for the program of the current run
};

template <typename Lines>
void writeDefinition(ScriptBanks& script, std::string_view typedName, const TimeStamp& stamp, Lines& out,
                     DefinitionConversion& result)
{
    std::string commentScratch;
    std::string headingScratch;
    const std::string_view instrumentName =
        insName(typedName, InsNameRule::WindowComment, commentScratch).text;
    const InsName heading = insName(instrumentName, InsNameRule::Window, headingScratch);
    if (!heading.change.empty())
        result.warnings.warn(0, joined({"the instrument name \"", instrumentName, "\" is written as \"",
                                        heading.text, "\": ", heading.change}));
    DefinitionWriter<Lines>(script, out, result).write(instrumentName, heading.text, stamp);
}

} // namespace

ScriptConversion::ScriptConversion() : m_script(std::make_unique<ScriptBanks>()) {}

ScriptConversion::~ScriptConversion() = default;

bool ScriptConversion::read(std::string_view script, DefinitionConversion& result)
{
    return m_script->read(script, result);
}

void ScriptConversion::write(std::string_view instrumentName, const TimeStamp& stamp, OutputSink& out,
                             DefinitionConversion& result)
{
    // Blocks of the size AtomicFile writes at once, so that it writes them without copying.
    LineWriter lines(out, "\r\n", std::size_t{1} << 20);
    writeDefinition(*m_script, instrumentName, stamp, lines, result);
}

void ScriptConversion::write(std::string_view instrumentName, const TimeStamp& stamp, TextLines& lines,
                             DefinitionConversion& result)
{
    std::size_t most = 20 + 3 * static_cast<std::size_t>(m_script->bankCount());
    for (std::int32_t b = 0; b < m_script->bankCount(); ++b)
        most += m_script->entries().count(b);
    CollectedLines collected(lines, most);
    writeDefinition(*m_script, instrumentName, stamp, collected, result);
}

DefinitionConversion ConvertToCakewalkDefinition(std::string_view script, std::string_view instrumentName,
                                                 const TimeStamp& stamp)
{
    DefinitionConversion result;
    ScriptConversion conversion;
    if (!conversion.read(script, result))
        return result;
    conversion.write(instrumentName, stamp, result.lines, result);
    result.status = DefinitionConversion::Status::Ok;
    return result;
}

std::string DefaultDefinitionFileName(std::string_view scriptPath)
{
    // Both separators count on every platform, so that a Windows path keeps its folders whole too.
    const auto separator = scriptPath.find_last_of("/\\");
    const std::size_t nameStart = separator == std::string_view::npos ? 0 : separator + 1;
    const std::string_view name = scriptPath.substr(nameStart);
    auto dot = name.rfind('.');
    // A name that is only dots, or whose only dot leads it (".profile"), has no extension.
    if (dot == 0 || name == "..")
        dot = std::string_view::npos;
    // A name that was long enough before may not be with the longer extension, and one that only Linux
    // allows (CON.txt) would not be written on Windows.
    std::string result(scriptPath.substr(0, nameStart));
    result += fittedFileName(name.substr(0, dot), {}, ".ins");
    return result;
}

} // namespace quorvix
