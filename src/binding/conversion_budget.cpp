// The budget of a conversion: one per thread at a time, found through a
// thread-local pointer so that field converters, whose interface carries no
// budget, share their conversion's.
#include "binding/conversion_budget.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "binding/binding_type_description.h"
#include "binding/conversion_messages.h"

namespace Nimbel::internal {
namespace {

constexpr uint64_t kSaturated = std::numeric_limits<uint64_t>::max();

// Conversions do not wait or yield, so a conversion never meets another's
// budget on its thread.
thread_local ConversionBudgetScope::Budget* t_budget = nullptr;

[[nodiscard]] uint64_t SaturatingAdd(uint64_t a, uint64_t b) noexcept {
    return a > kSaturated - b ? kSaturated : a + b;
}

[[nodiscard]] uint64_t SaturatingMultiply(uint64_t a, uint64_t b) noexcept {
    return b != 0 && a > kSaturated / b ? kSaturated : a * b;
}

// Every node of the tree, the root included. Without recursion, so that it
// costs no stack whatever the depth of a tree built by native code.
[[nodiscard]] uint64_t CountNodes(const BindingProperty& root) {
    uint64_t nodes = 0;
    std::vector<const BindingProperty*> pending{&root};
    while (!pending.empty()) {
        const BindingProperty* node = pending.back();
        pending.pop_back();
        ++nodes;
        for (const BindingProperty& element : node->Elements()) pending.push_back(&element);
        for (const BindingMember& member : node->Members()) pending.push_back(&member.Value());
    }
    return nodes;
}

// Registered records nest by value, so their descriptions form no cycle; the
// depth bound only keeps a malformed registration from recursing without end.
constexpr int kMaxRecordNesting = 64;

[[nodiscard]] uint64_t RecordNodes(const BindingTypeDescription* description,
                                   int nesting) noexcept {
    if (description == nullptr || nesting > kMaxRecordNesting) return 1;
    uint64_t nodes = 1;
    for (const BindingFieldDescription& field : description->fields) {
        const bool record = field.type.kind == BindingTypeKind::Struct && !field.optional;
        nodes = SaturatingAdd(nodes, record ? RecordNodes(field.type.description, nesting + 1) : 1);
    }
    return nodes;
}

}  // namespace

ConversionBudgetScope::ConversionBudgetScope(const BindingProperty& input) noexcept {
    if (t_budget != nullptr) return;
    budget_.input = &input;
    t_budget = &budget_;
    opened_ = true;
}

ConversionBudgetScope::~ConversionBudgetScope() {
    if (opened_) t_budget = nullptr;
}

bool ChargeWrittenNodes(BindingStatus& status, uint64_t count, uint64_t nodesEach,
                        std::string_view name) {
    ConversionBudgetScope::Budget* budget = t_budget;
    if (budget == nullptr) return true;
    budget->written = SaturatingAdd(budget->written, SaturatingMultiply(count, nodesEach));
    if (budget->written <= kFreeWrittenNodes) return true;
    // Counted once, and only by the rare conversion that writes this much.
    if (budget->read == 0) budget->read = CountNodes(*budget->input);
    const uint64_t limit =
        std::max(kFreeWrittenNodes, SaturatingMultiply(budget->read, kWrittenNodesPerNodeRead));
    if (budget->written <= limit) return true;
    FailWriteBudget(status, name, limit, budget->read);
    return false;
}

uint64_t DefaultRecordNodes(const BindingTypeDescription* description) noexcept {
    return RecordNodes(description, 0);
}

}  // namespace Nimbel::internal
