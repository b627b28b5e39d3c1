#pragma once

// What Ardour refuses, ignores or reads otherwise in a MIDNAM document.

#include "base/Diagnostic.h"

#include <string_view>

namespace quorvix {

/// Puts into `problems`, each at its line, what Ardour makes of the document otherwise than it says: the
/// document rejected (no Author, a patch list that is not found, not well-formed XML), lists merged across
/// devices and modes, a model named twice or also named by a document Ardour installs, bank commands and
/// patches it ignores, notes and controls it leaves out or reads otherwise.
void checkForArdour(std::string_view bytes, Diagnostics& problems);

} // namespace quorvix
