#include "formats/ins/InsWriter.h"

#include "base/Encoding.h"
#include "base/LineWriter.h"
#include "base/Text.h"
#include "base/UniqueNames.h"
#include "model/BankGroups.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>

namespace quorvix {

namespace {

constexpr std::string_view kRuleLine = "; -------------------------------------------";
constexpr std::string_view kCredit = "; Quorvix - https://quorvix.org";

class InsTextWriter
{
public:
    InsTextWriter(const InstrumentSet& set, std::span<const std::size_t> instruments,
                  const InsWriteOptions& options, OutputSink& out, Diagnostics& warnings)
        : m_set(set), m_instruments(instruments), m_options(options), m_out(out), m_warnings(warnings)
    {}

    void run();

private:
    enum Kind
    {
        kPatch,
        kNote,
        kController,
        kRpn,
        kNrpn,
        kKinds
    };

    /// A bank as the definition writes it: banks of one written number share one list.
    struct PlannedBank
    {
        std::int32_t written;
        std::int32_t list; ///< index into the set's patch lists, or past them into m_mergedLists
        TextRef name;      ///< the name of the first bank of the number
    };
    /// A definition written: an instrument, or the banks of one that its first definition cannot hold.
    struct Definition
    {
        std::size_t instrument;
        std::string name;
        std::vector<PlannedBank> plan;
    };

    void planDefinitions();
    void warnSilentBanks(const std::string& name);
    std::vector<PlannedBank> planBanks(const Instrument& instrument, const std::string& name,
                                       const BankGroup& group);
    const PatchList& patchList(std::int32_t index) const
    {
        const auto own = static_cast<std::int32_t>(m_set.patchLists.size());
        return index < own ? m_set.patchLists[static_cast<std::size_t>(index)]
                           : m_mergedLists[static_cast<std::size_t>(index - own)];
    }
    std::string text(TextRef ref) const;
    std::string safe(TextRef ref, std::string_view what);
    void chooseEncoding();
    void nameLists();
    void nameSpareLists();
    const std::string& listName(Kind kind, std::int32_t index) const;
    void writeHeader(LineWriter& lines);
    void writeLists(LineWriter& lines);
    void writeInstrument(LineWriter& lines, const Definition& definition);

    const InstrumentSet& m_set;
    std::span<const std::size_t> m_instruments;
    const InsWriteOptions& m_options;
    OutputSink& m_out;
    Diagnostics& m_warnings;
    bool m_toWindows1252 = false;
    std::vector<Definition> m_definitions;
    std::vector<PatchList> m_mergedLists;
    /// The banks of the instrument planned that select no bank, by what the definition will send for them.
    std::map<std::string, std::vector<std::string>> m_silentBanks;
    // The lists written, in first-use order, with the names they are written under.
    std::array<std::vector<std::int32_t>, kKinds> m_order;
    std::array<std::map<std::int32_t, std::string>, kKinds> m_names;
    std::array<UniqueNames, kKinds> m_taken;
};

std::string InsTextWriter::text(TextRef ref) const
{
    const std::string_view bytes = m_set.text(ref);
    if (!m_toWindows1252)
        return std::string(bytes);
    return utf8ToWindows1252(bytes);
}

std::string InsTextWriter::safe(TextRef ref, std::string_view what)
{
    bool changed = false;
    std::string name = insSafeName(text(ref), changed);
    if (changed)
        m_warnings.warn(SourcePos{}, std::string(what) + " \"" + std::string(m_set.text(ref)) +
                                         "\" is written as \"" + name +
                                         "\": an instrument definition file cannot hold it as it is");
    return name;
}

void InsTextWriter::chooseEncoding()
{
    if (m_set.encoding != TextEncoding::Utf8)
        return;
    // Cakewalk reads names in the Windows code page: written so when every name fits it.
    bool ascii = true;
    bool fits = true;
    const auto check = [&](TextRef ref) {
        const std::string_view bytes = m_set.text(ref);
        if (std::all_of(bytes.begin(), bytes.end(),
                        [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
            return;
        ascii = false;
        std::size_t lost = 0;
        utf8ToWindows1252(bytes, '?', &lost);
        fits = fits && lost == 0;
    };
    for (const std::size_t index : m_instruments) {
        const Instrument& instrument = m_set.instruments[index];
        check(instrument.name);
        for (const Bank& bank : instrument.banks) {
            check(bank.name);
            const PatchList* list = m_set.patchListOf(bank);
            if (list == nullptr)
                continue;
            check(list->name);
            for (const Patch& patch : list->patches) {
                check(patch.name);
                if (patch.noteList >= 0)
                    for (const NameEntry& note :
                         m_set.noteLists[static_cast<std::size_t>(patch.noteList)].notes)
                        check(note.name);
            }
        }
        for (const std::int32_t list : {instrument.controllers, instrument.rpns, instrument.nrpns})
            if (list >= 0)
                for (const NameEntry& control : m_set.controlLists[static_cast<std::size_t>(list)].controls)
                    check(control.name);
        if (instrument.noteList >= 0)
            for (const NameEntry& note : m_set.noteLists[static_cast<std::size_t>(instrument.noteList)].notes)
                check(note.name);
    }
    m_toWindows1252 = !ascii && fits;
    if (!ascii && !fits)
        m_warnings.warn(SourcePos{},
                        "some names hold characters Windows-1252 cannot hold, so the file is written "
                        "in UTF-8; Cakewalk shows such names wrongly");
}

const std::string& InsTextWriter::listName(Kind kind, std::int32_t index) const
{
    return m_names[kind].at(index);
}

void InsTextWriter::planDefinitions()
{
    UniqueNames names;
    std::vector<std::string> own;
    for (const std::size_t i : m_instruments) {
        own.push_back(safe(m_set.instruments[i].name, "instrument name"));
        names.take(own.back());
    }
    for (std::size_t n = 0; n < m_instruments.size(); ++n) {
        const Instrument& instrument = m_set.instruments[m_instruments[n]];
        const std::vector<BankGroup> groups = bankGroups(m_set, instrument);
        m_definitions.push_back(Definition{m_instruments[n], own[n], {}});
        for (std::size_t g = 0; g < groups.size(); ++g) {
            if (g > 0) {
                const BankGroup& group = groups[g];
                bool changed = false;
                const std::string bank = bankTitle(m_set, instrument.banks[group.opener]);
                m_definitions.push_back(Definition{
                    m_instruments[n], names.make(own[n] + " (" + insSafeName(bank, changed) + ")"), {}});
                const Bank& other = instrument.banks[group.collidesWith];
                m_warnings.warn(SourcePos{}, "\"" + own[n] + "\": banks \"" + bankTitle(m_set, other) +
                                                 "\" and \"" + bank + "\" both select bank " +
                                                 std::to_string(other.number) +
                                                 " and name the same programs; \"" + bank +
                                                 "\" is written in a further definition, \"" +
                                                 m_definitions.back().name + "\"");
            }
            m_definitions.back().plan = planBanks(instrument, own[n], groups[g]);
        }
        warnSilentBanks(own[n]);
    }
}

void InsTextWriter::warnSilentBanks(const std::string& name)
{
    for (const auto& [sent, banks] : m_silentBanks) {
        std::string shown;
        for (std::size_t n = 0; n < banks.size() && n < 5; ++n)
            shown += (n == 0 ? "" : ", ") + banks[n];
        if (banks.size() > 5)
            shown += " and " + std::to_string(banks.size() - 5) + " more";
        m_warnings.warn(SourcePos{}, "\"" + name + "\": " + (banks.size() == 1 ? "bank " : "banks ") + shown +
                                         (banks.size() == 1 ? " sends" : " send") +
                                         " no bank select; the definition will send " + sent +
                                         (banks.size() == 1 ? " for it" : " for them"));
    }
    m_silentBanks.clear();
}

std::vector<InsTextWriter::PlannedBank>
InsTextWriter::planBanks(const Instrument& instrument, const std::string& name, const BankGroup& group)
{
    std::vector<PlannedBank> plan;
    std::map<std::int32_t, std::size_t> placeOf;
    for (const std::size_t b : group.banks) {
        const Bank& bank = instrument.banks[b];
        const BankSelect sent = bankSelectFor(instrument.method, bank.number);
        if (bank.select == BankSelect{} && !(sent == BankSelect{}))
            m_silentBanks[bankSelectText(sent)].push_back("\"" + bankTitle(m_set, bank) + "\"");
        else if (!(bank.select == sent))
            m_warnings.warn(SourcePos{}, "\"" + name + "\": bank " + std::to_string(bank.number) +
                                             " is selected differently from the other banks; the "
                                             "definition selects it with BankSelMethod=" +
                                             std::to_string(static_cast<int>(instrument.method)));
        const std::int32_t written = bankNumberUnder(instrument.method, bank.number);
        const auto [at, fresh] = placeOf.try_emplace(written, plan.size());
        if (fresh) {
            plan.push_back(PlannedBank{written, bank.patchList, bank.name});
            continue;
        }
        // Banks of one number whose programs differ (a source that splits a bank into groups) share one
        // list; the group holds no two that name one program.
        PlannedBank& earlier = plan[at->second];
        PatchList merged = patchList(earlier.list);
        if (merged.name.empty())
            merged.name = earlier.name;
        for (const Patch& patch : patchList(bank.patchList).patches) {
            const auto slot =
                std::lower_bound(merged.patches.begin(), merged.patches.end(), patch.program,
                                 [](const Patch& p, std::int32_t program) { return p.program < program; });
            merged.patches.insert(slot, patch);
        }
        earlier.list = static_cast<std::int32_t>(m_set.patchLists.size() + m_mergedLists.size());
        m_mergedLists.push_back(std::move(merged));
    }
    return plan;
}

void InsTextWriter::nameLists()
{
    const auto use = [&](Kind kind, std::int32_t index, TextRef name, std::string_view fallback) {
        if (index < 0 || m_names[kind].count(index) > 0)
            return;
        std::string written = name.empty() ? std::string(fallback) : safe(name, "list name");
        m_names[kind][index] = m_taken[kind].make(written);
        m_order[kind].push_back(index);
    };
    for (const Definition& definition : m_definitions) {
        const Instrument& instrument = m_set.instruments[definition.instrument];
        std::unordered_map<std::int32_t, TextRef> bankNames; // the first bank name of each list
        for (const Bank& source : instrument.banks)
            bankNames.try_emplace(source.patchList, source.name);
        for (const PlannedBank& bank : definition.plan) {
            const PatchList& list = patchList(bank.list);
            TextRef name = list.name;
            if (const auto found = bankNames.find(bank.list); name.empty() && found != bankNames.end())
                name = found->second;
            use(kPatch, bank.list, name, "Bank " + std::to_string(bank.written));
            for (const Patch& patch : list.patches)
                if (patch.noteList >= 0)
                    use(kNote, patch.noteList, m_set.noteLists[static_cast<std::size_t>(patch.noteList)].name,
                        "Notes");
        }
        if (instrument.noteList >= 0)
            use(kNote, instrument.noteList,
                m_set.noteLists[static_cast<std::size_t>(instrument.noteList)].name, "Notes");
        const std::pair<Kind, std::int32_t> controls[] = {
            {kController, instrument.controllers}, {kRpn, instrument.rpns}, {kNrpn, instrument.nrpns}};
        for (const auto& [kind, list] : controls)
            if (list >= 0)
                use(kind, list, m_set.controlLists[static_cast<std::size_t>(list)].name, "Controllers");
    }
    nameSpareLists();
}

void InsTextWriter::nameSpareLists()
{
    std::set<std::int32_t> devices;
    for (const Definition& definition : m_definitions)
        if (m_set.instruments[definition.instrument].device >= 0)
            devices.insert(m_set.instruments[definition.instrument].device);
    // Lists of a device that no patch uses: an .ins holds them in their sections all the same.
    std::map<std::pair<std::int32_t, int>, std::vector<std::string>> spare;
    const auto add = [&](Kind kind, std::int32_t device, std::int32_t index, TextRef name) {
        if (device < 0 || devices.count(device) == 0 || m_names[kind].count(index) > 0)
            return;
        m_names[kind][index] = m_taken[kind].make(
            name.empty() ? std::string(kind == kNote ? "Notes" : "Controllers") : safe(name, "list name"));
        m_order[kind].push_back(index);
        spare[{device, kind == kNote ? 0 : 1}].push_back(m_names[kind][index]);
    };
    for (std::size_t i = 0; i < m_set.noteLists.size(); ++i)
        add(kNote, m_set.noteLists[i].device, static_cast<std::int32_t>(i), m_set.noteLists[i].name);
    for (std::size_t i = 0; i < m_set.controlLists.size(); ++i) {
        const ControlList& list = m_set.controlLists[i];
        const Kind kind = list.kind == ControlKind::Rpn    ? kRpn
                          : list.kind == ControlKind::Nrpn ? kNrpn
                                                           : kController;
        add(kind, list.device, static_cast<std::int32_t>(i), list.name);
    }
    for (const auto& [key, names] : spare) {
        const Device& device = m_set.devices[static_cast<std::size_t>(key.first)];
        std::string shown;
        for (std::size_t n = 0; n < names.size() && n < 5; ++n)
            shown += (n == 0 ? "\"" : ", \"") + names[n] + "\"";
        if (names.size() > 5)
            shown += ", …";
        m_warnings.warn(SourcePos{}, "device \"" + std::string(m_set.text(device.model)) +
                                         "\": " + std::to_string(names.size()) +
                                         (key.second == 0 ? " note name" : " controller, RPN or NRPN name") +
                                         (names.size() == 1 ? " list" : " lists") + " that no patch uses " +
                                         (names.size() == 1 ? "is" : "are") +
                                         " written in the list sections, where no definition uses " +
                                         (names.size() == 1 ? "it" : "them") + ": " + shown);
    }
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
                for (const Patch& patch : patchList(index).patches)
                    lines.line({std::to_string(patch.program), "=", safe(patch.name, "patch name")});
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

} // namespace

void writeIns(const InstrumentSet& set, std::span<const std::size_t> instruments,
              const InsWriteOptions& options, OutputSink& out, Diagnostics& warnings)
{
    InsTextWriter(set, instruments, options, out, warnings).run();
}

} // namespace quorvix
