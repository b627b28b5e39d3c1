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

/// How many of a file's first bytes detectFormat() looks at, but for a MIDNAM document's prolog.
inline constexpr std::size_t kDetectionBytes = std::size_t{64} << 10;

/// The format of a file from its bytes: a MIDNAM document (XML whose first element, past a prolog of any
/// length, is MIDINameDocument; UTF-16 and UTF-32 too), an instrument definition file (a section line such as
/// ".Patch Names"), a Cubase patchname script ("[cubase parse file]" first, or an entry line), a REAPER bank
/// file ("Bank MSB LSB name" lines), tried in this order. Only MIDNAM looks past the first kDetectionBytes.
FileFormat detectFormat(std::string_view bytes);

/// True when detectFormat() may tell more from more than the first `head` bytes of a longer file: they end
/// inside an XML prolog.
bool detectionNeedsMore(std::string_view head);

/// "instrument definition file", "Cubase patchname script", "MIDNAM document", "REAPER bank file".
std::string_view formatName(FileFormat format);

/// Why no reader takes the bytes of a file of no known format: "is empty", or "is none of the files
/// Quorvix reads: ..." naming the four formats.
std::string unknownFormatReason(std::string_view bytes);

/// Reads the bytes as the format. `fileStem` (the file's name without folder and extension) names an
/// instrument when the file names none. Unknown fails with a message naming the formats Quorvix reads.
ReadResult readInstruments(std::string bytes, FileFormat format, std::string_view fileStem);

} // namespace quorvix
