#include "formats/cubase/CubaseScriptWriter.h"

#include "base/Encoding.h"
#include "base/FileNames.h"
#include "base/LineWriter.h"

#include <array>
#include <cctype>
#include <initializer_list>
#include <utility>

namespace quorvix {

namespace {

/// Where a voice goes: the index of its group in ScriptGroups(), or one of these.
constexpr std::int16_t kUnplaced = -1;    ///< no group of a written section takes it: left out
constexpr std::int16_t kTakenBefore = -2; ///< marked written when the conversion began

/// The lines into a TextLines.
class TextLinesOut
{
public:
    explicit TextLinesOut(TextLines& lines) : m_lines(lines) {}
    void line(std::initializer_list<std::string_view> parts)
    {
        std::string line;
        for (const std::string_view part : parts)
            line.append(part);
        m_lines.Add(std::move(line));
    }
    template <typename Fill>
    void lineFrom(Fill&& fill)
    {
        std::string line;
        fill(line);
        m_lines.Add(std::move(line));
    }

private:
    TextLines& m_lines;
};

// Header values are written as they are, but a line never holds a line break: a CR or LF in the instrument
// name would split the header line and could forge script lines of its own.
std::string withoutLineBreaks(std::string_view value)
{
    std::string line(value);
    for (char& c : line)
        if (c == '\r' || c == '\n')
            c = ' ';
    return line;
}

template <typename Lines>
void writeHeader(Lines& out, std::string_view instrumentName, const TimeStamp& stamp)
{
    const std::string name = withoutLineBreaks(instrumentName);
    out.line({"[cubase parse file]"});
    out.line({"[parser version 0001]"});
    out.line({"[comment] Cubase Patchname Scriptfile generated with Quorvix ",
              withoutLineBreaks(stamp.date + " " + stamp.time)});
    out.line({"[creators first name] ", kScriptCreatorFirstName});
    out.line({"[creators last name] ", kScriptCreatorLastName});
    out.line({"[device manufacturer] -"});
    out.line({"[device name] ", name});
    out.line({"[script name] ", name});
    out.line({"[script version] -"});
    out.line({});
    out.line({"[define patchnames]"});
    out.line({});
}

constexpr std::array<ScriptSection, 5> kSections = {ScriptSection::DrumKits, ScriptSection::Xg,
                                                    ScriptSection::Panel, ScriptSection::Gm2,
                                                    ScriptSection::Other};

/// The groups of each section (indexes into ScriptGroups(), in table order): all of them, and for each MIDI
/// program those whose program range holds it, so that placing a voice looks at one or two groups.
struct SectionGroups
{
    std::vector<std::uint8_t> all;
    std::array<std::vector<std::uint8_t>, 128> byProgram;
};

const std::array<SectionGroups, 5>& sectionGroups()
{
    static const std::array<SectionGroups, 5> table = [] {
        std::array<SectionGroups, 5> made;
        const auto groups = ScriptGroups();
        for (std::size_t g = 0; g < groups.size(); ++g) {
            SectionGroups& section = made[static_cast<std::size_t>(groups[g].section)];
            section.all.push_back(static_cast<std::uint8_t>(g));
            for (std::int32_t program = 0; program < 128; ++program)
                if (groups[g].programLow <= program && program <= groups[g].programHigh)
                    section.byProgram[static_cast<std::size_t>(program)].push_back(
                        static_cast<std::uint8_t>(g));
        }
        return made;
    }();
    return table;
}

/// Places every voice: the sections are decided in the order they are written (each is written when a voice
/// not placed before wants it), and a voice goes to the first group of a written section whose ranges hold
/// it. This is the group whose scan would take it, found without scanning the list once per group.
std::array<bool, 5> placeVoices(std::span<const ScriptVoice> voices, std::vector<std::int16_t>& groupOf)
{
    const auto groups = ScriptGroups();
    std::array<bool, 5> written{};
    for (const ScriptSection section : kSections) {
        bool wanted = section == ScriptSection::Other;
        for (std::size_t i = 0; i < voices.size() && !wanted; ++i)
            wanted = groupOf[i] == kUnplaced && SectionWantsBank(section, voices[i].bank);
        written[static_cast<std::size_t>(section)] = wanted;
        if (!wanted)
            continue;
        const SectionGroups& own = sectionGroups()[static_cast<std::size_t>(section)];
        for (std::size_t i = 0; i < voices.size(); ++i) {
            if (groupOf[i] != kUnplaced)
                continue;
            const ScriptVoice& voice = voices[i];
            const bool midiProgram = voice.program >= 0 && voice.program < 128;
            for (const std::uint8_t g :
                 midiProgram ? own.byProgram[static_cast<std::size_t>(voice.program)] : own.all) {
                const ScriptGroup& group = groups[g];
                if (group.bankLow <= voice.bank && voice.bank <= group.bankHigh &&
                    group.programLow <= voice.program && voice.program <= group.programHigh) {
                    groupOf[i] = static_cast<std::int16_t>(g);
                    break;
                }
            }
        }
    }
    return written;
}

/// The voices of each group in list order: the voices of group g are byGroup[starts[g]] up to
/// byGroup[starts[g + 1]].
struct GroupedVoices
{
    std::array<std::uint32_t, kScriptGroupCount + 1> starts{};
    std::vector<std::uint32_t> byGroup;
};

GroupedVoices groupVoices(const std::vector<std::int16_t>& groupOf)
{
    // Counted, then placed.
    GroupedVoices grouped;
    std::array<std::uint32_t, kScriptGroupCount + 1>& starts = grouped.starts;
    for (const std::int16_t g : groupOf)
        if (g >= 0)
            ++starts[static_cast<std::size_t>(g) + 1];
    for (std::size_t g = 1; g < starts.size(); ++g)
        starts[g] += starts[g - 1];
    grouped.byGroup.resize(starts.back());
    std::array<std::uint32_t, kScriptGroupCount + 1> next = starts;
    for (std::size_t i = 0; i < groupOf.size(); ++i)
        if (groupOf[i] >= 0)
            grouped.byGroup[next[static_cast<std::size_t>(groupOf[i])]++] = static_cast<std::uint32_t>(i);
    return grouped;
}

/// The groups of one section: each group that holds voices under its heading, a blank line between them.
template <typename Lines>
void writeSection(Lines& out, std::span<const ScriptVoice> voices, const GroupedVoices& grouped,
                  ScriptSection section)
{
    const auto groups = ScriptGroups();
    bool firstOfSection = true;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        if (groups[g].section != section)
            continue;
        const std::string_view tag = groups[g].tag;
        for (std::uint32_t k = grouped.starts[g]; k < grouped.starts[g + 1]; ++k) {
            if (k == grouped.starts[g]) {
                if (!firstOfSection)
                    out.line({});
                out.line({groups[g].heading});
            }
            out.lineFrom([&](std::string& line) { AppendEntryLine(line, voices[grouped.byGroup[k]], tag); });
        }
        firstOfSection = false;
    }
}

/// Every section that holds voices (`written`, by section) under its mode and first-level heading, then
/// "[end]".
template <typename Lines>
void writeSections(Lines& out, std::span<const ScriptVoice> voices, const GroupedVoices& grouped,
                   const std::array<bool, 5>& written)
{
    const auto runs = [&](ScriptSection section) { return written[static_cast<std::size_t>(section)]; };
    if (runs(ScriptSection::DrumKits)) {
        out.line({"[mode10]\tDrumkits"});
        out.line({});
        out.line({"[g1]\tDrum- and SFX-Kits"});
        out.line({});
        writeSection(out, voices, grouped, ScriptSection::DrumKits);
    }
    bool xgMode = false;
    for (const auto& [section, heading] : {std::pair{ScriptSection::Xg, "[g1]\tStandard XG Voices"},
                                           std::pair{ScriptSection::Panel, "[g1]\tPanel Voices"},
                                           std::pair{ScriptSection::Gm2, "[g1]\tGM2 Voices"}}) {
        if (!runs(section))
            continue;
        if (!xgMode) {
            out.line({});
            out.line({"[mode]\tXG Voices"});
            xgMode = true;
        }
        out.line({});
        out.line({heading});
        out.line({});
        writeSection(out, voices, grouped, section);
    }
    out.line({});
    writeSection(out, voices, grouped, ScriptSection::Other);
    out.line({});
    out.line({"[end]"});
}

/// Writes the script of the voices; `taken` (one byte per voice) is read as the voices written before and
/// left marking every voice written. Returns the indexes of the voices left out.
template <typename Lines>
std::vector<std::int32_t> writeScript(std::span<const ScriptVoice> voices, std::uint8_t* taken,
                                      std::string_view instrumentName, const TimeStamp& stamp, Lines& out)
{
    writeHeader(out, instrumentName, stamp);
    std::vector<std::int16_t> groupOf(voices.size(), kUnplaced);
    for (std::size_t i = 0; i < voices.size(); ++i)
        if (taken[i] != 0)
            groupOf[i] = kTakenBefore;
    const std::array<bool, 5> written = placeVoices(voices, groupOf);
    writeSections(out, voices, groupVoices(groupOf), written);

    std::vector<std::int32_t> leftOut;
    for (std::size_t i = 0; i < voices.size(); ++i) {
        if (groupOf[i] >= 0)
            taken[i] = 1;
        else if (groupOf[i] == kUnplaced)
            leftOut.push_back(static_cast<std::int32_t>(i));
    }
    return leftOut;
}

} // namespace

std::vector<std::int32_t> ConvertToCubaseScript(const ZT_cwbankvoice* voices, std::int32_t voiceCount,
                                                std::uint8_t* voiceTaken, std::int32_t& voiceCursor,
                                                std::string_view instrumentName, const TimeStamp& stamp,
                                                TextLines& lines)
{
    if (voiceCount < 0 || voices == nullptr || voiceTaken == nullptr)
        voiceCount = 0;
    std::vector<ScriptVoice> list;
    list.reserve(static_cast<std::size_t>(voiceCount));
    for (std::int32_t i = 0; i < voiceCount; ++i)
        list.push_back(ScriptVoice{voices[i].bank, voices[i].program, VoiceName(voices[i])});
    lines.RemoveAll();
    TextLinesOut out(lines);
    voiceCursor = 0;
    return writeScript(std::span<const ScriptVoice>(list), voiceTaken, instrumentName, stamp, out);
}

std::vector<std::int32_t> WriteCubaseScript(std::span<const ScriptVoice> voices,
                                            std::string_view instrumentName, const TimeStamp& stamp,
                                            OutputSink& out)
{
    std::vector<std::uint8_t> taken(voices.size(), 0);
    LineWriter lines(out);
    return writeScript(voices, taken.data(), instrumentName, stamp, lines);
}

std::vector<ScriptVoice> ScriptVoices(const InstrumentSet& set, const Instrument& instrument,
                                      bool toWindows1252, std::string& storage)
{
    constexpr std::size_t kField = sizeof(ZT_cwbankvoice::name);
    std::vector<ScriptVoice> voices;
    voices.reserve(set.voiceCount(instrument));
    if (!toWindows1252 || set.encoding != TextEncoding::Utf8) {
        set.forEachVoice(instrument, [&](const Voice& voice) {
            voices.push_back(ScriptVoice{voice.bank, voice.program, nameInField(voice.name, kField)});
        });
        return voices;
    }
    // Converted names are collected first and viewed once `storage` no longer grows.
    storage.clear();
    std::vector<std::size_t> ends;
    ends.reserve(voices.capacity());
    set.forEachVoice(instrument, [&](const Voice& voice) {
        storage += nameInField(utf8ToWindows1252(voice.name), kField);
        ends.push_back(storage.size());
        voices.push_back(ScriptVoice{voice.bank, voice.program, {}});
    });
    std::size_t start = 0;
    for (std::size_t i = 0; i < voices.size(); ++i) {
        voices[i].name = std::string_view(storage).substr(start, ends[i] - start);
        start = ends[i];
    }
    return voices;
}

std::string DefaultScriptFileName(std::string_view instrumentName)
{
    // The window proposes the name's ASCII letters, digits, spaces and underscores only, as it always has.
    std::string kept;
    for (const char c : instrumentName) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80 && (std::isalnum(byte) || c == ' ' || c == '_'))
            kept += c;
    }
    return fileStemFrom(kept, kUnnamedFileStem, kScriptFileStemLimit) + ".txt";
}

} // namespace quorvix
