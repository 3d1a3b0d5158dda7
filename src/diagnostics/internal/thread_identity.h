// The operating system's identifier of the calling thread, as log lines and
// trace events show it.
#pragma once

#include <cstdint>

namespace Nimbel::internal {

/// The kernel's id of the calling thread, the one the system's tools show
/// (ps and gdb on Linux, the debugger and Process Explorer on Windows); 32
/// bits on both.
[[nodiscard]] uint32_t CurrentThreadId() noexcept;

}  // namespace Nimbel::internal
