#pragma once

#include <ctime>
#include <functional>
#include <string>

namespace quorvix {

/// The local date and time that generated files carry in their comment lines.
struct TimeStamp
{
    std::string date; ///< MM/DD/YY
    std::string time; ///< HH:MM:SS, 24-hour clock
};

/// Source of the current moment; tests and reproducible builds inject their own.
using Clock = std::function<std::time_t()>;

/// The system clock.
std::time_t systemNow();

/// The moment in the local time zone, formatted as generated files write it.
TimeStamp localTimeStamp(std::time_t moment);

} // namespace quorvix
