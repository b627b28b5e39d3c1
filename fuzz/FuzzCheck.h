// The fuzz targets' one assertion: a property that fails names its line before aborting, so that a finding
// in a CI log says which property broke.

#pragma once

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

} // namespace quorvix::fuzz
