// The payload of a structure value: its members, sorted by name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "binding/binding_property.h"

namespace Nimbel::internal {

/// The members of one structure, in a sorted array: names are unique and
/// ordered byte by byte as unsigned characters (the order of strcmp); every
/// name is cut at its first NUL before it is looked up or stored. Members that
/// arrive in order are appended; others are inserted by binary search. Each
/// member holds one reference to its interned name. Destroying the map
/// releases the names and destroys the values.
class MemberMap {
public:
    explicit MemberMap(PropertyArena& arena) noexcept : arena_(&arena) {}
    MemberMap(const MemberMap&) = delete;
    MemberMap& operator=(const MemberMap&) = delete;
    ~MemberMap() { Clear(); }

    [[nodiscard]] size_t Size() const noexcept { return count_; }
    [[nodiscard]] std::span<BindingMember> Members() noexcept { return {members_, count_}; }
    [[nodiscard]] std::span<const BindingMember> Members() const noexcept {
        return {members_, count_};
    }

    /// The member of that name, or null.
    [[nodiscard]] const BindingProperty* Find(std::string_view name) const noexcept;
    /// The member of that name, inserted empty when missing. Throws
    /// std::length_error past BindingProperty::kMaxCount members and
    /// std::bad_alloc; the map is unchanged when it throws.
    [[nodiscard]] BindingProperty& FindOrInsert(std::string_view name);
    /// The same for a name interned in any arena (its hash is reused).
    [[nodiscard]] BindingProperty& FindOrInsert(const InternedString& name);
    /// Room for `count` members; throws as FindOrInsert.
    void Reserve(size_t count);
    /// Releases every name, destroys every value and frees the storage.
    void Clear() noexcept;

private:
    [[nodiscard]] static size_t StorageBytes(size_t capacity) noexcept {
        return capacity * sizeof(BindingMember);
    }
    /// Index of the first member whose name is not below `name`.
    [[nodiscard]] size_t LowerBound(std::string_view name) const noexcept;
    template <class Name>
    [[nodiscard]] BindingProperty& FindOrInsertAt(std::string_view key, const Name& name);
    [[nodiscard]] BindingProperty& InsertAt(size_t position, const InternedString& name);

    PropertyArena* arena_;
    BindingMember* members_ = nullptr;
    uint32_t count_ = 0;
    uint32_t capacity_ = 0;
};

}  // namespace Nimbel::internal
