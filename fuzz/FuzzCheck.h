// The fuzz targets' one assertion: a property that fails names its line before aborting, so that a finding
// in a CI log says which property broke.

#pragma once

#include <cstdio>
#include <cstdlib>
#include <source_location>

namespace quorvix::fuzz {

inline void check(bool condition, std::source_location where = std::source_location::current())
{
    if (condition)
        return;
    std::fprintf(stderr, "%s:%u: fuzz property failed\n", where.file_name(),
                 static_cast<unsigned>(where.line()));
    std::abort();
}

} // namespace quorvix::fuzz
