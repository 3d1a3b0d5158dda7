// The monotonic time behind the #H code of log lines.
#pragma once

namespace Nimbel::internal {

/// Seconds elapsed since the first call of this function in the process (0 for
/// that first call). Monotonic, and held in a double, which keeps
/// milliseconds exact for centuries of uptime.
[[nodiscard]] double SecondsSinceFirstElapsedReading() noexcept;

}  // namespace Nimbel::internal
