// The deepest nesting of collections and structures that the readers build.
//
// Values are walked, copied and destroyed recursively, so a tree nested
// without bound would exhaust the stack of whichever thread touches it next;
// and documents this deep are never legitimate. The readers refuse a
// container that would open below this depth.
#pragma once

#include <cstddef>

namespace Nimbel::internal {

/// A root collection or structure is at depth 1; at most this many containers
/// are open at once.
inline constexpr size_t kMaxNestingDepth = 1000;

}  // namespace Nimbel::internal
