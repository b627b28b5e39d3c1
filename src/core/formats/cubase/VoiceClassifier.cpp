#include "formats/cubase/CubaseScriptWriter.h"

namespace quorvix {

namespace {

constexpr ScriptGroup family(ScriptSection section, const char* heading, std::int32_t family,
                             std::int32_t bankLow, std::int32_t bankHigh)
{
    return {section, heading, "p3", family * 8, family * 8 + 7, bankLow, bankHigh};
}

constexpr const char* kFamilyHeadings[16] = {
    "[g2]\t\tPiano",         "[g2]\t\tChromatic Percussion",
    "[g2]\t\tOrgan",         "[g2]\t\tGuitar",
    "[g2]\t\tBass",          "[g2]\t\tStrings",
    "[g2]\t\tEnsemble",      "[g2]\t\tBrass",
    "[g2]\t\tReed",          "[g2]\t\tPipe",
    "[g2]\t\tSynth Lead",    "[g2]\t\tSynth Pad",
    "[g2]\t\tSynth Effects", "[g2]\t\tEthnic",
    "[g2]\t\tPercussive",    "[g2]\t\tSound Effects",
};

constexpr std::array<ScriptGroup, kScriptGroupCount> makeGroups()
{
    std::array<ScriptGroup, kScriptGroupCount> groups{};
    std::size_t n = 0;
    groups[n++] = {ScriptSection::DrumKits, "[g2]\t\tXG Drumkits", "p3", 0, 127, 16256, 16256};
    groups[n++] = {ScriptSection::DrumKits, "[g2]\t\tXG SFX and Drums", "p3", 0, 127, 16128, 16128};
    groups[n++] = {ScriptSection::DrumKits, "[g2]\t\tGM2 SFX and Drums", "p3", 0, 127, 15360, 15360};
    for (std::int32_t f = 0; f < 16; ++f)
        groups[n++] = family(ScriptSection::Xg, kFamilyHeadings[f], f, 0, 101);
    groups[n++] = {ScriptSection::Xg, "[g2]\t\tXG SFX", "p3", 0, 127, 8192, 8192};
    for (std::int32_t f = 0; f < 16; ++f)
        groups[n++] = family(ScriptSection::Panel, kFamilyHeadings[f], f, 105, 127);
    groups[n++] = {ScriptSection::Panel, "[g2]\t\tMega Voice", "p3", 0, 127, 1024, 1026};
    groups[n++] = {ScriptSection::Panel, "[g2]\t\tArticulation Voice", "p3", 0, 127, 1056, 1062};
    for (std::int32_t f = 0; f < 16; ++f)
        groups[n++] = family(ScriptSection::Gm2, kFamilyHeadings[f], f, 15488, 15497);
    groups[n++] = {ScriptSection::Other, "[g1]\tOther Voices", "p2", 0, 127, 0, 16383};
    return groups;
}

constexpr std::array<ScriptGroup, kScriptGroupCount> kGroups = makeGroups();
static_assert(kGroups.back().section == ScriptSection::Other, "the group table is filled to the end");

constexpr bool sectionsFollowEachOther()
{
    for (std::size_t g = 1; g < kGroups.size(); ++g)
        if (kGroups[g].section < kGroups[g - 1].section)
            return false;
    return true;
}
static_assert(sectionsFollowEachOther(),
              "a section's groups stand together, the sections in the order written");

} // namespace

std::span<const ScriptGroup, kScriptGroupCount> ScriptGroups()
{
    return kGroups;
}

VoiceClassifier::VoiceClassifier(const ZT_cwbankvoice* voices, std::int32_t voiceCount,
                                 std::uint8_t* voiceTaken, std::int32_t& voiceCursor)
    : m_voices(voices), m_voiceCount(voiceCount < 0 ? 0 : voiceCount), m_voiceTaken(voiceTaken),
      m_voiceCursor(voiceCursor)
{
    // Every group scan reads two numbers per voice; packed, a scan touches 8 bytes per voice instead of
    // two cache lines of a 136-byte record.
    m_numbers.reserve(static_cast<std::size_t>(m_voiceCount));
    for (std::int32_t i = 0; i < m_voiceCount; ++i)
        m_numbers.push_back({voices[i].bank, voices[i].program});
}

std::string VoiceClassifier::NextEntryLine(std::string_view tag, std::int32_t programLow,
                                           std::int32_t programHigh, std::int32_t bankLow,
                                           std::int32_t bankHigh)
{
    for (std::int32_t i = m_voiceCursor < 0 ? 0 : m_voiceCursor; i < m_voiceCount; ++i) {
        const Numbers& voice = m_numbers[static_cast<std::size_t>(i)];
        if (m_voiceTaken[i] == 0 && bankLow <= voice.bank && voice.bank <= bankHigh &&
            programLow <= voice.program && voice.program <= programHigh) {
            m_voiceTaken[i] = 1;
            m_voiceCursor = i + 1;
            return FormatEntryLine(m_voices[i], tag);
        }
    }
    m_voiceCursor = 0;
    return {};
}

template <typename Condition>
bool VoiceClassifier::hasUnwrittenBank(Condition condition) const
{
    for (std::size_t i = 0; i < m_numbers.size(); ++i) {
        if (m_voiceTaken[i] == 0 && condition(m_numbers[i].bank))
            return true;
    }
    return false;
}

bool VoiceClassifier::HasDrumKitVoices() const
{
    return hasUnwrittenBank(
        [](std::int32_t bank) { return SectionWantsBank(ScriptSection::DrumKits, bank); });
}

bool VoiceClassifier::HasXgVoices() const
{
    return hasUnwrittenBank([](std::int32_t bank) { return SectionWantsBank(ScriptSection::Xg, bank); });
}

bool VoiceClassifier::HasPanelVoices() const
{
    return hasUnwrittenBank([](std::int32_t bank) { return SectionWantsBank(ScriptSection::Panel, bank); });
}

bool VoiceClassifier::HasGm2Voices() const
{
    return hasUnwrittenBank([](std::int32_t bank) { return SectionWantsBank(ScriptSection::Gm2, bank); });
}

} // namespace quorvix
