// The container length error of collections and structures.
#include "binding/internal/length_limit.h"

#include <stdexcept>

namespace Nimbel::internal {

void RequireCountWithinLimit(size_t count) {
    if (count > kMaxNodeCount) {
        throw std::length_error("BindingProperty: more than 268435455 elements or members");
    }
}

}  // namespace Nimbel::internal
