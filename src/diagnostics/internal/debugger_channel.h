// Where the debugger log target's lines go: the platform's channel to a
// debugger, one file per platform.
#pragma once

#include <cstdio>

namespace Nimbel::internal {

/// Whether the debugger channel takes lines now. On Linux, which has no such
/// channel, while a tracer is attached (debugger_presence.h); on Windows
/// always, since OutputDebugStringA reaches an attached debugger or a
/// system-wide monitor by itself and drops the line when neither listens.
[[nodiscard]] bool DebuggerChannelOpen() noexcept;

/// Hands one formatted line to the debugger. On Linux it is written to
/// `stream`. On Windows it goes to OutputDebugStringA while `stream` is
/// standard error, the target's own, and to `stream` once a host or a test
/// has redirected the target.
void WriteToDebugger(std::FILE* stream, const char* line) noexcept;

}  // namespace Nimbel::internal
