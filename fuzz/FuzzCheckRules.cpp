// Arbitrary bytes through the rules of every program (check --for PROGRAM on a file of its format): no
// rule crashes or reads out of bounds, every problem says something, and a problem's line lies within the
// input (or within what gzip-compressed input unpacks to).

#include "FuzzCheck.h"
#include "base/Gzip.h"
#include "formats/FormatTable.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quorvix;
    using quorvix::fuzz::check;
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    // LF, CR LF and a lone CR each end a line; every line of the input is at most one of each.
    const auto lines = static_cast<std::uint32_t>(std::count(bytes.begin(), bytes.end(), '\n') +
                                                  std::count(bytes.begin(), bytes.end(), '\r') + 1);
    for (const FormatRow& row : formatTable()) {
        check(row.program.empty() == (row.check == nullptr));
        if (row.check == nullptr)
            continue;
        Diagnostics problems;
        row.check(bytes, problems);
        for (const Diagnostic& problem : problems.list()) {
            check(!problem.message.empty());
            check(isGzip(bytes) || problem.at.line <= lines);
        }
    }
    return 0;
}
