#pragma once

#include "base/Diagnostic.h"
#include "model/Instrument.h"

#include <optional>

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

} // namespace quorvix
