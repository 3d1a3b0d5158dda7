#include <chrono>

#include "diagnostics/internal/elapsed_clock.h"

namespace Nimbel::internal {

double SecondsSinceFirstElapsedReading() noexcept {
    using Clock = std::chrono::steady_clock;
    static const Clock::time_point origin = Clock::now();
    return std::chrono::duration<double>(Clock::now() - origin).count();
}

}  // namespace Nimbel::internal
