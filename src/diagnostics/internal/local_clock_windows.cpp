#include <windows.h>

#include "diagnostics/internal/local_clock.h"

namespace Nimbel::internal {

// GetLocalTime applies the system's time zone itself and cannot fail.
LocalTime ReadLocalClock() noexcept {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return LocalTime{now.wYear,   now.wMonth,  now.wDay,         now.wHour,
                     now.wMinute, now.wSecond, now.wMilliseconds};
}

}  // namespace Nimbel::internal
