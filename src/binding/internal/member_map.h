// The payload of a structure value: its members, read in name order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "binding/binding_property.h"
#include "binding/pending_node.h"

namespace Nimbel::internal {

/// The members of one structure. Names are unique, and every name is cut at
/// its first NUL before it is looked up or stored; Members() gives them ordered
/// byte by byte as unsigned characters (the order of strcmp). Each member holds
/// one reference to its interned name. Destroying the map releases the names
/// and destroys the values.
///
/// Members are stored in the order they arrive and move only when the storage
/// grows: reading the map in order moves none of them. Beside them the map
/// keeps the positions of the members in name order and, past a few members,
/// a hash index of the names. A member whose name sorts after every other
/// extends the order at once; the others are ordered together at the next
/// ordered read (a sort of the new positions and one merge), so building n
/// members costs O(n log n) whatever order their names arrive in. The index
/// places each name by its KeyedHash, which no input can predict, so looking
/// a name up costs O(1) on average whatever the names are. Because an ordered
/// read of a const map may still update those positions, reading a tree needs
/// it to belong to one thread, as writing does.
class MemberMap {
public:
    explicit MemberMap(PropertyArena& arena) noexcept : arena_(&arena) {}
    MemberMap(const MemberMap&) = delete;
    MemberMap& operator=(const MemberMap&) = delete;
    ~MemberMap() { Clear(); }

    [[nodiscard]] size_t Size() const noexcept { return count_; }
    /// The members in name order.
    [[nodiscard]] BindingMemberRange<BindingMember> Members() noexcept;
    [[nodiscard]] BindingMemberRange<const BindingMember> Members() const noexcept;

    /// The member of that name, or null.
    [[nodiscard]] const BindingProperty* Find(std::string_view name) const noexcept;
    /// The member of that name, inserted empty when missing. Throws
    /// std::length_error past BindingProperty::kMaxCount members and
    /// std::bad_alloc; the map is unchanged when it throws.
    [[nodiscard]] BindingProperty& FindOrInsert(std::string_view name);
    /// The same for a name interned in any arena (its hash is reused).
    [[nodiscard]] BindingProperty& FindOrInsert(const InternedString& name);
    /// Room for `count` members; throws as FindOrInsert, and std::bad_alloc
    /// when their storage would not fit in the address space (a 32-bit build
    /// cannot hold the storage of BindingProperty::kMaxCount members).
    void Reserve(size_t count);
    /// Takes `nodes`, whose names are unique, bit for bit as the members of
    /// this empty map, in storage of their exact count; the member names keep
    /// the references the nodes held. Throws as Reserve, owning nothing then.
    void AdoptRelocated(std::span<const PendingNode> nodes);
    /// The members in the order they were added.
    [[nodiscard]] std::span<BindingMember> StoredMembers() noexcept { return {members_, count_}; }
    /// Releases every name, destroys every value and frees the storage.
    void Clear() noexcept;

private:
    /// Maps of at most this capacity search their few members one by one.
    static constexpr uint32_t kLinearCapacity = 16;

    // One arena block holds the members, then the order (capacity positions),
    // then the hash index: a power of two of slots, at least twice the
    // capacity, each 0 or one more than a member's position.
    [[nodiscard]] static size_t IndexSlots(size_t capacity) noexcept;
    /// The block's bytes, for a capacity whose storage fits in a size_t.
    [[nodiscard]] static size_t StorageBytes(size_t capacity) noexcept;
    /// The same counted in 64 bits, so it is exact for every capacity within
    /// the limit, also where size_t has 32 bits.
    [[nodiscard]] static uint64_t WideStorageBytes(size_t capacity) noexcept;
    [[nodiscard]] uint32_t* NameOrder() const noexcept {
        return reinterpret_cast<uint32_t*>(members_ + capacity_);
    }
    [[nodiscard]] uint32_t* Index() const noexcept { return NameOrder() + capacity_; }
    /// Where the index starts looking for the name whose KeyedHash is `place`.
    [[nodiscard]] uint32_t HomeSlot(uint64_t place) const noexcept;

    /// `name`, interned here with one reference that the member keeps or that
    /// is released when the name is found.
    [[nodiscard]] BindingProperty& FindOrAppend(const InternedString& name);
    [[nodiscard]] BindingMember* FindInterned(const InternedString& name) const noexcept;
    [[nodiscard]] BindingProperty& Append(const InternedString& name);
    /// Brings the index up to date with every member; it is built at the
    /// first search that needs it, so names that are all new cost no index.
    void EnsureIndexed() const noexcept;
    void AddToIndex(uint32_t position) const noexcept;
    void Grow(size_t capacity);
    /// Puts the members added since the last ordered read in name order.
    void EnsureOrdered() const noexcept;
    [[nodiscard]] BindingMemberRange<BindingMember> OrderedRange() const noexcept;
    /// Name order of two stored members; counts one step.
    [[nodiscard]] bool NameBefore(uint32_t left, uint32_t right) const noexcept;

    PropertyArena* arena_;
    BindingMember* members_ = nullptr;
    uint32_t count_ = 0;
    uint32_t capacity_ = 0;
    /// Members [0, ordered_) are listed in name order at NameOrder()[0, ordered_).
    /// Counts never pass kMaxNodeCount, so 31 bits hold any of them.
    mutable uint32_t ordered_ : 31 = 0;
    /// NameOrder()[i] == i for every ordered member: the range needs no order.
    mutable uint32_t storedInOrder_ : 1 = 1;
    /// Members [0, indexed_) are in the index (of maps past kLinearCapacity).
    mutable uint32_t indexed_ = 0;
};

}  // namespace Nimbel::internal
