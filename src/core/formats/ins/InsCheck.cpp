#include "formats/ins/InsCheck.h"

#include "formats/ins/InsReader.h"

#include <string>

namespace quorvix {

void checkForCakewalk(std::string_view bytes, Diagnostics& problems)
{
    // The reader resolves every reference as Cakewalk does and names each line it must skip: what it warns
    // about is what Cakewalk leaves out.
    const ReadResult read = readIns(std::string(bytes));
    if (!read.ok()) {
        problems.warn(read.error->at,
                      "Cakewalk reads no instrument definitions from it: " + read.error->message);
        return;
    }
    for (const Diagnostic& warning : read.warnings.list())
        problems.warn(SourcePos{warning.at.line, 0}, warning.message);
    problems.sortByLine();
}

} // namespace quorvix
