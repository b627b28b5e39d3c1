#include "formats/reaper/ReabankCheck.h"

#include "formats/reaper/ReabankReader.h"

#include <string>

namespace quorvix {

void checkForReaper(std::string_view bytes, Diagnostics& problems)
{
    // The reader takes the lines REAPER takes and names every one it skips.
    const ReadResult read = readReabank(std::string(bytes), "check");
    if (!read.ok()) {
        problems.warn(SourcePos{read.error->at.line, 0},
                      "REAPER offers no bank of it: " + read.error->message);
        return;
    }
    for (const Diagnostic& warning : read.warnings.list())
        problems.warn(SourcePos{warning.at.line, 0}, warning.message);
    problems.sortByLine();
}

} // namespace quorvix
