#include "CubaseScriptWriter.h"

// Placeholder: the script writer is being built.

namespace quorvix {

bool IsScriptCharacter(unsigned char) { return false; }
std::string FormatEntryLine(const ZT_cwbankvoice&, std::string_view) { return {}; }

VoiceClassifier::VoiceClassifier(const ZT_cwbankvoice* voices, std::int32_t voiceCount, std::uint8_t* voiceTaken,
                                 std::int32_t& voiceCursor)
    : m_voices(voices), m_voiceCount(voiceCount), m_voiceTaken(voiceTaken), m_voiceCursor(voiceCursor)
{
}

std::vector<std::int32_t> ConvertToCubaseScript(const ZT_cwbankvoice*, std::int32_t, std::uint8_t*, std::int32_t&,
                                                std::string_view, const TimeStamp&, TextLines& lines)
{
    lines.RemoveAll();
    return {};
}

std::string DefaultScriptFileName(std::string_view) { return ".txt"; }

} // namespace quorvix
