#pragma once

// What Cubase refuses, ignores or shows otherwise in a patchname script.

#include "base/Diagnostic.h"

#include <string_view>

namespace quorvix {

/// Puts into `problems`, each at its line, what Cubase makes of the script otherwise than it says: a
/// header not in its order, entries before "[define patchnames]" or after "[end]", a missing "[end]",
/// groups and entries at a menu level with no menu above them, entries that no message sends (a program
/// outside 0 to 127, an MSB or LSB outside -1 to 127, not three numbers), empty names, names holding
/// U+FFFD, and lines that are no command Cubase knows.
void checkForCubase(std::string_view bytes, Diagnostics& problems);

} // namespace quorvix
