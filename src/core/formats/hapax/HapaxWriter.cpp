#include "formats/hapax/HapaxWriter.h"

#include "base/LineWriter.h"
#include "base/Text.h"
#include "formats/hapax/HapaxNames.h"
#include "model/BankGroups.h"
#include "model/SpareLists.h"

#include <algorithm>

namespace quorvix {

namespace {

using hapax::deviceName;

/// One [PC] line: a voice of a bank that the Hapax can select.
struct PcLine
{
    const Bank* bank;
    const Patch* patch;
};

/// The [PC] lines of an instrument and the files they are split into.
struct PcPlan
{
    std::vector<PcLine> lines;
    std::vector<std::size_t> starts;       ///< the first line of each file
    std::vector<std::string> highPrograms; ///< voices above program 127: "NAME" (program 130)
    std::vector<std::string> byProgram;    ///< banks selected with a program change
    std::size_t byProgramVoices = 0;
};

PcPlan planPcLines(const InstrumentSet& set, const Instrument& instrument)
{
    PcPlan plan;
    plan.starts.push_back(0);
    std::size_t inFile = 0;
    for (const Bank& bank : instrument.banks) {
        const PatchList* list = set.patchListOf(bank);
        if (list == nullptr || list->patches.empty())
            continue;
        if (bank.select.program >= 0) {
            plan.byProgram.push_back(inQuotes(bankTitle(set, bank)));
            plan.byProgramVoices += list->patches.size();
            continue;
        }
        const std::size_t first = plan.lines.size();
        for (const Patch& patch : list->patches) {
            if (patch.program < 0 || patch.program > 127)
                plan.highPrograms.push_back(inQuotes(set.utf8(patch.name)) + " (program " +
                                            std::to_string(patch.program) + ")");
            else
                plan.lines.push_back(PcLine{&bank, &patch});
        }
        const std::size_t count = plan.lines.size() - first;
        if (inFile > 0 && inFile + count > hapax::kMostPcLines) {
            plan.starts.push_back(first);
            inFile = 0;
        }
        inFile += count;
    }
    return plan;
}

std::string counted(std::size_t count, std::string_view one, std::string_view many)
{
    return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

std::string leftOut(std::size_t count)
{
    return count == 1 ? " is left out" : " are left out";
}

std::string byteText(std::int16_t value)
{
    return value < 0 ? std::string("NULL") : std::to_string(value);
}

class DefinitionWriter
{
public:
    DefinitionWriter(const InstrumentSet& set, const Instrument& instrument, const HapaxOptions& options,
                     OutputSink& out, Diagnostics& warnings)
        : m_set(set), m_instrument(instrument), m_options(options), m_lines(out, "\n"), m_warnings(warnings),
          m_plan(planPcLines(set, instrument)), m_first(options.file == 0)
    {}

    void write()
    {
        m_title = m_set.utf8(m_instrument.name);
        const std::int32_t lanes = laneList();
        m_lines.line("VERSION 1");
        m_lines.line({"# ", comment()});
        std::string track = name(m_instrument.name, {});
        if (track.empty()) {
            sharedWarning(inQuotes(m_title) + " has no character the Hapax takes in a name: TRACKNAME NULL "
                                              "keeps the track's own name");
            track = "NULL";
        }
        m_lines.line({"TRACKNAME ", track});
        m_lines.line(lanes != kNoList ? "TYPE DRUM" : "TYPE POLY");
        if (lanes != kNoList)
            writeLanes(lanes);
        writePcs();
        writeControls();
        m_lines.flush();
        warnNames();
        if (m_first)
            warnLeftOut();
    }

private:
    void warn(std::string message) { m_warnings.warn(SourcePos{}, std::move(message)); }
    /// A warning about what every file of the instrument holds, given with the first file only.
    void sharedWarning(std::string message)
    {
        if (m_first)
            warn(std::move(message));
    }

    std::string comment() const
    {
        std::string text = "Generated with Quorvix";
        for (const std::string* part : {&m_options.stamp.date, &m_options.stamp.time})
            if (!part->empty())
                text += " " + *part;
        if (const std::string source = deviceName(m_options.sourceName); !source.empty())
            text += " from " + source;
        if (m_plan.starts.size() > 1)
            text += ": file " + std::to_string(m_options.file + 1) + " of " +
                    std::to_string(m_plan.starts.size());
        return text;
    }

    /// A name in the characters the Hapax takes, `fallback` when none is left; the first file notes the
    /// changes for the warnings (of the names of every file).
    std::string name(TextRef ref, std::string fallback)
    {
        // Most names hold only what the Hapax takes, in either encoding: they are written as they are.
        const std::string_view bytes = m_set.text(ref);
        if (!bytes.empty() && bytes.front() != ' ' && bytes.back() != ' ' &&
            std::all_of(bytes.begin(), bytes.end(), hapax::isNameCharacter) &&
            bytes.find("  ") == std::string_view::npos)
            return std::string(bytes);
        const std::string original = m_set.utf8(ref);
        std::string written = deviceName(original);
        const bool noted = m_first;
        if (written.empty() && !fallback.empty()) {
            if (noted)
                m_replaced.push_back(inQuotes(original) + " as " + inQuotes(fallback));
            return fallback;
        }
        if (noted && !written.empty() && written != trimBlanks(original))
            m_changed.push_back(inQuotes(original) + " as " + inQuotes(written));
        return written;
    }

    /// The note list of a patch, when it names notes.
    std::int32_t noteListOf(const Patch& patch) const
    {
        const std::int32_t list = patch.noteList != kNoList ? patch.noteList : m_instrument.noteList;
        return list >= 0 && static_cast<std::size_t>(list) < m_set.noteLists.size() &&
                       !m_set.noteLists[static_cast<std::size_t>(list)].notes.empty()
                   ? list
                   : kNoList;
    }

    /// The note list of the drum lanes: the definition is a DRUM one when every voice names drum notes (or,
    /// without voices, when the instrument does). Of several lists, the instrument's own, else the one most
    /// voices use (the first of those). kNoList for a POLY definition.
    std::int32_t laneList()
    {
        std::vector<std::pair<std::int32_t, std::size_t>> used; // list, voices
        std::size_t drums = 0;
        for (const PcLine& line : m_plan.lines) {
            const std::int32_t list = noteListOf(*line.patch);
            if (list == kNoList)
                continue;
            ++drums;
            const auto found =
                std::find_if(used.begin(), used.end(), [&](const auto& u) { return u.first == list; });
            if (found == used.end())
                used.emplace_back(list, 1);
            else
                ++found->second;
        }
        const auto chosen = std::stable_partition(
            used.begin(), used.end(), [&](const auto& u) { return u.first == m_instrument.noteList; });
        if (chosen == used.begin())
            std::stable_sort(used.begin(), used.end(),
                             [](const auto& a, const auto& b) { return a.second > b.second; });
        if (m_plan.lines.empty()) {
            Patch none;
            return noteListOf(none);
        }
        if (drums < m_plan.lines.size()) {
            if (drums > 0)
                sharedWarning(inQuotes(m_title) + ": the drum-note names of " +
                              counted(drums, "voice", "voices") +
                              " are left out: a definition has drum lanes only when all its voices are drum "
                              "kits (TYPE DRUM)");
            return kNoList;
        }
        const auto listName = [&](std::int32_t list) {
            return inQuotes(m_set.utf8(m_set.noteLists[static_cast<std::size_t>(list)].name));
        };
        if (used.size() > 1) {
            std::vector<std::string> others;
            for (std::size_t i = 1; i < used.size(); ++i)
                others.push_back(listName(used[i].first));
            sharedWarning(inQuotes(m_title) + ": a definition has one set of drum lanes: they are those of " +
                          listName(used.front().first) + "; " +
                          counted(others.size(), "other note list", "other note lists") + " of its voices" +
                          leftOut(others.size()) + ": " + shortList(others));
        }
        return used.front().first;
    }

    void writeLanes(std::int32_t index)
    {
        const NoteList& list = m_set.noteLists[static_cast<std::size_t>(index)];
        std::vector<std::string> rest;
        m_lines.line("[DRUMLANES]");
        int row = 0;
        for (const NameEntry& note : list.notes) {
            if (note.number > 127)
                continue;
            const std::string number = std::to_string(note.number);
            if (row == m_options.drumRows) {
                rest.push_back(number + " " + inQuotes(m_set.utf8(note.name)));
                continue;
            }
            ++row;
            m_lines.line(
                {std::to_string(row), ":NULL:NULL:", number, " ", name(note.name, "Note " + number)});
        }
        m_lines.line("[/DRUMLANES]");
        if (!rest.empty())
            sharedWarning(
                inQuotes(m_title) + ": " + counted(rest.size(), "drum note", "drum notes") + " beyond the " +
                std::to_string(m_options.drumRows) + " lanes" + leftOut(rest.size()) +
                (m_options.drumRows < hapax::kMostRows ? " (firmware 3.10 and later takes 16)" : "") + ": " +
                shortList(rest));
    }

    void writePcs()
    {
        const std::size_t begin = m_plan.starts[std::min(m_options.file, m_plan.starts.size() - 1)];
        const std::size_t end = m_options.file + 1 < m_plan.starts.size() ? m_plan.starts[m_options.file + 1]
                                                                          : m_plan.lines.size();
        if (begin < end)
            m_lines.line("[PC]");
        // The first file names the changes of every file's names: it goes through the others' lines too.
        for (std::size_t i = m_first ? 0 : begin; i < (m_first ? m_plan.lines.size() : end); ++i) {
            const PcLine& line = m_plan.lines[i];
            const std::string pc = std::to_string(line.patch->program + 1);
            const std::string written = name(line.patch->name, "PC " + pc);
            if (i >= begin && i < end)
                m_lines.line({pc, ":", byteText(line.bank->select.msb), ":", byteText(line.bank->select.lsb),
                              " ", written});
        }
        if (begin < end)
            m_lines.line("[/PC]");
    }

    const ControlList* controlList(std::int32_t index) const
    {
        return index >= 0 && static_cast<std::size_t>(index) < m_set.controlLists.size()
                   ? &m_set.controlLists[static_cast<std::size_t>(index)]
                   : nullptr;
    }

    void writeControls();
    void warnNames();
    void warnLeftOut();

    const InstrumentSet& m_set;
    const Instrument& m_instrument;
    const HapaxOptions& m_options;
    LineWriter m_lines;
    Diagnostics& m_warnings;
    const PcPlan m_plan;
    const bool m_first;
    std::string m_title;
    std::vector<std::string> m_changed;        ///< "ORIGINAL" as "WRITTEN"
    std::vector<std::string> m_replaced;       ///< names with nothing left, as their numbers
    std::vector<std::string> m_automationless; ///< controllers 120-127
};

void DefinitionWriter::writeControls()
{
    const ControlList* controllers = controlList(m_instrument.controllers);
    if (controllers != nullptr && !controllers->controls.empty()) {
        const bool pairs = controllers->kind == ControlKind::Controller14;
        std::size_t unheld = 0;
        m_lines.line(pairs ? "[CC_PAIR]" : "[CC]");
        for (const NameEntry& control : controllers->controls) {
            const std::string number = std::to_string(control.number);
            if (control.number > (pairs ? 31 : 127)) {
                ++unheld;
                continue;
            }
            if (!pairs && control.number >= 120)
                m_automationless.push_back(number + " " + inQuotes(m_set.utf8(control.name)));
            const std::string shown = pairs ? number + ":" + std::to_string(control.number + 32) : number;
            m_lines.line({shown, " ", name(control.name, "CC " + shown)});
        }
        m_lines.line(pairs ? "[/CC_PAIR]" : "[/CC]");
        if (unheld > 0)
            sharedWarning(inQuotes(m_title) + ": " +
                          (pairs ? counted(unheld, "14-bit controller", "14-bit controllers") + " above 31"
                                 : counted(unheld, "controller", "controllers") + " above 127") +
                          leftOut(unheld));
    }
    const ControlList* nrpns = controlList(m_instrument.nrpns);
    if (nrpns != nullptr && !nrpns->controls.empty()) {
        m_lines.line("[NRPN]");
        for (const NameEntry& nrpn : nrpns->controls) {
            const std::string shown =
                std::to_string(nrpn.number >> 7 & 127) + ":" + std::to_string(nrpn.number & 127);
            m_lines.line({shown, ":7 ", name(nrpn.name, "NRPN " + shown)});
        }
        m_lines.line("[/NRPN]");
    }
}

void DefinitionWriter::warnNames()
{
    if (!m_changed.empty())
        warn(inQuotes(m_title) + ": " + std::to_string(m_changed.size()) +
             (m_changed.size() == 1 ? " name holds" : " names hold") +
             " characters the Hapax does not take, written without them: " + shortList(m_changed));
    if (!m_replaced.empty())
        warn(inQuotes(m_title) + ": " + std::to_string(m_replaced.size()) +
             (m_replaced.size() == 1 ? " name has" : " names have") +
             " no character the Hapax takes, written as their numbers: " + shortList(m_replaced));
}

void DefinitionWriter::warnLeftOut()
{
    const std::string title = inQuotes(m_title) + ": ";
    if (m_plan.starts.size() > 1)
        warn(title + std::to_string(m_plan.lines.size()) + " voices are more than the 128 [PC] lines of a " +
             "Hapax definition: written as " + std::to_string(m_plan.starts.size()) +
             " files of whole banks, each with the definition's other sections");
    if (!m_plan.highPrograms.empty())
        warn(title + counted(m_plan.highPrograms.size(), "voice", "voices") +
             " with a program above 127 (a PC above 128)" + leftOut(m_plan.highPrograms.size()) + ": " +
             shortList(m_plan.highPrograms));
    if (!m_plan.byProgram.empty())
        warn(title + counted(m_plan.byProgramVoices, "voice", "voices") + " of " +
             (m_plan.byProgram.size() == 1 ? "bank " : "banks ") + shortList(m_plan.byProgram) +
             leftOut(m_plan.byProgramVoices) +
             ": a program change selects the bank, which the Hapax does not send");
    if (!m_automationless.empty())
        warn(title +
             "controllers 120 to 127 are in [CC], where the Hapax shows them, but cannot be "
             "automated: " +
             shortList(m_automationless));
    if (const ControlList* rpns = controlList(m_instrument.rpns); rpns != nullptr && !rpns->controls.empty())
        warn(title + std::to_string(rpns->controls.size()) +
             (rpns->controls.size() == 1 ? " RPN name is" : " RPN names are") +
             " left out: a Hapax definition holds no RPN names");
    if (const SpareLists spare = spareListsOf(m_set, m_instrument.device); spare.notes + spare.controls > 0)
        warn(title + std::to_string(spare.notes + spare.controls) +
             " note and controller name lists of the device that no patch uses are left out");
}

} // namespace

std::size_t hapaxParts(const InstrumentSet& set, const Instrument& instrument)
{
    return planPcLines(set, instrument).starts.size();
}

void writeHapax(const InstrumentSet& set, const Instrument& instrument, const HapaxOptions& options,
                OutputSink& out, Diagnostics& warnings)
{
    DefinitionWriter(set, instrument, options, out, warnings).write();
}

} // namespace quorvix
