#include "formats/FormatCheck.h"

#include "base/Text.h"

#include <algorithm>
#include <string>

namespace quorvix {

namespace {

/// The name the written file would have, for messages.
std::string writtenName(const FormatRow& target, const InstrumentSet& set, std::size_t index,
                        std::size_t part, std::size_t parts)
{
    std::string stem = partFileStem(target.writer.fileStem(set, index), part, parts);
    return inQuotes(stem + std::string(target.extensions.front()));
}

} // namespace

void checkWritten(const FormatRow& target, const InstrumentSet& set, WriteSettings settings,
                  Diagnostics& problems)
{
    if (target.writer.write == nullptr || target.check == nullptr)
        return;
    const std::string prefix = "written for " + std::string(target.programName) + ": ";
    for (std::size_t index = 0; index < set.instruments.size(); ++index) {
        if (target.writer.fileOf(set, index) != index)
            continue;
        const std::size_t parts = std::max<std::size_t>(target.writer.parts(set, index), 1);
        for (std::size_t part = 0; part < parts; ++part) {
            // A file that names nothing has been warned about already (by the writer itself when it
            // says so): what the program makes of such a file says nothing new.
            Diagnostics warnings;
            Diagnostics empty;
            warnWhenEmpty(target, set, index, empty);
            if (part == 0 && !target.writer.saysWhenEmpty)
                warnWhenEmpty(target, set, index, warnings);
            StringSink written;
            settings.part = part;
            target.writer.write(set, index, settings, written, warnings);
            for (const Diagnostic& warning : warnings.list())
                problems.warn(SourcePos{}, prefix + warning.message);
            if (!empty.empty())
                continue;
            Diagnostics found;
            target.check(written.text, found);
            const std::string name = writtenName(target, set, index, part, parts);
            for (const Diagnostic& problem : found.list())
                problems.warn(
                    SourcePos{},
                    prefix + "Quorvix's own " + name +
                        (problem.at.line > 0 ? " line " + std::to_string(problem.at.line) : std::string()) +
                        ": " + problem.message);
        }
    }
}

} // namespace quorvix
