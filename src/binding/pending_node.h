// A node read but not yet placed in its container.
#pragma once

#include "binding/binding_property.h"
#include "binding/interned_string.h"

namespace Nimbel::internal {

/// An element (no name) or a member (its interned name, one reference held)
/// waiting on a tree builder's stack for its container to close. Its value is
/// a node of the tree's arena; it moves bit for bit, like every node.
struct PendingNode {
    const InternedString* name;
    BindingProperty value;
};

}  // namespace Nimbel::internal
