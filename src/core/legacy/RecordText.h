#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

namespace quorvix {

/// The text of a fixed-size, NUL-terminated record field; a field without a NUL is taken whole.
template <std::size_t N>
std::string_view recordText(const char (&field)[N])
{
    return std::string_view(field, static_cast<std::size_t>(std::find(field, field + N, '\0') - field));
}

} // namespace quorvix
