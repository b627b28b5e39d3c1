#include "formats/muse/MuseWriter.h"

#include "base/Text.h"
#include "base/UniqueNames.h"
#include "formats/midnam/XmlStream.h"
#include "model/BankGroups.h"

#include <algorithm>

namespace quorvix {

namespace {

using midnam::XmlStream;

/// A name as MusE's parser reads it back: tabs and line ends would be character references, so they are
/// spaces.
std::string museName(std::string utf8)
{
    std::replace_if(
        utf8.begin(), utf8.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return midnam::cleanName(utf8);
}

class IdfWriter
{
public:
    IdfWriter(const InstrumentSet& set, const Instrument& instrument, OutputSink& out, Diagnostics& warnings)
        : m_set(set), m_instrument(instrument), m_xml(out), m_warnings(warnings)
    {}

    void write()
    {
        m_name = museName(m_set.utf8(m_instrument.name));
        if (m_name.empty())
            m_name = "Instrument";
        m_names.take(m_name);
        m_xml << "<?xml version=\"1.0\"?>\n<muse version=\"1.0\">\n";
        const std::vector<BankGroup> groups = bankGroups(m_set, m_instrument, [&](const Bank& bank) {
            const BankSelect select = museSelect(bank);
            return (std::int64_t{drumBank(bank)} << 32) | (std::int64_t{select.msb + 1} << 16) |
                   (select.lsb + 1);
        });
        for (std::size_t g = 0; g < std::max<std::size_t>(groups.size(), 1); ++g)
            writeInstrument(groups.empty() ? BankGroup{} : groups[g], g);
        m_xml << "</muse>\n";
        m_xml.flush();
        if (m_byProgram > 0)
            warn(
                inQuotes(m_name) + ": " + std::to_string(m_byProgram) +
                (m_byProgram == 1 ? " bank is" : " banks are") +
                " selected with a program change, which MusE does not send: written with the CC0 and CC32 of "
                "their bank number");
        if (m_xml.leftOut())
            warn("names held characters that XML cannot hold; they were left out");
    }

private:
    void warn(std::string message) { m_warnings.warn(SourcePos{}, std::move(message)); }

    std::int32_t noteListOf(const Patch& patch) const { return m_set.drumNotesOf(m_instrument, patch); }

    /// A bank whose patches all have drum names; MusE keeps such patches apart by their drum flag.
    bool drumBank(const Bank& bank) const
    {
        const PatchList* list = m_set.patchListOf(bank);
        return list != nullptr && !list->patches.empty() &&
               std::all_of(list->patches.begin(), list->patches.end(),
                           [&](const Patch& patch) { return noteListOf(patch) != kNoList; });
    }

    void writeInstrument(const BankGroup& group, std::size_t number)
    {
        std::string name = m_name;
        if (number > 0) {
            const std::string opener = bankTitle(m_set, m_instrument.banks[group.opener]);
            name = m_names.make(m_name + " (" + museName(opener) + ")");
            warn(inQuotes(m_name) + ": banks " +
                 inQuotes(bankTitle(m_set, m_instrument.banks[group.collidesWith])) + " and " +
                 inQuotes(opener) + " send the same bank select and name the same programs; " +
                 inQuotes(opener) + " is written as a further instrument, " + inQuotes(name));
        }
        m_xml << "  <MidiInstrument";
        m_xml.attribute("name", name);
        m_xml << ">\n";
        std::vector<std::pair<const Bank*, const Patch*>> drums;
        for (const std::size_t b : group.banks)
            writeGroup(m_instrument.banks[b], drums);
        writeControllers();
        writeDrumMaps(drums);
        m_xml << "  </MidiInstrument>\n";
    }

    /// The bytes MusE sends for a bank: its own, or for a bank selected with a program change, which MusE
    /// does not send, those of its number, so that its patches stay a bank of their own.
    static BankSelect museSelect(const Bank& bank)
    {
        if (bank.select.program < 0)
            return bank.select;
        return bankSelectFor(BankSelectMethod::Normal, bank.number);
    }

    void writeBytes(const Bank& bank)
    {
        const BankSelect select = museSelect(bank);
        if (select.msb >= 0)
            m_xml.attribute("hbank", select.msb);
        if (select.lsb >= 0)
            m_xml.attribute("lbank", select.lsb);
    }

    void writeGroup(const Bank& bank, std::vector<std::pair<const Bank*, const Patch*>>& drums)
    {
        const PatchList* list = m_set.patchListOf(bank);
        if (list == nullptr || list->patches.empty())
            return;
        if (bank.select.program >= 0)
            ++m_byProgram;
        m_xml << "    <PatchGroup";
        m_xml.attribute("name", museName(bankTitle(m_set, bank)));
        m_xml << ">\n";
        for (const Patch& patch : list->patches) {
            if (patch.program < 0 || patch.program > 127)
                continue;
            m_xml << "      <Patch";
            m_xml.attribute("name", museName(m_set.utf8(patch.name)));
            writeBytes(bank);
            m_xml.attribute("prog", patch.program);
            if (noteListOf(patch) != kNoList) {
                m_xml << " drum=\"1\"";
                drums.emplace_back(&bank, &patch);
            }
            m_xml << " />\n";
        }
        m_xml << "    </PatchGroup>\n";
    }

    void writeControllers()
    {
        for (const std::int32_t index : {m_instrument.controllers, m_instrument.rpns, m_instrument.nrpns}) {
            const ControlList* list = m_set.controlListAt(index);
            if (list == nullptr)
                continue;
            for (const NameEntry& control : list->controls) {
                m_xml << "    <Controller";
                m_xml.attribute("name", museName(m_set.utf8(control.name)));
                switch (list->kind) {
                case ControlKind::Controller:
                    m_xml.attribute("l", control.number);
                    break;
                case ControlKind::Controller14:
                    m_xml << " type=\"Control14\"";
                    m_xml.attribute("h", control.number);
                    m_xml.attribute("l", control.number + 32);
                    break;
                case ControlKind::Rpn:
                case ControlKind::Nrpn:
                    m_xml << (list->kind == ControlKind::Rpn ? " type=\"RPN\"" : " type=\"NRPN\"");
                    m_xml.attribute("h", control.number / 128);
                    m_xml.attribute("l", control.number % 128);
                    break;
                }
                m_xml << " />\n";
            }
        }
    }

    void writeDrumMaps(const std::vector<std::pair<const Bank*, const Patch*>>& drums)
    {
        if (drums.empty())
            return;
        m_xml << "    <Drummaps>\n";
        for (const auto& [bank, patch] : drums) {
            m_xml << "      <entry>\n        <patch_collection";
            writeBytes(*bank);
            m_xml.attribute("prog", patch->program);
            m_xml << " />\n        <drummap>\n";
            for (const NameEntry& note :
                 m_set.noteLists[static_cast<std::size_t>(noteListOf(*patch))].notes) {
                m_xml << "          <entry";
                m_xml.attribute("pitch", note.number);
                m_xml << "><name>";
                m_xml.text(museName(m_set.utf8(note.name)));
                m_xml << "</name></entry>\n";
            }
            m_xml << "        </drummap>\n      </entry>\n";
        }
        m_xml << "    </Drummaps>\n";
    }

    const InstrumentSet& m_set;
    const Instrument& m_instrument;
    XmlStream m_xml;
    Diagnostics& m_warnings;
    std::string m_name;
    UniqueNames m_names;
    std::size_t m_byProgram = 0;
};

} // namespace

void writeMuse(const InstrumentSet& set, const Instrument& instrument, OutputSink& out, Diagnostics& warnings)
{
    IdfWriter(set, instrument, out, warnings).write();
}

} // namespace quorvix
