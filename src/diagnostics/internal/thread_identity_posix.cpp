#include <unistd.h>

#include "diagnostics/internal/thread_identity.h"

namespace Nimbel::internal {

uint32_t CurrentThreadId() noexcept {
    return static_cast<uint32_t>(gettid());
}

}  // namespace Nimbel::internal
