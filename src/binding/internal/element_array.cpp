// Growth of collections: capacities double, starting from two elements.
#include "binding/internal/element_array.h"

#include <algorithm>
#include <memory>
#include <new>

#include "binding/internal/length_limit.h"
#include "binding/property_arena.h"

namespace Nimbel::internal {

void ElementArray::Reserve(size_t count) {
    RequireCountWithinLimit(count);
    if (count <= capacity_) return;
    auto* grown = static_cast<BindingProperty*>(arena_->AllocateBlock(StorageBytes(count)));
    for (uint32_t i = 0; i < count_; ++i) {
        new (&grown[i]) BindingProperty(BindingProperty::RelocateTag{}, elements_[i]);
    }
    if (elements_ != nullptr) arena_->FreeBlock(elements_, StorageBytes(capacity_));
    elements_ = grown;
    capacity_ = static_cast<uint32_t>(count);
}

BindingProperty& ElementArray::EnsureIndex(size_t index) {
    RequireIndexWithinLimit(index);
    if (index >= capacity_) {
        const size_t doubled = std::max<size_t>(size_t{capacity_} * 2, 2);
        Reserve(std::clamp(doubled, index + 1, kMaxNodeCount));
    }
    while (count_ <= index) {
        new (&elements_[count_]) BindingProperty(BindingProperty::ChildTag{}, *arena_);
        ++count_;
    }
    return elements_[index];
}

void ElementArray::AdoptRelocated(std::span<const PendingNode> nodes) {
    Reserve(nodes.size());
    for (const PendingNode& node : nodes) {
        new (&elements_[count_]) BindingProperty(BindingProperty::RelocateTag{}, node.value);
        ++count_;
    }
}

void ElementArray::AppendRelocated(ElementArray& other) {
    RequireCountWithinLimit(size_t{count_} + other.count_);
    Reserve(size_t{count_} + other.count_);
    for (uint32_t i = 0; i < other.count_; ++i) {
        new (&elements_[count_])
            BindingProperty(BindingProperty::RelocateTag{}, other.elements_[i]);
        ++count_;
    }
    if (other.elements_ != nullptr)
        other.arena_->FreeBlock(other.elements_, StorageBytes(other.capacity_));
    other.elements_ = nullptr;
    other.count_ = 0;
    other.capacity_ = 0;
}

void ElementArray::Clear() noexcept {
    std::destroy_n(elements_, count_);
    if (elements_ != nullptr) arena_->FreeBlock(elements_, StorageBytes(capacity_));
    elements_ = nullptr;
    count_ = 0;
    capacity_ = 0;
}

}  // namespace Nimbel::internal
