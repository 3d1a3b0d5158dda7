// The logger's lock, shared with the log targets: attaching and detaching a
// target change its attached flag and the logger's list in one step under it.
#pragma once

#include <mutex>

namespace Nimbel::internal {

/// The process-wide lock that guards the logger's existence, settings, target
/// list and dispatch. It is re-entrant so that the last release can detach
/// each target through the target's own Detach, which takes it again. It
/// outlives every logger: it is never constructed or destroyed at run time.
[[nodiscard]] std::recursive_mutex& LoggerMutex() noexcept;

}  // namespace Nimbel::internal
