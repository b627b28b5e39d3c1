#pragma once

// Reading Rosegarden device files (.rgd): gzip-compressed XML, or the same XML uncompressed, as Rosegarden
// reads both.

#include "model/ReadResult.h"

#include <string>
#include <string_view>

namespace quorvix {

/// True when the bytes (gzip-compressed or not) are XML whose root element is <rosegarden-data>.
bool looksLikeRosegarden(std::string_view bytes);

/// Reads every MIDI device of the file that has banks, key mappings or controls as one instrument named
/// after the device ("Device N", the N-th device of the file, for an unnamed one, as Rosegarden names it): a
/// patch list per bank (programs by id; banks of one MSB, LSB and percussion flag are one bank, as in
/// Rosegarden), key mappings as note lists (a program's `keymapping`, else for a percussion bank the device's
/// first one, as Rosegarden plays it), controller names from <controls>. The device's `bankselecttype` gives
/// the bank-select method: 0 CC0 + CC32, 1 a program change of the LSB 100-127 (the MSB is not sent); 2
/// (CC31) has no place in the model and is read as CC0 + CC32, with a warning. What is left out is warned
/// about: audio and soft-synth devices, program ids above 127, pitch bend and other controls that are no
/// controller, a `keymapping` naming none of the device. XML that is not well-formed fails at its line and
/// column.
ReadResult readRosegarden(std::string bytes, std::string_view fileStem = {});

} // namespace quorvix
