#include "formats/ins/InsWriter.h"

#include "base/Encoding.h"
#include "base/LineWriter.h"
#include "base/Text.h"
#include "formats/ins/InsTextWriter.h"

#include <algorithm>
#include <set>

namespace quorvix {

namespace ins {

namespace {

constexpr std::string_view kRuleLine = "; -------------------------------------------";
constexpr std::string_view kCredit = "; Quorvix - https://quorvix.org";

} // namespace

std::string InsTextWriter::text(TextRef ref) const
{
    const std::string_view bytes = m_set.text(ref);
    if (!m_toWindows1252)
        return std::string(bytes);
    return utf8ToWindows1252(bytes);
}

std::string InsTextWriter::safe(TextRef ref, std::string_view what)
{
    std::string name;
    const InsName safe = insName(text(ref), InsNameRule::Model, name);
    if (!safe.change.empty())
        m_warnings.warn(SourcePos{}, std::string(what) + " \"" + std::string(m_set.text(ref)) +
                                         "\" is written as \"" + name + "\": " + std::string(safe.change));
    return name;
}

void InsTextWriter::checkEncoding(TextRef ref)
{
    const std::string_view bytes = m_set.text(ref);
    if (std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return;
    m_ascii = false;
    std::size_t lost = 0;
    utf8ToWindows1252(bytes, '?', &lost);
    m_fits = m_fits && lost == 0;
}

void InsTextWriter::chooseEncoding()
{
    if (m_set.encoding != TextEncoding::Utf8)
        return;
    // Cakewalk reads names in the Windows code page: written so when every name fits it.
    const auto checkEntries = [&](const std::vector<NameEntry>& entries) {
        for (const NameEntry& entry : entries)
            checkEncoding(entry.name);
    };
    for (const std::size_t index : m_instruments) {
        const Instrument& instrument = m_set.instruments[index];
        checkEncoding(instrument.name);
        for (const Bank& bank : instrument.banks) {
            checkEncoding(bank.name);
            const PatchList* list = m_set.patchListOf(bank);
            if (list == nullptr)
                continue;
            checkEncoding(list->name);
            for (const Patch& patch : list->patches) {
                checkEncoding(patch.name);
                if (patch.noteList >= 0)
                    checkEntries(m_set.noteLists[static_cast<std::size_t>(patch.noteList)].notes);
            }
        }
        for (const std::int32_t list : {instrument.controllers, instrument.rpns, instrument.nrpns})
            if (list >= 0)
                checkEntries(m_set.controlLists[static_cast<std::size_t>(list)].controls);
        if (instrument.noteList >= 0)
            checkEntries(m_set.noteLists[static_cast<std::size_t>(instrument.noteList)].notes);
    }
    // The lists of the devices that no patch uses are written too.
    std::set<std::int32_t> devices;
    for (const std::size_t index : m_instruments)
        devices.insert(m_set.instruments[index].device);
    const auto spare = [&](std::int32_t device) { return device >= 0 && devices.count(device) > 0; };
    for (const NoteList& list : m_set.noteLists)
        if (spare(list.device)) {
            checkEncoding(list.name);
            checkEntries(list.notes);
        }
    for (const ControlList& list : m_set.controlLists)
        if (spare(list.device)) {
            checkEncoding(list.name);
            checkEntries(list.controls);
        }
    m_toWindows1252 = !m_ascii && m_fits;
    if (!m_ascii && !m_fits)
        m_warnings.warn(SourcePos{},
                        "some names hold characters Windows-1252 cannot hold, so the file is written "
                        "in UTF-8; Cakewalk shows such names wrongly");
}

const std::string& InsTextWriter::listName(Kind kind, std::int32_t index) const
{
    return m_names[kind].at(index);
}

void InsTextWriter::writeHeader(LineWriter& lines)
{
    lines.line(kRuleLine);
    lines.line("; Header");
    lines.line(kRuleLine);
    lines.line("; Cakewalk Instrument Definition File");
    for (const Definition& definition : m_definitions)
        lines.line({"; Instrument: ", definition.name});
    if (!m_options.sourceName.empty()) {
        bool changed = false;
        lines.line({"; Source: ", insSafeName(m_options.sourceName, changed)});
    }
    lines.line({"; Generated with Quorvix ", m_options.stamp.date, " ", m_options.stamp.time});
    lines.line(kCredit);
    lines.line(kRuleLine);
    lines.line();
}

void InsTextWriter::writeLists(LineWriter& lines)
{
    constexpr std::string_view kSections[] = {".Patch Names", ".Note Names", ".Controller Names",
                                              ".RPN Names", ".NRPN Names"};
    for (int kind = kPatch; kind < kKinds; ++kind) {
        lines.line(kSections[kind]);
        for (const std::int32_t index : m_order[kind]) {
            lines.line();
            lines.line({"[", listName(static_cast<Kind>(kind), index), "]"});
            if (kind == kPatch) {
                writePatches(lines, index);
                continue;
            }
            const std::vector<NameEntry>& entries =
                kind == kNote ? m_set.noteLists[static_cast<std::size_t>(index)].notes
                              : m_set.controlLists[static_cast<std::size_t>(index)].controls;
            const char* what = kind == kNote ? "note name" : "controller name";
            for (const NameEntry& entry : entries)
                lines.line({std::to_string(entry.number), "=", safe(entry.name, what)});
        }
        lines.line();
    }
}

void InsTextWriter::writePatches(LineWriter& lines, std::int32_t index)
{
    std::vector<std::string> high;
    for (const Patch& patch : patchList(index).patches) {
        if (patch.program > 127)
            high.push_back(inQuotes(m_set.utf8(patch.name)) + " (" + std::to_string(patch.program) + ")");
        else
            lines.line({std::to_string(patch.program), "=", safe(patch.name, "patch name")});
    }
    if (!high.empty())
        m_warnings.warn(SourcePos{}, "patch list " + inQuotes(listName(kPatch, index)) + ": " +
                                         std::to_string(high.size()) +
                                         " programs above 127 are left out (Cakewalk numbers programs 0 to "
                                         "127): " +
                                         shortList(high));
}

void InsTextWriter::writeInstrument(LineWriter& lines, const Definition& definition)
{
    const Instrument& instrument = m_set.instruments[definition.instrument];
    const std::vector<PlannedBank>& plan = definition.plan;
    lines.line();
    lines.line({"[", definition.name, "]"});
    if (instrument.method != BankSelectMethod::Normal)
        lines.line({"BankSelMethod=", std::to_string(static_cast<int>(instrument.method))});
    if (instrument.controllers >= 0)
        lines.line({"Control=", listName(kController, instrument.controllers)});
    if (instrument.rpns >= 0)
        lines.line({"RPN=", listName(kRpn, instrument.rpns)});
    if (instrument.nrpns >= 0)
        lines.line({"NRPN=", listName(kNrpn, instrument.nrpns)});

    for (const PlannedBank& bank : plan)
        lines.line({"Patch[", std::to_string(bank.written), "]=", listName(kPatch, bank.list)});
    if (instrument.noteList >= 0)
        lines.line({"Key[*,*]=", listName(kNote, instrument.noteList)});
    for (const PlannedBank& bank : plan) {
        const std::string number = std::to_string(bank.written);
        for (const Patch& patch : patchList(bank.list).patches)
            if (patch.noteList >= 0 && patch.noteList != instrument.noteList)
                lines.line({"Key[", number, ",", std::to_string(patch.program),
                            "]=", listName(kNote, patch.noteList)});
    }
}

void InsTextWriter::run()
{
    chooseEncoding();
    planDefinitions();
    nameLists();
    LineWriter lines(m_out);
    writeHeader(lines);
    writeLists(lines);
    lines.line(".Instrument Definitions");
    for (const Definition& definition : m_definitions)
        writeInstrument(lines, definition);
    lines.flush();
}

} // namespace ins

void writeIns(const InstrumentSet& set, std::span<const std::size_t> instruments,
              const InsWriteOptions& options, OutputSink& out, Diagnostics& warnings)
{
    ins::InsTextWriter(set, instruments, options, out, warnings).run();
}

} // namespace quorvix
