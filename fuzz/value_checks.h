// Invariants that every reader's result must meet, checked by the fuzz
// targets: the failure form, the nesting limit, and equality of two results.
// A broken invariant aborts, which is how a fuzz target reports a fault.
#pragma once

#include <bit>
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

/// Same kinds, payloads, element orders and member names all the way down
/// (floats bit for bit, so NaN equals NaN). Recursive: for trees within the
/// readers' nesting limit.
[[nodiscard]] inline bool SameValue(const BindingProperty& left, const BindingProperty& right) {
    if (left.Kind() != right.Kind()) return false;
    switch (left.Kind()) {
        case BindingPropertyKind::Empty:
            return true;
        case BindingPropertyKind::Bool:
            return left.GetBool() == right.GetBool();
        case BindingPropertyKind::Signed:
            return left.GetSigned() == right.GetSigned();
        case BindingPropertyKind::Unsigned:
            return left.GetUnsigned() == right.GetUnsigned();
        case BindingPropertyKind::Float:
            return std::bit_cast<uint64_t>(left.GetDouble()) ==
                   std::bit_cast<uint64_t>(right.GetDouble());
        case BindingPropertyKind::String:
            return left.GetString() == right.GetString();
        case BindingPropertyKind::Blob:
            return left.GetBytes() == right.GetBytes();
        case BindingPropertyKind::Enum:
            return left.GetEnum() == right.GetEnum();
        case BindingPropertyKind::Collection: {
            if (left.Size() != right.Size()) return false;
            for (size_t i = 0; i < left.Size(); ++i) {
                if (!SameValue(left.Elements()[i], right.Elements()[i])) return false;
            }
            return true;
        }
        case BindingPropertyKind::Structure: {
            if (left.Size() != right.Size()) return false;
            for (size_t i = 0; i < left.Size(); ++i) {
                const BindingMember& a = left.Members()[i];
                const BindingMember& b = right.Members()[i];
                if (a.Name() != b.Name() || !SameValue(a.Value(), b.Value())) return false;
            }
            return true;
        }
    }
    return false;
}

}  // namespace Nimbel::fuzzing
