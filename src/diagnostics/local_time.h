// A moment of local wall-clock time as log lines show it, and its text.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Nimbel {

/// Local calendar time; month 1 to 12, day 1 to 31, millisecond 0 to 999.
struct LocalTime {
    int32_t year = 0;
    int32_t month = 0;
    int32_t day = 0;
    int32_t hour = 0;
    int32_t minute = 0;
    int32_t second = 0;
    int32_t millisecond = 0;
};

/// Writes "%04d-%02d-%02dT%02d:%02d:%02d.%03d", cut to fit `capacity` with
/// its NUL. Returns the number of characters written, not counting the NUL.
size_t FormatTime(char* buffer, size_t capacity, const LocalTime& time) noexcept;

}  // namespace Nimbel
