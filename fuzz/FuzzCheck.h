// The fuzz targets' one assertion: a property that fails names its line before aborting, so that a finding
// in a CI log says which property broke.

#pragma once

#include "model/ReadResult.h"

#include <cstdio>
#include <cstdlib>

namespace quorvix::fuzz {

// __builtin_FILE and __builtin_LINE rather than std::source_location: clang 14 with libstdc++ 12, the
// fuzzing toolchain of Debian 12, has no std::source_location.
inline void check(bool condition, const char* file = __builtin_FILE(), int line = __builtin_LINE())
{
    if (condition)
        return;
    std::fprintf(stderr, "%s:%d: fuzz property failed\n", file, line);
    std::abort();
}

/// A read either fails with a message or gives instruments whose banks, programs and note lists all lie
/// within the set.
inline void checkRead(const ReadResult& read)
{
    if (!read) {
        check(!read.error->message.empty());
        return;
    }
    const InstrumentSet& set = read.set;
    for (const Instrument& instrument : set.instruments)
        for (const Bank& bank : instrument.banks) {
            const PatchList* list = set.patchListOf(bank);
            check(list != nullptr);
            for (const Patch& patch : list->patches) {
                check(patch.program >= 0 && patch.program <= 127);
                check(patch.noteList == kNoList ||
                      static_cast<std::size_t>(patch.noteList) < set.noteLists.size());
            }
        }
}

} // namespace quorvix::fuzz
