// The operating system's identifier of the calling thread, as log lines and
// trace events show it.
#pragma once

#include <cstdint>

namespace Nimbel::internal {

/// The kernel's id of the calling thread (the one tools such as ps and gdb
/// show), which fits 32 bits on Linux.
[[nodiscard]] uint32_t CurrentThreadId() noexcept;

}  // namespace Nimbel::internal
