#include "formats/rosegarden/RosegardenReader.h"

#include "base/Gzip.h"
#include "base/InputFile.h"
#include "base/Text.h"
#include "formats/midnam/MidnamSource.h"

#include <algorithm>
#include <map>
#include <tuple>

namespace quorvix {

namespace {

using midnam::attributeNumber;
using midnam::attributeText;

bool is(pugi::xml_node node, const char* name)
{
    return node.type() == pugi::node_element && std::string_view(node.name()) == name;
}

/// Reads the devices of one file into the set.
class RosegardenParser
{
public:
    RosegardenParser(const midnam::Source& source, ReadResult& result)
        : m_source(source), m_result(result), m_set(result.set)
    {}

    void readStudio(pugi::xml_node studio)
    {
        int number = 0;
        for (pugi::xml_node device : studio.children("device")) {
            ++number;
            const std::string_view type = attributeText(device, "type");
            if (type == "midi")
                readDevice(device, number);
            else
                warn(device, "the " + std::string(type.empty() ? "untyped" : type) + " device " +
                                 inQuotes(attributeText(device, "name")) +
                                 " is skipped: it holds no MIDI names");
        }
    }

private:
    using BankKey = std::tuple<bool, int, int>; ///< percussion, MSB, LSB: how Rosegarden tells banks apart

    void warn(pugi::xml_node node, std::string message)
    {
        m_result.warnings.warn(m_source.at(node), std::move(message));
    }

    void readDevice(pugi::xml_node device, int number)
    {
        m_keyMaps.clear();
        m_noteLists.clear();
        m_used.clear();
        readKeyMappings(device);
        Instrument instrument;
        instrument.method = methodOf(device);
        std::map<BankKey, std::size_t> banks;
        for (pugi::xml_node bank : device.children("bank"))
            readBank(bank, instrument, banks);
        instrument.controllers = readControls(device);
        if (instrument.banks.empty() && m_noteLists.empty() && instrument.controllers == kNoList)
            return; // an empty placeholder, which Rosegarden does not offer either
        std::string name(attributeText(device, "name"));
        if (name.empty())
            name = "Device " + std::to_string(number);
        Device made;
        made.model = m_set.keep(name);
        for (const std::int32_t list : m_noteLists)
            if (std::find(m_used.begin(), m_used.end(), list) == m_used.end())
                made.spareNoteLists.push_back(list);
        instrument.name = made.model;
        instrument.device = static_cast<std::int32_t>(m_set.devices.size());
        for (const std::int32_t list : made.spareNoteLists)
            m_set.noteLists[static_cast<std::size_t>(list)].device = instrument.device;
        m_set.devices.push_back(std::move(made));
        m_set.instruments.push_back(std::move(instrument));
    }

    BankSelectMethod methodOf(pugi::xml_node device)
    {
        const pugi::xml_attribute type = device.attribute("bankselecttype");
        const std::optional<std::int32_t> value = attributeNumber(type);
        if (!type || value == 0)
            return BankSelectMethod::Normal;
        if (value == 1)
            return BankSelectMethod::ProgramChange;
        warn(device, value == 2 ? "the device selects banks with CC31 and a program change, which no other "
                                  "format holds: its banks are read as CC0 MSB and CC32 LSB"
                                : "bankselecttype " + inQuotes(type.value()) +
                                      " is unknown: its banks are "
                                      "read as CC0 MSB and CC32 LSB");
        return BankSelectMethod::Normal;
    }

    void readKeyMappings(pugi::xml_node device)
    {
        for (pugi::xml_node map : device.children("keymapping")) {
            NoteList list;
            list.name = m_set.keep(attributeText(map, "name"));
            std::map<std::int32_t, TextRef> keys;
            for (pugi::xml_node key : map.children("key")) {
                const std::optional<std::int32_t> note = attributeNumber(key.attribute("number"));
                const std::string_view name = attributeText(key, "name");
                if (!note || *note < 0 || *note > 127 || name.empty())
                    warn(key, "a key without a note number from 0 to 127 and a name is left out");
                else if (!keys.try_emplace(*note, m_set.keep(name)).second)
                    warn(key, "note " + std::to_string(*note) + " is named twice: the first name is kept");
            }
            if (keys.empty())
                continue; // Rosegarden drops a key mapping without keys
            for (const auto& [note, name] : keys)
                list.notes.push_back(NameEntry{static_cast<std::uint16_t>(note), name});
            const auto index = static_cast<std::int32_t>(m_set.noteLists.size());
            m_keyMaps.try_emplace(std::string(attributeText(map, "name")), index);
            m_noteLists.push_back(index);
            m_set.noteLists.push_back(std::move(list));
        }
    }

    BankSelect selectOf(pugi::xml_node bank, BankSelectMethod method, int msb, int lsb)
    {
        if (method != BankSelectMethod::ProgramChange)
            return BankSelect{static_cast<std::int16_t>(msb), static_cast<std::int16_t>(lsb), -1};
        if (msb != 0)
            warn(bank, "Rosegarden sends no MSB for this device: the bank's MSB " + std::to_string(msb) +
                           " is left out");
        if (lsb >= 100)
            return BankSelect{-1, -1, static_cast<std::int16_t>(lsb)};
        warn(bank, "Rosegarden sends no bank select for an LSB below 100 on this device: the bank is read as "
                   "selecting none");
        return BankSelect{};
    }

    void readBank(pugi::xml_node node, Instrument& instrument, std::map<BankKey, std::size_t>& banks)
    {
        const std::optional<std::int32_t> msb =
            node.attribute("msb") ? attributeNumber(node.attribute("msb")) : std::optional<std::int32_t>(0);
        const std::optional<std::int32_t> lsb =
            node.attribute("lsb") ? attributeNumber(node.attribute("lsb")) : std::optional<std::int32_t>(0);
        if (!msb || !lsb || *msb < 0 || *msb > 127 || *lsb < 0 || *lsb > 127) {
            warn(node,
                 "a bank whose MSB and LSB are not numbers from 0 to 127 is left out with its programs");
            return;
        }
        std::string flag(attributeText(node, "percussion"));
        std::transform(flag.begin(), flag.end(), flag.begin(),
                       [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
        const bool percussion = flag == "true";
        const auto [place, added] =
            banks.try_emplace(BankKey{percussion, *msb, *lsb}, instrument.banks.size());
        if (added) {
            Bank bank;
            bank.select = selectOf(node, instrument.method, *msb, *lsb);
            bank.number = bankNumberOf(bank.select);
            bank.name = m_set.keep(attributeText(node, "name"));
            bank.patchList = static_cast<std::int32_t>(m_set.patchLists.size());
            m_set.patchLists.push_back(PatchList{bank.name, {}, {}});
            instrument.banks.push_back(bank);
        }
        readPrograms(node, instrument.banks[place->second], percussion);
    }

    void readPrograms(pugi::xml_node bank, const Bank& into, bool percussion)
    {
        std::vector<Patch>& patches = m_set.patchLists[static_cast<std::size_t>(into.patchList)].patches;
        int outOfRange = 0;
        for (pugi::xml_node program : bank.children("program")) {
            const std::optional<std::int32_t> id = attributeNumber(program.attribute("id"));
            const std::string_view name = attributeText(program, "name");
            if (!id || *id < 0 || *id > 127) {
                ++outOfRange;
                continue;
            }
            const auto at =
                std::lower_bound(patches.begin(), patches.end(), *id,
                                 [](const Patch& patch, std::int32_t p) { return patch.program < p; });
            if (at != patches.end() && at->program == *id)
                continue; // Rosegarden refuses a second program of one bank and number
            patches.insert(at, Patch{m_set.keep(name), *id, noteListOf(program, percussion)});
        }
        if (outOfRange > 0)
            warn(bank, std::to_string(outOfRange) + (outOfRange == 1 ? " program" : " programs") +
                           " of bank " + inQuotes(attributeText(bank, "name")) +
                           " without an id from 0 to 127 left out: a program change sends 0 to 127");
    }

    std::int32_t noteListOf(pugi::xml_node program, bool percussion)
    {
        std::int32_t list = kNoList;
        if (const pugi::xml_attribute named = program.attribute("keymapping")) {
            const auto found = m_keyMaps.find(std::string(midnam::trimmed(named.value())));
            if (found != m_keyMaps.end())
                list = found->second;
            else
                warn(program,
                     "keymapping " + inQuotes(named.value()) + " names no key mapping of the device");
        } else if (percussion && !m_noteLists.empty()) {
            list = m_noteLists.front();
        }
        if (list != kNoList)
            m_used.push_back(list);
        return list;
    }

    std::int32_t readControls(pugi::xml_node device)
    {
        std::map<std::int32_t, TextRef> names;
        for (pugi::xml_node control : device.child("controls").children("control")) {
            const std::string_view type = attributeText(control, "type");
            const std::optional<std::int32_t> number = attributeNumber(control.attribute("controllervalue"));
            const std::string_view name = attributeText(control, "name");
            if (type != "controller") {
                warn(control, "control " + inQuotes(name) + " is a " + std::string(type) +
                                  " control, which no other format names: left out");
            } else if (!number || *number < 0 || *number > 127 || name.empty()) {
                warn(control, "a controller without a number from 0 to 127 and a name is left out");
            } else if (!names.try_emplace(*number, m_set.keep(name)).second) {
                warn(control, "controller " + std::to_string(*number) + " is named twice: the first is kept");
            }
        }
        if (names.empty())
            return kNoList;
        ControlList list;
        for (const auto& [number, name] : names)
            list.controls.push_back(NameEntry{static_cast<std::uint16_t>(number), name});
        m_set.controlLists.push_back(std::move(list));
        return static_cast<std::int32_t>(m_set.controlLists.size() - 1);
    }

    const midnam::Source& m_source;
    ReadResult& m_result;
    InstrumentSet& m_set;
    std::map<std::string, std::int32_t> m_keyMaps; ///< the first key mapping of each name
    std::vector<std::int32_t> m_noteLists;         ///< the device's key mappings, in file order
    std::vector<std::int32_t> m_used;              ///< those a patch uses
};

/// The bytes themselves, or what they unpack to when they are gzip-compressed.
bool unpacked(std::string& bytes, ReadResult& result)
{
    if (!isGzip(bytes))
        return true;
    Unpacked content = gunzip(bytes, kMaxInputSize, kMaxInputSizeText);
    if (!content.ok()) {
        result.fail({}, content.error);
        return false;
    }
    bytes = std::move(content.bytes);
    return true;
}

/// The name of the first element past the prolog (declaration, comments, DOCTYPE), or empty.
std::string_view firstElementName(std::string_view text)
{
    if (text.substr(0, 3) == "\xEF\xBB\xBF")
        text.remove_prefix(3);
    for (;;) {
        const auto open = text.find('<');
        if (open == std::string_view::npos || text.find_first_not_of(" \t\r\n") < open)
            return {};
        text.remove_prefix(open);
        const std::string_view end = text.substr(0, 4) == "<!--" ? "-->"
                                     : text.substr(0, 2) == "<?" ? "?>"
                                                                 : ">";
        if (text.substr(0, 2) != "<?" && text.substr(0, 2) != "<!")
            return text.substr(1, text.find_first_of(" \t\r\n/>") - 1);
        const auto close = text.find(end);
        if (close == std::string_view::npos)
            return {};
        text.remove_prefix(close + end.size());
    }
}

/// Where the text holds an "&" that starts no entity or character reference, outside comments and CDATA
/// sections; npos when none does. pugixml takes such an "&" as a character, Rosegarden's parser refuses the
/// file.
std::size_t strayAmpersand(std::string_view text)
{
    const auto isNameChar = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
               c == ':' || c == '.' || c == '-' || static_cast<unsigned char>(c) >= 0x80;
    };
    for (std::size_t at = 0; (at = text.find_first_of("&<", at)) != std::string_view::npos;) {
        if (text[at] == '<') {
            const std::string_view end = text.substr(at, 4) == "<!--"        ? "-->"
                                         : text.substr(at, 9) == "<![CDATA[" ? "]]>"
                                                                             : std::string_view();
            at = end.empty() ? at + 1 : text.find(end, at);
            if (at == std::string_view::npos)
                return std::string_view::npos; // the parser has said what is wrong with it
            continue;
        }
        std::size_t next = at + 1;
        if (next < text.size() && text[next] == '#')
            ++next;
        const std::size_t name = next;
        while (next < text.size() && isNameChar(text[next]))
            ++next;
        if (next == name || next >= text.size() || text[next] != ';')
            return at;
        at = next;
    }
    return std::string_view::npos;
}

SourcePos positionOf(std::string_view text, std::size_t offset)
{
    const std::string_view before = text.substr(0, offset);
    const auto lineStart = before.rfind('\n');
    return SourcePos{
        static_cast<std::uint32_t>(std::count(before.begin(), before.end(), '\n') + 1),
        static_cast<std::uint32_t>(offset - (lineStart == std::string_view::npos ? 0 : lineStart + 1) + 1)};
}

} // namespace

bool looksLikeRosegarden(std::string_view bytes)
{
    if (!isGzip(bytes))
        return firstElementName(bytes) == "rosegarden-data";
    return firstElementName(gunzip(bytes, std::size_t{1} << 16, {}, true).bytes) == "rosegarden-data";
}

ReadResult readRosegarden(std::string bytes, std::string_view)
{
    ReadResult result;
    if (!unpacked(bytes, result))
        return result;
    if (const std::size_t stray = strayAmpersand(bytes); stray != std::string_view::npos) {
        result.fail(positionOf(bytes, stray),
                    "malformed XML: \"&\" starts no entity reference (write &amp;)");
        return result;
    }
    const midnam::Source source(std::move(bytes));
    if (source.error()) {
        result.error = source.error();
        return result;
    }
    const pugi::xml_node root = source.root();
    if (!is(root, "rosegarden-data")) {
        result.fail(source.at(root), "the root element is not <rosegarden-data>: this is no Rosegarden file");
        return result;
    }
    RosegardenParser parser(source, result);
    for (pugi::xml_node studio : root.children("studio"))
        parser.readStudio(studio);
    return result;
}

} // namespace quorvix
