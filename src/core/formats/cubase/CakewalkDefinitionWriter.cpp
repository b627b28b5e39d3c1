#include "formats/cubase/CakewalkDefinitionWriter.h"

#include "formats/cubase/BankRecordList.h"
#include "formats/cubase/PatchRecordList.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <filesystem>
#include <fstream>
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

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

std::string_view dropBlanks(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    return text.substr(i);
}

std::string_view dropCommasAndBlanks(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ',' || isBlank(text[i])))
        ++i;
    return text.substr(i);
}

std::string_view leadingDigits(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isDigit(text[i]))
        ++i;
    return text.substr(0, i);
}

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
    text = text.substr(std::min<std::size_t>(4, text.size())); // "[", "p", the digit and one more
    text = dropBlanks(text);
    entry.programText = leadingDigits(text);

    // The comma search may reach into the name; without a comma the second number is read from the program
    // digits again.
    if (const auto comma = text.find(','); comma != std::string_view::npos)
        text = text.substr(comma);
    text = dropCommasAndBlanks(text);
    const std::string_view second = leadingDigits(text);

    const auto stop = text.find_first_of(",]");
    entry.threeNumbers = stop != std::string_view::npos && text[stop] == ',';
    if (entry.threeNumbers)
        text = text.substr(stop);
    text = dropCommasAndBlanks(text);
    const std::string_view third = leadingDigits(text);

    // An entry with no "]" after its numbers has an empty name.
    if (const auto bracket = text.find(']'); bracket != std::string_view::npos)
        entry.patchName = dropBlanks(text.substr(bracket + 1));
    else
        entry.patchName = {};

    if (entry.threeNumbers) {
        entry.msbText = second;
        entry.lsbText = third;
        const std::int64_t combined = combinedBankValue(second, third);
        entry.bankText = formatInteger(combined, entry.combined);
        entry.directKey =
            combined >= 0 && combined < kDirectBankLimit ? static_cast<std::int32_t>(combined) : -1;
    } else {
        entry.msbText = {};
        entry.lsbText = {};
        entry.bankText = second;
        entry.directKey = directBankKey(second);
    }
}

std::string describe(std::uint64_t lineNumber)
{
    return "line " + std::to_string(lineNumber);
}

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
    bool read(std::istream& script, DefinitionConversion& result);

    /// Sorts the records and appends the instrument definition text to `lines`. Releases the records.
    void produce(std::string_view instrumentName, const TimeStamp& stamp, TextLines& lines);

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
};

bool ScriptReader::read(std::istream& script, DefinitionConversion& result)
{
    constexpr std::size_t kBlockSize = std::size_t{1} << 20;
    // An unfinished line longer than this is too long whatever follows (at most one CR is dropped).
    constexpr std::size_t kLongestOpenLine = kMaxScriptLineLength + 1;
    const auto buffer = std::make_unique_for_overwrite<char[]>(kBlockSize + kLongestOpenLine);
    std::size_t carried = 0;

    const auto readError = [&] {
        result.status = DefinitionConversion::Status::ReadError;
        result.lineNumber = m_lineNumber + 1;
        result.detail = "read error at " + describe(m_lineNumber + 1);
        return false;
    };

    for (;;) {
        bool failed = false;
        try {
            script.read(buffer.get() + carried, static_cast<std::streamsize>(kBlockSize));
        } catch (const std::ios_base::failure&) {
            failed = true;
        }
        const auto got = static_cast<std::size_t>(std::max<std::streamsize>(script.gcount(), 0));
        failed = failed || script.bad();
        const bool atEnd = !failed && script.eof();
        failed = failed || (!atEnd && script.fail());

        const char* const data = buffer.get();
        const std::size_t end = carried + got;
        std::size_t start = 0;
        while (start < end) {
            const void* found = std::memchr(data + start, '\n', end - start);
            if (found == nullptr)
                break;
            const auto newline = static_cast<std::size_t>(static_cast<const char*>(found) - data);
            std::size_t stop = newline;
            if (stop > start && data[stop - 1] == '\r')
                --stop;
            if (!handleLine(std::string_view(data + start, stop - start), result))
                return false;
            start = newline + 1;
        }

        // The complete lines before a read error are handled first: a failure among them comes first.
        if (failed)
            return readError();
        const std::size_t open = end - start;
        if (atEnd) {
            // The last line may lack its line end; a CR at its end is not part of one and stays.
            if (open > 0 && !handleLine(std::string_view(data + start, open), result))
                return false;
            return true;
        }
        if (open > kLongestOpenLine) {
            ++m_lineNumber;
            return lineTooLong(result);
        }
        std::memmove(buffer.get(), data + start, open);
        carried = open;
    }
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
    if (text.size() < 3 || text[0] != '[' || text[1] != 'p' || !isDigit(text[2]))
        return true;

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
                                                     entry.patchName);
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
    list->Add(entry.bankText, programNumber, entry.programText, entry.patchName);
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

void ScriptReader::produce(std::string_view typedName, const TimeStamp& stamp, TextLines& lines)
{
    // The name stands inside two lines of the definition: a line break or a NUL in it would split them.
    std::string instrumentName(typedName);
    for (char& c : instrumentName)
        if (c == '\r' || c == '\n' || c == '\0')
            c = ' ';

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

    for (std::int32_t b = 0; b < m_bankCount; ++b) {
        const BankRecord& bank = m_banks.at(b);
        auto& slot = m_slots[static_cast<std::size_t>(bank.patchListSlot)];
        put(" ");
        putJoined("[Bank", bank.bankText, "]");
        const std::int32_t count = slot->GetCount();
        PatchRecordList::View previous;
        for (std::int32_t p = 0; p < count; ++p) {
            const PatchRecordList::View view = slot->viewAt(p);
            if (p == 0 || !sameLine(view, previous))
                put(patchLine(view.programText, view.patchName));
            previous = view;
        }
        slot.reset(); // its lines are written; keeps the peak memory near the larger of records and text
    }

    put(" ");
    put(std::string(kRuleLine));
    put(" ");
    put(".Instrument Definitions");
    put(" ");
    putJoined("[ ", instrumentName, "]");
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

std::string ScriptDeviceName(std::istream& script)
{
    constexpr std::string_view kTag = "[device name]";
    std::streambuf* buffer = script.rdbuf();
    if (buffer == nullptr)
        return {};
    std::string line;
    for (;;) {
        line.clear();
        bool ended = false;
        for (;;) {
            const auto c = buffer->sbumpc();
            if (c == std::char_traits<char>::eof())
                break;
            if (c == '\n') {
                ended = true;
                break;
            }
            if (line.size() > kMaxScriptLineLength) // at most one CR more is dropped below
                return {};
            line.push_back(static_cast<char>(c));
        }
        if (ended && !line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() > kMaxScriptLineLength)
            return {};

        const std::string_view text = dropBlanks(line);
        if (text.size() >= 3 && text[0] == '[' && text[1] == 'p' && isDigit(text[2]))
            return {};
        if (text.starts_with("[define patchnames]"))
            return {};
        if (text.starts_with(kTag)) {
            std::string_view value = dropBlanks(text.substr(kTag.size()));
            while (!value.empty() && isBlank(value.back()))
                value.remove_suffix(1);
            return std::string(value);
        }
        if (!ended)
            return {};
    }
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

DefinitionConversion ConvertToCakewalkDefinition(std::istream& script, std::string_view instrumentName,
                                                 const TimeStamp& stamp)
{
    DefinitionConversion result;
    ScriptReader reader;
    if (!reader.read(script, result))
        return result;
    reader.produce(instrumentName, stamp, result.lines);
    result.status = DefinitionConversion::Status::Ok;
    return result;
}

DefinitionConversion ConvertToCakewalkDefinition(const std::string& path, std::string_view instrumentName,
                                                 const TimeStamp& stamp)
{
    DefinitionConversion result;
    const std::filesystem::path file(path);
    std::error_code error;
    if (std::filesystem::is_directory(file, error)) {
        result.status = DefinitionConversion::Status::CannotOpen;
        result.detail =
            "cannot open \"" + path + "\": " + std::make_error_code(std::errc::is_a_directory).message();
        return result;
    }
    std::ifstream script;
    errno = 0;
    script.open(file, std::ios::in | std::ios::binary);
    if (!script.is_open()) {
        const int reason = errno;
        result.status = DefinitionConversion::Status::CannotOpen;
        result.detail = "cannot open \"" + path + "\"";
        if (reason != 0)
            result.detail += ": " + std::generic_category().message(reason);
        return result;
    }
    DefinitionConversion converted = ConvertToCakewalkDefinition(script, instrumentName, stamp);
    if (converted.status != DefinitionConversion::Status::Ok)
        converted.detail = "\"" + path + "\": " + converted.detail;
    return converted;
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
