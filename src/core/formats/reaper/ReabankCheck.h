#pragma once

// What REAPER ignores in a bank file.

#include "base/Diagnostic.h"

#include <string_view>

namespace quorvix {

/// Puts into `problems`, each at its line, what REAPER skips in a bank file: lines that are no Bank line,
/// program line or comment, Bank lines whose MSB or LSB is no number from 0 to 127 (with the programs under
/// them), programs outside 0 to 127, without a name, before the first Bank line or given twice; a file
/// without a usable Bank line is one problem.
void checkForReaper(std::string_view bytes, Diagnostics& problems);

} // namespace quorvix
