#pragma once

// What a program gets of a file of another format: what Quorvix writes for it, with what the writer says
// it cannot hold, and what the program's rules find in the written files.

#include "formats/FormatTable.h"

namespace quorvix {

/// Writes every instrument of the set with the target row's writer into memory, as its command writes them
/// (every file and part of it, `settings` as given but for the part), and puts into `problems` each warning
/// of the writer, then each problem the row's check finds in a written file (which names that file and its
/// line, as it is a fault of the writer). Every message starts "written for PROGRAM: ". Nothing for a row
/// without a writer or a check.
void checkWritten(const FormatRow& target, const InstrumentSet& set, WriteSettings settings,
                  Diagnostics& problems);

} // namespace quorvix
