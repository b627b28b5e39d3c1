#include "formats/cubase/CakewalkDefinitionWriter.h"

#include "base/FileNames.h"
#include "base/InputFile.h"
#include "base/LineWriter.h"
#include "base/Text.h"
#include "formats/cubase/ScriptBanks.h"
#include "formats/cubase/ScriptEntry.h"
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

/// The name as the definition holds it: a CR with more of the name after it, which would start a line of its
/// own for every reader of a definition, as a blank, and no blank before a ";" (withoutCommentStarts). CRs at
/// the end stay as they are: the reader ends the line there and gets the same name. A name needing neither
/// is returned as it is, and only a changed one is copied into `scratch`; `why` then says what was changed,
/// else it is empty.
std::string_view definitionSafe(std::string_view name, std::string& scratch, std::string_view& why)
{
    why = {};
    const std::size_t last = name.find_last_not_of(" \t\r");
    const std::size_t cr = name.find('\r');
    const bool innerCr = cr != std::string_view::npos && last != std::string_view::npos && cr < last;
    if (!innerCr && name.find(';') == std::string_view::npos)
        return name;
    std::string plain(name);
    if (innerCr) {
        std::replace(plain.begin(), plain.begin() + static_cast<std::ptrdiff_t>(last), '\r', ' ');
        why = "a line break inside a name would end its line";
    }
    bool changed = false;
    scratch = withoutCommentStarts(plain, changed);
    if (changed && why.empty())
        why = "a \";\" after a blank would start a comment";
    return scratch;
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
/// entries, and warns in `result` about what will not read back.
template <typename Lines>
void writeDefinition(ScriptBanks& script, std::string_view typedName, const TimeStamp& stamp, Lines& out,
                     DefinitionConversion& result)
{
    // The name stands inside two lines of the definition: a line break or a NUL in it would split them.
    std::string instrumentName(typedName);
    for (char& c : instrumentName)
        if (c == '\r' || c == '\n' || c == '\0')
            c = ' ';
    bool nameChanged = false;
    const std::string headingName = withoutCommentStarts(instrumentName, nameChanged);
    if (nameChanged)
        result.warnings.warn(0, "the instrument name \"" + instrumentName + "\" is written as \"" +
                                    headingName + "\": a \";\" after a blank would start a comment");

    out.line({kRuleLine});
    out.line({"; Header"});
    out.line({kRuleLine});
    out.line({"; Cakewalk Instrument Definition File"});
    out.line({"; Instrument: ", instrumentName});
    out.line({"; Generated with Quorvix ", stamp.date, " ", stamp.time});
    out.line({"; ", kDefinitionCredit});
    out.line({kRuleLine});
    out.line({});
    out.line({});
    out.line({".Patch Names"});
    out.line({});
    out.line({"; ------- Voices -------"});
    out.line({});

    BankRecordList& banks = script.banks();
    const std::int32_t bankCount = script.bankCount();
    banks.Sort();
    const ReadBack readBack(banks, bankCount);
    EntryWarnings warnings(result.warnings);
    std::vector<EntryRecord> entries;
    std::string nameScratch;
    std::string survivorScratch;
    char digits[2][16];
    for (std::int32_t b = 0; b < bankCount; ++b) {
        const BankRecord& bank = banks.at(b);
        script.entries().takeSorted(bank.patchListSlot, entries);
        out.line({" "});
        out.line({"[Bank", bank.bankText, "]"});
        const std::string bankReason = readBack.whyBankIsLost(b);
        EntryText previous;
        std::size_t runEnd = 0;
        std::string_view survivor; // the name a reader keeps for the program of the current run
        for (std::size_t p = 0; p < entries.size(); ++p) {
            // The entries are read in program order, not in reading order: their lines are rarely cached.
            constexpr std::size_t kAhead = 16;
            if (p + kAhead < entries.size()) {
                const char* ahead = script.text().data() + entries[p + kAhead].offset;
                prefetch(ahead);
                prefetch(ahead + 63);
            }
            const std::uint32_t offset = entries[p].offset;
            const EntryText entry = script.entryOf(entries[p], digits[p % 2]); // `previous` keeps the other
            std::string_view why;
            const std::string_view name = definitionSafe(entry.patchName, nameScratch, why);
            if (p == 0 || entry.programText != previous.programText ||
                entry.patchName != previous.patchName) {
                if (!why.empty() && !warnings.wanted())
                    warnings.drop();
                else if (!why.empty())
                    warnings.add(offset, joined({"patch name \"", entry.patchName, "\" is written as \"",
                                                 name, "\": ", why}));
                out.line({entry.programText, "=", name});
            }
            previous = entry;

            // Of the lines of one program number a reader keeps the last.
            if (p == runEnd) {
                runEnd = p + 1;
                while (runEnd < entries.size() && entries[runEnd].program == entries[p].program)
                    ++runEnd;
                std::string_view lastWhy;
                char survivorDigits[16];
                survivor = definitionSafe(script.entryOf(entries[runEnd - 1], survivorDigits).patchName,
                                          survivorScratch, lastWhy);
            }
            const bool programLost = bankReason.empty() && ReadBack::programIsLost(entry.programText);
            const bool renamed = bankReason.empty() && !programLost && name != survivor;
            if (bankReason.empty() && !programLost && !renamed)
                continue;
            ++result.entriesNotReadBack;
            if (!warnings.wanted()) {
                warnings.drop();
                continue;
            }
            const std::string reason =
                !bankReason.empty() ? bankReason
                : programLost
                    ? ReadBack::whyProgramIsLost(entry.programText)
                    : joined({"program ", entry.programText,
                              " of this bank is named again later; a reader keeps only the last name"});
            warnings.add(offset,
                         joined({"\"", entry.patchName, "\" (program ", entry.programText, ", bank ",
                                 bank.bankText, ") will not read back from the definition: ", reason}));
        }
    }

    out.line({" "});
    out.line({kRuleLine});
    out.line({" "});
    out.line({".Instrument Definitions"});
    out.line({" "});
    out.line({"[ ", headingName, "]"});
    for (std::int32_t b = 0; b < bankCount; ++b) {
        const std::string& text = banks.at(b).bankText;
        out.line({"Patch[", text, "]=Bank", text});
    }
    warnings.finish(script, result.warnings);
    result.warnings.sortByLine();
    result.warnings.finish();
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

std::string ScriptDeviceName(std::string_view script)
{
    constexpr std::string_view kTag = "[device name]";
    std::size_t start = 0;
    while (start < script.size()) {
        const auto newline = script.find('\n', start);
        const bool ended = newline != std::string_view::npos;
        std::string_view line = script.substr(start, ended ? newline - start : std::string_view::npos);
        if (ended && !line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.size() > kMaxScriptLineLength)
            return {};

        const std::string_view text = dropBlanks(line);
        if (isEntryLine(text) || text.starts_with("[define patchnames]"))
            return {};
        if (text.starts_with(kTag)) {
            std::string_view value = dropBlanks(text.substr(kTag.size()));
            while (!value.empty() && isBlank(value.back()))
                value.remove_suffix(1);
            return std::string(value);
        }
        if (!ended)
            return {};
        start = newline + 1;
    }
    return {};
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

DefinitionConversion ConvertToCakewalkDefinitionFile(const std::string& path, std::string_view instrumentName,
                                                     const TimeStamp& stamp)
{
    const InputFile script = readInputFile(path);
    if (!script.ok()) {
        DefinitionConversion result;
        result.status = DefinitionConversion::Status::CannotOpen;
        result.detail = script.error;
        return result;
    }
    return ConvertToCakewalkDefinition(std::string_view(script.bytes), instrumentName, stamp);
}

DefinitionConversion ConvertToCakewalkDefinition(std::istream& script, std::string_view instrumentName,
                                                 const TimeStamp& stamp)
{
    std::string bytes;
    bool failed = false;
    char block[1 << 16];
    try {
        // read() turns an exception of the stream's buffer into the bad bit.
        while (script.read(block, sizeof block) || script.gcount() > 0)
            bytes.append(block, static_cast<std::size_t>(script.gcount()));
        failed = script.bad();
    } catch (const std::ios_base::failure&) {
        failed = true;
    }
    if (failed) {
        DefinitionConversion result;
        result.status = DefinitionConversion::Status::ReadError;
        result.detail = "read error";
        return result;
    }
    return ConvertToCakewalkDefinition(std::string_view(bytes), instrumentName, stamp);
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
