// Member storage in arrival order, with a hash index of the names and the
// positions in name order, brought up to date at the first ordered read.
#include "binding/internal/member_map.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <new>
#include <ranges>
#include <utility>

#include "binding/internal/length_limit.h"
#include "binding/property_arena.h"
#include "diagnostics/keyed_hash.h"

namespace Nimbel::internal {
namespace {

static_assert(std::ranges::random_access_range<BindingMemberRange<BindingMember>>);
static_assert(std::ranges::random_access_range<BindingMemberRange<const BindingMember>>);
static_assert(std::convertible_to<BindingMemberRange<BindingMember>,
                                  BindingMemberRange<const BindingMember>>);

[[nodiscard]] std::string_view UpToFirstNul(std::string_view text) noexcept {
    return text.substr(0, text.find('\0'));
}

// At most this many new members are placed one by one into the order; more
// are sorted among themselves and merged with it in one pass.
constexpr uint32_t kPlacedOneByOne = 8;

// Members fetched ahead when a structure is read out of storage order.
constexpr size_t kPrefetchedMembers = 32;

}  // namespace

// ---- Reading ----------------------------------------------------------------

BindingMemberRange<BindingMember> MemberMap::Members() noexcept {
    return std::as_const(*this).OrderedRange();
}

BindingMemberRange<const BindingMember> MemberMap::Members() const noexcept {
    return OrderedRange();
}

BindingMemberRange<BindingMember> MemberMap::OrderedRange() const noexcept {
    EnsureOrdered();
    if (storedInOrder_) return {members_, nullptr, count_};
    // Read in name order, the members of a structure stored otherwise are met
    // out of address order, which the processor does not fetch ahead by
    // itself: ask for the first lines of the storage now.
    const size_t lines = std::min<size_t>(count_, kPrefetchedMembers) / 2;
    for (size_t i = 0; i <= lines; ++i) __builtin_prefetch(members_ + 2 * i);
    return {members_, NameOrder(), count_};
}

const BindingProperty* MemberMap::Find(std::string_view name) const noexcept {
    const std::string_view key = UpToFirstNul(name);
    uint64_t steps = 0;
    const BindingProperty* found = nullptr;
    if (capacity_ <= kLinearCapacity) {
        for (uint32_t i = 0; i < count_ && found == nullptr; ++i) {
            ++steps;
            if (members_[i].Name() == key) found = &members_[i].value_;
        }
    } else {
        EnsureIndexed();
        const uint32_t* const index = Index();
        const size_t mask = IndexSlots(capacity_) - 1;
        for (size_t slot = HomeSlot(KeyedHash(key)); index[slot] != 0; slot = (slot + 1) & mask) {
            ++steps;
            const BindingMember& member = members_[index[slot] - 1];
            if (member.Name() == key) {
                found = &member.value_;
                break;
            }
        }
    }
    arena_->CountMemberSteps(steps);
    return found;
}

BindingMember* MemberMap::FindInterned(const InternedString& name) const noexcept {
    uint64_t steps = 0;
    BindingMember* found = nullptr;
    if (capacity_ <= kLinearCapacity) {
        for (uint32_t i = 0; i < count_ && found == nullptr; ++i) {
            ++steps;
            if (members_[i].name_ == &name) found = &members_[i];
        }
    } else {
        EnsureIndexed();
        const uint32_t* const index = Index();
        const size_t mask = IndexSlots(capacity_) - 1;
        for (size_t slot = HomeSlot(KeyedHash(name.View())); index[slot] != 0;
             slot = (slot + 1) & mask) {
            ++steps;
            BindingMember& member = members_[index[slot] - 1];
            if (member.name_ == &name) {
                found = &member;
                break;
            }
        }
    }
    arena_->CountMemberSteps(steps);
    return found;
}

// ---- Adding -----------------------------------------------------------------

BindingProperty& MemberMap::FindOrInsert(std::string_view name) {
    return FindOrAppend(arena_->Intern(UpToFirstNul(name)));
}

BindingProperty& MemberMap::FindOrInsert(const InternedString& name) {
    return FindOrAppend(arena_->Intern(name));
}

BindingProperty& MemberMap::FindOrAppend(const InternedString& name) {
    // Interned names are unique in the arena, and an entry that only this call
    // references names no member yet: a new name needs no search.
    if (name.References() != 1) {
        if (BindingMember* found = FindInterned(name)) {
            arena_->Release(name);
            return found->value_;
        }
    }
    return Append(name);
}

BindingProperty& MemberMap::Append(const InternedString& name) {
    if (count_ == capacity_) {
        try {
            const size_t doubled = std::max<size_t>(size_t{capacity_} * 2, 2);
            RequireCountWithinLimit(size_t{count_} + 1);
            Reserve(std::min(doubled, kMaxNodeCount));
        } catch (...) {
            arena_->Release(name);
            throw;
        }
    }
    const uint32_t position = count_;
    BindingMember* member = new (&members_[position]) BindingMember(name, *arena_);
    ++count_;
    arena_->CountMemberSteps(1);
    // A name after every ordered one keeps the order complete.
    uint32_t* const order = NameOrder();
    if (ordered_ == position && (position == 0 || NameBefore(order[position - 1], position))) {
        order[position] = position;
        ordered_ = count_ & kMaxNodeCount;
    }
    return member->value_;
}

void MemberMap::EnsureIndexed() const noexcept {
    if (indexed_ == count_) return;
    for (uint32_t i = indexed_; i < count_; ++i) AddToIndex(i);
    indexed_ = count_;
}

void MemberMap::AddToIndex(uint32_t position) const noexcept {
    uint32_t* const index = Index();
    const size_t mask = IndexSlots(capacity_) - 1;
    uint64_t steps = 1;
    size_t slot = HomeSlot(KeyedHash(members_[position].Name()));
    for (; index[slot] != 0; slot = (slot + 1) & mask) ++steps;
    index[slot] = position + 1;
    arena_->CountMemberSteps(steps);
}

void MemberMap::Reserve(size_t count) {
    RequireCountWithinLimit(count);
    if (count > capacity_) Grow(count);
}

void MemberMap::AdoptRelocated(std::span<const PendingNode> nodes) {
    Reserve(nodes.size());
    for (const PendingNode& node : nodes) {
        new (&members_[count_])
            BindingMember(*node.name, BindingProperty::RelocateTag{}, node.value);
        ++count_;
    }
}

void MemberMap::Grow(size_t capacity) {
    if (WideStorageBytes(capacity) > SIZE_MAX) throw std::bad_alloc();
    auto* grown = static_cast<BindingMember*>(arena_->AllocateBlock(StorageBytes(capacity)));
    for (uint32_t i = 0; i < count_; ++i) {
        new (&grown[i]) BindingMember(BindingProperty::RelocateTag{}, members_[i]);
    }
    std::copy_n(NameOrder(), ordered_, reinterpret_cast<uint32_t*>(grown + capacity));
    if (members_ != nullptr) arena_->FreeBlock(members_, StorageBytes(capacity_));
    arena_->CountMemberSteps(count_);
    members_ = grown;
    capacity_ = static_cast<uint32_t>(capacity);
    // The members go back into the new index at the next search.
    std::fill_n(Index(), IndexSlots(capacity_), uint32_t{0});
    indexed_ = 0;
}

void MemberMap::Clear() noexcept {
    for (uint32_t i = 0; i < count_; ++i) {
        arena_->Release(*members_[i].name_);
        members_[i].~BindingMember();
    }
    if (members_ != nullptr) arena_->FreeBlock(members_, StorageBytes(capacity_));
    members_ = nullptr;
    count_ = 0;
    capacity_ = 0;
    ordered_ = 0;
    storedInOrder_ = 1;
    indexed_ = 0;
}

// ---- Ordering ---------------------------------------------------------------

void MemberMap::EnsureOrdered() const noexcept {
    if (ordered_ == count_) return;
    uint32_t* const begin = NameOrder();
    uint32_t* const middle = begin + ordered_;
    uint32_t* const end = begin + count_;
    for (uint32_t i = ordered_; i < count_; ++i) begin[i] = i;
    storedInOrder_ = 0;
    const auto before = [this](uint32_t left, uint32_t right) { return NameBefore(left, right); };
    if (count_ - ordered_ <= kPlacedOneByOne) {
        // Insertion into the ordered positions.
        for (uint32_t* next = middle; next != end; ++next) {
            const uint32_t position = *next;
            uint32_t* at = next;
            for (; at != begin && before(position, at[-1]); --at) *at = at[-1];
            *at = position;
        }
    } else {
        // Names that arrived in reverse order need only be turned around.
        if (std::adjacent_find(middle, end, before) == end) {
            std::reverse(middle, end);
        } else if (!std::is_sorted(middle, end, before)) {
            std::sort(middle, end, before);
        }
        if (middle != begin && before(*middle, middle[-1])) {
            if (before(end[-1], *begin)) {
                std::rotate(begin, middle, end);
            } else {
                // Uses a temporary buffer when one can be had, else merges in
                // place; it throws neither way.
                std::inplace_merge(begin, middle, end, before);
            }
        }
    }
    ordered_ = count_ & kMaxNodeCount;
}

bool MemberMap::NameBefore(uint32_t left, uint32_t right) const noexcept {
    arena_->CountMemberSteps(1);
    // string_view compares chars as unsigned bytes, the order of strcmp.
    return members_[left].Name() < members_[right].Name();
}

// ---- Storage ----------------------------------------------------------------

size_t MemberMap::IndexSlots(size_t capacity) noexcept {
    return capacity > kLinearCapacity ? std::bit_ceil(2 * capacity) : 0;
}

size_t MemberMap::StorageBytes(size_t capacity) noexcept {
    return static_cast<size_t>(WideStorageBytes(capacity));
}

uint64_t MemberMap::WideStorageBytes(size_t capacity) noexcept {
    const uint64_t slots = capacity > kLinearCapacity ? std::bit_ceil(uint64_t{capacity} * 2) : 0;
    const uint64_t bytes = uint64_t{capacity} * sizeof(BindingMember) +
                           (uint64_t{capacity} + slots) * sizeof(uint32_t);
    return (bytes + 7) / 8 * 8;
}

uint32_t MemberMap::HomeSlot(uint64_t place) const noexcept {
    // Every bit of a keyed hash is as unpredictable as any other: its top
    // bits are the slot.
    const int shift = 64 - std::countr_zero(IndexSlots(capacity_));
    return static_cast<uint32_t>(place >> shift);
}

}  // namespace Nimbel::internal
