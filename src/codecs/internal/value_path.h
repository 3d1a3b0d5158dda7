// Where a node sits in a tree, as the steps that lead to it from the root.
//
// References into a tree move when a sibling is inserted or a collection
// grows, so a node that must be found again later (an anchored YAML node) is
// remembered by its path and looked up afresh.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <vector>

#include "binding/binding_property.h"

namespace Nimbel::internal {

/// One step from a node to a child: an element by index or a member by name.
struct PathStep {
    enum class Kind : uint8_t { Element, Member };

    Kind kind = Kind::Element;
    size_t index = 0;  ///< the element's index (Element steps)
    std::string name;  ///< the member's name (Member steps)
};

/// Steps from the root; the empty path names the root itself.
using ValuePath = std::vector<PathStep>;

/// The node at `path` below `root`. A step that finds nothing (the tree has
/// changed since the path was taken) gives the shared empty value. The result
/// is valid as BindingProperty's references are: until the tree changes.
[[nodiscard]] const BindingProperty& FindByPath(const BindingProperty& root,
                                                std::span<const PathStep> path) noexcept;

}  // namespace Nimbel::internal
