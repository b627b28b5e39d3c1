#include "formats/ins/InsWriter.h"

#include "base/Encoding.h"
#include "base/LineWriter.h"
#include "base/Text.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_set>

namespace quorvix {

namespace {

constexpr std::string_view kRuleLine = "; -------------------------------------------";
constexpr std::string_view kCredit = "; Quorvix - https://quorvix.org";

/// The bank as a Patch[] or Key[] line numbers it under the method.
std::int32_t writtenBank(const Bank& bank, BankSelectMethod method)
{
    switch (method) {
    case BankSelectMethod::MsbOnly:
        return bank.number / 128;
    case BankSelectMethod::LsbOnly:
        return bank.number % 128;
    default:
        return bank.number;
    }
}

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
    };

    void planBanks();
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
    const std::string& listName(Kind kind, std::int32_t index) const;
    std::string uniqueName(Kind kind, std::string name);
    void writeHeader(LineWriter& lines);
    void writeLists(LineWriter& lines);
    void writeInstrument(LineWriter& lines, const Instrument& instrument,
                         const std::vector<PlannedBank>& plan);

    const InstrumentSet& m_set;
    std::span<const std::size_t> m_instruments;
    const InsWriteOptions& m_options;
    OutputSink& m_out;
    Diagnostics& m_warnings;
    bool m_toWindows1252 = false;
    std::vector<std::vector<PlannedBank>> m_plans; ///< per instrument written
    std::vector<PatchList> m_mergedLists;
    // The lists written, in first-use order, with the names they are written under.
    std::array<std::vector<std::int32_t>, kKinds> m_order;
    std::array<std::map<std::int32_t, std::string>, kKinds> m_names;
    std::array<std::set<std::string>, kKinds> m_taken;
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
            const PatchList& list = m_set.patchLists[static_cast<std::size_t>(bank.patchList)];
            check(list.name);
            for (const Patch& patch : list.patches) {
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

std::string InsTextWriter::uniqueName(Kind kind, std::string name)
{
    if (name.empty())
        name = "List";
    std::string candidate = name;
    for (int n = 2; !m_taken[kind].insert(candidate).second; ++n)
        candidate = name + " (" + std::to_string(n) + ")";
    return candidate;
}

const std::string& InsTextWriter::listName(Kind kind, std::int32_t index) const
{
    return m_names[kind].at(index);
}

void InsTextWriter::planBanks()
{
    for (const std::size_t i : m_instruments) {
        const Instrument& instrument = m_set.instruments[i];
        const std::string name(m_set.text(instrument.name));
        const std::int32_t highest = instrument.method == BankSelectMethod::Normal          ? 16383
                                     : instrument.method == BankSelectMethod::ProgramChange ? 27
                                                                                            : 127;
        std::set<std::int32_t> used;
        for (const Bank& bank : instrument.banks)
            used.insert(writtenBank(bank, instrument.method));
        std::vector<PlannedBank> plan;
        std::map<std::int32_t, std::size_t> placeOf;
        for (const Bank& bank : instrument.banks) {
            if (bank.patchList < 0)
                continue;
            if (!(bank.select == bankSelectFor(instrument.method, bank.number)))
                m_warnings.warn(SourcePos{},
                                "\"" + name + "\": bank " + std::to_string(bank.number) +
                                    " is selected differently from the other banks; the definition "
                                    "selects it with BankSelMethod=" +
                                    std::to_string(static_cast<int>(instrument.method)));
            std::int32_t written = writtenBank(bank, instrument.method);
            const auto [at, fresh] = placeOf.try_emplace(written, plan.size());
            if (fresh) {
                plan.push_back(PlannedBank{written, bank.patchList});
                continue;
            }
            // A reader keeps one list per bank number. Banks of one number whose programs differ (a source
            // that splits a bank into groups) share one list; banks that name the same program (a source that
            // selects banks in a way a definition cannot, such as SysEx) get numbers of their own, so that no
            // patch is lost.
            PlannedBank& earlier = plan[at->second];
            const PatchList& own = patchList(bank.patchList);
            PatchList merged = patchList(earlier.list);
            const bool clash = std::any_of(own.patches.begin(), own.patches.end(), [&](const Patch& patch) {
                return std::binary_search(
                    merged.patches.begin(), merged.patches.end(), patch,
                    [](const Patch& a, const Patch& b) { return a.program < b.program; });
            });
            if (clash) {
                std::int32_t free = -1;
                for (std::int32_t k = 1; k <= highest && free < 0; ++k)
                    if (used.count((written + k) % (highest + 1)) == 0)
                        free = (written + k) % (highest + 1);
                if (free >= 0) {
                    used.insert(free);
                    placeOf.emplace(free, plan.size());
                    plan.push_back(PlannedBank{free, bank.patchList});
                    m_warnings.warn(SourcePos{},
                                    "\"" + name + "\": bank \"" + std::string(m_set.text(bank.name)) +
                                        "\" names the programs of another bank of number " +
                                        std::to_string(written) + "; it is written as bank " +
                                        std::to_string(free) +
                                        " so that its patches are kept (select it on the device as "
                                        "the source says)");
                    continue;
                }
            }
            for (const Patch& patch : own.patches) {
                const auto slot = std::lower_bound(
                    merged.patches.begin(), merged.patches.end(), patch.program,
                    [](const Patch& p, std::uint8_t program) { return p.program < program; });
                if (slot != merged.patches.end() && slot->program == patch.program) {
                    m_warnings.warn(SourcePos{},
                                    "\"" + name + "\": bank " + std::to_string(bank.number) +
                                        " is given twice; program " + std::to_string(patch.program) + " \"" +
                                        std::string(m_set.text(slot->name)) + "\" is replaced by \"" +
                                        std::string(m_set.text(patch.name)) + "\"");
                    *slot = patch;
                } else {
                    merged.patches.insert(slot, patch);
                }
            }
            earlier.list = static_cast<std::int32_t>(m_set.patchLists.size() + m_mergedLists.size());
            m_mergedLists.push_back(std::move(merged));
        }
        m_plans.push_back(std::move(plan));
    }
}

void InsTextWriter::nameLists()
{
    const auto use = [&](Kind kind, std::int32_t index, TextRef name, std::string_view fallback) {
        if (index < 0 || m_names[kind].count(index) > 0)
            return;
        std::string written = name.empty() ? std::string(fallback) : safe(name, "list name");
        m_names[kind][index] = uniqueName(kind, std::move(written));
        m_order[kind].push_back(index);
    };
    for (std::size_t n = 0; n < m_instruments.size(); ++n) {
        const Instrument& instrument = m_set.instruments[m_instruments[n]];
        for (const PlannedBank& bank : m_plans[n]) {
            const PatchList& list = patchList(bank.list);
            TextRef name = list.name;
            for (const Bank& source : instrument.banks)
                if (name.empty() && source.patchList == bank.list)
                    name = source.name;
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
}

void InsTextWriter::writeHeader(LineWriter& lines)
{
    lines.line(kRuleLine);
    lines.line("; Header");
    lines.line(kRuleLine);
    lines.line("; Cakewalk Instrument Definition File");
    for (const std::size_t i : m_instruments) {
        bool changed = false;
        lines.line({"; Instrument: ", insSafeName(text(m_set.instruments[i].name), changed)});
    }
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

void InsTextWriter::writeInstrument(LineWriter& lines, const Instrument& instrument,
                                    const std::vector<PlannedBank>& plan)
{
    const std::string name = safe(instrument.name, "instrument name");
    lines.line();
    lines.line({"[", name, "]"});
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
    planBanks();
    nameLists();
    LineWriter lines(m_out);
    writeHeader(lines);
    writeLists(lines);
    lines.line(".Instrument Definitions");
    for (std::size_t n = 0; n < m_instruments.size(); ++n)
        writeInstrument(lines, m_set.instruments[m_instruments[n]], m_plans[n]);
    lines.flush();
}

} // namespace

std::string withoutCommentStarts(std::string_view name, bool& changed)
{
    std::string out;
    out.reserve(name.size());
    changed = false;
    for (const char c : name) {
        if (c == ';')
            while (!out.empty() && isBlank(out.back())) {
                out.pop_back();
                changed = true;
            }
        out += c;
    }
    return out;
}

std::string insSafeName(std::string_view name, bool& changed)
{
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && c != '\t')
            out += ' ';
        else if (c == ';') {
            while (!out.empty() && isBlank(out.back()))
                out.pop_back();
            out += c;
        } else
            out += c;
    }
    std::size_t begin = 0;
    std::size_t end = out.size();
    while (begin < end && isBlank(out[begin]))
        ++begin;
    while (end > begin && isBlank(out[end - 1]))
        --end;
    out = out.substr(begin, end - begin);
    std::size_t nameBegin = 0;
    std::size_t nameEnd = name.size();
    while (nameBegin < nameEnd && isBlank(name[nameBegin]))
        ++nameBegin;
    while (nameEnd > nameBegin && isBlank(name[nameEnd - 1]))
        --nameEnd;
    changed = out != name.substr(nameBegin, nameEnd - nameBegin);
    return out;
}

void writeIns(const InstrumentSet& set, std::span<const std::size_t> instruments,
              const InsWriteOptions& options, OutputSink& out, Diagnostics& warnings)
{
    InsTextWriter(set, instruments, options, out, warnings).run();
}

} // namespace quorvix
