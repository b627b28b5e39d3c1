#pragma once

#include "base/Diagnostic.h"
#include "base/OutputSink.h"
#include "base/TextLines.h"
#include "base/TimeStamp.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace quorvix {

/// Longest script line read, in bytes, and most distinct banks in one conversion.
inline constexpr std::size_t kMaxScriptLineLength = 256;
inline constexpr int kMaxBanks = 1000;

/// Header credit text of generated instrument definitions (after "; ").
inline constexpr const char* kDefinitionCredit = "Quorvix - https://quorvix.org";

/// Outcome of reading a Cubase Patchname Script into instrument definition lines.
struct DefinitionConversion
{
    enum class Status
    {
        Ok,
        LineTooLong,  ///< a line holds more than 256 characters ("Error: No Windows Patchname Script")
        TooManyBanks, ///< an entry would open the 1001st distinct bank
        ReadError,    ///< the script is too large to read (over 4 GiB)
        NoEntries,    ///< no entry line at all: the text is no script ("Error: No Windows Patchname Script")
    };
    Status status = Status::Ok;
    TextLines lines;              ///< the definition text; filled only on success
    std::uint64_t lineNumber = 0; ///< 1-based line of the failure (LineTooLong, TooManyBanks)
    std::string detail;           ///< human-readable reason: the line, the bank text, what the text lacks
    /// What the conversion changed or could not carry: entry lines indented with a tab (which are no entry
    /// lines), names written so that they read back, and every entry a reader of the written definition will
    /// not get back (bank or program out of range, two bank texts of one number, a program named twice).
    Diagnostics warnings;
    /// The number of entries of the script that a reader of the written definition will not get back.
    std::size_t entriesNotReadBack = 0;
};

class ScriptBanks;

/// A conversion in two steps, so that the definition can be written straight to a file or a stream without
/// a list of lines: read() the script, then write() its definition once. ConvertToCakewalkDefinition makes
/// the same text and warnings.
class ScriptConversion
{
public:
    ScriptConversion();
    ~ScriptConversion();
    ScriptConversion(const ScriptConversion&) = delete;
    ScriptConversion& operator=(const ScriptConversion&) = delete;

    /// Reads the script's bytes (lines end at LF or CR LF), which must stay valid and unchanged until the
    /// definition is written. False, with status, lineNumber and detail of `result` set, when the script
    /// cannot be converted; entry lines that are left out are warned about in `result` either way.
    bool read(std::string_view script, DefinitionConversion& result);

    /// After a successful read(): writes the definition text for `instrumentName` to `out`, each line ended
    /// by CR LF, and adds to `result` what the conversion changed or could not carry (warnings sorted by
    /// line, entriesNotReadBack). The entries are consumed: a second call writes banks without entries.
    void write(std::string_view instrumentName, const TimeStamp& stamp, OutputSink& out,
               DefinitionConversion& result);
    /// Same, the lines put into `lines` (replacing what they held).
    void write(std::string_view instrumentName, const TimeStamp& stamp, TextLines& lines,
               DefinitionConversion& result);

private:
    std::unique_ptr<ScriptBanks> m_script;
};

/// Reads the script's bytes (lines end at LF or CR LF) and produces the Cakewalk instrument definition text
/// for `instrumentName`.
DefinitionConversion ConvertToCakewalkDefinition(std::string_view script, std::string_view instrumentName,
                                                 const TimeStamp& stamp);

/// The value of the script's first "[device name]" line, without the blanks around it; empty when the header
/// (the lines before "[define patchnames]" or the first entry line) has none. Stops at a line longer than
/// kMaxScriptLineLength.
std::string ScriptDeviceName(std::string_view script);

/// The number a digit text stands for: value = value * 10 + (c - '0') for each character in turn, 0 for an
/// empty text. A value beyond the signed 32-bit range counts as the nearest 32-bit limit (no overflow).
std::int32_t DecimalValue(std::string_view text);

/// MSB and LSB texts of a bank text: DecimalValue(bank) / 128 and DecimalValue(bank) % 128 in decimal.
void SplitBank(std::string_view bankText, std::string& msbText, std::string& lsbText);

/// The file name "Save Insfile" proposes for a script path: the script's own extension replaced by ".ins"
/// (".ins" appended when the file name has none); folders are never cut. The name is cut and kept clear of
/// Windows device names as fittedFileName does.
std::string DefaultDefinitionFileName(std::string_view scriptPath);

} // namespace quorvix
