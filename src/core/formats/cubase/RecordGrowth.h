#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>

namespace quorvix {

/// The capacity a record list grows to when it is full: at least the list's fixed step, and an eighth of the
/// current capacity once that is larger, so that filling a list stays linear. Saturates at the int32 range.
inline std::int32_t grownCapacity(std::int32_t capacity, std::int32_t growthStep)
{
    const std::int32_t step = std::max(growthStep, capacity / 8);
    return capacity > std::numeric_limits<std::int32_t>::max() - step
               ? std::numeric_limits<std::int32_t>::max()
               : capacity + step;
}

} // namespace quorvix
