#include "formats/cubase/CubaseScriptWriter.h"

namespace quorvix {

namespace {

// Header values are written as they are, but a line of the list never holds a line break: a CR or LF in
// the instrument name would split the header line and could forge script lines of its own.
std::string headerLine(std::string_view tag, std::string_view value)
{
    std::string line;
    line.reserve(tag.size() + value.size());
    line += tag;
    for (const char c : value)
        line += (c == '\r' || c == '\n') ? ' ' : c;
    return line;
}

void appendHeader(TextLines& lines, std::string_view instrumentName, const TimeStamp& stamp)
{
    lines.Add("[cubase parse file]");
    lines.Add("[parser version 0001]");
    lines.Add(headerLine("[comment] Cubase Patchname Scriptfile generated with Quorvix ",
                         stamp.date + " " + stamp.time));
    lines.Add(std::string("[creators first name] ") + kScriptCreatorFirstName);
    lines.Add(std::string("[creators last name] ") + kScriptCreatorLastName);
    lines.Add("[device manufacturer] -");
    lines.Add(headerLine("[device name] ", instrumentName));
    lines.Add(headerLine("[script name] ", instrumentName));
    lines.Add("[script version] -");
    lines.Add({});
    lines.Add("[define patchnames]");
    lines.Add({});
}

// Runs every group of one section; the section's lead-in is already written.
void runSection(ScriptSection section, VoiceClassifier& classifier, TextLines& lines)
{
    bool firstOfSection = true;
    for (const ScriptGroup& group : ScriptGroups()) {
        if (group.section != section)
            continue;
        bool headingWritten = false;
        for (;;) {
            std::string entry = classifier.NextEntryLine(group.tag, group.programLow, group.programHigh,
                                                         group.bankLow, group.bankHigh);
            if (entry.empty())
                break;
            if (!headingWritten) {
                if (!firstOfSection)
                    lines.Add({});
                lines.Add(group.heading);
                headingWritten = true;
            }
            lines.Add(std::move(entry));
        }
        firstOfSection = false;
    }
}

} // namespace

std::vector<std::int32_t> ConvertToCubaseScript(const ZT_cwbankvoice* voices, std::int32_t voiceCount,
                                                std::uint8_t* voiceTaken, std::int32_t& voiceCursor,
                                                std::string_view instrumentName, const TimeStamp& stamp,
                                                TextLines& lines)
{
    if (voiceCount < 0 || voices == nullptr || voiceTaken == nullptr)
        voiceCount = 0;
    lines.RemoveAll();
    appendHeader(lines, instrumentName, stamp);

    voiceCursor = 0;
    bool xgMode = false;
    VoiceClassifier classifier(voices, voiceCount, voiceTaken, voiceCursor);

    if (classifier.HasDrumKitVoices()) {
        lines.Add("[mode10]\tDrumkits");
        lines.Add({});
        lines.Add("[g1]\tDrum- and SFX-Kits");
        lines.Add({});
        runSection(ScriptSection::DrumKits, classifier, lines);
    }
    if (classifier.HasXgVoices()) {
        lines.Add({});
        lines.Add("[mode]\tXG Voices");
        xgMode = true;
        lines.Add({});
        lines.Add("[g1]\tStandard XG Voices");
        lines.Add({});
        runSection(ScriptSection::Xg, classifier, lines);
    }
    if (classifier.HasPanelVoices()) {
        if (!xgMode) {
            lines.Add({});
            lines.Add("[mode]\tXG Voices");
            xgMode = true;
        }
        lines.Add({});
        lines.Add("[g1]\tPanel Voices");
        lines.Add({});
        runSection(ScriptSection::Panel, classifier, lines);
    }
    if (classifier.HasGm2Voices()) {
        if (!xgMode) {
            lines.Add({});
            lines.Add("[mode]\tXG Voices");
            xgMode = true;
        }
        lines.Add({});
        lines.Add("[g1]\tGM2 Voices");
        lines.Add({});
        runSection(ScriptSection::Gm2, classifier, lines);
    }
    lines.Add({});
    runSection(ScriptSection::Other, classifier, lines);

    std::vector<std::int32_t> leftOut;
    for (std::int32_t i = 0; i < voiceCount; ++i) {
        if (voiceTaken[i] == 0)
            leftOut.push_back(i);
    }

    lines.Add({});
    lines.Add("[end]");
    return leftOut;
}

std::string DefaultScriptFileName(std::string_view instrumentName)
{
    std::string name;
    name.reserve(instrumentName.size() + 4);
    for (const char c : instrumentName) {
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                          c == ' ' || c == '_';
        if (keep && name.size() < kScriptFileStemLimit)
            name += c;
    }
    name += ".txt";
    return name;
}

} // namespace quorvix
