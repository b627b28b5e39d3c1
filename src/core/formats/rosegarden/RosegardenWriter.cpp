#include "formats/rosegarden/RosegardenWriter.h"

#include "base/Gzip.h"
#include "base/Text.h"
#include "base/UniqueNames.h"
#include "formats/midnam/XmlStream.h"
#include "model/BankGroups.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>

namespace quorvix {

namespace {

using midnam::XmlStream;

/// The program version Rosegarden writes in its files; it reads the device files of every version.
constexpr std::string_view kVersion = "26.06";

/// What Rosegarden will send instead of a bank's own select, one kind a warning.
enum class Changed : unsigned char
{
    LsbAdded,     ///< CC32 0 beside an MSB alone
    MsbAdded,     ///< CC0 0 beside an LSB alone
    BothAdded,    ///< CC0 0 / CC32 0 for a bank that selects nothing
    ControlsLost, ///< no CC0 / CC32 on a device that selects banks with program changes
    ProgramLost,  ///< no selecting program change on a device that selects banks with CC0 / CC32
    NoProgram,    ///< a selecting program change outside 100..127
};
constexpr std::size_t kChangedKinds = 6;

struct Written
{
    std::int32_t msb = 0;
    std::int32_t lsb = 0;
    std::optional<Changed> changed;
};

/// The MSB and LSB a bank is written with on a device of `byProgram` (bankselecttype 1) or not.
Written writtenBytes(const BankSelect& select, bool byProgram)
{
    const bool controls = select.msb >= 0 || select.lsb >= 0;
    if (byProgram) {
        if (select.program >= 100 && select.program <= 127)
            return {0, select.program, controls ? std::optional(Changed::ControlsLost) : std::nullopt};
        if (select.program >= 0)
            return {0, 0, Changed::NoProgram};
        return {0, 0, controls ? std::optional(Changed::ControlsLost) : std::nullopt};
    }
    Written written{std::max<std::int32_t>(select.msb, 0), std::max<std::int32_t>(select.lsb, 0), {}};
    if (select.program >= 0)
        written.changed = Changed::ProgramLost;
    else if (!controls)
        written.changed = Changed::BothAdded;
    else if (select.lsb < 0)
        written.changed = Changed::LsbAdded;
    else if (select.msb < 0)
        written.changed = Changed::MsbAdded;
    return written;
}

/// What a warning says of the banks of one kind: for one bank and for several.
constexpr std::array<std::array<std::string_view, 2>, kChangedKinds> kChangedTexts{{
    {"sends CC0 alone; Rosegarden sends CC32 0 with it", "send CC0 alone; Rosegarden sends CC32 0 with them"},
    {"sends CC32 alone; Rosegarden sends CC0 0 with it", "send CC32 alone; Rosegarden sends CC0 0 with them"},
    {"selects no bank; Rosegarden sends CC0 0 / CC32 0 for it",
     "select no bank; Rosegarden sends CC0 0 / CC32 0 for them"},
    {"sends CC0 or CC32, which Rosegarden does not send on a device that selects banks with a program change",
     "send CC0 or CC32, which Rosegarden does not send on a device that selects banks with a program change"},
    {"is selected with a program change, which Rosegarden sends only on a device that selects every bank so; "
     "it sends CC0 / CC32 for it",
     "are selected with a program change, which Rosegarden sends only on a device that selects every bank "
     "so; it sends CC0 / CC32 for them"},
    {"is selected with a program change outside 100 to 127, which Rosegarden cannot send; it is written as "
     "selecting no bank",
     "are selected with a program change outside 100 to 127, which Rosegarden cannot send; they are written "
     "as selecting no bank"},
}};

/// Rosegarden's own settings for the controllers it knows; every other one is off the instrument panel.
struct ControlLook
{
    int number;
    int initial;
    int colour;
    int panel;
};
constexpr std::array<ControlLook, 6> kKnownControls{
    {{10, 64, 2, 0}, {93, 0, 3, 1}, {7, 100, 1, 2}, {91, 0, 3, 3}, {64, 0, 4, -1}, {11, 127, 2, -1}}};

class DeviceFileWriter
{
public:
    DeviceFileWriter(const InstrumentSet& set, const Instrument& instrument, const RosegardenOptions& options,
                     OutputSink& out, Diagnostics& warnings)
        : m_set(set), m_instrument(instrument), m_options(options), m_zip(out), m_xml(m_zip),
          m_warnings(warnings), m_byProgram(instrument.method == BankSelectMethod::ProgramChange)
    {}

    void write()
    {
        m_xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE rosegarden-data>\n"
              << "<rosegarden-data version=\"" << kVersion << "\">\n"
              << "<studio thrufilter=\"0\" recordfilter=\"0\">\n<!-- " << comment() << " -->\n";
        m_name = utf8(m_instrument.name);
        if (m_name.empty())
            m_name = "Device 1";
        m_deviceNames.take(m_name);
        planBanks();
        const std::vector<BankGroup> groups =
            bankGroups(m_set, m_instrument, [&](const Bank& bank) { return m_keys[indexOf(bank)]; });
        for (std::size_t g = 0; g < std::max<std::size_t>(groups.size(), 1); ++g)
            writeDevice(groups.empty() ? BankGroup{} : groups[g], g);
        m_xml << "</studio>\n</rosegarden-data>\n";
        m_xml.flush();
        m_zip.finish();
        warnChanged();
        if (!m_merged.empty())
            warn(inQuotes(m_name) + ": " + std::to_string(m_merged.size()) +
                 (m_merged.size() == 1 ? " bank selects" : " banks select") +
                 " the same MSB and LSB as an earlier bank and Rosegarden holds one bank of each, so their "
                 "programs are written into it: " +
                 shortList(m_merged));
        warnUnheld();
        if (m_xml.leftOut())
            warn("names held characters that XML cannot hold; they were left out");
    }

private:
    void warn(std::string message) { m_warnings.warn(SourcePos{}, std::move(message)); }

    std::size_t indexOf(const Bank& bank) const
    {
        return static_cast<std::size_t>(&bank - m_instrument.banks.data());
    }

    /// A name of the set as UTF-8, as Rosegarden will show it.
    std::string utf8(TextRef ref) const { return midnam::cleanName(m_set.utf8(ref)); }

    std::string comment() const
    {
        std::string text = "Generated with Quorvix";
        for (const std::string* part : {&m_options.stamp.date, &m_options.stamp.time})
            if (!part->empty())
                text += " " + *part;
        if (!m_options.sourceName.empty())
            text += " from " + m_options.sourceName;
        return midnam::commentText(text);
    }

    /// The key mapping's list of a patch; a list without notes is none, as Rosegarden drops it.
    std::int32_t noteListOf(const Patch& patch) const { return m_set.drumNotesOf(m_instrument, patch); }

    /// Each bank's written bytes, its key (percussion, MSB, LSB) and what Rosegarden sends differently.
    void planBanks()
    {
        for (const Bank& bank : m_instrument.banks) {
            const Written written = writtenBytes(bank.select, m_byProgram);
            const PatchList* list = m_set.patchListOf(bank);
            const bool percussion =
                list != nullptr && !list->patches.empty() &&
                std::all_of(list->patches.begin(), list->patches.end(),
                            [&](const Patch& patch) { return noteListOf(patch) != kNoList; });
            m_written.push_back(written);
            m_percussion.push_back(percussion);
            m_keys.push_back((percussion ? 1 << 16 : 0) | written.msb << 8 | written.lsb);
            if (written.changed && list != nullptr && !list->patches.empty())
                m_changed[static_cast<std::size_t>(*written.changed)].push_back(
                    inQuotes(bankTitle(m_set, bank)));
        }
    }

    void writeDevice(const BankGroup& group, std::size_t number)
    {
        std::string name = m_name;
        if (number > 0) {
            const std::string opener = bankTitle(m_set, m_instrument.banks[group.opener]);
            name = m_deviceNames.make(m_name + " (" + opener + ")");
            warn(inQuotes(m_name) + ": banks " +
                 inQuotes(bankTitle(m_set, m_instrument.banks[group.collidesWith])) + " and " +
                 inQuotes(opener) + " are both written as MSB " +
                 std::to_string(m_written[group.opener].msb) + " LSB " +
                 std::to_string(m_written[group.opener].lsb) + " and name the same programs; " +
                 inQuotes(opener) + " is written in a further device, " + inQuotes(name));
        }
        m_xml << (number == 0 ? "" : "\n") << "    <device";
        m_xml.attribute("id", static_cast<long long>(number));
        m_xml.attribute("name", name);
        m_xml << " direction=\"play\" variation=\"\" connection=\"\" bankselecttype=\""
              << (m_byProgram ? "1" : "0") << "\" type=\"midi\">\n\n";
        m_keyMappings.clear();
        m_keyMappingNames = UniqueNames();
        writeBanks(group);
        if (number == 0)
            for (const std::int32_t spare : spareLists())
                if (m_set.namesNotes(spare))
                    keyMappingOf(spare);
        writeControls();
        writeKeyMappings();
        m_xml << "    </device>\n";
    }

    std::vector<std::int32_t> spareLists() const
    {
        if (m_instrument.device < 0 || static_cast<std::size_t>(m_instrument.device) >= m_set.devices.size())
            return {};
        return m_set.devices[static_cast<std::size_t>(m_instrument.device)].spareNoteLists;
    }

    /// The banks of the group, those of one key as one bank, in the order their keys come.
    void writeBanks(const BankGroup& group)
    {
        std::map<std::int64_t, std::vector<std::size_t>> byKey;
        std::vector<std::int64_t> order;
        for (const std::size_t b : group.banks) {
            std::vector<std::size_t>& banks = byKey[m_keys[b]];
            if (banks.empty())
                order.push_back(m_keys[b]);
            banks.push_back(b);
        }
        for (const std::int64_t key : order)
            writeBank(byKey[key]);
    }

    void writeBank(const std::vector<std::size_t>& banks)
    {
        const Bank& first = m_instrument.banks[banks.front()];
        const Written& written = m_written[banks.front()];
        const std::string title = bankTitle(m_set, first);
        for (std::size_t i = 1; i < banks.size(); ++i)
            m_merged.push_back(inQuotes(bankTitle(m_set, m_instrument.banks[banks[i]])) + " into " +
                               inQuotes(title));
        m_xml << "        <bank";
        m_xml.attribute("name", title);
        m_xml << " percussion=\"" << (m_percussion[banks.front()] ? "true" : "false") << "\"";
        m_xml.attribute("msb", written.msb);
        m_xml.attribute("lsb", written.lsb);
        m_xml << ">\n";
        std::vector<const Patch*> patches;
        for (const std::size_t b : banks)
            if (const PatchList* list = m_set.patchListOf(m_instrument.banks[b]))
                for (const Patch& patch : list->patches)
                    patches.push_back(&patch);
        std::stable_sort(patches.begin(), patches.end(),
                         [](const Patch* a, const Patch* b) { return a->program < b->program; });
        for (const Patch* patch : patches)
            writeProgram(*patch, title);
        m_xml << "        </bank>\n\n";
    }

    void writeProgram(const Patch& patch, const std::string& bank)
    {
        if (patch.program < 0 || patch.program > 127) {
            warn("bank " + inQuotes(bank) + ": program " + std::to_string(patch.program) +
                 " is not from 0 to 127; left out");
            return;
        }
        m_xml << "            <program";
        m_xml.attribute("id", patch.program);
        m_xml.attribute("name", m_set.utf8(patch.name));
        if (const std::int32_t list = noteListOf(patch); list != kNoList)
            m_xml.attribute("keymapping", keyMappingOf(list));
        m_xml << " />\n";
    }

    /// The name of the device's key mapping of a note list, made when the device has none for it yet.
    const std::string& keyMappingOf(std::int32_t list)
    {
        const auto found = std::find_if(m_keyMappings.begin(), m_keyMappings.end(),
                                        [&](const auto& mapping) { return mapping.first == list; });
        if (found != m_keyMappings.end())
            return found->second;
        std::string name = utf8(m_set.noteLists[static_cast<std::size_t>(list)].name);
        m_keyMappings.emplace_back(list, m_keyMappingNames.make(name.empty() ? "Key mapping" : name));
        return m_keyMappings.back().second;
    }

    void writeKeyMappings()
    {
        for (const auto& [index, name] : m_keyMappings) {
            const NoteList& list = m_set.noteLists[static_cast<std::size_t>(index)];
            m_xml << "        <keymapping";
            m_xml.attribute("name", name);
            m_xml << ">\n";
            for (const NameEntry& note : list.notes) {
                if (note.number > 127)
                    continue;
                m_xml << "          <key";
                m_xml.attribute("number", note.number);
                m_xml.attribute("name", m_set.utf8(note.name));
                m_xml << "/>\n";
            }
            m_xml << "        </keymapping>\n";
        }
    }

    void writeControls()
    {
        const ControlList* list = m_set.controlListAt(m_instrument.controllers);
        if (list == nullptr || list->controls.empty())
            return;
        m_xml << "        <controls>\n";
        for (const NameEntry& control : list->controls) {
            if (control.number > 127)
                continue;
            const auto known =
                std::find_if(kKnownControls.begin(), kKnownControls.end(),
                             [&](const ControlLook& look) { return look.number == control.number; });
            const ControlLook look =
                known != kKnownControls.end() ? *known : ControlLook{control.number, 0, 0, -1};
            m_xml << "            <control";
            m_xml.attribute("name", m_set.utf8(control.name));
            m_xml << " type=\"controller\" description=\"&lt;none&gt;\" min=\"0\" max=\"127\"";
            m_xml.attribute("default", look.initial);
            m_xml.attribute("controllervalue", control.number);
            m_xml.attribute("colourindex", look.colour);
            m_xml.attribute("ipbposition", look.panel);
            m_xml << "/>\n";
        }
        m_xml << "        </controls>\n\n";
    }

    void warnChanged()
    {
        for (std::size_t kind = 0; kind < kChangedKinds; ++kind) {
            const std::vector<std::string>& banks = m_changed[kind];
            if (banks.empty())
                continue;
            warn(inQuotes(m_name) + ": " + (banks.size() == 1 ? "bank " : "banks ") + shortList(banks) + " " +
                 std::string(kChangedTexts[kind][banks.size() == 1 ? 0 : 1]));
        }
    }

    void warnUnheld()
    {
        std::size_t wide = 0;
        if (const ControlList* list = m_set.controlListAt(m_instrument.controllers))
            wide = static_cast<std::size_t>(std::count_if(list->controls.begin(), list->controls.end(),
                                                          [](const NameEntry& c) { return c.number > 127; }));
        if (wide > 0)
            warn(inQuotes(m_name) + ": " + std::to_string(wide) + " controller numbers above 127 left out");
        for (const auto& [index, kind] :
             {std::pair{m_instrument.rpns, "RPN"}, std::pair{m_instrument.nrpns, "NRPN"}}) {
            const ControlList* list = m_set.controlListAt(index);
            if (list != nullptr && !list->controls.empty())
                warn(inQuotes(m_name) + ": " + std::to_string(list->controls.size()) + " " + kind +
                     (list->controls.size() == 1 ? " name is" : " names are") +
                     " left out: Rosegarden holds no " + kind + " names");
        }
    }

    const InstrumentSet& m_set;
    const Instrument& m_instrument;
    const RosegardenOptions& m_options;
    GzipSink m_zip;
    XmlStream m_xml;
    Diagnostics& m_warnings;
    const bool m_byProgram;
    std::string m_name;
    UniqueNames m_deviceNames;
    std::vector<Written> m_written;   ///< per bank of the instrument
    std::vector<bool> m_percussion;   ///< per bank
    std::vector<std::int64_t> m_keys; ///< per bank: percussion, MSB and LSB in one number
    std::array<std::vector<std::string>, kChangedKinds> m_changed;
    std::vector<std::string> m_merged; ///< "B" into "A", for each bank written into another of its key
    std::vector<std::pair<std::int32_t, std::string>> m_keyMappings; ///< of the device being written
    UniqueNames m_keyMappingNames;
};

} // namespace

void writeRosegarden(const InstrumentSet& set, const Instrument& instrument, const RosegardenOptions& options,
                     OutputSink& out, Diagnostics& warnings)
{
    DeviceFileWriter(set, instrument, options, out, warnings).write();
}

} // namespace quorvix
