// Walking a path down a tree with the read-only accessors, which never fail.
#include "codecs/internal/value_path.h"

namespace Nimbel::internal {

const BindingProperty& FindByPath(const BindingProperty& root,
                                  std::span<const PathStep> path) noexcept {
    const BindingProperty* node = &root;
    for (const PathStep& step : path) {
        node = step.kind == PathStep::Kind::Element ? &(*node)[step.index]
                                                    : &(*node)[std::string_view(step.name)];
    }
    return *node;
}

}  // namespace Nimbel::internal
