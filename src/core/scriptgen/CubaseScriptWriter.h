#pragma once

#include "app/TextLines.h"
#include "app/TimeStamp.h"
#include "insinput/ZT_midifile.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quorvix {

/// True for the characters a Cubase script entry line may hold (tab, space, letters, digits and
/// !"&'()+,-./[]{}); every other byte, including all from 128 up, is not.
bool IsScriptCharacter(unsigned char character);

/// The entry line of one voice: "[tag, program, msb, lsb]\tname" with each number right-aligned in three
/// characters; the name is cut after its first "}", then to 30 bytes, and every character IsScriptCharacter
/// rejects becomes a space.
std::string FormatEntryLine(const ZT_cwbankvoice& voice, std::string_view tag);

/// The group scan over one voice list. It borrows the list, the written flags (one byte per voice, 0 = not
/// yet written) and the scan cursor; it owns none of them.
class VoiceClassifier
{
public:
    VoiceClassifier(const ZT_cwbankvoice* voices, std::int32_t voiceCount, std::uint8_t* voiceTaken,
                    std::int32_t& voiceCursor);

    /// The entry line of the next unwritten voice, from the cursor on, whose bank and program lie in the
    /// inclusive ranges; marks it written. Empty, with the cursor back at 0, when the group has no more.
    std::string NextEntryLine(std::string_view tag, std::int32_t programLow, std::int32_t programHigh,
                              std::int32_t bankLow, std::int32_t bankHigh);

    bool HasDrumKitVoices() const;
    bool HasXgVoices() const;
    bool HasPanelVoices() const;
    bool HasGm2Voices() const;

private:
    const ZT_cwbankvoice* m_voices;
    std::int32_t m_voiceCount;
    std::uint8_t* m_voiceTaken;
    std::int32_t& m_voiceCursor;
};

/// Header credit texts of generated scripts.
inline constexpr const char* kScriptCreatorFirstName = "Quorvix";
inline constexpr const char* kScriptCreatorLastName = "converter - https://quorvix.org";

/// Empties `lines` and appends the complete Cubase Patchname Script of the voice list, up to and including
/// "[end]". Returns the indexes, in list order, of the voices that fit no group and are left out.
std::vector<std::int32_t> ConvertToCubaseScript(const ZT_cwbankvoice* voices, std::int32_t voiceCount,
                                                std::uint8_t* voiceTaken, std::int32_t& voiceCursor,
                                                std::string_view instrumentName, const TimeStamp& stamp,
                                                TextLines& lines);

/// The file name "Save Script" proposes for an instrument: its ASCII letters, digits, spaces and
/// underscores, then ".txt".
std::string DefaultScriptFileName(std::string_view instrumentName);

} // namespace quorvix
