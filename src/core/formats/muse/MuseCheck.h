#pragma once

// What MusE ignores or reads otherwise in an instrument definition file.

#include "base/Diagnostic.h"

#include <string_view>

namespace quorvix {

/// Puts into `problems`, each at its line, what MusE makes of the file otherwise than it says: no <muse>
/// element, an instrument without a name or with the name of an earlier one (MusE keeps the first), bank
/// and program numbers it keeps in a signed byte, patches it finds under an earlier one of the same numbers,
/// drum-map program ranges of which it takes the first program, controller types it does not know,
/// numeric character references, which it drops, and attribute values in single quotes, which it does not
/// read.
void checkForMuse(std::string_view bytes, Diagnostics& problems);

} // namespace quorvix
