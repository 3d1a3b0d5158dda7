// Invariants that every reader's result must meet, checked by the fuzz
// targets: the failure form and the nesting limit.
// A broken invariant aborts, which is how a fuzz target reports a fault.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "binding/binding_status.h"

namespace Nimbel::fuzzing {

[[noreturn]] inline void Broken(const char* invariant) {
    std::fprintf(stderr, "broken invariant: %s\n", invariant);
    std::abort();
}

inline void Require(bool holds, const char* invariant) {
    if (!holds) Broken(invariant);
}

/// A failed status holds exactly one member, "error", a non-empty string.
inline void RequireFailureForm(const BindingStatus& status) {
    const BindingProperty& value = status.Value();
    Require(value.Kind() == BindingPropertyKind::Structure && value.Size() == 1,
            "a failure holds one member");
    Require(!status.ErrorMessage().empty(), "a failure has a message");
}

/// Collections and structures on the deepest chain, walked without recursion.
[[nodiscard]] inline size_t NestingDepth(const BindingProperty& root) {
    size_t deepest = 0;
    std::vector<std::pair<const BindingProperty*, size_t>> pending{{&root, 0}};
    while (!pending.empty()) {
        const auto [node, above] = pending.back();
        pending.pop_back();
        const bool container = node->Kind() == BindingPropertyKind::Collection ||
                               node->Kind() == BindingPropertyKind::Structure;
        if (!container) continue;
        if (above + 1 > deepest) deepest = above + 1;
        for (const BindingProperty& element : node->Elements())
            pending.emplace_back(&element, above + 1);
        for (const BindingMember& member : node->Members()) {
            pending.emplace_back(&member.Value(), above + 1);
        }
    }
    return deepest;
}

}  // namespace Nimbel::fuzzing
