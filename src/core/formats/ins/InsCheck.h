#pragma once

// What Cakewalk skips or cannot resolve in an instrument definition file.

#include "base/Diagnostic.h"

#include <string_view>

namespace quorvix {

/// Puts into `problems`, each at its line, what Cakewalk skips in the file or cannot resolve: a Patch[],
/// Key[], Control, RPN or NRPN line naming no list of its section, a BasedOn naming no list or closing a
/// cycle, banks, programs and notes out of range, lines outside any section; a file without any section
/// is one problem.
void checkForCakewalk(std::string_view bytes, Diagnostics& problems);

} // namespace quorvix
