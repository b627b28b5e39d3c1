#pragma once

// The formats Quorvix reads, told apart by content, whatever a file's name says.

#include "model/ReadResult.h"

#include <string>
#include <string_view>

namespace quorvix {

enum class FileFormat
{
    Unknown,
    Ins,          ///< a Cakewalk instrument definition file
    CubaseScript, ///< a Cubase patchname script
    Midnam,       ///< a MIDNAM document
    Reabank,      ///< a REAPER bank file
};

/// How many of a file's first bytes detectFormat() looks at.
inline constexpr std::size_t kDetectionBytes = std::size_t{64} << 10;

/// The format of a file from its first bytes: a MIDNAM document (XML whose root element is
/// MIDINameDocument), an instrument definition file (a section line such as ".Patch Names"), a Cubase
/// patchname script ("[cubase parse file]" first, or an entry line), a REAPER bank file ("Bank MSB LSB name"
/// lines), tried in this order.
FileFormat detectFormat(std::string_view bytes);

/// "instrument definition file", "Cubase patchname script", "MIDNAM document", "REAPER bank file".
std::string_view formatName(FileFormat format);

/// Reads the bytes as the format. `fileStem` (the file's name without folder and extension) names an
/// instrument when the file names none. Unknown fails with a message naming the formats Quorvix reads.
ReadResult readInstruments(std::string bytes, FileFormat format, std::string_view fileStem);

} // namespace quorvix
