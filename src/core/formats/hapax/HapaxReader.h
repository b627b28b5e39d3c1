#pragma once

// Reader of Squarp Hapax instrument definitions (see HapaxSyntax.h for the file). A definition is one
// instrument:
// - named by TRACKNAME, or by the file's stem when it is NULL or missing;
// - [PC] lines: one bank per MSB and LSB (NULL: that byte is not sent), in the order they first come, with
//   program PC - 1; a PC outside 1 to 128 (real files go up to 255) is kept as far as the model holds
//   programs (up to PC 256), so that writers name it;
// - [DRUMLANES]: the note names of its drum voices (every voice of a DRUM definition, or one whose TYPE is
//   NULL or missing); lanes of a POLY or MPE definition, which the Hapax ignores, are kept as a note list no
//   patch uses;
// - [CC] as controller names; [CC_PAIR] as 14-bit controllers when the pairs are n and n + 32 and no [CC]
//   line is given, else as the controller of their MSB; [NRPN] as NRPN names (MSB * 128 + LSB).
// Every line the Hapax would refuse is named in a warning with its line, and read when its meaning is plain
// (a PC above 128, a name with a character the device does not take); what no other format holds (the track
// settings, defaults, [ASSIGN], [AUTOMATION], [COMMENT]) is named in one warning.

#include "model/ReadResult.h"

#include <string>
#include <string_view>

namespace quorvix {

/// True when the bytes read as a Hapax definition (hapax::looksLikeDefinition).
bool looksLikeHapax(std::string_view head);

/// Reads a Hapax instrument definition; `fileStem` (UTF-8) names it when TRACKNAME does not. Names are bytes
/// of the source: UTF-8 when the file is valid UTF-8 (a byte-order mark skipped), else Windows-1252. Fails
/// for a file with a NUL byte, one larger than 2 GiB, and one with no directive or section line.
ReadResult readHapax(std::string bytes, std::string_view fileStem);

} // namespace quorvix
