#include "formats/midnam/MidnamWriter.h"

#include "base/UniqueNames.h"
#include "formats/midnam/XmlStream.h"

#include <algorithm>
#include <set>
#include <unordered_map>
#include <vector>

namespace quorvix {

namespace {

using midnam::quoted;
using midnam::XmlStream;

constexpr std::string_view kProlog =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE MIDINameDocument PUBLIC \"-//MIDI Manufacturers Association//DTD MIDINameDocument 1.0//EN\" "
    "\"http://www.midi.org/dtds/MIDINameDocument10.dtd\">\n";
constexpr int kChannels = 16;

template <typename List>
const List* listAt(const std::vector<List>& lists, std::int32_t index)
{
    return index >= 0 && static_cast<std::size_t>(index) < lists.size()
               ? &lists[static_cast<std::size_t>(index)]
               : nullptr;
}

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

std::uint16_t limitOf(ControlKind kind)
{
    return kind == ControlKind::Controller ? 127 : kind == ControlKind::Controller14 ? 31 : 16383;
}

bool hasWritableNote(const NoteList& list)
{
    return std::any_of(list.notes.begin(), list.notes.end(),
                       [](const NameEntry& note) { return note.number <= 127; });
}

std::string withoutSuffix(std::string name, std::string_view suffix)
{
    if (name.size() > suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
        name.resize(name.size() - suffix.size());
    return name;
}

/// A name not yet in `taken`: `name`, else `name (2)`, `name (3)`, …; added to `taken`.
std::string unique(const std::string& name, UniqueNames& taken)
{
    return taken.make(name);
}

class DocumentWriter
{
public:
    DocumentWriter(const InstrumentSet& set, const Instrument& instrument, const MidnamOptions& options,
                   OutputSink& out, Diagnostics& warnings)
        : m_set(set), m_instrument(instrument), m_options(options), m_out(out), m_warnings(warnings)
    {}

    void write()
    {
        m_name = clean(m_instrument.name);
        if (m_name.empty())
            m_name = "Instrument";
        planPatchLists();
        planNoteLists();
        planControls();

        std::string comment = "Generated with Quorvix";
        for (const std::string* part : {&m_options.stamp.date, &m_options.stamp.time}) {
            if (!part->empty())
                comment += " " + *part;
        }
        if (!m_options.sourceName.empty())
            comment += " from " + m_options.sourceName;
        m_out << kProlog << "<!-- " << commentText(comment) << " -->\n<MIDINameDocument>\n"
              << "  <Author>Quorvix</Author>\n  <MasterDeviceNames>\n    <Manufacturer>";
        m_out.text(manufacturer());
        m_out << "</Manufacturer>\n    <Model>";
        m_out.text(m_name);
        m_out << "</Model>\n    <CustomDeviceMode Name=\"Default\">\n      <ChannelNameSetAssignments>\n";
        for (int channel = 1; channel <= kChannels; ++channel) {
            m_out << "        <ChannelNameSetAssign";
            m_out.attribute("Channel", channel);
            m_out.attribute("NameSet", m_name);
            m_out << "/>\n";
        }
        m_out << "      </ChannelNameSetAssignments>\n    </CustomDeviceMode>\n";
        writeNameSet();
        for (const std::int32_t index : m_sharedPatchLists)
            writePatchList(listAt(m_set.patchLists, index), patchListName(index), "    ");
        writeNoteLists();
        writeControls();
        m_out << "  </MasterDeviceNames>\n</MIDINameDocument>\n";
        m_out.flush();
        if (m_out.leftOut())
            warn("names held characters that XML cannot hold; they were left out");
    }

private:
    /// A name as a reader will see it: without what XML cannot hold, trimmed.
    std::string clean(std::string_view utf8Text) const
    {
        std::string safe;
        midnam::appendXml(safe, utf8Text, midnam::XmlEscape::None);
        return std::string(midnam::trimmed(safe));
    }
    std::string clean(TextRef ref) const { return clean(m_set.utf8(ref)); }

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

    std::string commentText(std::string_view text)
    {
        std::string safe = clean(text);
        // A comment may hold no "--" and may not end with "-".
        for (std::size_t at = safe.find("--"); at != std::string::npos; at = safe.find("--", at))
            safe.insert(at + 1, " ");
        if (!safe.empty() && safe.back() == '-')
            safe += ' ';
        return safe;
    }

    std::string manufacturer() const
    {
        std::string name = clean(m_options.manufacturer);
        if (const Device* device = listAt(m_set.devices, m_instrument.device); name.empty() && device)
            name = clean(device->manufacturer);
        return name.empty() ? std::string(kDefaultMidnamManufacturer) : name;
    }

    void warn(std::string message) { m_warnings.warn(SourcePos{}, std::move(message)); }

    // The plans are kept by list index for the lists this instrument uses: a set may hold many thousands of
    // lists, and sizing a table by them for every instrument would make writing them all quadratic.
    void planPatchLists()
    {
        std::unordered_map<std::int32_t, int> uses;
        for (const Bank& bank : m_instrument.banks) {
            if (listAt(m_set.patchLists, bank.patchList) && ++uses[bank.patchList] == 2)
                m_sharedPatchLists.push_back(bank.patchList);
        }
        UniqueNames taken;
        for (const Bank& bank : m_instrument.banks) {
            const PatchList* list = listAt(m_set.patchLists, bank.patchList);
            if (!list || !patchListName(bank.patchList).empty())
                continue;
            m_shared[bank.patchList] = uses[bank.patchList] > 1;
            std::string name = clean(list->name);
            if (name.empty() && m_shared[bank.patchList])
                name = clean(bank.name).empty() ? "Patches" : clean(bank.name);
            if (!name.empty())
                m_patchListNames[bank.patchList] = unique(name, taken);
        }
    }

    /// The name a patch list is written with; empty for none.
    const std::string& patchListName(std::int32_t index) const
    {
        static const std::string kNone;
        const auto found = m_patchListNames.find(index);
        return found != m_patchListNames.end() ? found->second : kNone;
    }

    bool shared(std::int32_t index) const
    {
        const auto found = m_shared.find(index);
        return found != m_shared.end() && found->second;
    }

    void planNoteLists()
    {
        UniqueNames taken;
        auto use = [&](std::int32_t index) {
            const NoteList* list = listAt(m_set.noteLists, index);
            if (!list || noteListName(index) != nullptr || !hasWritableNote(*list))
                return;
            const std::string name = clean(list->name);
            m_noteListNames[index] = unique(name.empty() ? "Notes" : name, taken);
            m_noteListOrder.push_back(index);
        };
        use(m_instrument.noteList);
        for (const Bank& bank : m_instrument.banks) {
            if (const PatchList* list = listAt(m_set.patchLists, bank.patchList)) {
                for (const Patch& patch : list->patches)
                    use(patch.noteList);
            }
        }
    }

    void planControls()
    {
        for (const std::int32_t index : {m_instrument.controllers, m_instrument.rpns, m_instrument.nrpns}) {
            const ControlList* list = listAt(m_set.controlLists, index);
            if (!list || std::find(m_controls.begin(), m_controls.end(), list) != m_controls.end())
                continue;
            m_controls.push_back(list);
            m_writableControls += static_cast<std::size_t>(
                std::count_if(list->controls.begin(), list->controls.end(),
                              [&](const NameEntry& entry) { return entry.number <= limitOf(list->kind); }));
            if (m_controlListName.empty())
                m_controlListName = withoutSuffix(withoutSuffix(clean(list->name), " (RPN)"), " (NRPN)");
        }
        if (m_controlListName.empty())
            m_controlListName = "Controls";
    }

    const std::string* noteListName(std::int32_t index) const
    {
        const auto found = m_noteListNames.find(index);
        return found != m_noteListNames.end() && !found->second.empty() ? &found->second : nullptr;
    }

    void writeNameSet()
    {
        m_out << "    <ChannelNameSet";
        m_out.attribute("Name", m_name);
        m_out << ">\n      <AvailableForChannels>\n";
        for (int channel = 1; channel <= kChannels; ++channel) {
            m_out << "        <AvailableChannel";
            m_out.attribute("Channel", channel);
            m_out << " Available=\"true\"/>\n";
        }
        m_out << "      </AvailableForChannels>\n";
        if (const std::string* notes = noteListName(m_instrument.noteList)) {
            m_out << "      <UsesNoteNameList";
            m_out.attribute("Name", *notes);
            m_out << "/>\n";
        }
        if (m_writableControls > 0) {
            m_out << "      <UsesControlNameList";
            m_out.attribute("Name", m_controlListName);
            m_out << "/>\n";
        }
        if (m_instrument.banks.empty()) {
            warn("instrument " + quoted(m_name) +
                 " has no banks; an empty one is written, as MIDNAM needs one");
            m_out << "      <PatchBank Name=\"Bank 0\">\n        <PatchNameList/>\n      </PatchBank>\n";
        }
        for (const Bank& bank : m_instrument.banks)
            writeBank(bank);
        m_out << "    </ChannelNameSet>\n";
    }

    void writeBank(const Bank& bank)
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
        writeSelect(bank, name);
        if (list && shared(bank.patchList)) {
            m_out << "        <UsesPatchNameList";
            m_out.attribute("Name", patchListName(bank.patchList));
            m_out << "/>\n";
        } else {
            writePatchList(list, list ? patchListName(bank.patchList) : std::string(), "        ");
        }
        m_out << "      </PatchBank>\n";
    }

    void writeSelect(const Bank& bank, std::string_view name)
    {
        BankSelect select = bank.select;
        if (select == BankSelect{} && bank.number != 0)
            select = bankSelectFor(m_instrument.method, bank.number);
        bool open = false;
        auto sends = [&](std::int16_t value, const char* what) {
            if (value < 0)
                return false;
            if (value > 127) {
                warn("bank " + quoted(name) + ": " + what + " " + std::to_string(value) +
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
        for (const Patch& patch : list->patches) {
            if (patch.program > 127) {
                warn("patch " + quoted(m_set.utf8(patch.name)) + ": program " +
                     std::to_string(patch.program) + " is not from 0 to 127; left out");
                continue;
            }
            m_out << indent << "  <Patch";
            m_out.attribute("Number", patch.program);
            m_out.attribute("Name", utf8(patch.name));
            m_out.attribute("ProgramChange", patch.program);
            if (const std::string* notes = noteListName(patch.noteList)) {
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
        for (const std::int32_t index : m_noteListOrder) {
            const NoteList& list = m_set.noteLists[static_cast<std::size_t>(index)];
            m_out << "    <NoteNameList";
            m_out.attribute("Name", *noteListName(index));
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

    void writeControls()
    {
        if (m_writableControls == 0)
            return;
        m_out << "    <ControlNameList";
        m_out.attribute("Name", m_controlListName);
        m_out << ">\n";
        for (const ControlList* list : m_controls) {
            for (const NameEntry& control : list->controls) {
                if (control.number > limitOf(list->kind)) {
                    warn(std::string(typeOf(list->kind)) + " control " + std::to_string(control.number) +
                         " is not from 0 to " + std::to_string(limitOf(list->kind)) + "; left out");
                    continue;
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
    const Instrument& m_instrument;
    const MidnamOptions& m_options;
    XmlStream m_out;
    Diagnostics& m_warnings;
    std::string m_name;
    std::unordered_map<std::int32_t, std::string>
        m_patchListNames;                            ///< empty or absent: written without a name
    std::unordered_map<std::int32_t, bool> m_shared; ///< used by several banks
    std::vector<std::int32_t> m_sharedPatchLists;
    std::unordered_map<std::int32_t, std::string> m_noteListNames; ///< absent or empty: not written
    std::vector<std::int32_t> m_noteListOrder;
    std::vector<const ControlList*> m_controls;
    std::size_t m_writableControls = 0;
    std::string m_controlListName;
    std::string m_converted; ///< the last name utf8() converted
};

} // namespace

void writeMidnam(const InstrumentSet& set, const Instrument& instrument, const MidnamOptions& options,
                 OutputSink& out, Diagnostics& warnings)
{
    DocumentWriter(set, instrument, options, out, warnings).write();
}

} // namespace quorvix
