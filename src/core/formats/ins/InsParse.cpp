#include "formats/ins/InsParse.h"

#include "base/Encoding.h"
#include "base/LineCursor.h"
#include "base/Text.h"

#include <algorithm>

namespace quorvix::ins {

namespace {

constexpr std::uint32_t kNumberTooLarge = 1'000'000'000; // any parsed number above this is saturated to it

/// Decimal digits only (leading zeros allowed); values above kNumberTooLarge are saturated to it.
bool parseNumber(std::string_view s, std::uint32_t& value)
{
    const auto number = decimalDigits(s, kNumberTooLarge, TooLarge::Highest);
    if (number)
        value = static_cast<std::uint32_t>(*number);
    return number.has_value();
}

/// A "number=name" line, as nearly every line of a list is: the number as written, its value and the name, as
/// splitting at the first "=" and parseNumber would give them. False for other lines.
bool splitEntryLine(std::string_view line, std::string_view& key, std::uint32_t& number,
                    std::string_view& value)
{
    std::size_t at = 0;
    while (at < line.size() && isDigit(line[at]))
        ++at;
    const std::string_view digits = line.substr(0, at);
    while (at < line.size() && isBlank(line[at]))
        ++at;
    if (at == line.size() || line[at] != '=' || !parseNumber(digits, number))
        return false;
    key = digits;
    value = trimBlanks(line.substr(at + 1));
    return true;
}

class LineParser
{
public:
    LineParser(std::string_view text, RawFile& raw, Diagnostics& warnings)
        : m_text(text), m_raw(raw), m_warnings(warnings), m_firstLine(16384, 0), m_seenIn(16384, 0)
    {}

    void run();

private:
    void handleLine(std::string_view line, std::uint32_t lineNumber);
    void handleListLine(std::string_view line, std::uint32_t lineNumber);
    /// A "key=value" line of an instrument, with its line number.
    struct KeyValue
    {
        std::uint32_t line;
        std::string_view key;
        std::string_view value;
    };

    void handleInstrumentLine(std::string_view line, std::uint32_t lineNumber);
    void openInstrument(std::string_view line, std::uint32_t lineNumber);
    /// True for a key "PREFIX...]"; `inner` receives what stands between, trimmed.
    static bool bracketed(std::string_view key, std::string_view prefix, std::string_view& inner);
    /// True when the line names a list; false, with a warning, for an empty value.
    bool namesList(const KeyValue& entry);
    void readPatchLine(RawInstrument& instrument, const KeyValue& entry, std::string_view bank);
    void readKeyLine(RawInstrument& instrument, const KeyValue& entry, std::string_view inner);
    void readListLine(RawInstrument& instrument, const KeyValue& entry, Section target);
    void readMethodLine(RawInstrument& instrument, const KeyValue& entry);
    void openList(std::string_view name, std::uint32_t lineNumber);
    /// The key and value of a "key=value" line inside an open list or instrument; false, with a warning, for
    /// any other line.
    bool splitKeyLine(std::string_view line, std::uint32_t lineNumber, bool inside, std::string_view where,
                      std::string_view& key, std::string_view& value);
    void closeList();
    void warn(std::uint32_t line, std::string message) { m_warnings.warn(line, std::move(message)); }

    std::string_view m_text;
    RawFile& m_raw;
    Diagnostics& m_warnings;
    Section m_section = kNoSection;
    std::int32_t m_list = -1;
    std::int32_t m_instrument = -1;
    // Where each number of the open list was first given, to name both lines of a repeated number.
    std::vector<std::uint32_t> m_firstLine;
    std::vector<std::uint32_t> m_seenIn; ///< the list (index + 1) m_firstLine[number] belongs to
    bool m_repeated = false;
    // The entries of the open list, collected here and stored at its end in a vector of their own size.
    std::vector<Patch> m_patches;
    std::vector<NameEntry> m_names;
};

void LineParser::run()
{
    LineCursor lines(withoutByteOrderMark(m_text));
    std::string_view line;
    while (lines.next(line))
        handleLine(line, lines.number());
    closeList();
}

void LineParser::handleLine(std::string_view line, std::uint32_t lineNumber)
{
    // A ';' at the start of the line or after a blank starts a comment.
    for (std::size_t from = 0;;) {
        const auto semicolon = line.find(';', from);
        if (semicolon == std::string_view::npos)
            break;
        if (semicolon == 0 || isBlank(line[semicolon - 1])) {
            line = line.substr(0, semicolon);
            break;
        }
        from = semicolon + 1;
    }
    line = trimBlanks(line);
    if (line.empty())
        return;

    if (line.front() == '.') {
        closeList();
        m_instrument = -1;
        m_section = kUnknownSection;
        for (std::size_t i = 0; i < kSectionLines.size(); ++i) {
            if (line == kSectionLines[i]) {
                m_section = static_cast<Section>(i);
                m_raw.sawSection = true;
            }
        }
        if (m_section == kUnknownSection)
            warn(lineNumber, "unknown section " + inQuotes(line) + "; its lines are ignored");
        return;
    }

    switch (m_section) {
    case kNoSection:
        warn(lineNumber, "line outside any section ignored");
        return;
    case kUnknownSection:
        return;
    case kInstrumentDefinitions:
        handleInstrumentLine(line, lineNumber);
        return;
    default:
        handleListLine(line, lineNumber);
        return;
    }
}

bool LineParser::splitKeyLine(std::string_view line, std::uint32_t lineNumber, bool inside,
                              std::string_view where, std::string_view& key, std::string_view& value)
{
    if (!inside) {
        warn(lineNumber, "line outside any " + std::string(where) + " ignored");
        return false;
    }
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) {
        warn(lineNumber, "line without \"=\" ignored");
        return false;
    }
    key = trimBlanks(line.substr(0, equals));
    value = trimBlanks(line.substr(equals + 1));
    return true;
}

void LineParser::openList(std::string_view name, std::uint32_t lineNumber)
{
    closeList();
    RawList list;
    list.name = name;
    list.line = lineNumber;
    list.section = m_section;
    m_list = static_cast<std::int32_t>(m_raw.lists.size());
    m_raw.lists.push_back(std::move(list));
    m_repeated = false;
}

void LineParser::closeList()
{
    if (m_list < 0)
        return;
    RawList& list = m_raw.lists[static_cast<std::size_t>(m_list)];
    m_list = -1;
    // Entries in ascending order, a number given twice only by its later name.
    const auto order = [](auto& entries, auto numberOf) {
        const bool ascending =
            std::adjacent_find(entries.begin(), entries.end(), [&](const auto& a, const auto& b) {
                return numberOf(a) >= numberOf(b);
            }) == entries.end();
        if (ascending)
            return;
        std::stable_sort(entries.begin(), entries.end(),
                         [&](const auto& a, const auto& b) { return numberOf(a) < numberOf(b); });
        std::size_t kept = 0;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            if (i + 1 < entries.size() && numberOf(entries[i]) == numberOf(entries[i + 1]))
                continue;
            entries[kept++] = entries[i];
        }
        entries.resize(kept);
    };
    order(m_patches, [](const Patch& p) { return static_cast<std::uint32_t>(p.program); });
    order(m_names, [](const NameEntry& n) { return std::uint32_t{n.number}; });
    list.patches.assign(m_patches.begin(), m_patches.end());
    list.names.assign(m_names.begin(), m_names.end());
    m_patches.clear();
    m_names.clear();
}

void LineParser::handleListLine(std::string_view line, std::uint32_t lineNumber)
{
    if (line.front() == '[') {
        if (line.back() != ']' || line.size() < 2) {
            closeList();
            warn(lineNumber, "list header without closing \"]\" ignored, and the lines under it");
            return;
        }
        openList(trimBlanks(line.substr(1, line.size() - 2)), lineNumber);
        return;
    }
    std::string_view key;
    std::uint32_t number = 0;
    std::string_view value;
    if (m_list < 0 || !splitEntryLine(line, key, number, value)) {
        if (!splitKeyLine(line, lineNumber, m_list >= 0, "list", key, value))
            return;
        if (key == "BasedOn") {
            if (value.empty()) {
                warn(lineNumber, "BasedOn without a list name ignored");
                return;
            }
            m_raw.lists.back().baseName = value;
            m_raw.lists.back().baseLine = lineNumber;
            return;
        }
        if (!parseNumber(key, number)) {
            warn(lineNumber, inQuotes(key) + " is not a number; line ignored");
            return;
        }
    }
    // The open list is the last one: no list is added before it is closed.
    const RawList& list = m_raw.lists.back();
    const std::uint32_t highest = highestNumber(m_section);
    if (number > highest) {
        warn(lineNumber, "number " + std::string(key) + " is out of range 0.." + std::to_string(highest) +
                             "; entry ignored");
        return;
    }
    const auto listTag = static_cast<std::uint32_t>(m_list) + 1;
    if (m_seenIn[number] == listTag) {
        warn(lineNumber, "number " + std::to_string(number) + " of " + std::string(kListKinds[m_section]) +
                             " " + inQuotes(list.name) + " is given again (first at line " +
                             std::to_string(m_firstLine[number]) + "); the later name is used");
    } else {
        m_seenIn[number] = listTag;
        m_firstLine[number] = lineNumber;
    }
    const TextRef name{static_cast<std::uint32_t>(value.data() - m_text.data()),
                       static_cast<std::uint32_t>(value.size())};
    if (m_section == kPatchNames)
        m_patches.push_back(Patch{name, static_cast<std::uint8_t>(number), kNoList});
    else
        m_names.push_back(NameEntry{static_cast<std::uint16_t>(number), name});
}

void LineParser::handleInstrumentLine(std::string_view line, std::uint32_t lineNumber)
{
    if (line.front() == '[') {
        openInstrument(line, lineNumber);
        return;
    }
    KeyValue entry{lineNumber, {}, {}};
    if (!splitKeyLine(line, lineNumber, m_instrument >= 0, "instrument", entry.key, entry.value))
        return;
    RawInstrument& instrument = m_raw.instruments[static_cast<std::size_t>(m_instrument)];
    std::string_view inner;
    if (bracketed(entry.key, "Patch[", inner)) {
        readPatchLine(instrument, entry, inner);
    } else if (bracketed(entry.key, "Key[", inner)) {
        readKeyLine(instrument, entry, inner);
    } else if (bracketed(entry.key, "Drum[", inner)) {
        // Drum flags change neither names nor banks.
    } else if (entry.key == "Control") {
        readListLine(instrument, entry, kControllerNames);
    } else if (entry.key == "RPN") {
        readListLine(instrument, entry, kRpnNames);
    } else if (entry.key == "NRPN") {
        readListLine(instrument, entry, kNrpnNames);
    } else if (entry.key == "BankSelMethod") {
        readMethodLine(instrument, entry);
    } else if (entry.key == "UsesNotesAsControllers" || entry.key == "UseNotesAsControllers" ||
               entry.key == "NoControllerReset") {
        // Playback settings: nothing to convert.
    } else {
        warn(lineNumber, "unknown key " + inQuotes(entry.key) + " ignored");
    }
}

void LineParser::openInstrument(std::string_view line, std::uint32_t lineNumber)
{
    m_instrument = -1;
    if (line.back() != ']' || line.size() < 2) {
        warn(lineNumber, "instrument header without closing \"]\" ignored, and the lines under it");
        return;
    }
    RawInstrument instrument;
    instrument.name = trimBlanks(line.substr(1, line.size() - 2));
    instrument.line = lineNumber;
    m_instrument = static_cast<std::int32_t>(m_raw.instruments.size());
    m_raw.instruments.push_back(std::move(instrument));
}

bool LineParser::bracketed(std::string_view key, std::string_view prefix, std::string_view& inner)
{
    if (key.size() < prefix.size() + 1 || key.substr(0, prefix.size()) != prefix || key.back() != ']')
        return false;
    inner = trimBlanks(key.substr(prefix.size(), key.size() - prefix.size() - 1));
    return true;
}

bool LineParser::namesList(const KeyValue& entry)
{
    if (entry.value.empty())
        warn(entry.line, std::string(entry.key) + " names no list; line ignored");
    return !entry.value.empty();
}

void LineParser::readPatchLine(RawInstrument& instrument, const KeyValue& entry, std::string_view bank)
{
    PatchLine patch{entry.line, 0, bank == "*", entry.value};
    if (!patch.star && (!parseNumber(bank, patch.bank) || patch.bank > kHighestBank)) {
        warn(entry.line, "bank " + inQuotes(bank) + " of " + std::string(entry.key) +
                             " is not a number from 0 to 16383; line ignored");
        return;
    }
    if (namesList(entry))
        instrument.patches.push_back(patch);
}

void LineParser::readKeyLine(RawInstrument& instrument, const KeyValue& entry, std::string_view inner)
{
    const auto comma = inner.find(',');
    const std::string_view bankText = trimBlanks(inner.substr(0, comma));
    const std::string_view programText =
        comma == std::string_view::npos ? std::string_view() : trimBlanks(inner.substr(comma + 1));
    KeyLine key{entry.line, -1, -1, entry.value};
    std::uint32_t number = 0;
    if (bankText != "*") {
        if (!parseNumber(bankText, number) || number > kHighestBank) {
            warn(entry.line, "bank " + inQuotes(bankText) + " of " + std::string(entry.key) +
                                 " is not a number from 0 to 16383 or *; line ignored");
            return;
        }
        key.bank = static_cast<std::int32_t>(number);
    }
    if (programText != "*") {
        if (!parseNumber(programText, number) || number > 127) {
            warn(entry.line, "program " + inQuotes(programText) + " of " + std::string(entry.key) +
                                 " is not a number from 0 to 127 or *; line ignored");
            return;
        }
        key.program = static_cast<std::int32_t>(number);
    }
    if (namesList(entry))
        instrument.keys.push_back(key);
}

void LineParser::readListLine(RawInstrument& instrument, const KeyValue& entry, Section target)
{
    if (namesList(entry))
        instrument.refs[target] = ListRef{entry.line, entry.value};
}

void LineParser::readMethodLine(RawInstrument& instrument, const KeyValue& entry)
{
    const std::string_view value = entry.value;
    if (value.size() == 1 && value[0] >= '0' && value[0] <= '3')
        instrument.method = static_cast<BankSelectMethod>(value[0] - '0');
    else
        warn(entry.line, "BankSelMethod " + inQuotes(value) + " is not 0, 1, 2 or 3; line ignored");
}

} // namespace

void parseInsLines(std::string_view text, RawFile& raw, Diagnostics& warnings)
{
    LineParser(text, raw, warnings).run();
}

} // namespace quorvix::ins
