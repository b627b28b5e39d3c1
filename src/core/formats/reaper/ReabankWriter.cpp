#include "formats/reaper/ReabankWriter.h"

#include "base/Text.h"
#include "formats/reaper/ReaperText.h"
#include "model/SpareLists.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <charconv>
#include <map>

namespace quorvix {

namespace {

constexpr std::int32_t kLastBank = 127 * 128 + 127;

/// Collects lines, each ended by LF, and hands them to the sink in blocks.
class LineWriter
{
public:
    explicit LineWriter(OutputSink& out) : m_out(out) {}
    ~LineWriter() { flush(); }
    LineWriter(const LineWriter&) = delete;
    LineWriter& operator=(const LineWriter&) = delete;

    LineWriter& operator<<(std::string_view text)
    {
        m_text.append(text);
        return *this;
    }
    LineWriter& operator<<(std::int32_t number)
    {
        char digits[12];
        const auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
        return *this << std::string_view(digits, static_cast<std::size_t>(end - digits));
    }
    /// Appends a name as one line of UTF-8 (see appendOneLine).
    void name(std::string_view text, TextEncoding encoding) { appendOneLine(m_text, text, encoding); }
    /// Where the line now ends; what follows can be dropped with cut().
    std::size_t mark() const { return m_text.size(); }
    void cut(std::size_t at) { m_text.resize(at); }
    void end()
    {
        m_text += '\n';
        if (m_text.size() >= kBlock)
            flush();
    }
    void flush()
    {
        if (!m_text.empty())
            m_out.write(m_text);
        m_text.clear();
    }

private:
    static constexpr std::size_t kBlock = std::size_t{1} << 16;
    OutputSink& m_out;
    std::string m_text;
};

/// The comment lines, and a blank line, for a device that does not select banks with CC0 and CC32 together.
std::string_view methodNote(BankSelectMethod method)
{
    switch (method) {
    case BankSelectMethod::Normal:
        break;
    case BankSelectMethod::MsbOnly:
        return "// The device selects banks with CC0 (bank select MSB) alone. REAPER sends CC0 and CC32 for "
               "every bank,\n// so ReaControlMIDI also sends the LSB written below, which such a device "
               "ignores.\n\n";
    case BankSelectMethod::LsbOnly:
        return "// The device selects banks with CC32 (bank select LSB) alone. REAPER sends CC0 and CC32 for "
               "every bank,\n// so ReaControlMIDI also sends the MSB written below, which such a device "
               "ignores.\n\n";
    case BankSelectMethod::ProgramChange:
        return "// The device selects a bank with a program change of 100 + the bank number, sent before the "
               "patch's own,\n// which a bank file cannot send: send the program change named above a bank "
               "(from the MIDI editor\n// or a second ReaControlMIDI), then pick the patch. The MSB and LSB "
               "REAPER sends are ignored.\n\n";
    }
    return {};
}

std::string bankName(const InstrumentSet& set, const Bank& bank)
{
    std::string name = oneLine(set.text(bank.name), set.encoding);
    if (name.empty() && bank.patchList >= 0 &&
        static_cast<std::size_t>(bank.patchList) < set.patchLists.size())
        name = oneLine(set.text(set.patchLists[static_cast<std::size_t>(bank.patchList)].name), set.encoding);
    if (name.empty())
        name = "Bank " + std::to_string(bank.number);
    return name;
}

void writeBank(const InstrumentSet& set, const Instrument& instrument, const Bank& bank, LineWriter& line,
               Diagnostics& warnings)
{
    const std::string name = bankName(set, bank);
    if (bank.number < 0 || bank.number > kLastBank) {
        warnings.warn(0, "bank " + std::to_string(bank.number) + " \"" + name +
                             "\" is left out: REAPER numbers banks 0 to 16383 (MSB and LSB 0 to 127)");
        return;
    }
    if (instrument.method == BankSelectMethod::ProgramChange) {
        line << "// Bank " << bank.number << ": program change " << 100 + bank.number << " first";
        line.end();
    }
    line << "Bank " << bank.number / 128 << " " << bank.number % 128 << " " << name;
    line.end();
    if (bank.patchList < 0 || static_cast<std::size_t>(bank.patchList) >= set.patchLists.size())
        return;
    const auto& patches = set.patchLists[static_cast<std::size_t>(bank.patchList)].patches;
    const auto byProgram = [](const Patch* a, const Patch* b) { return a->program < b->program; };
    std::vector<const Patch*> order;
    order.reserve(patches.size());
    for (const Patch& patch : patches)
        order.push_back(&patch);
    if (!std::is_sorted(order.begin(), order.end(), byProgram))
        std::stable_sort(order.begin(), order.end(), byProgram);
    const auto where = [&](const Patch& patch) {
        return "bank " + std::to_string(bank.number) + " \"" + name + "\": program " +
               std::to_string(patch.program);
    };
    for (const Patch* patch : order) {
        if (patch->program > 127) {
            warnings.warn(0, where(*patch) + " is left out: programs are 0 to 127");
            continue;
        }
        line << std::int32_t{patch->program} << " ";
        const std::size_t nameStart = line.mark();
        line.name(set.text(patch->name), set.encoding);
        if (line.mark() == nameStart) {
            const std::string patchName = "Program " + std::to_string(patch->program);
            warnings.warn(0, where(*patch) + " has no name; written as " + inQuotes(patchName));
            line << patchName;
        }
        line.end();
    }
}

/// "0-7, 16, 18-19" for ascending programs.
std::string programRanges(const std::vector<std::uint8_t>& programs)
{
    std::string text;
    for (std::size_t i = 0; i < programs.size();) {
        std::size_t last = i;
        while (last + 1 < programs.size() && programs[last + 1] == programs[last] + 1)
            ++last;
        text += (text.empty() ? "" : ", ") + std::to_string(programs[i]);
        if (last > i)
            text += "-" + std::to_string(programs[last]);
        i = last + 1;
    }
    return text;
}

/// Banks REAPER cannot tell apart: it knows a bank by its MSB and LSB alone.
void warnSameNumbers(const InstrumentSet& set, const Instrument& instrument, Diagnostics& warnings)
{
    struct Number
    {
        std::vector<const Bank*> banks;
        std::bitset<256> programs;
        bool collide = false;
    };
    std::map<std::int32_t, Number> numbers;
    for (const Bank& bank : instrument.banks) {
        Number& number = numbers[bank.number];
        number.banks.push_back(&bank);
        if (const PatchList* list = set.patchListOf(bank))
            for (const Patch& patch : list->patches) {
                const auto program = static_cast<std::size_t>(patch.program) & 255;
                number.collide = number.collide || number.programs.test(program);
                number.programs.set(program);
            }
    }
    for (const auto& [value, number] : numbers) {
        if (!number.collide || value < 0 || value > kLastBank)
            continue;
        std::string names;
        std::string silent;
        for (std::size_t i = 0; i < number.banks.size(); ++i) {
            const std::string name = inQuotes(bankName(set, *number.banks[i]));
            names += (i == 0 ? "" : i + 1 == number.banks.size() ? " and " : ", ") + name;
            if (number.banks[i]->select == BankSelect{})
                silent += (silent.empty() ? "" : ", ") + name;
        }
        const std::string bank = std::to_string(value / 128) + " " + std::to_string(value % 128);
        std::string message = "banks " + names + (number.banks.size() == 2 ? " are both" : " are all") +
                              " written as Bank " + bank +
                              " and name the same programs: REAPER cannot tell them apart";
        if (!silent.empty())
            message += " (" + silent + " select" + (silent.find(',') == std::string::npos ? "s" : "") +
                       " no bank: REAPER will send CC0 " + std::to_string(value / 128) + " / CC32 " +
                       std::to_string(value % 128) + ")";
        warnings.warn(0, message);
    }
}

/// One warning per kind of name the bank file leaves out.
void warnLeftOut(const InstrumentSet& set, const Instrument& instrument, const ReaperOptions& options,
                 Diagnostics& warnings)
{
    const auto count = [&](std::int32_t list) {
        return list >= 0 && static_cast<std::size_t>(list) < set.controlLists.size()
                   ? set.controlLists[static_cast<std::size_t>(list)].controls.size()
                   : std::size_t{0};
    };
    const std::pair<std::string_view, std::size_t> controls[] = {
        {"controller", count(instrument.controllers)},
        {"RPN", count(instrument.rpns)},
        {"NRPN", count(instrument.nrpns)}};
    for (const auto& [kind, names] : controls)
        if (names > 0)
            warnings.warn(0, std::to_string(names) + " " + std::string(kind) +
                                 (names == 1 ? " name is" : " names are") +
                                 " left out: a REAPER bank file cannot hold them");
    std::size_t notes = 0;
    if (!options.notesWritten)
        for (const NoteListUse& use : noteListsOf(set, instrument))
            notes += set.noteLists[static_cast<std::size_t>(use.noteList)].notes.size();
    if (notes > 0)
        warnings.warn(0, std::to_string(notes) + (notes == 1 ? " note name is" : " note names are") +
                             " left out: a REAPER bank file cannot hold them; " + options.notesHint);
    const SpareLists spare = spareListsOf(set, instrument.device);
    const auto lists = [](std::size_t n, std::string_view kind) {
        return std::to_string(n) + " " + std::string(kind) + (n == 1 ? " list" : " lists");
    };
    std::string spareText = spare.notes > 0 ? lists(spare.notes, "note name") : std::string();
    if (spare.controls > 0)
        spareText += (spareText.empty() ? "" : " and ") + lists(spare.controls, "controller name");
    if (!spareText.empty())
        warnings.warn(0, spareText + " of the device that no patch uses " +
                             (spare.notes + spare.controls == 1 ? "is" : "are") +
                             " left out: REAPER files hold only the lists patches use");
}

} // namespace

void writeReabank(const InstrumentSet& set, const Instrument& instrument, const ReaperOptions& options,
                  OutputSink& out, Diagnostics& warnings)
{
    LineWriter line(out);
    line << "// REAPER bank file generated with Quorvix " << options.stamp.date << " " << options.stamp.time;
    line.end();
    line << "// Instrument: " << oneLine(set.text(instrument.name), set.encoding);
    line.end();
    line << "// Source: " << oneLine(options.sourceName, TextEncoding::Utf8);
    line.end();
    line.end();
    line << methodNote(instrument.method);
    warnSameNumbers(set, instrument, warnings);
    warnLeftOut(set, instrument, options, warnings);
    for (const Bank& bank : instrument.banks)
        writeBank(set, instrument, bank, line, warnings);
}

std::vector<NoteListUse> noteListsOf(const InstrumentSet& set, const Instrument& instrument)
{
    const auto valid = [&](std::int32_t list) {
        return list >= 0 && static_cast<std::size_t>(list) < set.noteLists.size();
    };
    std::vector<NoteListUse> uses;
    std::vector<std::size_t> useIndex(set.noteLists.size(), 0); ///< 1 + the list's place in uses; 0 = unused
    const auto useOf = [&](std::int32_t list) -> NoteListUse& {
        std::size_t& index = useIndex[static_cast<std::size_t>(list)];
        if (index == 0) {
            uses.push_back(NoteListUse{list, list == instrument.noteList, {}});
            index = uses.size();
        }
        return uses[index - 1];
    };
    for (std::size_t b = 0; b < instrument.banks.size(); ++b) {
        const Bank& bank = instrument.banks[b];
        if (bank.patchList < 0 || static_cast<std::size_t>(bank.patchList) >= set.patchLists.size())
            continue;
        for (const Patch& patch : set.patchLists[static_cast<std::size_t>(bank.patchList)].patches) {
            const std::int32_t list = valid(patch.noteList) ? patch.noteList : instrument.noteList;
            if (valid(list))
                useOf(list).users.push_back(
                    PatchUser{static_cast<std::int32_t>(b), static_cast<std::uint8_t>(patch.program)});
        }
    }
    if (valid(instrument.noteList))
        useOf(instrument.noteList);
    return uses;
}

void writeReaperNoteNames(const InstrumentSet& set, const Instrument& instrument, std::int32_t noteList,
                          const ReaperOptions& options, OutputSink& out)
{
    if (noteList < 0 || static_cast<std::size_t>(noteList) >= set.noteLists.size())
        return;
    const NoteList& list = set.noteLists[static_cast<std::size_t>(noteList)];
    LineWriter line(out);
    line << "# " << oneLine(set.text(instrument.name), set.encoding) << ": note names \""
         << oneLine(set.text(list.name), set.encoding) << "\"";
    line.end();

    std::vector<PatchUser> users;
    for (NoteListUse& use : noteListsOf(set, instrument)) {
        if (use.noteList == noteList)
            users = std::move(use.users);
    }
    if (noteList == instrument.noteList) {
        line << "# The instrument's note names, for every patch that has none of its own";
        line.end();
    }
    for (std::size_t i = 0; i < users.size();) {
        const std::int32_t bankIndex = users[i].bank;
        const Bank& bank = instrument.banks[static_cast<std::size_t>(bankIndex)];
        std::vector<std::uint8_t> programs;
        for (; i < users.size() && users[i].bank == bankIndex; ++i)
            programs.push_back(users[i].program);
        line << "# Used by bank " << bank.number / 128 << " " << bank.number % 128 << " \""
             << bankName(set, bank) << "\", program" << (programs.size() > 1 ? "s " : " ")
             << programRanges(programs);
        line.end();
    }
    line << "# Source: " << oneLine(options.sourceName, TextEncoding::Utf8) << ", generated with Quorvix "
         << options.stamp.date << " " << options.stamp.time;
    line.end();

    // By number, so that the file holds each note once and highest first whatever order the list has.
    std::array<const NameEntry*, 128> byNote{};
    for (const NameEntry& note : list.notes) {
        if (note.number <= 127)
            byNote[note.number] = &note;
    }
    for (std::int32_t number = 127; number >= 0; --number) {
        const NameEntry* note = byNote[static_cast<std::size_t>(number)];
        const std::string name =
            note != nullptr ? oneLine(set.text(note->name), set.encoding) : std::string();
        if (name.empty())
            continue;
        line << number << " " << name;
        line.end();
    }
}

} // namespace quorvix
