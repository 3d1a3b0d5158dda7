// The payload of a collection value: its elements, in order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "binding/binding_property.h"
#include "binding/pending_node.h"

namespace Nimbel::internal {

/// A growable array of elements of one tree. The storage is an arena block
/// (small arrays fit a slot); elements are moved bit for bit when it grows,
/// which is sound because no node points into another node's storage.
/// Destroying the array destroys its elements.
class ElementArray {
public:
    explicit ElementArray(PropertyArena& arena) noexcept : arena_(&arena) {}
    ElementArray(const ElementArray&) = delete;
    ElementArray& operator=(const ElementArray&) = delete;
    ~ElementArray() { Clear(); }

    [[nodiscard]] size_t Size() const noexcept { return count_; }
    [[nodiscard]] std::span<BindingProperty> Elements() noexcept { return {elements_, count_}; }
    [[nodiscard]] std::span<const BindingProperty> Elements() const noexcept {
        return {elements_, count_};
    }

    /// Room for `count` elements. Throws std::length_error above
    /// BindingProperty::kMaxCount, std::bad_alloc when memory is exhausted.
    void Reserve(size_t count);
    /// Appends empty elements until `index` exists; returns that element.
    /// Throws as Reserve.
    [[nodiscard]] BindingProperty& EnsureIndex(size_t index);
    /// Takes the values of `nodes` bit for bit, into storage of their exact
    /// count, as the elements of this empty array; the nodes are left to be
    /// freed without being destroyed. Throws as Reserve, owning nothing then.
    void AdoptRelocated(std::span<const PendingNode> nodes);
    /// Moves every element of `other` (same arena) to the end of this array,
    /// leaving `other` empty. Throws as Reserve, changing nothing then.
    void AppendRelocated(ElementArray& other);
    /// Destroys every element and frees the storage.
    void Clear() noexcept;

private:
    [[nodiscard]] static size_t StorageBytes(size_t capacity) noexcept {
        return capacity * sizeof(BindingProperty);
    }

    PropertyArena* arena_;
    BindingProperty* elements_ = nullptr;
    uint32_t count_ = 0;
    uint32_t capacity_ = 0;
};

}  // namespace Nimbel::internal
