#include "formats/midnam/MidnamWriter.h"

#include "base/Text.h"
#include "formats/midnam/ArdourModels.h"
#include "formats/midnam/MidnamPlan.h"
#include "formats/midnam/XmlStream.h"

#include <algorithm>
#include <bitset>
#include <functional>
#include <vector>

namespace quorvix {

namespace {

using midnam::cleanName;
using midnam::listAt;
using midnam::XmlStream;

constexpr std::string_view kProlog =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE MIDINameDocument PUBLIC \"-//MIDI Manufacturers Association//DTD MIDINameDocument 1.0//EN\" "
    "\"http://www.midi.org/dtds/MIDINameDocument10.dtd\">\n";
constexpr int kChannels = kMidiChannels;

const char* typeOf(ControlKind kind)
{
    switch (kind) {
    case ControlKind::Controller14:
        return "14bit";
    case ControlKind::Rpn:
        return "RPN";
    case ControlKind::Nrpn:
        return "NRPN";
    case ControlKind::Controller:
        break;
    }
    return "7bit";
}

class DocumentWriter
{
public:
    DocumentWriter(const InstrumentSet& set, std::vector<const Instrument*> instruments,
                   const MidnamOptions& options, OutputSink& out, Diagnostics& warnings)
        : m_set(set), m_instruments(std::move(instruments)), m_options(options), m_out(out),
          m_warnings(warnings)
    {}

    void write()
    {
        m_plan = midnam::planDocument(m_set, m_instruments);

        std::string comment = "Generated with Quorvix";
        for (const std::string* part : {&m_options.stamp.date, &m_options.stamp.time}) {
            if (!part->empty())
                comment += " " + *part;
        }
        if (!m_options.sourceName.empty())
            comment += " from " + m_options.sourceName;
        m_out << kProlog << "<!-- " << midnam::commentText(comment) << " -->\n<MIDINameDocument>\n"
              << "  <Author>Quorvix</Author>\n  <MasterDeviceNames>\n    <Manufacturer>";
        m_out.text(manufacturer());
        m_out << "</Manufacturer>\n";
        for (const std::string& model : m_plan.models) {
            m_out << "    <Model>";
            m_out.text(model);
            m_out << "</Model>\n";
            if (isArdourModel(model))
                warn("model " + inQuotes(model) +
                     " is the model of a document Ardour installs: Ardour keeps the one of the two files it "
                     "loads first and ignores the other");
        }
        writeModes();
        for (std::size_t i = 0; i < m_instruments.size(); ++i)
            writeNameSet(i);
        for (const midnam::PatchListUse& use : m_plan.sharedPatchLists)
            writePatchList(listAt(m_set.patchLists, use.first), m_plan.patchListName(use), "    ");
        writeNoteLists();
        for (std::size_t i = 0; i < m_plan.controlKeys.size(); ++i)
            writeControls(i);
        m_out << "  </MasterDeviceNames>\n</MIDINameDocument>\n";
        m_out.flush();
        if (m_out.leftOut())
            warn("names held characters that XML cannot hold; they were left out");
        warnOfArdour();
    }

private:
    std::string clean(TextRef ref) const { return cleanName(m_set.utf8(ref)); }

    /// What the document holds that Ardour, the reader most of these files are for, takes otherwise.
    void warnOfArdour()
    {
        if (!m_programBanks.empty()) {
            std::string listed;
            for (std::size_t i = 0; i < m_programBanks.size() && i < 5; ++i)
                listed += (i == 0 ? "" : ", ") + inQuotes(m_programBanks[i]);
            if (m_programBanks.size() > 5)
                listed += " and " + std::to_string(m_programBanks.size() - 5) + " more";
            warn((m_programBanks.size() == 1 ? "bank " : "banks ") + listed +
                 (m_programBanks.size() == 1 ? " is" : " are") +
                 " selected with a program change, which Ardour does not send: it selects banks by CC0 and "
                 "CC32 only");
        }
        if (m_rpns > 0)
            warn(
                std::to_string(m_rpns) + (m_rpns == 1 ? " RPN name is" : " RPN names are") +
                " written as MIDNAM RPN controls, which Ardour shows as the names of the unnamed controllers "
                "of the same numbers");
    }

    /// A name of the set as UTF-8: as it is when it is (ASCII is the same in every encoding of the set),
    /// else converted into a buffer that the next call reuses.
    std::string_view utf8(TextRef ref)
    {
        const std::string_view text = m_set.text(ref);
        if (m_set.encoding == TextEncoding::Utf8 || std::none_of(text.begin(), text.end(), [](char c) {
                return static_cast<unsigned char>(c) >= 0x80;
            }))
            return text;
        m_converted = m_set.utf8(ref);
        return m_converted;
    }

    const Device* device() const { return listAt(m_set.devices, m_instruments.front()->device); }

    std::string manufacturer() const
    {
        std::string name = cleanName(m_options.manufacturer);
        if (const Device* found = device(); name.empty() && found)
            name = clean(found->manufacturer);
        return name.empty() ? std::string(kDefaultMidnamManufacturer) : name;
    }

    void warn(std::string message) { m_warnings.warn(SourcePos{}, std::move(message)); }

    /// The CustomDeviceModes: the device's own, else one that gives every channel the first name set
    /// available on it.
    void writeModes()
    {
        static const std::vector<DeviceMode> kNone;
        const std::vector<DeviceMode>& modes = device() ? device()->modes : kNone;
        for (const DeviceMode& mode : modes) {
            m_out << "    <CustomDeviceMode";
            m_out.attribute("Name", clean(mode.name).empty() ? std::string("Default") : clean(mode.name));
            m_out << ">\n      <ChannelNameSetAssignments>\n";
            for (std::size_t channel = 0; channel < kChannels; ++channel)
                writeAssign(channel, nameSetCalled(clean(mode.nameSets[channel])));
            m_out << "      </ChannelNameSetAssignments>\n    </CustomDeviceMode>\n";
        }
        if (!modes.empty())
            return;
        m_out << "    <CustomDeviceMode Name=\"Default\">\n      <ChannelNameSetAssignments>\n";
        for (std::size_t channel = 0; channel < kChannels; ++channel) {
            std::size_t chosen = 0;
            while (chosen < m_instruments.size() && !(m_instruments[chosen]->channels & (1U << channel)))
                ++chosen;
            writeAssign(channel, chosen < m_instruments.size() ? &m_plan.nameSetNames[chosen]
                                                               : &m_plan.nameSetNames[0]);
        }
        m_out << "      </ChannelNameSetAssignments>\n    </CustomDeviceMode>\n";
    }

    /// The written name of the name set the source called `name`; null when none is written.
    const std::string* nameSetCalled(const std::string& name) const
    {
        for (std::size_t i = 0; i < m_instruments.size(); ++i) {
            if (!name.empty() && clean(m_instruments[i]->nameSet) == name)
                return &m_plan.nameSetNames[i];
        }
        return nullptr;
    }

    void writeAssign(std::size_t channel, const std::string* nameSet)
    {
        if (!nameSet)
            return;
        m_out << "        <ChannelNameSetAssign";
        m_out.attribute("Channel", static_cast<long long>(channel + 1));
        m_out.attribute("NameSet", *nameSet);
        m_out << "/>\n";
    }

    void writeNameSet(std::size_t index)
    {
        const Instrument& instrument = *m_instruments[index];
        m_out << "    <ChannelNameSet";
        m_out.attribute("Name", m_plan.nameSetNames[index]);
        m_out << ">\n      <AvailableForChannels>\n";
        for (int channel = 0; channel < kChannels; ++channel) {
            m_out << "        <AvailableChannel";
            m_out.attribute("Channel", channel + 1);
            m_out << ((instrument.channels & (1U << channel)) ? " Available=\"true\"/>\n"
                                                              : " Available=\"false\"/>\n");
        }
        m_out << "      </AvailableForChannels>\n";
        if (const std::string* notes = m_plan.noteListName(instrument.noteList)) {
            m_out << "      <UsesNoteNameList";
            m_out.attribute("Name", *notes);
            m_out << "/>\n";
        }
        if (const std::string& controls = m_plan.controlListNames[m_plan.controlListOf[index]];
            !controls.empty()) {
            m_out << "      <UsesControlNameList";
            m_out.attribute("Name", controls);
            m_out << "/>\n";
        }
        if (instrument.banks.empty()) {
            warn("instrument " + inQuotes(m_plan.nameSetNames[index]) +
                 " has no banks; an empty one is written, as MIDNAM needs one");
            m_out << "      <PatchBank Name=\"Bank 0\">\n        <PatchNameList/>\n      </PatchBank>\n";
        }
        for (const Bank& bank : instrument.banks)
            writeBank(instrument, bank);
        m_out << "    </ChannelNameSet>\n";
    }

    void writeBank(const Instrument& instrument, const Bank& bank)
    {
        const PatchList* list = listAt(m_set.patchLists, bank.patchList);
        std::string name = clean(bank.name);
        if (name.empty() && list)
            name = clean(list->name);
        if (name.empty())
            name = "Bank " + std::to_string(bank.number);
        m_out << "      <PatchBank";
        m_out.attribute("Name", name);
        m_out << ">\n";
        writeSelect(midnam::writtenSelect(instrument, bank), name);
        const midnam::PatchListUse use = midnam::useOf(instrument, bank);
        if (list && m_plan.shared(use)) {
            m_out << "        <UsesPatchNameList";
            m_out.attribute("Name", m_plan.patchListName(use));
            m_out << "/>\n";
        } else {
            writePatchList(list, m_plan.patchListName(use), "        ");
        }
        m_out << "      </PatchBank>\n";
    }

    void writeSelect(const BankSelect& select, std::string_view name)
    {
        bool open = false;
        auto sends = [&](std::int16_t value, const char* what) {
            if (value < 0)
                return false;
            if (value > 127) {
                warn("bank " + inQuotes(name) + ": " + what + " " + std::to_string(value) +
                     " is not from 0 to 127; left out");
                return false;
            }
            if (!open)
                m_out << "        <MIDICommands>\n";
            open = true;
            return true;
        };
        if (sends(select.msb, "bank select MSB")) {
            m_out << "          <ControlChange Control=\"0\"";
            m_out.attribute("Value", select.msb);
            m_out << "/>\n";
        }
        if (sends(select.lsb, "bank select LSB")) {
            m_out << "          <ControlChange Control=\"32\"";
            m_out.attribute("Value", select.lsb);
            m_out << "/>\n";
        }
        if (sends(select.program, "bank select program change")) {
            m_programBanks.push_back(std::string(name));
            m_out << "          <ProgramChange";
            m_out.attribute("Number", select.program);
            m_out << "/>\n";
        }
        if (open)
            m_out << "        </MIDICommands>\n";
    }

    void writePatchList(const PatchList* list, const std::string& name, std::string_view indent)
    {
        m_out << indent << "<PatchNameList";
        if (!name.empty())
            m_out.attribute("Name", name);
        if (!list || list->patches.empty()) {
            m_out << "/>\n";
            return;
        }
        m_out << ">\n";
        const bool labelled = list->labels.size() == list->patches.size();
        for (std::size_t i = 0; i < list->patches.size(); ++i) {
            const Patch& patch = list->patches[i];
            if (patch.program > 127) {
                warn("patch " + inQuotes(m_set.utf8(patch.name)) + ": program " +
                     std::to_string(patch.program) + " is not from 0 to 127; left out");
                continue;
            }
            m_out << indent << "  <Patch";
            if (labelled && !list->labels[i].empty())
                m_out.attribute("Number", utf8(list->labels[i]));
            else
                m_out.attribute("Number", patch.program);
            m_out.attribute("Name", utf8(patch.name));
            m_out.attribute("ProgramChange", patch.program);
            if (const std::string* notes = m_plan.noteListName(patch.noteList)) {
                m_out << ">\n" << indent << "    <UsesNoteNameList";
                m_out.attribute("Name", *notes);
                m_out << "/>\n" << indent << "  </Patch>\n";
            } else {
                m_out << "/>\n";
            }
        }
        m_out << indent << "</PatchNameList>\n";
    }

    void writeNoteLists()
    {
        for (const std::int32_t index : m_plan.noteListOrder) {
            const NoteList& list = m_set.noteLists[static_cast<std::size_t>(index)];
            m_out << "    <NoteNameList";
            m_out.attribute("Name", *m_plan.noteListName(index));
            m_out << ">\n";
            for (const NameEntry& note : list.notes) {
                if (note.number > 127) {
                    warn("note " + std::to_string(note.number) + " is not from 0 to 127; left out");
                    continue;
                }
                m_out << "      <Note";
                m_out.attribute("Number", note.number);
                m_out.attribute("Name", utf8(note.name));
                m_out << "/>\n";
            }
            m_out << "    </NoteNameList>\n";
        }
    }

    void writeControls(std::size_t index)
    {
        if (m_plan.controlListNames[index].empty())
            return;
        m_out << "    <ControlNameList";
        m_out.attribute("Name", m_plan.controlListNames[index]);
        m_out << ">\n";
        std::bitset<128> controllers; // Ardour keys controls by number, and keeps the first of a number
        for (const std::int32_t at : m_plan.controlKeys[index]) {
            const ControlList* list = listAt(m_set.controlLists, at);
            if (!list)
                continue;
            for (const NameEntry& control : list->controls) {
                if (control.number > midnam::limitOf(list->kind)) {
                    warn(std::string(typeOf(list->kind)) + " control " + std::to_string(control.number) +
                         " is not from 0 to " + std::to_string(midnam::limitOf(list->kind)) + "; left out");
                    continue;
                }
                if (control.number < controllers.size()) {
                    m_rpns += list->kind == ControlKind::Rpn && !controllers[control.number];
                    controllers.set(control.number);
                }
                m_out << "      <Control";
                m_out.attribute("Type", typeOf(list->kind));
                m_out.attribute("Number", control.number);
                m_out.attribute("Name", utf8(control.name));
                m_out << "/>\n";
            }
        }
        m_out << "    </ControlNameList>\n";
    }

    const InstrumentSet& m_set;
    std::vector<const Instrument*> m_instruments;
    const MidnamOptions& m_options;
    XmlStream m_out;
    Diagnostics& m_warnings;
    midnam::DocumentPlan m_plan;
    std::string m_converted;                 ///< the last name utf8() converted
    std::vector<std::string> m_programBanks; ///< banks selected with a program change
    std::size_t m_rpns = 0;                  ///< RPN names written
};

} // namespace

std::vector<std::size_t> midnamDocumentOf(const InstrumentSet& set, std::size_t instrument)
{
    const auto& all = set.instruments;
    const auto sameDevice = [&](std::size_t i) { return all[i].device == all[instrument].device; };
    if (all[instrument].device < 0)
        return {instrument};
    std::size_t first = instrument;
    while (first > 0 && sameDevice(first - 1))
        --first;
    std::vector<std::size_t> group;
    for (std::size_t i = first; i < all.size() && sameDevice(i); ++i)
        group.push_back(i);
    return group;
}

void writeMidnam(const InstrumentSet& set, const Instrument& instrument, const MidnamOptions& options,
                 OutputSink& out, Diagnostics& warnings)
{
    std::vector<const Instrument*> instruments{&instrument};
    const std::less<const Instrument*> before;
    const Instrument* begin = set.instruments.data();
    if (!before(&instrument, begin) && before(&instrument, begin + set.instruments.size())) {
        instruments.clear();
        for (const std::size_t i : midnamDocumentOf(set, static_cast<std::size_t>(&instrument - begin)))
            instruments.push_back(&set.instruments[i]);
    }
    DocumentWriter(set, std::move(instruments), options, out, warnings).write();
}

} // namespace quorvix
