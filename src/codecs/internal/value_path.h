// Where a node sits in a tree, as the steps that lead to it from the root.
//
// References into a tree move when a sibling is inserted or a collection
// grows, so a node that must be found again later (an anchored YAML node) is
// remembered by its path and looked up afresh. Paths are chains of links from
// the node back to the root, shared by every path that passes through the
// same node: remembering the path of a deep node costs one link, not a copy of
// every step above it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "binding/binding_property.h"

namespace Nimbel::internal {

/// One step from a node to a child: an element by index or a member by name.
struct PathStep {
    enum class Kind : uint8_t { Element, Member };

    Kind kind = Kind::Element;
    size_t index = 0;  ///< the element's index (Element steps)
    std::string name;  ///< the member's name (Member steps)
};

struct PathLink;

/// A path from the root; null names the root itself. Immutable once made, so
/// it can be shared freely.
using ValuePath = std::shared_ptr<const PathLink>;

/// The last step of a path and the path to the node it starts from.
struct PathLink {
    ValuePath parent;
    PathStep step;
};

/// The path one `step` below `parent`. Throws std::bad_alloc.
[[nodiscard]] ValuePath ExtendPath(ValuePath parent, PathStep step);

/// The node at `path` below `root`. A step that finds nothing (the tree has
/// changed since the path was taken) gives the shared empty value. The result
/// is valid as BindingProperty's references are: until the tree changes.
/// Throws std::bad_alloc.
[[nodiscard]] const BindingProperty& FindByPath(const BindingProperty& root, const ValuePath& path);

}  // namespace Nimbel::internal
