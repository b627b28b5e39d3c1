#include "formats/muse/MuseReader.h"

#include "base/Text.h"
#include "formats/xml/XmlEvents.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <tuple>

namespace quorvix {

namespace {

using xml::Attribute;
using xml::valueOf;
using Attributes = std::span<const Attribute>;

/// MusE keeps a patch's bytes in a signed char: what it makes of a value, -1 being "not sent".
struct MuseByte
{
    std::int32_t value = -1;
    bool changed = false; ///< the text was no number from -1 to 127: MusE reads it as `value`
};

MuseByte museByte(Attributes attributes, std::string_view name)
{
    if (!xml::has(attributes, name))
        return {};
    const std::string_view text = xml::trimmed(valueOf(attributes, name));
    const auto number = signedDecimal(text, -(std::int64_t{1} << 40), std::int64_t{1} << 40);
    if (!number)
        return MuseByte{-1, true};
    const auto wrapped =
        static_cast<std::int32_t>(static_cast<std::int8_t>(static_cast<std::uint8_t>(*number & 0xFF)));
    return MuseByte{wrapped < 0 ? -1 : wrapped, *number < -1 || *number > 127};
}

/// A patch_collection's range of one byte: from..to, or any value when the attribute is missing.
struct Range
{
    std::int32_t from = 0;
    std::int32_t to = 127;
    bool any = true;

    bool holds(std::int32_t value) const { return any || (value >= from && value <= to); }
};

Range rangeOf(Attributes attributes, std::string_view name)
{
    if (!xml::has(attributes, name))
        return {};
    const std::string_view text = xml::trimmed(valueOf(attributes, name));
    const auto dash = text.find('-', 1);
    const auto from = signedDecimal(xml::trimmed(text.substr(0, dash)), 0, 127);
    const auto to =
        dash == std::string_view::npos ? from : signedDecimal(xml::trimmed(text.substr(dash + 1)), 0, 127);
    if (!from || !to || *to < *from)
        return Range{0, -1, false}; // holds nothing
    return Range{static_cast<std::int32_t>(*from), static_cast<std::int32_t>(*to), false};
}

/// A drum map of the instrument and the drum patches it is for.
struct DrumMap
{
    Range msb, lsb, program;
    bool everyPatch = true; ///< no patch_collection: the map of every drum patch without one of its own
    std::map<std::int32_t, TextRef> notes;
    SourcePos at;
};

enum class Place : unsigned char
{
    Root,
    Instrument,
    Group,
    Drummaps,
    MapEntry,
    Drummap,
    Note,
    NoteName,
    Other,
};

class MuseEvents final : public xml::Events
{
public:
    explicit MuseEvents(ReadResult& result) : m_result(result), m_set(result.set) {}

    bool rooted() const { return m_rooted; }

    void start(std::string_view name, Attributes attributes, SourcePos at) override
    {
        // The innermost element that means something here: in a file read in recovery, an element of a
        // broken tag may enclose what follows it.
        const auto known =
            std::find_if(m_places.rbegin(), m_places.rend(), [](Place p) { return p != Place::Other; });
        const Place parent = known == m_places.rend() ? Place::Other : *known;
        Place place = Place::Other;
        if (m_places.empty() || (!m_rooted && name == "muse")) {
            m_rooted = m_rooted || name == "muse";
            place = Place::Root;
        } else if (parent == Place::Root && name == "MidiInstrument" && !m_open) {
            startInstrument(attributes, at);
            place = Place::Instrument;
        } else if (m_open && (parent == Place::Instrument || parent == Place::Group)) {
            place = inInstrument(name, attributes, at, parent);
        } else if (parent == Place::Drummaps && name == "entry") {
            m_maps.push_back(DrumMap{});
            m_maps.back().at = at;
            place = Place::MapEntry;
        } else if (parent == Place::MapEntry && name == "patch_collection") {
            readCollection(attributes, at);
        } else if (parent == Place::MapEntry && name == "drummap") {
            place = Place::Drummap;
        } else if (parent == Place::Drummap && name == "entry") {
            m_pitch = xml::numberOf(attributes, "pitch");
            m_noteName.clear();
            place = Place::Note;
        } else if (parent == Place::Note && name == "name") {
            place = Place::NoteName;
        }
        m_places.push_back(place);
    }

    void text(std::string_view piece) override
    {
        if (!m_places.empty() && m_places.back() == Place::NoteName)
            m_noteName += piece;
    }

    void end(std::string_view) override
    {
        const Place place = m_places.back();
        m_places.pop_back();
        if (place == Place::Instrument)
            endInstrument();
        else if (place == Place::Note)
            endNote();
    }

    /// Ends what a document read in recovery left open.
    void endOpen()
    {
        while (!m_places.empty())
            end({});
    }

private:
    using BankKey = std::tuple<bool, std::int32_t, std::int32_t>; ///< drum, hbank, lbank

    struct Group
    {
        std::int32_t first = -1; ///< the PatchGroup that gave the bank its first patch
        bool mixed = false;      ///< patches of other groups too
    };

    void warn(SourcePos at, std::string message) { m_result.warnings.warn(at, std::move(message)); }

    void startInstrument(Attributes attributes, SourcePos at)
    {
        ++m_number;
        m_open = true;
        m_instrument = Instrument{};
        m_name = std::string(xml::trimmed(valueOf(attributes, "name")));
        m_at = at;
        m_banks.clear();
        m_groups.clear();
        m_groupNames.clear();
        m_drumPatches.clear();
        m_maps.clear();
        m_controls = {};
        m_blocks = 0;
    }

    Place inInstrument(std::string_view name, Attributes attributes, SourcePos at, Place parent)
    {
        if (name == "PatchGroup" && parent == Place::Instrument) {
            m_groupNames.push_back(std::string(xml::trimmed(valueOf(attributes, "name"))));
            return Place::Group;
        }
        if (name == "Patch") {
            // A patch outside any group belongs to the first one, as in MusE.
            readPatch(attributes, at,
                      parent == Place::Group ? static_cast<std::int32_t>(m_groupNames.size()) - 1 : 0);
        } else if (name == "Controller" && parent == Place::Instrument) {
            readController(attributes, at);
        } else if (name == "Drummaps" && parent == Place::Instrument) {
            return Place::Drummaps;
        } else if ((name == "SysEx" || name == "Init" || name == "Reset" || name == "State") &&
                   parent == Place::Instrument) {
            ++m_blocks;
        }
        return Place::Other;
    }

    void readPatch(Attributes attributes, SourcePos at, std::int32_t group)
    {
        const std::string_view name = valueOf(attributes, "name");
        const MuseByte msb = museByte(attributes, "hbank");
        const MuseByte lsb = museByte(attributes, "lbank");
        const MuseByte program = museByte(attributes, "prog");
        for (const auto& [byte, what] :
             {std::pair{msb, "hbank"}, std::pair{lsb, "lbank"}, std::pair{program, "prog"}})
            if (byte.changed)
                warn(at, "patch " + inQuotes(name) + ": " + what + " " + inQuotes(valueOf(attributes, what)) +
                             " is no number from 0 to 127; MusE reads it as " +
                             (byte.value < 0 ? std::string("not sent") : std::to_string(byte.value)));
        if (program.value < 0) {
            warn(at, "patch " + inQuotes(name) +
                         " has no program: it stands for every program of its bank, "
                         "which no other format holds; left out");
            return;
        }
        const bool drum = xml::trimmed(valueOf(attributes, "drum")) == "1";
        // A program of a bank named again (another mode of the device, say) goes to a further bank of the
        // same bytes, which writers keep apart, rather than being lost.
        std::vector<std::size_t>& banks = m_banks[BankKey{drum, msb.value, lsb.value}];
        std::size_t index = 0;
        std::vector<Patch>::iterator slot;
        for (;; ++index) {
            if (index == banks.size())
                banks.push_back(addBank(msb.value, lsb.value, group));
            std::vector<Patch>& patches = patchesOf(banks[index]);
            slot = std::lower_bound(patches.begin(), patches.end(), program.value,
                                    [](const Patch& patch, std::int32_t p) { return patch.program < p; });
            if (slot == patches.end() || slot->program != program.value)
                break;
            if (index == 0)
                warn(at, "patch " + inQuotes(name) + " has the bank and program of patch " +
                             inQuotes(m_set.text(slot->name)) +
                             ", which MusE finds first; it is kept in a further bank of the same number");
        }
        Group& owner = m_groups[banks[index]];
        owner.mixed = owner.mixed || owner.first != group;
        patchesOf(banks[index]).insert(slot, Patch{m_set.keep(xml::trimmed(name)), program.value, kNoList});
        if (drum)
            m_drumPatches.emplace_back(static_cast<std::int32_t>(banks[index]), program.value);
    }

    std::vector<Patch>& patchesOf(std::size_t bank)
    {
        return m_set.patchLists[static_cast<std::size_t>(m_instrument.banks[bank].patchList)].patches;
    }

    std::size_t addBank(std::int32_t msb, std::int32_t lsb, std::int32_t group)
    {
        Bank bank;
        bank.select = BankSelect{static_cast<std::int16_t>(msb), static_cast<std::int16_t>(lsb), -1};
        bank.number = bankNumberOf(bank.select);
        bank.patchList = static_cast<std::int32_t>(m_set.patchLists.size());
        m_set.patchLists.emplace_back();
        m_instrument.banks.push_back(bank);
        m_groups.push_back(Group{group, false});
        return m_instrument.banks.size() - 1;
    }

    void readCollection(Attributes attributes, SourcePos at)
    {
        DrumMap& map = m_maps.back();
        map.everyPatch = false;
        map.msb = rangeOf(attributes, "hbank");
        map.lsb = rangeOf(attributes, "lbank");
        map.program = rangeOf(attributes, "prog");
        if (!map.program.any && map.program.to > map.program.from)
            warn(at, "the drum map for programs " + std::string(xml::trimmed(valueOf(attributes, "prog"))) +
                         " is given to each of them, although MusE gives it only to the first");
    }

    void endNote()
    {
        const std::string_view name = xml::trimmed(m_noteName);
        if (!m_maps.empty() && m_pitch && *m_pitch >= 0 && *m_pitch <= 127 && !name.empty())
            m_maps.back().notes.try_emplace(*m_pitch, m_set.keep(name));
    }

    void readController(Attributes attributes, SourcePos at);
    void attachDrumMaps();
    void settleBanks();
    void addControlLists();
    void endInstrument();

    ReadResult& m_result;
    InstrumentSet& m_set;
    std::vector<Place> m_places;
    bool m_rooted = false;
    bool m_open = false; ///< a MidiInstrument is being read
    int m_number = 0;
    // The instrument being read.
    Instrument m_instrument;
    std::string m_name;
    SourcePos m_at;
    std::map<BankKey, std::vector<std::size_t>>
        m_banks;                 ///< the banks of each key, a further one per program named again
    std::vector<Group> m_groups; ///< per bank
    std::vector<std::string> m_groupNames;
    std::vector<std::pair<std::int32_t, std::int32_t>> m_drumPatches; ///< bank index, program
    std::vector<DrumMap> m_maps;
    std::array<std::map<std::int32_t, TextRef>, 4> m_controls; ///< per ControlKind
    int m_blocks = 0;
    // The drum map entry being read.
    std::optional<std::int32_t> m_pitch;
    std::string m_noteName;
};

void MuseEvents::readController(Attributes attributes, SourcePos at)
{
    const std::string_view name = xml::trimmed(valueOf(attributes, "name"));
    std::string_view type = xml::trimmed(valueOf(attributes, "type"));
    const std::string_view low = xml::trimmed(valueOf(attributes, "l"));
    if (low == "pitch" || low == "*") {
        warn(at, "controller " + inQuotes(name) +
                     " is a controller per drum note, which no other format names; "
                     "left out");
        return;
    }
    const auto byte = [&](std::string_view key) {
        const auto value =
            xml::has(attributes, key) ? xml::numberOf(attributes, key) : std::optional<std::int32_t>(0);
        return value && *value >= 0 && *value <= 127 ? value : std::nullopt;
    };
    const std::optional<std::int32_t> h = byte("h");
    const std::optional<std::int32_t> l = byte("l");
    std::optional<ControlKind> kind;
    std::int32_t number = 0;
    if (type.empty() || type == "Control7" || type == "Control") {
        kind = ControlKind::Controller;
        number = l.value_or(-1);
    } else if (type == "Control14") {
        kind = ControlKind::Controller14;
        number = h.value_or(-1);
    } else if (type == "RPN" || type == "RPN14" || type == "NRPN" || type == "NRPN14") {
        kind = type.starts_with("RPN") ? ControlKind::Rpn : ControlKind::Nrpn;
        number = h && l ? *h * 128 + *l : -1;
    } else if (type == "Pitch" || type == "Program" || type == "PolyAftertouch" || type == "Aftertouch") {
        warn(at, "controller " + inQuotes(name) + " is of type " + std::string(type) +
                     ", which no other format names; left out");
        return;
    } else {
        kind = ControlKind::Controller; // MusE takes an unknown type for a 7-bit controller
        number = l.value_or(-1);
    }
    const std::int32_t highest = *kind == ControlKind::Controller14 ? 31
                                 : *kind == ControlKind::Controller ? 127
                                                                    : 16383;
    if (name.empty() || number < 0 || number > highest) {
        warn(at,
             "controller " + inQuotes(name) + " without a name and a number that fits its type is left out");
        return;
    }
    if (!m_controls[static_cast<std::size_t>(*kind)].try_emplace(number, m_set.keep(name)).second)
        warn(at, "controller " + inQuotes(name) + " has the number of an earlier one; left out");
}

void MuseEvents::attachDrumMaps()
{
    std::vector<std::int32_t> lists(m_maps.size(), kNoList);
    const auto listOf = [&](std::size_t map) {
        if (lists[map] == kNoList && !m_maps[map].notes.empty()) {
            NoteList list;
            list.name = m_set.keep(m_name + " drum map " + std::to_string(map + 1));
            for (const auto& [note, name] : m_maps[map].notes)
                list.notes.push_back(NameEntry{static_cast<std::uint16_t>(note), name});
            lists[map] = static_cast<std::int32_t>(m_set.noteLists.size());
            m_set.noteLists.push_back(std::move(list));
        }
        return lists[map];
    };
    for (const auto& [bankIndex, program] : m_drumPatches) {
        const Bank& bank = m_instrument.banks[static_cast<std::size_t>(bankIndex)];
        // The first map that names the patch, else the first for every drum patch.
        std::optional<std::size_t> chosen;
        for (std::size_t m = 0; m < m_maps.size() && !chosen; ++m) {
            const DrumMap& map = m_maps[m];
            if (!map.everyPatch && map.msb.holds(bank.select.msb) && map.lsb.holds(bank.select.lsb) &&
                map.program.holds(program))
                chosen = m;
        }
        for (std::size_t m = 0; m < m_maps.size() && !chosen; ++m)
            if (m_maps[m].everyPatch)
                chosen = m;
        if (!chosen)
            continue;
        std::vector<Patch>& patches = m_set.patchLists[static_cast<std::size_t>(bank.patchList)].patches;
        std::lower_bound(patches.begin(), patches.end(), program, [](const Patch& patch, std::int32_t p) {
            return patch.program < p;
        })->noteList = listOf(*chosen);
    }
}

/// The banks' names from their PatchGroups, and the bank-select method their bytes give.
void MuseEvents::settleBanks()
{
    // MSB only (LSB only) when some bank sends it and none sends the other byte.
    bool msbOnly = std::any_of(m_instrument.banks.begin(), m_instrument.banks.end(),
                               [](const Bank& bank) { return bank.select.msb >= 0; });
    bool lsbOnly = std::any_of(m_instrument.banks.begin(), m_instrument.banks.end(),
                               [](const Bank& bank) { return bank.select.lsb >= 0; });
    for (std::size_t b = 0; b < m_instrument.banks.size(); ++b) {
        Bank& bank = m_instrument.banks[b];
        msbOnly = msbOnly && bank.select.lsb < 0;
        lsbOnly = lsbOnly && bank.select.msb < 0;
        const Group& group = m_groups[b];
        if (!group.mixed && group.first >= 0 && static_cast<std::size_t>(group.first) < m_groupNames.size()) {
            bank.name = m_set.keep(m_groupNames[static_cast<std::size_t>(group.first)]);
            m_set.patchLists[static_cast<std::size_t>(bank.patchList)].name = bank.name;
        }
    }
    m_instrument.method = msbOnly   ? BankSelectMethod::MsbOnly
                          : lsbOnly ? BankSelectMethod::LsbOnly
                                    : BankSelectMethod::Normal;
    const bool someMsbAlone =
        std::any_of(m_instrument.banks.begin(), m_instrument.banks.end(),
                    [](const Bank& bank) { return bank.select.msb >= 0 && bank.select.lsb < 0; });
    if (someMsbAlone && !msbOnly)
        warn(m_at, "instrument " + inQuotes(m_name) +
                       ": some banks give hbank alone and others lbank too; each "
                       "bank keeps the bytes its patches give");
}

/// The instrument's controller, RPN and NRPN lists from the names read.
void MuseEvents::addControlLists()
{
    for (std::size_t kind = 0; kind < m_controls.size(); ++kind) {
        if (m_controls[kind].empty())
            continue;
        std::int32_t& slot = kind <= static_cast<std::size_t>(ControlKind::Controller14)
                                 ? m_instrument.controllers
                             : kind == static_cast<std::size_t>(ControlKind::Rpn) ? m_instrument.rpns
                                                                                  : m_instrument.nrpns;
        if (slot != kNoList) {
            warn(m_at, "instrument " + inQuotes(m_name) +
                           " names both 7-bit and 14-bit controllers; the 14-bit ones are left out");
            continue;
        }
        ControlList list;
        list.kind = static_cast<ControlKind>(kind);
        for (const auto& [number, name] : m_controls[kind])
            list.controls.push_back(NameEntry{static_cast<std::uint16_t>(number), name});
        slot = static_cast<std::int32_t>(m_set.controlLists.size());
        m_set.controlLists.push_back(std::move(list));
    }
}

void MuseEvents::endInstrument()
{
    if (!m_open)
        return;
    m_open = false;
    attachDrumMaps();
    settleBanks();
    addControlLists();
    if (m_blocks > 0)
        warn(m_at, "instrument " + inQuotes(m_name) + ": " + std::to_string(m_blocks) +
                       (m_blocks == 1 ? " SysEx or Init block is" : " SysEx and Init blocks are") +
                       " not carried: no other format holds them");
    Device device;
    device.model = m_set.keep(m_name.empty() ? "Instrument " + std::to_string(m_number) : m_name);
    m_instrument.name = device.model;
    m_instrument.device = static_cast<std::int32_t>(m_set.devices.size());
    m_set.devices.push_back(std::move(device));
    m_set.instruments.push_back(std::move(m_instrument));
}

/// The text with every "&" that starts no reference written "&amp;", outside comments and CDATA sections:
/// MusE keeps such an "&" as it stands, libxml2's recovery drops it.
std::string withStrayAmpersandsEscaped(std::string_view text)
{
    const auto isNameChar = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               c == ':' || c == '.' || c == '-' || c == '#' || static_cast<unsigned char>(c) >= 0x80;
    };
    std::string out;
    out.reserve(text.size());
    std::size_t copied = 0;
    for (std::size_t at = 0; (at = text.find_first_of("&<", at)) != std::string_view::npos;) {
        if (text[at] == '<') {
            const std::string_view end = text.substr(at, 4) == "<!--"        ? "-->"
                                         : text.substr(at, 9) == "<![CDATA[" ? "]]>"
                                                                             : std::string_view();
            at = end.empty() ? at + 1 : text.find(end, at);
            if (at == std::string_view::npos)
                break;
            continue;
        }
        std::size_t next = at + 1;
        while (next < text.size() && isNameChar(text[next]))
            ++next;
        if (next == at + 1 || next >= text.size() || text[next] != ';') {
            out.append(text.substr(copied, at + 1 - copied)).append("amp;");
            copied = at + 1;
        }
        at = next;
    }
    return out.append(text.substr(copied));
}

} // namespace

bool looksLikeMuse(std::string_view bytes)
{
    return xml::firstElementName(bytes) == "muse";
}

ReadResult readMuse(std::string bytes, std::string_view)
{
    std::optional<Diagnostic> error;
    {
        ReadResult result;
        MuseEvents events(result);
        error = xml::parse(bytes, events, xml::Leniency::Strict);
        if (!error && !events.rooted())
            result.fail({}, "the file holds no <muse> element: this is no MusE instrument definition");
        else if (!error && bytes.find("&#") != std::string::npos)
            result.warnings.warn(SourcePos{},
                                 "the file holds numeric character references (&#...;), which MusE "
                                 "drops from its names; they are read as the characters they stand for");
        if (!error)
            return result;
    }
    // MusE reads files that are not well-formed: what libxml2 recovers of them is what MusE reads.
    ReadResult recovered;
    MuseEvents events(recovered);
    xml::parse(withStrayAmpersandsEscaped(bytes), events, xml::Leniency::Recover);
    events.endOpen();
    if (!events.rooted() || recovered.set.instruments.empty()) {
        ReadResult failed;
        failed.error = error;
        return failed;
    }
    const std::string_view reason =
        std::string_view(error->message).substr(std::string_view("malformed XML: ").size());
    recovered.warnings.warn(error->at, "the file is not well-formed XML (" + std::string(reason) +
                                           "); it is read as MusE reads it, and what follows may differ from "
                                           "what its author meant");
    return recovered;
}

} // namespace quorvix
