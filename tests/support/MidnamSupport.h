#pragma once

// Helpers of the MIDNAM tests: what an instrument holds, as text to compare, and the check of written
// documents against the DTD kept with the shared corpus, with xmllint.

#include "model/Instrument.h"

#include <filesystem>
#include <string>
#include <vector>

namespace quorvix::test {

/// An instrument as lines of text: its name, device and method, then per bank its name, the select
/// (msb lsb program, "-" for unsent), number, patch list index and patches ("program:name", "{notes}" after a
/// patch with its own note list), then its controller lists and the note lists it uses.
std::string describeInstrument(const InstrumentSet& set, const Instrument& instrument);

/// What an instrument names, independent of how it is laid out in lists: one sorted line per patch (select,
/// program, name), per note name of the instrument and of each patch with its own list, and per control name.
std::vector<std::string> namesOf(const InstrumentSet& set, const Instrument& instrument);

/// Why documents cannot be checked here (xmllint not installed, or no corpus DTD); empty when they can.
std::string midnamDtdMissing();

/// Runs `xmllint --noout --nonet --dtdvalid DTD FILE…` once over the files: empty when every one is valid,
/// else xmllint's complaints (its warning that it may not fetch the DOCTYPE's network address left out).
std::string midnamDtdErrors(const std::vector<std::filesystem::path>& files);

/// The same for documents in memory, written to a temporary folder first.
std::string midnamDtdErrors(const std::vector<std::string>& documents);

} // namespace quorvix::test

/// Skips the current test, with the reason, when written MIDNAM documents cannot be checked against the DTD.
#define QUORVIX_REQUIRE_MIDNAM_DTD()                                                                         \
    do {                                                                                                     \
        if (const std::string missing = ::quorvix::test::midnamDtdMissing(); !missing.empty()) {             \
            GTEST_SKIP() << missing;                                                                         \
        }                                                                                                    \
    } while (false)
