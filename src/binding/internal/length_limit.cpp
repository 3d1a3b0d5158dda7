// The container length error of collections and structures.
#include "binding/internal/length_limit.h"

#include <stdexcept>

namespace Nimbel::internal {
namespace {

[[noreturn]] void ThrowLengthError() {
    throw std::length_error("BindingProperty: more than 268435455 elements or members");
}

}  // namespace

void RequireCountWithinLimit(size_t count) {
    if (count > kMaxNodeCount) ThrowLengthError();
}

void RequireIndexWithinLimit(size_t index) {
    // Not `index + 1 > kMaxNodeCount`: for SIZE_MAX that sum wraps to 0.
    if (index >= kMaxNodeCount) ThrowLengthError();
}

}  // namespace Nimbel::internal
