#pragma once

// What Rosegarden refuses, drops or reads otherwise in a device file.

#include "base/Diagnostic.h"

#include <string_view>

namespace quorvix {

/// Puts into `problems`, each at its line, what Rosegarden makes of the device file (gzip-compressed or
/// not) otherwise than it says: a file it refuses (not well-formed XML, a format version above 1, a device
/// outside <studio>, without id or of an unknown type, a control outside <controls>), programs it refuses as
/// duplicates, key mappings without keys and keys without number or name it drops, bank bytes and
/// program ids beyond 127, a program's key mapping the device does not hold.
void checkForRosegarden(std::string_view bytes, Diagnostics& problems);

} // namespace quorvix
