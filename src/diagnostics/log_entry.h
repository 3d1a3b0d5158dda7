// One log message as the logger hands it to its targets.
#pragma once

#include <cstddef>
#include <cstdint>

#include "diagnostics/local_time.h"

namespace Nimbel {

/// Capacity of the buffer a message is expanded into; longer messages are cut
/// to 4095 characters.
inline constexpr size_t kLogMessageCapacity = 4096;
/// Capacity of the buffer a target formats one line into.
inline constexpr size_t kLogLineCapacity = 4096;

/// A dispatched message. The text is borrowed from the logger's dispatch and is
/// valid only during the target's Write; it is never null.
struct LogEntry {
    LocalTime time;
    int32_t level = 0;
    uint64_t groups = 0;
    const char* message = "";
};

}  // namespace Nimbel
