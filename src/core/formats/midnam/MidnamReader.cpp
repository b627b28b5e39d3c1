#include "formats/midnam/MidnamReader.h"

#include "base/Encoding.h"
#include "base/Text.h"
#include "formats/midnam/MidnamLists.h"
#include "formats/midnam/MidnamReferences.h"
#include "formats/midnam/MidnamSource.h"

#include <algorithm>
#include <limits>
#include <pugixml.hpp>

namespace quorvix {

namespace {

using midnam::attributeText;
using midnam::ListKind;
using midnam::trimmed;

std::string_view elementText(pugi::xml_node element)
{
    return trimmed(element.text().get());
}

class DocumentReader
{
public:
    DocumentReader(const midnam::Source& source, ReadResult& result)
        : m_source(source), m_result(result), m_lists(source, result)
    {}

    void read(pugi::xml_node root)
    {
        bool devices = false;
        bool extending = false;
        for (pugi::xml_node child : root.children()) {
            const std::string_view kind = child.name();
            if (kind == "MasterDeviceNames") {
                readMasterDevice(child);
                devices = true;
            } else if (kind == "StandardDeviceMode") {
                m_lists.beginDevice(child);
                const std::size_t first = m_result.set.instruments.size();
                readNameSets(child, attributeText(child, "Name"), -1);
                readModeLists(child, first);
                devices = true;
            } else if (kind == "ExtendingDeviceNames") {
                extending = true;
            }
        }
        if (!devices) {
            m_result.fail(m_source.at(root),
                          extending ? "holds no device: only lists for devices defined in other files "
                                      "(ExtendingDeviceNames)"
                                    : "holds no device (no MasterDeviceNames or StandardDeviceMode)");
        }
    }

private:
    void readMasterDevice(pugi::xml_node master)
    {
        m_lists.beginDevice(master);
        std::string_view model = elementText(master.child("Model"));
        if (pugi::xml_node device = master.child("Device"); model.empty() && device)
            model = attributeText(device, "Name");
        InstrumentSet& set = m_result.set;
        Device device{m_lists.keepName(master, elementText(master.child("Manufacturer"))),
                      m_lists.keepName(master, model),
                      {},
                      {}};
        for (pugi::xml_node more = master.child("Model").next_sibling("Model"); more;
             more = more.next_sibling("Model")) {
            if (const TextRef name = m_lists.keepName(more, elementText(more)); !name.empty())
                device.moreModels.push_back(name);
        }
        for (pugi::xml_node mode : master.children("CustomDeviceMode"))
            device.modes.push_back(readMode(mode));
        set.devices.push_back(std::move(device));
        const auto deviceIndex = static_cast<std::int32_t>(set.devices.size() - 1);
        if (!master.child("ChannelNameSet")) {
            if (master.child("PatchNameList"))
                readBareLists(master, model, deviceIndex);
            else
                m_lists.warn(master,
                             "device " + inQuotes(model) + " has no ChannelNameSet, so no instrument");
        }
        const std::size_t firstInstrument = set.instruments.size();
        readNameSets(master, model, deviceIndex);
        keepSpareLists(master, deviceIndex, set.devices.back());
        keepKnownAssignments(master, set.devices.back(), firstInstrument);
    }

    /// Leaves out the channel assignments to name sets the device does not have (files made by some tools
    /// assign channels to "(null)"), with one warning per mode.
    void keepKnownAssignments(pugi::xml_node master, Device& device, std::size_t firstInstrument)
    {
        const InstrumentSet& set = m_result.set;
        auto known = [&](TextRef name) {
            for (std::size_t i = firstInstrument; i < set.instruments.size(); ++i) {
                if (set.text(set.instruments[i].nameSet) == set.text(name))
                    return true;
            }
            return false;
        };
        pugi::xml_node node = master.child("CustomDeviceMode");
        for (DeviceMode& mode : device.modes) {
            std::string channels;
            std::string names;
            int count = 0;
            for (std::size_t channel = 0; channel < mode.nameSets.size(); ++channel) {
                TextRef& name = mode.nameSets[channel];
                if (name.empty() || known(name))
                    continue;
                channels += (channels.empty() ? "" : ", ") + std::to_string(channel + 1);
                if (names.find(inQuotes(set.text(name))) == std::string::npos)
                    names += (names.empty() ? "" : ", ") + inQuotes(set.text(name));
                name = {};
                ++count;
            }
            if (count > 0)
                m_lists.warn(node, "device mode " + inQuotes(set.text(mode.name)) +
                                       (count == 1 ? ": channel " + channels + " is assigned to "
                                                   : ": channels " + channels + " are assigned to ") +
                                       "a name set the device does not have (" + names + "); left out");
            node = node.next_sibling("CustomDeviceMode");
        }
        // A mode that assigns no channel is no mode to write back.
        std::erase_if(device.modes, [](const DeviceMode& mode) {
            return std::all_of(mode.nameSets.begin(), mode.nameSets.end(),
                               [](TextRef name) { return name.empty(); });
        });
    }

    /// A StandardDeviceMode names no device; one that holds lists its name sets do not use becomes one,
    /// so that the lists stay with its instruments (from `first` on).
    void readModeLists(pugi::xml_node mode, std::size_t first)
    {
        InstrumentSet& set = m_result.set;
        const auto device = static_cast<std::int32_t>(set.devices.size());
        Device made{{}, m_lists.keepName(mode, attributeText(mode, "Name")), {}, {}};
        keepSpareLists(mode, device, made);
        if (made.spareNoteLists.empty() && made.spareControlLists.empty())
            return;
        set.devices.push_back(std::move(made));
        for (std::size_t i = first; i < set.instruments.size(); ++i)
            set.instruments[i].device = device;
    }

    /// The device's note and control name lists that none of its patches or name sets use: kept for the
    /// formats that hold lists by themselves.
    void keepSpareLists(pugi::xml_node master, std::int32_t deviceIndex, Device& device)
    {
        InstrumentSet& set = m_result.set;
        for (pugi::xml_node list : master.children("NoteNameList")) {
            const std::size_t before = set.noteLists.size();
            m_lists.noteList(list);
            for (std::size_t i = before; i < set.noteLists.size(); ++i) {
                set.noteLists[i].device = deviceIndex;
                device.spareNoteLists.push_back(static_cast<std::int32_t>(i));
            }
        }
        for (pugi::xml_node list : master.children("ControlNameList")) {
            const std::size_t before = set.controlLists.size();
            m_lists.controlLists(list);
            for (std::size_t i = before; i < set.controlLists.size(); ++i) {
                set.controlLists[i].device = deviceIndex;
                device.spareControlLists.push_back(static_cast<std::int32_t>(i));
            }
        }
    }

    /// A device with patch name lists but no ChannelNameSet to use them: its lists become the banks of
    /// one instrument, so that its names are not lost.
    void readBareLists(pugi::xml_node master, std::string_view model, std::int32_t deviceIndex)
    {
        m_lists.warn(master, "device " + inQuotes(model) +
                                 " has no ChannelNameSet; its patch name lists are read as the banks of one "
                                 "instrument");
        Instrument instrument;
        instrument.name = m_lists.keepName(master, model);
        instrument.device = deviceIndex;
        for (pugi::xml_node list : master.children("PatchNameList")) {
            const std::string_view listName = attributeText(list, "Name");
            const TextRef name = m_lists.keepName(list, listName);
            for (const BankSelect& selected : m_lists.selectsOf(list, BankSelect{})) {
                const std::int32_t patches =
                    m_lists.patchList(list, selected, selected == BankSelect{}, listName);
                instrument.banks.push_back(Bank{bankNumberOf(selected), selected, name, patches});
            }
        }
        instrument.method = methodOfBanks(instrument, master, model);
        m_result.set.instruments.push_back(std::move(instrument));
    }

    void readNameSets(pugi::xml_node device, std::string_view baseName, std::int32_t deviceIndex)
    {
        const auto nameSets = device.children("ChannelNameSet");
        const bool several = std::distance(nameSets.begin(), nameSets.end()) > 1;
        for (pugi::xml_node nameSet : nameSets) {
            const std::string_view setName = attributeText(nameSet, "Name");
            std::string name(baseName.empty() ? setName : baseName);
            if (several && !baseName.empty() && !setName.empty())
                name += " (" + std::string(setName) + ")";
            Instrument instrument;
            instrument.name = m_lists.keepName(nameSet, name);
            instrument.device = deviceIndex;
            instrument.nameSet = m_lists.keepName(nameSet, setName);
            instrument.channels = availableChannels(nameSet);
            readNameSet(nameSet, instrument, name);
            m_result.set.instruments.push_back(std::move(instrument));
        }
    }

    /// The channels a CustomDeviceMode gives each name set.
    DeviceMode readMode(pugi::xml_node mode)
    {
        DeviceMode read;
        read.name = m_lists.keepName(mode, attributeText(mode, "Name"));
        for (pugi::xml_node assign :
             mode.child("ChannelNameSetAssignments").children("ChannelNameSetAssign")) {
            const std::optional<std::int32_t> channel = midnam::attributeNumber(assign.attribute("Channel"));
            if (!channel || *channel < 1 || *channel > kMidiChannels) {
                m_lists.warn(assign, "a channel name set assignment to channel " +
                                         inQuotes(assign.attribute("Channel").value()) +
                                         " (not from 1 to 16) is left out");
                continue;
            }
            read.nameSets[static_cast<std::size_t>(*channel - 1)] =
                m_lists.keepName(assign, attributeText(assign, "NameSet"));
        }
        return read;
    }

    /// The channels an AvailableForChannels marks available; all 16 when the name set has none.
    std::uint16_t availableChannels(pugi::xml_node nameSet)
    {
        const pugi::xml_node available = nameSet.child("AvailableForChannels");
        if (!available)
            return 0xFFFF;
        std::uint16_t channels = 0;
        for (pugi::xml_node entry : available.children("AvailableChannel")) {
            const std::optional<std::int32_t> channel = midnam::attributeNumber(entry.attribute("Channel"));
            if (channel && *channel >= 1 && *channel <= kMidiChannels &&
                attributeText(entry, "Available") != "false")
                channels = static_cast<std::uint16_t>(channels | (1U << (*channel - 1)));
        }
        return channels;
    }

    void readNameSet(pugi::xml_node nameSet, Instrument& instrument, std::string_view name)
    {
        if (pugi::xml_node notes = listOrReference(nameSet, ListKind::Note, "NoteNameList"))
            instrument.noteList = m_lists.noteList(notes);
        if (pugi::xml_node controls = listOrReference(nameSet, ListKind::Control, "ControlNameList")) {
            const midnam::ControlLists lists = m_lists.controlLists(controls);
            instrument.controllers = lists.controllers;
            instrument.rpns = lists.rpns;
            instrument.nrpns = lists.nrpns;
        }
        for (pugi::xml_node bank : nameSet.children("PatchBank"))
            addBanks(instrument, bank);
        instrument.method = methodOfBanks(instrument, nameSet, name);
    }

    /// The list element `kind` names inside `owner`, or the one its Uses… element refers to.
    pugi::xml_node listOrReference(pugi::xml_node owner, ListKind kind, const char* element)
    {
        if (pugi::xml_node list = owner.child(element))
            return list;
        if (pugi::xml_node uses = owner.child((std::string("Uses") + element).c_str()))
            return m_lists.resolve(kind, uses);
        return {};
    }

    void addBanks(Instrument& instrument, pugi::xml_node bank)
    {
        const std::string_view bankName = attributeText(bank, "Name");
        const TextRef name = m_lists.keepName(bank, bankName);
        const midnam::Commands commands =
            m_lists.commands(bank.child("MIDICommands"), "bank " + inQuotes(bankName));
        BankSelect select{commands.msb, commands.lsb, -1};
        if (commands.programAt) {
            if (commands.program && *commands.program >= 0 && *commands.program <= 127)
                select.program = static_cast<std::int16_t>(*commands.program);
            else
                m_lists.warn(commands.programAt, "bank " + inQuotes(bankName) +
                                                     ": its program change is not from 0 to 127; ignored");
        }
        const pugi::xml_node list = listOrReference(bank, ListKind::Patch, "PatchNameList");
        if (!list && !bank.child("UsesPatchNameList"))
            m_lists.warn(bank, "bank " + inQuotes(bankName) + " has no patch name list");

        const std::vector<BankSelect> selects = list ? m_lists.selectsOf(list, select) : std::vector{select};
        for (const BankSelect& selected : selects) {
            const std::int32_t patches =
                list ? m_lists.patchList(list, selected, selected == select, bankName) : kNoList;
            instrument.banks.push_back(Bank{bankNumberOf(selected), selected, name, patches});
        }
    }

    BankSelectMethod methodOfBanks(const Instrument& instrument, pugi::xml_node nameSet,
                                   std::string_view name)
    {
        std::optional<BankSelectMethod> method;
        for (const Bank& bank : instrument.banks) {
            BankSelectMethod sent{};
            if (bank.select == BankSelect{})
                continue;
            if (!methodOf(bank.select, sent) || (method && *method != sent)) {
                m_lists.warn(nameSet,
                             "instrument " + inQuotes(name) +
                                 ": its banks select banks in different ways; bank select method Normal "
                                 "(CC0 and CC32) assumed");
                return BankSelectMethod::Normal;
            }
            method = sent;
        }
        return method.value_or(BankSelectMethod::Normal);
    }

    const midnam::Source& m_source;
    ReadResult& m_result;
    midnam::Lists m_lists;
};

} // namespace

ReadResult readMidnam(std::string bytes)
{
    ReadResult result;
    result.set.encoding = TextEncoding::Utf8;
    if (bytes.size() > std::numeric_limits<std::uint32_t>::max()) {
        result.fail({}, "a MIDNAM document larger than 4 GiB");
        return result;
    }
    // A document in UTF-16 or UTF-32 is read as UTF-8, so that every place in it is known by line and column.
    if (const WideEncoding wide = wideEncodingOf(bytes); wide != WideEncoding::None) {
        std::string text;
        if (wideToUtf8(bytes, wide, text))
            bytes = std::move(text);
    }
    midnam::warnReferences(bytes, result.warnings);
    const midnam::Source source(std::move(bytes));
    if (source.error()) {
        result.error = source.error();
        return result;
    }
    const pugi::xml_node root = source.root();
    if (std::string_view(root.name()) != "MIDINameDocument") {
        result.fail(source.at(root), std::string("not a MIDNAM document: the root element is <") +
                                         root.name() + ">, not <MIDINameDocument>");
        return result;
    }
    DocumentReader(source, result).read(root);
    result.warnings.finish();
    return result;
}

} // namespace quorvix
