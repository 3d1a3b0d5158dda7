#include <windows.h>

#include "diagnostics/internal/thread_identity.h"

namespace Nimbel::internal {

uint32_t CurrentThreadId() noexcept {
    return GetCurrentThreadId();
}

}  // namespace Nimbel::internal
