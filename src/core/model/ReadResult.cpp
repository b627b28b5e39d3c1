#include "model/ReadResult.h"

#include "base/Encoding.h"
#include "base/LineCursor.h"

#include <cstdint>
#include <limits>

namespace quorvix {

bool beginTextRead(ReadResult& result, std::string bytes, std::string_view what)
{
    if (bytes.size() > std::numeric_limits<std::uint32_t>::max() / 2) {
        result.fail({}, "is larger than 2 GiB, too large for " + std::string(what));
        return false;
    }
    if (const std::size_t nul = bytes.find('\0'); nul != std::string::npos) {
        result.fail({lineNumberAt(bytes, nul), 0},
                    "holds a NUL byte: this is binary data, not " + std::string(what));
        return false;
    }
    const TextEncoding encoding = guessEncoding(bytes);
    result.set = InstrumentSet(std::move(bytes), encoding);
    return true;
}

} // namespace quorvix
