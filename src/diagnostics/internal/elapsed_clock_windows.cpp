// The performance counter: monotonic, and on every supported Windows
// invariant across processors, with a frequency fixed at boot.
#include <windows.h>

#include <cstdint>

#include "diagnostics/internal/elapsed_clock.h"

namespace Nimbel::internal {
namespace {

int64_t CounterNow() noexcept {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

int64_t CounterFrequency() noexcept {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart > 0 ? frequency.QuadPart : 1;
}

}  // namespace

double SecondsSinceFirstElapsedReading() noexcept {
    static const int64_t frequency = CounterFrequency();
    static const int64_t origin = CounterNow();
    const int64_t ticks = CounterNow() - origin;
    // Whole seconds and the rest apart, so the fraction keeps its precision
    // however long the process has run.
    return static_cast<double>(ticks / frequency) +
           static_cast<double>(ticks % frequency) / static_cast<double>(frequency);
}

}  // namespace Nimbel::internal
