#include "formats/cubase/ScriptBanks.h"

#include "base/Text.h"
#include "formats/cubase/ScriptLines.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <numeric>

namespace quorvix {

namespace {

static_assert(kMaxBanks <= std::numeric_limits<std::int16_t>::max(), "a bank's slot must fit the key table");

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

constexpr std::size_t kLineBlock = 1024;

std::string describe(std::uint64_t lineNumber)
{
    return "line " + std::to_string(lineNumber);
}

} // namespace

ScriptBanks::ScriptBanks() : m_entries(kMaxBanks), m_slotByKey(static_cast<std::size_t>(kDirectBankLimit), -1)
{
    m_slotTexts.reserve(static_cast<std::size_t>(kMaxBanks)); // never reallocated: views stay valid
    m_slotByText.reserve(static_cast<std::size_t>(kMaxBanks));
}

bool ScriptBanks::read(std::string_view script, DefinitionConversion& result)
{
    // Records keep 32-bit offsets; no file Quorvix reads comes near that size.
    if (script.size() > std::numeric_limits<std::uint32_t>::max()) {
        result.status = DefinitionConversion::Status::ReadError;
        result.detail = "is larger than 4 GiB, the largest script Quorvix converts";
        return false;
    }
    m_script = script;
    // A NUL byte ends a line's text, as it does for every program that reads these files as C strings;
    // kept, it would make the written definition unreadable.
    m_hasNul = script.find('\0') != std::string_view::npos;
    m_lineEndsBefore.reserve(script.size() / kLineBlock + 1);
    const ScriptLineOptions options{kMaxScriptLineLength, m_hasNul, false};
    const bool complete = forEachScriptLine(script, options, [&](const ScriptLine& line) {
        if (!handleLine(line, result))
            return false;
        // Every block that begins up to this line end has the line ends before this one before it.
        if (line.ended)
            while (m_lineEndsBefore.size() * kLineBlock <= line.lineEnd)
                m_lineEndsBefore.push_back(static_cast<std::uint32_t>(m_lineNumber - 1));
        return true;
    });
    if (!complete)
        return false;
    // A last line without its line end adds no line end.
    const bool endsWithLineEnd = !script.empty() && script.back() == '\n';
    while (m_lineEndsBefore.size() * kLineBlock <= script.size())
        m_lineEndsBefore.push_back(
            static_cast<std::uint32_t>(m_lineNumber - (endsWithLineEnd || m_lineNumber == 0 ? 0 : 1)));
    if (m_entryCount == 0) {
        result.status = DefinitionConversion::Status::NoEntries;
        result.detail = "holds no entry line (\"[p2, program, msb, lsb] name\")";
        if (script.find('\n') == std::string_view::npos && script.find('\r') != std::string_view::npos)
            result.detail += "; its lines end in a lone CR, which Cubase scripts do not use";
        return false;
    }
    return true;
}

bool ScriptBanks::handleLine(const ScriptLine& line, DefinitionConversion& result)
{
    m_lineNumber = line.number;
    if (line.tooLong) {
        result.status = DefinitionConversion::Status::LineTooLong;
        result.lineNumber = m_lineNumber;
        result.detail = describe(m_lineNumber) + " is longer than " + std::to_string(kMaxScriptLineLength) +
                        " characters";
        return false;
    }
    if (line.kind == ScriptLineKind::TabIndentedEntry)
        result.warnings.warn(static_cast<std::uint32_t>(m_lineNumber),
                             "entry line indented with a tab left out: only an entry line indented with "
                             "spaces (or not at all) is read");
    if (line.kind != ScriptLineKind::Entry)
        return true;
    ++m_entryCount;
    return fileEntry(line.text, result);
}

bool ScriptBanks::fileEntry(std::string_view text, DefinitionConversion& result)
{
    const EntryFields fields = parseEntryLine(text);
    // A program written as its number is formatted (at most 9 digits, no leading zero) is made again from
    // the number, and the record points at the name, the only text left to read.
    const std::string_view program = fields.programText;
    const bool formatted =
        !program.empty() && program.size() <= 9 && (program.size() == 1 || program[0] != '0');
    EntryRecord record;
    record.program = static_cast<std::uint32_t>(DecimalValue(program)); // digits only: never negative
    record.wholeEntry = formatted ? 0 : 1;
    const char* at = !formatted            ? text.data()
                     : fields.name.empty() ? text.data() + text.size()
                                           : fields.name.data();
    record.offset = static_cast<std::uint32_t>(at - m_script.data());

    // The bank text: the second number as written, or with three numbers the decimal MSB * 128 + LSB (made
    // only when it is needed: a bank found by its value needs no text).
    std::string_view bankText = fields.secondText;
    std::int32_t directKey = -1;
    std::int64_t combinedValue = 0;
    char combined[24];
    if (fields.threeNumbers) {
        combinedValue = combinedBankValue(fields.secondText, fields.thirdText);
        directKey = combinedValue >= 0 && combinedValue < kDirectBankLimit
                        ? static_cast<std::int32_t>(combinedValue)
                        : -1;
        if (directKey < 0)
            bankText = formatInteger(combinedValue, combined);
    } else {
        directKey = directBankKey(bankText);
    }

    // Nearly every bank text is a plain number, found by its value without hashing or comparing text. Of
    // the others, entries of one bank usually follow each other, so the previous entry's bank is tried first.
    std::int32_t slot = -1;
    if (directKey >= 0) {
        slot = m_slotByKey[static_cast<std::size_t>(directKey)];
    } else if (m_lastSlot >= 0 && m_slotTexts[static_cast<std::size_t>(m_lastSlot)] == bankText) {
        slot = m_lastSlot;
    } else if (const auto found = m_slotByText.find(bankText); found != m_slotByText.end()) {
        slot = found->second;
    }
    if (slot < 0) {
        if (fields.threeNumbers)
            bankText = formatInteger(combinedValue, combined);
        slot = newBank(bankText, fields.secondText, fields.thirdText, fields.threeNumbers, directKey, result);
        if (slot < 0)
            return false;
    }
    m_entries.add(slot, record);
    m_lastSlot = slot;
    return true;
}

std::int32_t ScriptBanks::newBank(std::string_view bankText, std::string_view msbText,
                                  std::string_view lsbText, bool threeNumbers, std::int32_t directKey,
                                  DefinitionConversion& result)
{
    if (m_bankCount == kMaxBanks) {
        result.status = DefinitionConversion::Status::TooManyBanks;
        result.lineNumber = m_lineNumber;
        result.detail = describe(m_lineNumber) + ": bank \"" + std::string(bankText) +
                        "\" would be distinct bank number " + std::to_string(kMaxBanks + 1) + "; at most " +
                        std::to_string(kMaxBanks) + " are allowed";
        return -1;
    }
    const std::int32_t slot = m_bankCount++;
    if (threeNumbers) {
        m_banks.Add(DecimalValue(bankText), bankText, msbText, lsbText, slot);
    } else {
        std::string msb;
        std::string lsb;
        SplitBank(bankText, msb, lsb);
        m_banks.Add(DecimalValue(bankText), bankText, msb, lsb, slot);
    }
    m_slotTexts.emplace_back(bankText);
    if (directKey >= 0)
        m_slotByKey[static_cast<std::size_t>(directKey)] = static_cast<std::int16_t>(slot);
    else
        m_slotByText.emplace(m_slotTexts.back(), slot);
    return slot;
}

std::string_view ScriptBanks::restOfLine(std::uint32_t offset) const
{
    // read() made sure that the line's end lies within kMaxScriptLineLength bytes, then a CR and the LF.
    std::string_view text = m_script.substr(offset);
    const void* newline = std::memchr(text.data(), '\n', std::min(text.size(), kMaxScriptLineLength + 2));
    if (newline != nullptr) {
        std::size_t stop = static_cast<std::size_t>(static_cast<const char*>(newline) - text.data());
        if (stop > 0 && text[stop - 1] == '\r')
            --stop;
        text = text.substr(0, stop);
    }
    if (m_hasNul) {
        if (const void* nul = std::memchr(text.data(), '\0', text.size()); nul != nullptr)
            text = text.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) - text.data()));
    }
    return text;
}

EntryText ScriptBanks::entryAt(std::uint32_t offset) const
{
    const EntryFields fields = parseEntryLine(restOfLine(offset));
    return {fields.programText, fields.name};
}

EntryText ScriptBanks::entryOf(const EntryRecord& record, char (&digits)[16]) const
{
    if (record.wholeEntry != 0)
        return entryAt(record.offset);
    const auto end = std::to_chars(digits, digits + sizeof digits, std::uint32_t{record.program}).ptr;
    return {std::string_view(digits, static_cast<std::size_t>(end - digits)), restOfLine(record.offset)};
}

std::vector<std::uint32_t> ScriptBanks::lineNumbers(const std::vector<std::uint32_t>& offsets) const
{
    std::vector<std::size_t> order(offsets.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return offsets[a] < offsets[b]; });
    std::vector<std::uint32_t> lines(offsets.size());
    std::uint64_t line = 1;
    std::size_t counted = 0; // the line ends before this byte are in `line`
    for (const std::size_t i : order) {
        const std::size_t offset = std::min<std::size_t>(offsets[i], m_script.size());
        const std::size_t block = offset / kLineBlock;
        if (block * kLineBlock > counted && block < m_lineEndsBefore.size()) {
            counted = block * kLineBlock;
            line = std::uint64_t{m_lineEndsBefore[block]} + 1;
        }
        line +=
            static_cast<std::uint64_t>(std::count(m_script.data() + counted, m_script.data() + offset, '\n'));
        counted = offset;
        lines[i] = static_cast<std::uint32_t>(line);
    }
    return lines;
}

std::string ScriptDeviceName(std::string_view script)
{
    constexpr std::string_view kTag = "[device name]";
    std::string name;
    forEachScriptLine(script, {kMaxScriptLineLength, false, false}, [&](const ScriptLine& line) {
        if (line.tooLong || line.kind != ScriptLineKind::Other ||
            line.text.starts_with("[define patchnames]"))
            return false;
        if (!line.text.starts_with(kTag))
            return true;
        name = trimBlanks(line.text.substr(kTag.size()));
        return false;
    });
    return name;
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

void SplitBank(std::string_view bankText, std::string& msbText, std::string& lsbText)
{
    const std::int32_t value = DecimalValue(bankText);
    char buffer[24];
    msbText.assign(formatInteger(value / 128, buffer));
    lsbText.assign(formatInteger(value % 128, buffer));
}

} // namespace quorvix
