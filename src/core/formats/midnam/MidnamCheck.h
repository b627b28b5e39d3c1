#pragma once

// What Ardour refuses, ignores or reads otherwise in a MIDNAM document.

#include "base/Diagnostic.h"

#include <string_view>

namespace quorvix {

/// Puts into `problems`, each at its line, what Ardour makes of the document otherwise than it says: the
/// document rejected (no Author, a patch list that is not found, not well-formed XML), lists merged across
/// devices and modes, bank commands and patches it ignores, notes and controls it reads otherwise. A model
/// name is checked against the other names of the document only, not against the files Ardour installs.
void checkForArdour(std::string_view bytes, Diagnostics& problems);

} // namespace quorvix
