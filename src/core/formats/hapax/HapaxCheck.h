#pragma once

// What a Squarp Hapax refuses or ignores in an instrument definition.

#include "base/Diagnostic.h"

#include <string_view>

namespace quorvix {

/// Puts into `problems`, each at its line, what the Hapax makes of the definition: the first line it
/// refuses, where it shows "syntax error line N" and loads nothing of the file, then every other line it
/// would refuse once that one is mended; lines older firmware refuses, more [PC] lines than Squarp
/// documents, drum lanes a track of its type ignores.
void checkForHapax(std::string_view bytes, Diagnostics& problems);

} // namespace quorvix
