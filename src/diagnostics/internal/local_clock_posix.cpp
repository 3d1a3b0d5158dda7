#include <time.h>

#include "diagnostics/internal/local_clock.h"

namespace Nimbel::internal {

LocalTime ReadLocalClock() noexcept {
    timespec now{};
    if (clock_gettime(CLOCK_REALTIME, &now) != 0) return LocalTime{};
    tm calendar{};
    if (localtime_r(&now.tv_sec, &calendar) == nullptr) return LocalTime{};
    return LocalTime{calendar.tm_year + 1900,
                     calendar.tm_mon + 1,
                     calendar.tm_mday,
                     calendar.tm_hour,
                     calendar.tm_min,
                     calendar.tm_sec,
                     static_cast<int32_t>(now.tv_nsec / 1000000)};
}

}  // namespace Nimbel::internal
