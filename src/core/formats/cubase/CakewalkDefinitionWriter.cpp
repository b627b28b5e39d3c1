#include "formats/cubase/CakewalkDefinitionWriter.h"

#include "base/InputFile.h"
#include "base/Text.h"
#include "formats/cubase/BankRecordList.h"
#include "formats/cubase/PatchRecordList.h"
#include "formats/cubase/ScriptEntry.h"
#include "formats/ins/InsWriter.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <unordered_map>
#include <vector>

namespace quorvix {

namespace {

static_assert(kMaxBanks <= std::numeric_limits<std::int16_t>::max(), "a bank's slot must fit the key table");

constexpr std::string_view kRuleLine = "; -------------------------------------------";

template <typename Integer>
std::string_view formatInteger(Integer value, char (&buffer)[24])
{
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer));
}

std::int64_t combinedBankValue(std::string_view msbText, std::string_view lsbText)
{
    // Both values are within the 32-bit range, so the sum fits comfortably in 64 bits.
    return std::int64_t{DecimalValue(msbText)} * 128 + DecimalValue(lsbText);
}

/// Bank texts written as a number is formatted (no leading zero) and below this value are found through a
/// table indexed by their value: it holds every bank an MSB and an LSB of 0 to 127 make.
constexpr std::int32_t kDirectBankLimit = 128 * 128;

/// The value of a bank text when it is the formatted form of a number below kDirectBankLimit, -1 otherwise.
/// Such texts and their values correspond one to one, so the value identifies the bank as the text does.
std::int32_t directBankKey(std::string_view text)
{
    if (text.empty() || text.size() > 5 || (text.size() > 1 && text[0] == '0'))
        return -1;
    std::int32_t value = 0;
    for (const char c : text) {
        if (!isDigit(c))
            return -1;
        value = value * 10 + (c - '0');
    }
    return value < kDirectBankLimit ? value : -1;
}

/// What one entry line holds, as views into the line (the bank text may point into `combined`).
struct Entry
{
    std::string_view programText;
    std::string_view bankText;
    std::string_view msbText;
    std::string_view lsbText;
    std::string_view patchName;
    bool threeNumbers = false;
    std::int32_t directKey = -1; ///< directBankKey(bankText)
    char combined[24];
};

/// Reads the entry after its "[p" and digit (`text` starts at the tag's first character).
void readEntry(std::string_view text, Entry& entry)
{
    const EntryFields fields = parseEntryLine(text);
    entry.programText = fields.programText;
    entry.patchName = fields.name;
    entry.threeNumbers = fields.threeNumbers;
    if (entry.threeNumbers) {
        entry.msbText = fields.secondText;
        entry.lsbText = fields.thirdText;
        const std::int64_t combined = combinedBankValue(fields.secondText, fields.thirdText);
        entry.bankText = formatInteger(combined, entry.combined);
        entry.directKey =
            combined >= 0 && combined < kDirectBankLimit ? static_cast<std::int32_t>(combined) : -1;
    } else {
        entry.msbText = {};
        entry.lsbText = {};
        entry.bankText = fields.secondText;
        entry.directKey = directBankKey(fields.secondText);
    }
}

std::string describe(std::uint64_t lineNumber)
{
    return "line " + std::to_string(lineNumber);
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
            return "bank " + m_texts[static_cast<std::size_t>(b)] + " reads back as bank " + std::to_string(number) +
                   ", as does bank " + m_texts[static_cast<std::size_t>(last)] +
                   ", and a reader keeps only the list of the last";
        return {};
    }

    /// Why a program text does not read back; empty when it does.
    static std::string whyProgramIsLost(std::string_view programText)
    {
        const std::int64_t number = valueOf(programText);
        if (number < 0)
            return "the entry gives no program number";
        if (number > 127)
            return "program " + std::string(programText) + " is above 127, the highest program";
        return {};
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

/// One run of the conversion: the records collected from the script and the text made from them.
class ScriptReader
{
public:
    ScriptReader()
        : m_slots(static_cast<std::size_t>(kMaxBanks)),
          m_slotByKey(static_cast<std::size_t>(kDirectBankLimit), -1)
    {
        m_slotTexts.reserve(static_cast<std::size_t>(kMaxBanks)); // never reallocated: views stay valid
        m_slotByText.reserve(static_cast<std::size_t>(kMaxBanks));
    }

    /// Reads every line of the script; fills status, lineNumber and detail of `result` on failure.
    bool read(std::string_view script, DefinitionConversion& result);

    /// Sorts the records and appends the instrument definition text to `lines`. Releases the records.
    /// Warns in `result` about what will not read back.
    void produce(std::string_view instrumentName, const TimeStamp& stamp, TextLines& lines,
                 DefinitionConversion& result);

private:
    bool handleLine(std::string_view line, DefinitionConversion& result);
    bool lineTooLong(DefinitionConversion& result) const;
    bool fileEntry(const Entry& entry, DefinitionConversion& result);

    BankRecordList m_banks;
    std::vector<std::unique_ptr<PatchRecordList>> m_slots; ///< the patch list table
    std::int32_t m_bankCount = 0;
    std::vector<std::string> m_slotTexts;                            ///< the bank text of each filled slot
    std::unordered_map<std::string_view, std::int32_t> m_slotByText; ///< banks without a direct key
    std::vector<std::int16_t> m_slotByKey; ///< banks with a direct key, by that key; -1 for none
    std::int32_t m_lastSlot = -1;
    std::uint64_t m_lineNumber = 0;
    std::uint64_t m_entries = 0;
};

bool ScriptReader::read(std::string_view script, DefinitionConversion& result)
{
    std::size_t start = 0;
    while (start < script.size()) {
        const void* found = std::memchr(script.data() + start, '\n', script.size() - start);
        if (found == nullptr) {
            // The last line may lack its line end; a CR at its end is not part of one and stays.
            if (!handleLine(script.substr(start), result))
                return false;
            break;
        }
        const auto newline = static_cast<std::size_t>(static_cast<const char*>(found) - script.data());
        std::size_t stop = newline;
        if (stop > start && script[stop - 1] == '\r')
            --stop;
        if (!handleLine(script.substr(start, stop - start), result))
            return false;
        start = newline + 1;
    }
    if (m_entries == 0) {
        result.status = DefinitionConversion::Status::NoEntries;
        result.detail = "holds no entry line (\"[p2, program, msb, lsb] name\")";
        if (script.find('\n') == std::string_view::npos && script.find('\r') != std::string_view::npos)
            result.detail += "; its lines end in a lone CR, which Cubase scripts do not use";
        return false;
    }
    return true;
}

bool ScriptReader::lineTooLong(DefinitionConversion& result) const
{
    result.status = DefinitionConversion::Status::LineTooLong;
    result.lineNumber = m_lineNumber;
    result.detail =
        describe(m_lineNumber) + " is longer than " + std::to_string(kMaxScriptLineLength) + " characters";
    return false;
}

bool ScriptReader::handleLine(std::string_view line, DefinitionConversion& result)
{
    ++m_lineNumber;
    if (line.size() > kMaxScriptLineLength) {
        result.status = DefinitionConversion::Status::LineTooLong;
        result.lineNumber = m_lineNumber;
        return lineTooLong(result);
    }
    // A NUL byte ends a line's text, as it does for every program that reads these files as C strings;
    // kept, it would make the written definition unreadable.
    line = line.substr(0, std::min(line.find('\0'), line.size()));
    std::size_t first = 0;
    while (first < line.size() && line[first] == ' ')
        ++first;
    const std::string_view text = line.substr(first);
    if (!isEntryLine(text)) {
        std::size_t blank = first;
        while (blank < line.size() && (line[blank] == ' ' || line[blank] == '\t'))
            ++blank;
        if (blank > first && isEntryLine(line.substr(blank)))
            result.warnings.warn(static_cast<std::uint32_t>(m_lineNumber),
                                 "entry line indented with a tab left out: only an entry line indented with "
                                 "spaces (or not at all) is read");
        return true;
    }

    ++m_entries;
    Entry entry;
    readEntry(text, entry);
    return fileEntry(entry, result);
}

bool ScriptReader::fileEntry(const Entry& entry, DefinitionConversion& result)
{
    const std::int32_t programNumber = DecimalValue(entry.programText);

    // Nearly every bank text is a plain number, found by its value without hashing or comparing text. Of
    // the others, entries of one bank usually follow each other, so the previous entry's bank is tried first.
    std::int32_t slot = -1;
    if (entry.directKey >= 0) {
        slot = m_slotByKey[static_cast<std::size_t>(entry.directKey)];
    } else if (m_lastSlot >= 0 && m_slotTexts[static_cast<std::size_t>(m_lastSlot)] == entry.bankText) {
        slot = m_lastSlot;
    } else if (const auto found = m_slotByText.find(entry.bankText); found != m_slotByText.end()) {
        slot = found->second;
    }

    if (slot >= 0) {
        m_slots[static_cast<std::size_t>(slot)]->Add(entry.bankText, programNumber, entry.programText,
                                                     entry.patchName, static_cast<std::uint32_t>(m_lineNumber));
        m_lastSlot = slot;
        return true;
    }

    if (m_bankCount == kMaxBanks) {
        result.status = DefinitionConversion::Status::TooManyBanks;
        result.lineNumber = m_lineNumber;
        result.detail = describe(m_lineNumber) + ": bank \"" + std::string(entry.bankText) +
                        "\" would be distinct bank number " + std::to_string(kMaxBanks + 1) + "; at most " +
                        std::to_string(kMaxBanks) + " are allowed";
        return false;
    }

    slot = m_bankCount;
    auto list = std::make_unique<PatchRecordList>();
    list->Add(entry.bankText, programNumber, entry.programText, entry.patchName,
              static_cast<std::uint32_t>(m_lineNumber));
    m_slots[static_cast<std::size_t>(slot)] = std::move(list);
    if (entry.threeNumbers) {
        m_banks.Add(DecimalValue(entry.bankText), entry.bankText, entry.msbText, entry.lsbText, slot);
    } else {
        std::string msbText;
        std::string lsbText;
        SplitBank(entry.bankText, msbText, lsbText);
        m_banks.Add(DecimalValue(entry.bankText), entry.bankText, msbText, lsbText, slot);
    }
    m_slotTexts.emplace_back(entry.bankText);
    if (entry.directKey >= 0)
        m_slotByKey[static_cast<std::size_t>(entry.directKey)] = static_cast<std::int16_t>(slot);
    else
        m_slotByText.emplace(m_slotTexts.back(), slot);
    m_lastSlot = slot;
    ++m_bankCount;
    return true;
}

/// A line of exactly the two texts joined by "=", allocated to fit.
std::string patchLine(std::string_view programText, std::string_view patchName)
{
    std::string line(programText.size() + 1 + patchName.size(), '=');
    if (!programText.empty())
        std::memcpy(line.data(), programText.data(), programText.size());
    if (!patchName.empty())
        std::memcpy(line.data() + programText.size() + 1, patchName.data(), patchName.size());
    return line;
}

bool sameLine(const PatchRecordList::View& a, const PatchRecordList::View& b)
{
    // Program texts hold digits only, so two lines are equal exactly when both parts are.
    return a.programText == b.programText && a.patchName == b.patchName;
}

void ScriptReader::produce(std::string_view typedName, const TimeStamp& stamp, TextLines& lines,
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
        result.warnings.warn(0, "the instrument name \"" + instrumentName + "\" is written as \"" + headingName +
                                    "\": a \";\" after a blank would start a comment");

    m_banks.Sort();
    for (std::int32_t i = 0; i < m_bankCount; ++i)
        m_slots[static_cast<std::size_t>(i)]->Sort();

    // The text is laid out at its largest possible size first (a line per record; repeated lines are left
    // out below and the rest trimmed at the end), so that millions of lines are placed without the list ever
    // being copied, and without a pass over every record's text only to count the lines.
    std::size_t total = 20 + 3 * static_cast<std::size_t>(m_bankCount);
    for (std::int32_t i = 0; i < m_bankCount; ++i)
        total += static_cast<std::size_t>(m_slots[static_cast<std::size_t>(i)]->GetCount());
    if (total > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        throw std::length_error("instrument definition has too many lines");

    lines.RemoveAll();
    lines.SetSize(static_cast<int>(total));
    int next = 0;
    const auto put = [&](std::string line) { lines[next++] = std::move(line); };
    const auto putJoined = [&](std::string_view head, std::string_view body, std::string_view tail) {
        std::string line;
        line.reserve(head.size() + body.size() + tail.size());
        line.append(head).append(body).append(tail);
        put(std::move(line));
    };

    put(std::string(kRuleLine));
    put("; Header");
    put(std::string(kRuleLine));
    put("; Cakewalk Instrument Definition File");
    putJoined("; Instrument: ", instrumentName, "");
    putJoined("; Generated with Quorvix ", stamp.date, " " + stamp.time);
    putJoined("; ", kDefinitionCredit, "");
    put(std::string(kRuleLine));
    put("");
    put("");
    put(".Patch Names");
    put("");
    put("; ------- Voices -------");
    put("");

    const ReadBack readBack(m_banks, m_bankCount);
    for (std::int32_t b = 0; b < m_bankCount; ++b) {
        const BankRecord& bank = m_banks.at(b);
        auto& slot = m_slots[static_cast<std::size_t>(bank.patchListSlot)];
        put(" ");
        putJoined("[Bank", bank.bankText, "]");
        const std::string bankReason = readBack.whyBankIsLost(b);
        const std::int32_t count = slot->GetCount();
        PatchRecordList::View previous;
        std::int32_t runEnd = 0;
        std::string survivor; // the name a reader keeps for the program of the current run
        for (std::int32_t p = 0; p < count; ++p) {
            const PatchRecordList::View view = slot->viewAt(p);
            bool changed = false;
            std::string name = withoutCommentStarts(view.patchName, changed);
            if (p == 0 || !sameLine(view, previous)) {
                if (changed)
                    result.warnings.warn(view.line, "patch name \"" + std::string(view.patchName) +
                                                        "\" is written as \"" + name +
                                                        "\": a \";\" after a blank would start a comment");
                put(patchLine(view.programText, name));
            }
            previous = view;

            // Of the lines of one program number a reader keeps the last.
            if (p == runEnd) {
                runEnd = p + 1;
                while (runEnd < count && slot->viewAt(runEnd).programNumber == view.programNumber)
                    ++runEnd;
                bool lastChanged = false;
                survivor = withoutCommentStarts(slot->viewAt(runEnd - 1).patchName, lastChanged);
            }
            std::string reason = bankReason;
            if (reason.empty())
                reason = ReadBack::whyProgramIsLost(view.programText);
            if (reason.empty() && name != survivor)
                reason = "program " + std::string(view.programText) +
                         " of this bank is named again later; a reader keeps only the last name";
            if (!reason.empty()) {
                ++result.entriesNotReadBack;
                result.warnings.warn(view.line, "\"" + std::string(view.patchName) + "\" (program " +
                                                    std::string(view.programText) + ", bank " + bank.bankText +
                                                    ") will not read back from the definition: " + reason);
            }
        }
        slot.reset(); // its lines are written; keeps the peak memory near the larger of records and text
    }

    put(" ");
    put(std::string(kRuleLine));
    put(" ");
    put(".Instrument Definitions");
    put(" ");
    putJoined("[ ", headingName, "]");
    for (std::int32_t b = 0; b < m_bankCount; ++b) {
        const std::string& text = m_banks.at(b).bankText;
        std::string line;
        line.reserve(6 + 2 * text.size() + 6);
        line.append("Patch[").append(text).append("]=Bank").append(text);
        put(std::move(line));
    }
    lines.SetSize(next);
}

} // namespace

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

std::int32_t DecimalValue(std::string_view text)
{
    constexpr std::int64_t kHighest = std::numeric_limits<std::int32_t>::max();
    constexpr std::int64_t kLowest = std::numeric_limits<std::int32_t>::min();
    std::int64_t value = 0;
    for (const char c : text) {
        value = value * 10 + (static_cast<unsigned char>(c) - std::int64_t{'0'});
        if (value > kHighest)
            value = kHighest;
        else if (value < kLowest)
            value = kLowest;
    }
    return static_cast<std::int32_t>(value);
}

std::string CombineBank(std::string_view msbText, std::string_view lsbText)
{
    char buffer[24];
    return std::string(formatInteger(combinedBankValue(msbText, lsbText), buffer));
}

void SplitBank(std::string_view bankText, std::string& msbText, std::string& lsbText)
{
    const std::int32_t value = DecimalValue(bankText);
    char buffer[24];
    msbText.assign(formatInteger(value / 128, buffer));
    lsbText.assign(formatInteger(value % 128, buffer));
}

DefinitionConversion ConvertToCakewalkDefinition(std::string_view script, std::string_view instrumentName,
                                                 const TimeStamp& stamp)
{
    DefinitionConversion result;
    ScriptReader reader;
    if (!reader.read(script, result))
        return result;
    reader.produce(instrumentName, stamp, result.lines, result);
    result.warnings.sortByLine();
    result.warnings.finish();
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
    std::string result(
        scriptPath.substr(0, dot == std::string_view::npos ? scriptPath.size() : nameStart + dot));
    result += ".ins";
    return result;
}

} // namespace quorvix
