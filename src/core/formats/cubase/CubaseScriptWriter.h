#pragma once

#include "base/OutputSink.h"
#include "base/TextLines.h"
#include "base/TimeStamp.h"
#include "model/VoiceRecord.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorvix {

/// True for the characters a Cubase script entry line may hold (tab, space, letters, digits and
/// !"&'()+,-./[]{}); every other byte, including all from 128 up, is not.
bool IsScriptCharacter(unsigned char character);

/// Bytes of a voice name an entry line keeps at most.
inline constexpr std::size_t kEntryNameLimit = 30;

/// The voice name of a record, up to its terminating NUL or the end of the 64-byte field.
std::string_view VoiceName(const ZT_cwbankvoice& voice);

/// A voice as a script is made from it: its numbers and its name as a ZT_cwbankvoice record holds it (see
/// VoiceName).
struct ScriptVoice
{
    std::int32_t bank = 0;
    std::int32_t program = 0;
    std::string_view name;
};

/// The entry line of one voice: "[tag, program, msb, lsb]\tname" with each number right-aligned in three
/// characters; the name is cut after its first "}", then to 30 bytes, and every character IsScriptCharacter
/// rejects becomes a space.
std::string FormatEntryLine(const ZT_cwbankvoice& voice, std::string_view tag);
/// Same, appended to `line`.
void AppendEntryLine(std::string& line, const ScriptVoice& voice, std::string_view tag);

/// The group scan over one voice list. It borrows the list, the written flags (one byte per voice, 0 = not
/// yet written) and the scan cursor; it owns none of them. Bank and program numbers are read once, when it is
/// made.
class VoiceClassifier
{
public:
    VoiceClassifier(const ZT_cwbankvoice* voices, std::int32_t voiceCount, std::uint8_t* voiceTaken,
                    std::int32_t& voiceCursor);

    /// The entry line of the next unwritten voice, from the cursor on, whose bank and program lie in the
    /// inclusive ranges; marks it written. Empty, with the cursor back at 0, when the group has no more.
    std::string NextEntryLine(std::string_view tag, std::int32_t programLow, std::int32_t programHigh,
                              std::int32_t bankLow, std::int32_t bankHigh);

    /// Whether an unwritten voice has a bank of its section: 16256, 16128 or 15360 (drum kits); at most 101
    /// (XG, negative banks included); 105 to 127 (panel); 15488 to 15497 (GM2). The program plays no part.
    bool HasDrumKitVoices() const;
    bool HasXgVoices() const;
    bool HasPanelVoices() const;
    bool HasGm2Voices() const;

private:
    struct Numbers
    {
        std::int32_t bank;
        std::int32_t program;
    };

    template <typename Condition>
    bool hasUnwrittenBank(Condition condition) const;

    const ZT_cwbankvoice* m_voices;
    std::vector<Numbers> m_numbers; ///< bank and program of each voice, packed for the many scans
    std::int32_t m_voiceCount;
    std::uint8_t* m_voiceTaken;
    std::int32_t& m_voiceCursor;
};

/// The sections of a script, in the order they are written.
enum class ScriptSection
{
    DrumKits, ///< written when HasDrumKitVoices holds
    Xg,       ///< written when HasXgVoices holds
    Panel,    ///< written when HasPanelVoices holds
    Gm2,      ///< written when HasGm2Voices holds
    Other,    ///< always written
};

/// Whether an unwritten voice of this bank makes the section be written (see VoiceClassifier::Has...Voices;
/// true for Other).
inline bool SectionWantsBank(ScriptSection section, std::int32_t bank)
{
    switch (section) {
    case ScriptSection::DrumKits:
        return bank == 16256 || bank == 16128 || bank == 15360;
    case ScriptSection::Xg:
        return bank <= 101;
    case ScriptSection::Panel:
        return bank >= 105 && bank <= 127;
    case ScriptSection::Gm2:
        return bank >= 15488 && bank <= 15497;
    case ScriptSection::Other:
        break;
    }
    return true;
}

/// One group heading of a script and the voices it takes (inclusive ranges).
struct ScriptGroup
{
    ScriptSection section;
    const char* heading; ///< the heading line, e.g. "[g2]\t\tPiano"
    const char* tag;     ///< entry tag: "p3", or "p2" for "Other Voices"
    std::int32_t programLow;
    std::int32_t programHigh;
    std::int32_t bankLow;
    std::int32_t bankHigh;
};

inline constexpr std::size_t kScriptGroupCount = 55;

/// Every group in the order the script runs them; a voice goes to the first group that takes it.
std::span<const ScriptGroup, kScriptGroupCount> ScriptGroups();

/// Header credit texts of generated scripts.
inline constexpr const char* kScriptCreatorFirstName = "Quorvix";
inline constexpr const char* kScriptCreatorLastName = "converter - https://quorvix.org";

/// Empties `lines` and appends the complete Cubase Patchname Script of the voice list, up to and including
/// "[end]". Returns the indexes, in list order, of the voices that fit no group and are left out (the caller
/// reports each as "%s Bank %i"). `voiceTaken` must hold voiceCount zero bytes; it is left marking the
/// written voices, and the cursor is left at 0. A CR or LF in the instrument name is written as a space.
std::vector<std::int32_t> ConvertToCubaseScript(const ZT_cwbankvoice* voices, std::int32_t voiceCount,
                                                std::uint8_t* voiceTaken, std::int32_t& voiceCursor,
                                                std::string_view instrumentName, const TimeStamp& stamp,
                                                TextLines& lines);

/// The voices of the instrument as ConvertToCubaseScript reads them from voiceRecords(set, instrument,
/// toWindows1252), without making the records. Converted names are kept in `storage`, which must outlive
/// the result.
std::vector<ScriptVoice> ScriptVoices(const InstrumentSet& set, const Instrument& instrument,
                                      bool toWindows1252, std::string& storage);

/// Writes the script ConvertToCubaseScript makes of these voices to `out`, each line ended by CR LF, without
/// a list of lines. Returns the indexes of the voices that fit no group and are left out.
std::vector<std::int32_t> WriteCubaseScript(std::span<const ScriptVoice> voices,
                                            std::string_view instrumentName, const TimeStamp& stamp,
                                            OutputSink& out);

/// Bytes of an instrument name that DefaultScriptFileName keeps at most, so that the whole name stays
/// within the 255 bytes file systems allow for one name.
inline constexpr std::size_t kScriptFileStemLimit = 251;

/// The file name "Save Script" proposes for an instrument: its ASCII letters, digits, spaces and
/// underscores (the first 251 bytes of them), then ".txt". A name with none of them gives "Unnamed.txt",
/// and a name Windows takes for a device gets "_" ("Con_.txt").
std::string DefaultScriptFileName(std::string_view instrumentName);

} // namespace quorvix
