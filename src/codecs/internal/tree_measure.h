// The size and depth of a tree, measured without recursion and with a cap, so
// that a reader can refuse to copy a tree before paying for the copy.
#pragma once

#include <cstddef>

#include "binding/binding_property.h"

namespace Nimbel::internal {

struct TreeMeasure {
    size_t nodes = 0;  ///< values in the tree, the root included
    size_t depth = 0;  ///< collections and structures on the deepest chain (0 for a scalar)
};

/// Counts the nodes of `root` and its depth. The walk stops as soon as more
/// than `nodeLimit` nodes were counted: `nodes` is then above nodeLimit and
/// `depth` covers only what was walked. Time and memory stay within
/// O(min(nodes, nodeLimit)).
[[nodiscard]] TreeMeasure MeasureTree(const BindingProperty& root, size_t nodeLimit);

}  // namespace Nimbel::internal
