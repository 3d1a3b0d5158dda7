// Sorted member storage: appends for names arriving in order, binary search
// and a shift for the others.
#include "binding/internal/member_map.h"

#include <algorithm>
#include <new>

#include "binding/internal/length_limit.h"
#include "binding/property_arena.h"

namespace Nimbel::internal {
namespace {

[[nodiscard]] std::string_view UpToFirstNul(std::string_view text) noexcept {
    return text.substr(0, text.find('\0'));
}

}  // namespace

const BindingProperty* MemberMap::Find(std::string_view name) const noexcept {
    const std::string_view key = UpToFirstNul(name);
    const size_t position = LowerBound(key);
    if (position < count_ && members_[position].Name() == key) return &members_[position].value_;
    return nullptr;
}

BindingProperty& MemberMap::FindOrInsert(std::string_view name) {
    const std::string_view key = UpToFirstNul(name);
    return FindOrInsertAt(key, key);
}

BindingProperty& MemberMap::FindOrInsert(const InternedString& name) {
    return FindOrInsertAt(name.View(), name);
}

template <class Name>
BindingProperty& MemberMap::FindOrInsertAt(std::string_view key, const Name& name) {
    // Names that arrive in order (copies, most documents) skip the search.
    const bool afterLast = count_ == 0 || members_[count_ - 1].Name() < key;
    const size_t position = afterLast ? count_ : LowerBound(key);
    if (position < count_ && members_[position].Name() == key) return members_[position].value_;
    return InsertAt(position, arena_->Intern(name));
}

void MemberMap::Reserve(size_t count) {
    RequireCountWithinLimit(count);
    if (count <= capacity_) return;
    auto* grown = static_cast<BindingMember*>(arena_->AllocateBlock(StorageBytes(count)));
    for (uint32_t i = 0; i < count_; ++i) {
        new (&grown[i]) BindingMember(BindingProperty::RelocateTag{}, members_[i]);
    }
    if (members_ != nullptr) arena_->FreeBlock(members_, StorageBytes(capacity_));
    members_ = grown;
    capacity_ = static_cast<uint32_t>(count);
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
}

size_t MemberMap::LowerBound(std::string_view name) const noexcept {
    // string_view compares chars as unsigned bytes, the order of strcmp.
    const BindingMember* found = std::lower_bound(
        members_, members_ + count_, name,
        [](const BindingMember& member, std::string_view key) { return member.Name() < key; });
    return static_cast<size_t>(found - members_);
}

BindingProperty& MemberMap::InsertAt(size_t position, const InternedString& name) {
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
    for (size_t i = count_; i > position; --i) {
        new (&members_[i]) BindingMember(BindingProperty::RelocateTag{}, members_[i - 1]);
    }
    ++count_;
    return (new (&members_[position]) BindingMember(name, *arena_))->value_;
}

}  // namespace Nimbel::internal
