// Reads the local wall-clock time for log entries.
#pragma once

#include "diagnostics/local_time.h"

namespace Nimbel::internal {

/// The current local time, to the millisecond. When the clock or the time
/// zone cannot be read, every field is 0.
[[nodiscard]] LocalTime ReadLocalClock() noexcept;

}  // namespace Nimbel::internal
