// The one limit on the number of elements or members of a value.
#pragma once

#include <cstddef>

namespace Nimbel::internal {

/// 2 to the 28th, minus 1.
inline constexpr size_t kMaxNodeCount = (size_t{1} << 28) - 1;

/// Throws std::length_error when `count` nodes would pass kMaxNodeCount.
void RequireCountWithinLimit(size_t count);

}  // namespace Nimbel::internal
