// Depth-first count over an explicit stack of pending nodes.
#include "codecs/internal/tree_measure.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace Nimbel::internal {
namespace {

[[nodiscard]] bool IsContainer(const BindingProperty& node) noexcept {
    return node.Kind() == BindingPropertyKind::Collection ||
           node.Kind() == BindingPropertyKind::Structure;
}

}  // namespace

TreeMeasure MeasureTree(const BindingProperty& root, size_t nodeLimit) {
    TreeMeasure measure{1, 0};
    if (measure.nodes > nodeLimit || !IsContainer(root)) return measure;
    // Containers still to open, each with the number of containers above it.
    // Children are counted when their container opens, so a huge collection
    // stops the walk before its elements are pending.
    std::vector<std::pair<const BindingProperty*, size_t>> pending{{&root, 0}};
    while (!pending.empty()) {
        const auto [node, above] = pending.back();
        pending.pop_back();
        measure.depth = std::max(measure.depth, above + 1);
        measure.nodes += node->Size();
        if (measure.nodes > nodeLimit) return measure;
        for (const BindingProperty& element : node->Elements()) {
            if (IsContainer(element)) pending.emplace_back(&element, above + 1);
        }
        for (const BindingMember& member : node->Members()) {
            if (IsContainer(member.Value())) pending.emplace_back(&member.Value(), above + 1);
        }
    }
    return measure;
}

}  // namespace Nimbel::internal
