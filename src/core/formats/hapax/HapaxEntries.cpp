#include "base/Text.h"
#include "formats/hapax/HapaxParser.h"
#include "formats/reaper/ReaperText.h"

#include <algorithm>

namespace quorvix::hapax {

namespace {

std::optional<std::uint64_t> numberUpTo(std::string_view field, std::uint64_t highest)
{
    return decimalDigits(field, highest, TooLarge::Fails);
}

/// A lane's channel: NULL, 1 to 16, or Gx, CVx, CVGx with x from 1 to 4.
bool isLaneChannel(std::string_view field)
{
    if (equalsNoCase(field, "NULL"))
        return true;
    if (const auto channel = numberUpTo(field, 16))
        return *channel >= 1;
    for (const std::string_view prefix : {"CVG", "CV", "G"}) {
        if (field.size() > prefix.size() && equalsNoCase(field.substr(0, prefix.size()), prefix)) {
            const auto output = numberUpTo(field.substr(prefix.size()), 4);
            return output && *output >= 1;
        }
    }
    return false;
}

constexpr std::string_view kPairsHeld =
    "the other formats hold 14-bit pairs only as n and n + 32, in a list without 7-bit controllers";

std::string plural(std::size_t count, std::string_view one, std::string_view many)
{
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

} // namespace

void DefinitionParser::defaultField(std::string_view field, std::int64_t highest)
{
    ++m_defaults;
    if (field.size() > 8 && equalsNoCase(field.substr(0, 8), "DEFAULT="))
        field.remove_prefix(8);
    if (!numberUpTo(field, static_cast<std::uint64_t>(highest)))
        refused("the default value " + inQuotes(toUtf8(field, m_set.encoding)) +
                    " is not a number from 0 to " + std::to_string(highest),
                true);
}

void DefinitionParser::laneLine(const Fields& fields, std::string_view name)
{
    if (fields.count != 4) {
        refused("a [DRUMLANES] line is \"ROW:TRIG:CHAN:NOTENUMBER NAME\"", false);
        return;
    }
    if (m_lanesLine == 0)
        m_lanesLine = m_line;
    const auto row = numberUpTo(fields.at[0], 1000);
    if (!row || *row < 1 || *row > static_cast<std::uint64_t>(kMostRows))
        refused("the row " + inQuotes(toUtf8(fields.at[0], m_set.encoding)) + " is not a number from 1 to 16",
                true);
    else if (*row > static_cast<std::uint64_t>(kRows) && !m_warnedRows)
        warn("rows 9 to 16 load on firmware 3.10 and later; older firmware refuses the file at this line");
    m_warnedRows = m_warnedRows || (row && *row > static_cast<std::uint64_t>(kRows));
    const bool trigger = equalsNoCase(fields.at[1], "NULL") || numberUpTo(fields.at[1], 127);
    if (!trigger || !isLaneChannel(fields.at[2]))
        refused("a lane's TRIG is 0 to 127 or NULL, its CHAN 1 to 16, G1-G4, CV1-CV4, CVG1-CVG4 or NULL",
                true);
    if (!equalsNoCase(fields.at[1], "NULL") || !equalsNoCase(fields.at[2], "NULL"))
        ++m_laneSettings;
    if (equalsNoCase(fields.at[3], "NULL")) {
        warn("the lane plays no note (NOTENUMBER NULL): it names no note; skipped");
        return;
    }
    const auto note = numberUpTo(fields.at[3], 127);
    if (!note) {
        refused("the note " + inQuotes(toUtf8(fields.at[3], m_set.encoding)) +
                    " is not a number from 0 to 127",
                false);
        return;
    }
    if (nameTaken(name, "a drum lane"))
        m_lanes.push_back(Entry{static_cast<std::int32_t>(*note), -1, -1, m_set.refer(name), m_line});
}

void DefinitionParser::ccLine(const Fields& fields, std::string_view name)
{
    const auto number = numberUpTo(fields.at[0], 127);
    if (fields.count > 2 || !number) {
        refused("a [CC] line is \"CC NAME\" or \"CC:DEFAULT=x NAME\" with CC from 0 to 127", false);
        return;
    }
    if (fields.count == 2)
        defaultField(fields.at[1], 127);
    if (nameTaken(name, "a [CC] line"))
        m_controllers.push_back(Entry{static_cast<std::int32_t>(*number), -1, -1, m_set.refer(name), m_line});
}

void DefinitionParser::pairLine(const Fields& fields, std::string_view name)
{
    const auto msb = numberUpTo(fields.at[0], 127);
    const auto lsb = numberUpTo(fields.at[1], 127);
    if (fields.count < 2 || fields.count > 3 || !msb || !lsb) {
        refused("a [CC_PAIR] line is \"MSB:LSB NAME\" or \"MSB:LSB:DEFAULT=x NAME\" with controllers from 0 "
                "to 127",
                false);
        return;
    }
    if (fields.count == 3)
        defaultField(fields.at[2], 16383);
    if (nameTaken(name, "a [CC_PAIR] line"))
        m_pairs.push_back(Entry{static_cast<std::int32_t>(*msb), static_cast<std::int16_t>(*msb),
                                static_cast<std::int16_t>(*lsb), m_set.refer(name), m_line});
}

void DefinitionParser::nrpnLine(const Fields& fields, std::string_view name)
{
    // An LSB above 127 counts on from an MSB of 0 or none: "0:1026:7" is "8:2:7".
    const auto msb = fields.at[0].empty() ? std::optional<std::uint64_t>(0) : numberUpTo(fields.at[0], 127);
    const auto lsb = numberUpTo(fields.at[1], msb == std::optional<std::uint64_t>(0) ? 16383 : 127);
    if (fields.count < 3 || fields.count > 4 || !msb || !lsb) {
        refused("a [NRPN] line is \"MSB:LSB:DEPTH NAME\" with MSB and LSB from 0 to 127 (an LSB up to 16383 "
                "after an MSB of 0)",
                false);
        return;
    }
    const std::string_view depth = fields.at[2];
    if (depth != "7" && depth != "14")
        refused("the depth " + inQuotes(toUtf8(depth, m_set.encoding)) + " is neither 7 nor 14", true);
    m_wideNrpns += depth == "14" ? 1 : 0;
    if (fields.count == 4)
        defaultField(fields.at[3], depth == "14" ? 16383 : 127);
    if (nameTaken(name, "an [NRPN] line"))
        m_nrpns.push_back(
            Entry{static_cast<std::int32_t>(*msb * 128 + *lsb), -1, -1, m_set.refer(name), m_line});
}

void DefinitionParser::makeNoteList(Instrument& instrument)
{
    if (m_lanes.empty())
        return;
    std::stable_sort(m_lanes.begin(), m_lanes.end(),
                     [](const Entry& a, const Entry& b) { return a.number < b.number; });
    NoteList list;
    for (std::size_t i = 0; i < m_lanes.size(); ++i) {
        const Entry& lane = m_lanes[i];
        if (i > 0 && m_lanes[i - 1].number == lane.number) {
            m_result.warnings.warn(lane.line, "note " + std::to_string(lane.number) + " has a lane on line " +
                                                  std::to_string(m_lanes[i - 1].line) +
                                                  " already: a note list names a note once; the first "
                                                  "name is kept");
            continue;
        }
        list.notes.push_back(NameEntry{static_cast<std::uint16_t>(lane.number), lane.name});
    }
    const auto index = static_cast<std::int32_t>(m_set.noteLists.size());
    if (m_type == "POLY" || m_type == "MPE") {
        // The Hapax ignores the lanes of a track that is no drum track: no voice plays them.
        m_result.warnings.warn(m_lanesLine,
                               "TYPE " + m_type +
                                   ": the Hapax ignores drum lanes on such a track; they are kept "
                                   "as a note list that no patch uses");
        list.device = static_cast<std::int32_t>(m_set.devices.size());
        m_set.devices.push_back(Device{{}, instrument.name, {}, {}, {index}, {}});
        instrument.device = list.device;
    } else {
        instrument.noteList = index;
    }
    m_set.noteLists.push_back(std::move(list));
}

std::int32_t DefinitionParser::controlList(ControlKind kind, std::vector<Entry> entries,
                                           std::string_view what)
{
    if (entries.empty())
        return kNoList;
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.number < b.number; });
    ControlList list;
    list.kind = kind;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (i > 0 && entries[i - 1].number == entries[i].number) {
            m_result.warnings.warn(entries[i].line,
                                   std::string(what) + " " + std::to_string(entries[i].number) +
                                       " is named on line " + std::to_string(entries[i - 1].line) +
                                       " already; the first name is kept");
            continue;
        }
        list.controls.push_back(NameEntry{static_cast<std::uint16_t>(entries[i].number), entries[i].name});
    }
    m_set.controlLists.push_back(std::move(list));
    return static_cast<std::int32_t>(m_set.controlLists.size() - 1);
}

void DefinitionParser::makeControlLists(Instrument& instrument)
{
    // The model holds 14-bit controllers as pairs n / n + 32 (n below 32), on their own in a list.
    const bool pairsOnly = m_controllers.empty() && !m_pairs.empty() &&
                           std::all_of(m_pairs.begin(), m_pairs.end(),
                                       [](const Entry& p) { return p.msb < 32 && p.lsb == p.msb + 32; });
    if (pairsOnly) {
        instrument.controllers = controlList(ControlKind::Controller14, m_pairs, "the 14-bit controller");
    } else {
        const std::vector<Entry> sevenBit = m_controllers;
        for (const Entry& pair : m_pairs) {
            const std::string shown = "the pair " + std::to_string(pair.msb) + ":" + std::to_string(pair.lsb);
            const auto named = std::find_if(sevenBit.begin(), sevenBit.end(),
                                            [&](const Entry& c) { return c.number == pair.msb; });
            if (named != sevenBit.end()) {
                m_result.warnings.warn(pair.line,
                                       shown + " is left out: its MSB controller is named on line " +
                                           std::to_string(named->line) + ", and " + std::string(kPairsHeld));
                continue;
            }
            m_result.warnings.warn(pair.line, shown + " is kept as controller " + std::to_string(pair.msb) +
                                                  " (its MSB): " + std::string(kPairsHeld));
            m_controllers.push_back(pair);
        }
        instrument.controllers = controlList(ControlKind::Controller, std::move(m_controllers), "controller");
    }
    instrument.nrpns = controlList(ControlKind::Nrpn, std::move(m_nrpns), "NRPN");
}

void DefinitionParser::warnNotCarried(const Instrument& instrument)
{
    std::vector<std::string> parts = m_settings;
    if (m_type == "MPE" || (m_type == "DRUM" && instrument.noteList == kNoList))
        parts.push_back("TYPE " + m_type);
    if (m_laneSettings > 0)
        parts.push_back("the trigger or channel of " + plural(m_laneSettings, "drum lane", "drum lanes"));
    if (m_defaults > 0)
        parts.push_back(plural(m_defaults, "default value", "default values"));
    if (m_wideNrpns > 0)
        parts.push_back("the 14-bit depth of " + plural(m_wideNrpns, "NRPN", "NRPNs"));
    if (m_assign > 0)
        parts.push_back(plural(m_assign, "[ASSIGN] line", "[ASSIGN] lines"));
    if (m_automation > 0)
        parts.push_back(plural(m_automation, "[AUTOMATION] line", "[AUTOMATION] lines"));
    if (m_comment > 0)
        parts.push_back("the [COMMENT] text");
    if (parts.empty())
        return;
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : ", ") + part;
    m_result.warnings.warn(0, "not carried, as the other formats have no place for them: " + text);
}

} // namespace quorvix::hapax
