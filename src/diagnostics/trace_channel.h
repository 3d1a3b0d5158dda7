// The trace channel: verbose trace messages that the library composes but
// does not keep. It costs the call site nothing beyond evaluating the
// arguments, and it never reaches the logger or its targets.
#pragma once

namespace Nimbel {

/// Discards the message and its arguments. The format may be a C printf
/// format or a positional one ("%1"); it is never read.
inline void Trace(const char* /*format*/, ...) noexcept {}

}  // namespace Nimbel
