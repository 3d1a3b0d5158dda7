// The one limit on the number of elements or members of a value.
#pragma once

#include <cstddef>

namespace Nimbel::internal {

/// 2 to the 28th, minus 1.
inline constexpr size_t kMaxNodeCount = (size_t{1} << 28) - 1;

/// Throws std::length_error when `count` nodes would pass kMaxNodeCount.
void RequireCountWithinLimit(size_t count);

/// Throws std::length_error when an element at `index` would make more than
/// kMaxNodeCount nodes. Compares the index itself, so no index wraps around.
void RequireIndexWithinLimit(size_t index);

}  // namespace Nimbel::internal
