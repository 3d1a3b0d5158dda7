// Paths as shared chains of links, walked from the root with the read-only
// accessors, which never fail.
#include "codecs/internal/value_path.h"

#include <string_view>
#include <utility>
#include <vector>

namespace Nimbel::internal {

ValuePath ExtendPath(ValuePath parent, PathStep step) {
    return std::make_shared<const PathLink>(PathLink{std::move(parent), std::move(step)});
}

const BindingProperty& FindByPath(const BindingProperty& root, const ValuePath& path) {
    // The links run from the node up; the walk runs from the root down.
    std::vector<const PathStep*> steps;
    for (const PathLink* link = path.get(); link != nullptr; link = link->parent.get()) {
        steps.push_back(&link->step);
    }
    const BindingProperty* node = &root;
    for (auto step = steps.rbegin(); step != steps.rend(); ++step) {
        node = (*step)->kind == PathStep::Kind::Element ? &(*node)[(*step)->index]
                                                        : &(*node)[std::string_view((*step)->name)];
    }
    return *node;
}

}  // namespace Nimbel::internal
