#include "formats/rosegarden/RosegardenReader.h"

#include "base/Gzip.h"
#include "base/InputFile.h"
#include "base/Text.h"
#include "formats/xml/XmlEvents.h"

#include <algorithm>
#include <map>
#include <optional>
#include <span>
#include <tuple>

namespace quorvix {

namespace {

using xml::Attribute;
using xml::numberOf;
using xml::valueOf;
using Attributes = std::span<const Attribute>;

/// Where in the file an element stands, as far as device data goes.
enum class Place : unsigned char
{
    Root,
    Studio,
    Device,
    Bank,
    Controls,
    KeyMapping,
    Other, ///< any other element, and everything inside it
};

/// Reads the devices of one file into the set as the parser reports the elements.
class RosegardenEvents final : public xml::Events
{
public:
    explicit RosegardenEvents(ReadResult& result) : m_result(result), m_set(result.set) {}

    /// The root element was no <rosegarden-data>: where it stands, once the parse has seen it.
    std::optional<SourcePos> wrongRoot() const { return m_wrongRoot; }

    void start(std::string_view name, Attributes attributes, SourcePos at) override
    {
        const Place parent = m_places.empty() ? Place::Other : m_places.back();
        Place place = Place::Other;
        if (m_places.empty()) {
            if (!xml::sameName(name, "rosegarden-data"))
                m_wrongRoot = at;
            place = Place::Root;
        } else if (parent == Place::Root && xml::sameName(name, "studio")) {
            place = Place::Studio;
        } else if (parent == Place::Studio && xml::sameName(name, "device")) {
            place = startDevice(attributes, at) ? Place::Device : Place::Other;
        } else if (parent == Place::Device) {
            place = inDevice(name, attributes, at);
        } else if (parent == Place::Bank && xml::sameName(name, "program")) {
            readProgram(attributes, at);
        } else if (parent == Place::Controls && xml::sameName(name, "control")) {
            readControl(attributes, at);
        } else if (parent == Place::KeyMapping && xml::sameName(name, "key")) {
            readKey(attributes, at);
        }
        m_places.push_back(m_wrongRoot ? Place::Other : place);
    }

    void end(std::string_view) override
    {
        const Place place = m_places.back();
        m_places.pop_back();
        if (place == Place::Device)
            endDevice();
        else if (place == Place::Bank)
            endBank();
        else if (place == Place::KeyMapping)
            endKeyMapping();
    }

private:
    using BankKey = std::tuple<bool, int, int>; ///< percussion, MSB, LSB: how Rosegarden tells banks apart

    /// A program whose key mapping is known only at the device's end (key mappings follow the banks).
    struct Pending
    {
        std::int32_t patchList;
        std::int32_t program;
        std::string keyMapping; ///< its `keymapping`; empty: none given
        bool named;             ///< it has a `keymapping` attribute
        bool percussion;
        SourcePos at;
    };

    void warn(SourcePos at, std::string message) { m_result.warnings.warn(at, std::move(message)); }

    Place inDevice(std::string_view name, Attributes attributes, SourcePos at)
    {
        if (xml::sameName(name, "bank"))
            return startBank(attributes, at) ? Place::Bank : Place::Other;
        if (xml::sameName(name, "controls"))
            return Place::Controls;
        if (xml::sameName(name, "keymapping")) {
            m_keyMapName = std::string(valueOf(attributes, "name"));
            m_keys.clear();
            return Place::KeyMapping;
        }
        return Place::Other;
    }

    bool startDevice(Attributes attributes, SourcePos at)
    {
        ++m_deviceNumber;
        const std::string_view type = valueOf(attributes, "type");
        if (!xml::sameName(type, "midi")) {
            warn(at, "the " + std::string(type.empty() ? "untyped" : type) + " device " +
                         inQuotes(valueOf(attributes, "name")) + " is skipped: it holds no MIDI names");
            return false;
        }
        m_instrument = Instrument{};
        m_instrument.method = methodOf(attributes, at);
        m_deviceName = std::string(valueOf(attributes, "name"));
        m_banks.clear();
        m_pending.clear();
        m_noteLists.clear();
        m_keyMaps.clear();
        m_controls.clear();
        return true;
    }

    BankSelectMethod methodOf(Attributes attributes, SourcePos at)
    {
        const std::optional<std::int32_t> value = numberOf(attributes, "bankselecttype");
        if (!xml::has(attributes, "bankselecttype") || value == 0)
            return BankSelectMethod::Normal;
        if (value == 1)
            return BankSelectMethod::ProgramChange;
        warn(at, value == 2
                     ? "the device selects banks with CC31 and a program change, which no other format "
                       "holds: its banks are read as CC0 MSB and CC32 LSB"
                     : "bankselecttype " + inQuotes(valueOf(attributes, "bankselecttype")) +
                           " is unknown: its banks are read as CC0 MSB and CC32 LSB");
        return BankSelectMethod::Normal;
    }

    BankSelect selectOf(SourcePos at, int msb, int lsb)
    {
        if (m_instrument.method != BankSelectMethod::ProgramChange)
            return BankSelect{static_cast<std::int16_t>(msb), static_cast<std::int16_t>(lsb), -1};
        if (msb != 0)
            warn(at, "Rosegarden sends no MSB for this device: the bank's MSB " + std::to_string(msb) +
                         " is left out");
        if (lsb >= 100)
            return BankSelect{-1, -1, static_cast<std::int16_t>(lsb)};
        warn(at, "Rosegarden sends no bank select for an LSB below 100 on this device: the bank is read as "
                 "selecting none");
        return BankSelect{};
    }

    bool startBank(Attributes attributes, SourcePos at)
    {
        const auto byte = [&](std::string_view name) {
            return xml::has(attributes, name) ? numberOf(attributes, name) : std::optional<std::int32_t>(0);
        };
        const std::optional<std::int32_t> msb = byte("msb");
        const std::optional<std::int32_t> lsb = byte("lsb");
        if (!msb || !lsb || *msb < 0 || *msb > 127 || *lsb < 0 || *lsb > 127) {
            warn(at, "a bank whose MSB and LSB are not numbers from 0 to 127 is left out with its programs");
            return false;
        }
        m_percussion = xml::sameName(valueOf(attributes, "percussion"), "true");
        const auto [place, added] =
            m_banks.try_emplace(BankKey{m_percussion, *msb, *lsb}, m_instrument.banks.size());
        if (added) {
            Bank bank;
            bank.select = selectOf(at, *msb, *lsb);
            bank.number = bankNumberOf(bank.select);
            bank.name = m_set.keep(valueOf(attributes, "name"));
            bank.patchList = static_cast<std::int32_t>(m_set.patchLists.size());
            m_set.patchLists.push_back(PatchList{bank.name, {}, {}});
            m_instrument.banks.push_back(bank);
        }
        m_bank = m_instrument.banks[place->second].patchList;
        m_bankName = std::string(valueOf(attributes, "name"));
        m_bankAt = at;
        m_outOfRange = 0;
        return true;
    }

    void readProgram(Attributes attributes, SourcePos at)
    {
        const std::optional<std::int32_t> id = numberOf(attributes, "id");
        if (!id || *id < 0 || *id > 127) {
            ++m_outOfRange;
            return;
        }
        std::vector<Patch>& patches = m_set.patchLists[static_cast<std::size_t>(m_bank)].patches;
        const auto place =
            std::lower_bound(patches.begin(), patches.end(), *id,
                             [](const Patch& patch, std::int32_t p) { return patch.program < p; });
        if (place != patches.end() && place->program == *id)
            return; // Rosegarden refuses a second program of one bank and number
        patches.insert(place, Patch{m_set.keep(valueOf(attributes, "name")), *id, kNoList});
        const bool named = xml::has(attributes, "keymapping");
        if (named || m_percussion)
            m_pending.push_back(Pending{m_bank, *id,
                                        std::string(xml::trimmed(valueOf(attributes, "keymapping"))), named,
                                        m_percussion, at});
    }

    void endBank()
    {
        if (m_outOfRange > 0)
            warn(m_bankAt, std::to_string(m_outOfRange) + (m_outOfRange == 1 ? " program" : " programs") +
                               " of bank " + inQuotes(m_bankName) +
                               " without an id from 0 to 127 left out: a program change sends 0 to 127");
    }

    void readKey(Attributes attributes, SourcePos at)
    {
        const std::optional<std::int32_t> note = numberOf(attributes, "number");
        const std::string_view name = xml::trimmed(valueOf(attributes, "name"));
        if (!note || *note < 0 || *note > 127 || name.empty())
            warn(at, "a key without a note number from 0 to 127 and a name is left out");
        else if (!m_keys.try_emplace(*note, m_set.keep(name)).second)
            warn(at, "note " + std::to_string(*note) + " is named twice: the first name is kept");
    }

    void endKeyMapping()
    {
        if (m_keys.empty())
            return; // Rosegarden drops a key mapping without keys
        NoteList list;
        list.name = m_set.keep(m_keyMapName);
        for (const auto& [note, name] : m_keys)
            list.notes.push_back(NameEntry{static_cast<std::uint16_t>(note), name});
        const auto index = static_cast<std::int32_t>(m_set.noteLists.size());
        m_keyMaps.try_emplace(std::string(xml::trimmed(m_keyMapName)), index);
        m_noteLists.push_back(index);
        m_set.noteLists.push_back(std::move(list));
    }

    void readControl(Attributes attributes, SourcePos at)
    {
        const std::string_view type = valueOf(attributes, "type");
        const std::optional<std::int32_t> number = numberOf(attributes, "controllervalue");
        const std::string_view name = xml::trimmed(valueOf(attributes, "name"));
        if (type != "controller")
            warn(at, "control " + inQuotes(name) + " is a " + std::string(type) +
                         " control, which no other format names: left out");
        else if (!number || *number < 0 || *number > 127 || name.empty())
            warn(at, "a controller without a number from 0 to 127 and a name is left out");
        else if (!m_controls.try_emplace(*number, m_set.keep(name)).second)
            warn(at, "controller " + std::to_string(*number) + " is named twice: the first is kept");
    }

    /// The key mappings of the programs, now that the device's key mappings are known.
    void resolveKeyMappings(std::vector<std::int32_t>& used)
    {
        for (const Pending& pending : m_pending) {
            std::int32_t list = kNoList;
            if (pending.named) {
                const auto found = m_keyMaps.find(pending.keyMapping);
                if (found != m_keyMaps.end())
                    list = found->second;
                else
                    warn(pending.at, "keymapping " + inQuotes(pending.keyMapping) +
                                         " names no key mapping of the device");
            } else if (pending.percussion && !m_noteLists.empty()) {
                list = m_noteLists.front();
            }
            if (list == kNoList)
                continue;
            std::vector<Patch>& patches =
                m_set.patchLists[static_cast<std::size_t>(pending.patchList)].patches;
            std::lower_bound(patches.begin(), patches.end(), pending.program,
                             [](const Patch& patch, std::int32_t p) { return patch.program < p; })
                ->noteList = list;
            used.push_back(list);
        }
    }

    void endDevice()
    {
        std::vector<std::int32_t> used;
        resolveKeyMappings(used);
        if (!m_controls.empty()) {
            ControlList list;
            for (const auto& [number, name] : m_controls)
                list.controls.push_back(NameEntry{static_cast<std::uint16_t>(number), name});
            m_instrument.controllers = static_cast<std::int32_t>(m_set.controlLists.size());
            m_set.controlLists.push_back(std::move(list));
        }
        if (m_instrument.banks.empty() && m_noteLists.empty() && m_instrument.controllers == kNoList)
            return; // an empty placeholder, which Rosegarden does not offer either
        Device made;
        made.model =
            m_set.keep(m_deviceName.empty() ? "Device " + std::to_string(m_deviceNumber) : m_deviceName);
        for (const std::int32_t list : m_noteLists)
            if (std::find(used.begin(), used.end(), list) == used.end())
                made.spareNoteLists.push_back(list);
        m_instrument.name = made.model;
        m_instrument.device = static_cast<std::int32_t>(m_set.devices.size());
        for (const std::int32_t list : made.spareNoteLists)
            m_set.noteLists[static_cast<std::size_t>(list)].device = m_instrument.device;
        m_set.devices.push_back(std::move(made));
        m_set.instruments.push_back(std::move(m_instrument));
    }

    ReadResult& m_result;
    InstrumentSet& m_set;
    std::vector<Place> m_places;
    std::optional<SourcePos> m_wrongRoot;
    int m_deviceNumber = 0;
    // The device being read.
    Instrument m_instrument;
    std::string m_deviceName;
    std::map<BankKey, std::size_t> m_banks;
    std::vector<Pending> m_pending;
    std::map<std::string, std::int32_t> m_keyMaps; ///< the first key mapping of each name
    std::vector<std::int32_t> m_noteLists;         ///< the device's key mappings, in file order
    std::map<std::int32_t, TextRef> m_controls;
    // The bank and key mapping being read.
    std::int32_t m_bank = kNoList;
    std::string m_bankName;
    SourcePos m_bankAt;
    bool m_percussion = false;
    int m_outOfRange = 0;
    std::string m_keyMapName;
    std::map<std::int32_t, TextRef> m_keys;
};

} // namespace

bool looksLikeRosegarden(std::string_view bytes)
{
    if (!isGzip(bytes))
        return xml::firstElementName(bytes) == "rosegarden-data";
    return xml::firstElementName(gunzip(bytes, std::size_t{1} << 16, {}, true).bytes) == "rosegarden-data";
}

ReadResult readRosegarden(std::string bytes, std::string_view)
{
    ReadResult result;
    RosegardenEvents events(result);
    xml::PushParser parser(events);
    // A compressed file is parsed as it unpacks: the unpacked text is never held whole.
    std::string unpackError;
    if (isGzip(bytes)) {
        // Unpacked to the end even when the XML fails early: damaged data is what went wrong then.
        bool parsing = true;
        unpackError = gunzipEach(bytes, kMaxInputSize, kMaxInputSizeText, [&](std::string_view piece) {
            parsing = parsing && parser.feed(piece) && !events.wrongRoot();
            return true;
        });
        std::string().swap(bytes);
    } else {
        parser.feed(bytes);
    }
    if (!unpackError.empty()) {
        result.fail({}, unpackError);
        return result;
    }
    if (const auto root = events.wrongRoot()) {
        result.fail(*root, "the root element is not <rosegarden-data>: this is no Rosegarden file");
        return result;
    }
    if (!parser.finish() || parser.error()) {
        result.error = parser.error();
        return result;
    }
    return result;
}

} // namespace quorvix
