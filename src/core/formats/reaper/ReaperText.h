#pragma once

// Text helpers of the REAPER bank file reader and the REAPER writers: fields and one-line names.

#include "base/Encoding.h"
#include "base/Text.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quorvix {

/// The text up to its first space or tab; `rest` receives what follows, without the blanks before it.
std::string_view firstField(std::string_view text, std::string_view& rest);

/// A name as one line of UTF-8 text: converted from `encoding`, line breaks (also U+2028 and U+2029), tabs
/// and other control characters made spaces, a byte that is not valid UTF-8 made U+FFFD, and spaces at
/// either end removed.
std::string oneLine(std::string_view name, TextEncoding encoding);
/// Same, appended to `out`.
void appendOneLine(std::string& out, std::string_view name, TextEncoding encoding);

} // namespace quorvix
