#include "base/TimeStamp.h"

#include "base/Platform.h"

#include <cstdio>

namespace quorvix {

std::time_t systemNow()
{
    return std::time(nullptr);
}

TimeStamp localTimeStamp(std::time_t moment)
{
    const std::tm parts = platform::localTime(moment);
    char date[48];
    char time[48];
    std::snprintf(date, sizeof date, "%02d/%02d/%02d", parts.tm_mon + 1, parts.tm_mday,
                  (parts.tm_year % 100 + 100) % 100);
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", parts.tm_hour, parts.tm_min, parts.tm_sec);
    return {date, time};
}

} // namespace quorvix
