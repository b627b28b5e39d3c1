#pragma once

#include "base/Diagnostic.h"
#include "base/Encoding.h"
#include "base/LineCursor.h"
#include "model/Instrument.h"

#include <optional>
#include <string>
#include <string_view>

namespace quorvix {

/// What every reader hands back: the instruments it found, the warnings about what it skipped or could not
/// resolve, and, when the input cannot be read as its format at all, the error (with its place when known).
struct ReadResult
{
    InstrumentSet set;
    Diagnostics warnings;
    std::optional<Diagnostic> error;

    bool ok() const { return !error.has_value(); }
    explicit operator bool() const { return ok(); }

    /// Ends the read with an error at `at`.
    void fail(SourcePos at, std::string message)
    {
        error = Diagnostic{Severity::Error, at, std::move(message)};
    }
};

/// Begins the read of a text file of lines, of the format `what` names ("a REAPER bank file"): fails for
/// one larger than 2 GiB (the set keeps its names below 4 GiB) and for one with a NUL byte, else gives
/// the set the bytes, as UTF-8 when they are valid UTF-8, else as Windows-1252. True when the read goes on.
bool beginTextRead(ReadResult& result, std::string bytes, std::string_view what);

/// Gives `parser.line(number, line)` every line of the set's source (without a byte-order mark), then ends
/// the read with `parser.finish(fileStem)`: when that fails, the set and the warnings are dropped and the
/// error stays; else the warnings are finished.
template <typename Parser>
void readLines(ReadResult& result, Parser& parser, std::string_view fileStem)
{
    LineCursor lines(withoutByteOrderMark(result.set.source()));
    std::string_view line;
    while (lines.next(line))
        parser.line(lines.number(), line);
    if (!parser.finish(fileStem)) {
        result.warnings = Diagnostics{};
        result.set = InstrumentSet{};
        return;
    }
    result.warnings.finish();
}

} // namespace quorvix
