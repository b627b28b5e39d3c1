#pragma once

// The formats Quorvix reads, told apart by content, whatever a file's name says.

#include "base/Gzip.h"
#include "formats/FormatTable.h"
#include "model/ReadResult.h"

#include <string>
#include <string_view>

namespace quorvix {

/// How many of a file's first bytes detectFormat() looks at, but for a MIDNAM document's prolog.
inline constexpr std::size_t kDetectionBytes = std::size_t{64} << 10;

/// The format of a file from its bytes: the first row of the format table that recognises them, rows that
/// look past the first kDetectionBytes (a MIDNAM document's prolog may be of any length) tried first.
FileFormat detectFormat(std::string_view bytes);

/// True when detectFormat() may tell more from more than the first `head` bytes of a longer file (they end
/// inside an XML prolog, say).
bool detectionNeedsMore(std::string_view head);

/// Why no reader takes the bytes of a file of no known format: "is empty", or "is none of the files
/// Quorvix reads: ..." naming every format of the table.
std::string unknownFormatReason(std::string_view bytes);

/// Reads the bytes as the format. `fileStem` (the file's name without folder and extension) names an
/// instrument when the file names none. Unknown fails with a message naming the formats Quorvix reads.
/// The bytes as the format's reader takes them: gzip-compressed bytes unpacked (within the input size limit),
/// unless the format reads them so.
Unpacked asReaderTakes(FileFormat format, std::string bytes);

ReadResult readInstruments(std::string bytes, FileFormat format, std::string_view fileStem);

} // namespace quorvix
