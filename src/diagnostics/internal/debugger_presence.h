// Whether a debugger (any tracer) is attached to the process; the debugger
// log target writes only while one is.
#pragma once

namespace Nimbel::internal {

/// True when the text of /proc/self/status names a non-zero TracerPid. A text
/// without that field, or null, shows no tracer.
[[nodiscard]] bool StatusShowsTracer(const char* statusText) noexcept;

/// Reads /proc/self/status now; false when it cannot be read.
[[nodiscard]] bool IsDebuggerAttached() noexcept;

}  // namespace Nimbel::internal
