// Interning: entries live in arena blocks holding the entry and its text.
#include "binding/intern_table.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <new>

#include "binding/property_arena.h"
#include "diagnostics/allocator.h"
#include "diagnostics/fnv1a.h"
#include "diagnostics/keyed_hash.h"

namespace Nimbel::internal {
namespace {

// Rounded to the entry's alignment so the block lands in an 8-aligned slot.
[[nodiscard]] size_t EntryBlockBytes(size_t textLength) noexcept {
    const size_t bytes = sizeof(InternedString) + textLength + 1;
    return (bytes + alignof(InternedString) - 1) & ~(alignof(InternedString) - 1);
}

}  // namespace

InternTable::InternTable() noexcept = default;

InternTable::~InternTable() {
    assert(count_ == 0 && "an arena was destroyed while values still held its strings");
    if (buckets_ != inlineBuckets_) Free(buckets_);
}

const InternedString& InternTable::Intern(PropertyArena& arena, std::string_view text) {
    // One pass both finds the first NUL and hashes the bytes before it.
    uint32_t hash = kFnv1aOffsetBasis;
    size_t length = 0;
    for (; length < text.size() && text[length] != '\0'; ++length) {
        hash = (hash ^ static_cast<unsigned char>(text[length])) * kFnv1aPrime;
    }
    if (length == 0) return InternedString::Empty();
    return InternHashed(arena, text.substr(0, length), hash);
}

const InternedString& InternTable::Intern(PropertyArena& arena, const InternedString& entry) {
    if (&entry == &InternedString::Empty()) return entry;
    return InternHashed(arena, entry.View(), entry.Hash());
}

const InternedString& InternTable::InternHashed(PropertyArena& arena, std::string_view text,
                                                uint32_t hash) {
    const uint64_t place = KeyedHash(text);
    for (InternedString* entry = BucketOf(place); entry != nullptr; entry = entry->next_) {
        ++steps_;
        if (entry->hash_ == hash && entry->View() == text) {
            ++entry->references_;
            return *entry;
        }
    }
    GrowIfFull();
    InternedString* entry = Create(arena, text, hash);
    InternedString*& bucket = BucketOf(place);
    entry->next_ = bucket;
    bucket = entry;
    ++count_;
    return *entry;
}

void InternTable::Release(PropertyArena& arena, const InternedString& entry) noexcept {
    if (&entry == &InternedString::Empty()) return;
    // Entries are created mutable; the table hands them out as const.
    auto& held = const_cast<InternedString&>(entry);
    if (--held.references_ != 0) return;
    // Only the last reference looks for the entry's bucket. Entries keep no
    // keyed hash, so that each stays 24 bytes besides its text: the bucket is
    // found by hashing the text again, once per entry.
    for (InternedString** link = &BucketOf(KeyedHash(held.View())); *link != nullptr;
         link = &(*link)->next_) {
        ++steps_;
        if (*link != &held) continue;
        *link = held.next_;
        --count_;
        const size_t bytes = EntryBlockBytes(held.length_);
        held.~InternedString();
        arena.FreeBlock(&held, bytes);
        return;
    }
    assert(false && "released a string that this arena does not hold");
}

void InternTable::FreeAll(PropertyArena& arena) noexcept {
    for (uint32_t i = 0; i < bucketCount_; ++i) {
        InternedString* entry = buckets_[i];
        buckets_[i] = nullptr;
        while (entry != nullptr) {
            InternedString* next = entry->next_;
            const size_t bytes = EntryBlockBytes(entry->length_);
            entry->~InternedString();
            arena.FreeBlock(entry, bytes);
            entry = next;
        }
    }
    count_ = 0;
}

void InternTable::Abandon() noexcept {
    std::fill_n(buckets_, bucketCount_, nullptr);
    count_ = 0;
}

uint32_t InternTable::NewMarkGeneration() noexcept {
    if (++lastMark_ == 0) {
        for (uint32_t i = 0; i < bucketCount_; ++i) {
            for (InternedString* entry = buckets_[i]; entry != nullptr; entry = entry->next_) {
                entry->mark_ = 0;
            }
        }
        lastMark_ = 1;
    }
    return lastMark_;
}

InternedString* InternTable::Create(PropertyArena& arena, std::string_view text, uint32_t hash) {
    // A length that the entry cannot record is memory this design cannot hold.
    if (text.size() >= UINT32_MAX) ThrowBadAlloc();
    void* block = arena.AllocateBlock(EntryBlockBytes(text.size()));
    auto* entry = new (block) InternedString(hash, static_cast<uint32_t>(text.size()));
    auto* storage = reinterpret_cast<char*>(entry + 1);
    std::memcpy(storage, text.data(), text.size());
    storage[text.size()] = '\0';
    entry->references_ = 1;
    return entry;
}

void InternTable::GrowIfFull() {
    if (count_ < bucketCount_) return;
    const uint32_t grownCount = bucketCount_ * 2;
    // An array of pointers: sizeof a pointer is meant.
    const size_t grownBytes =
        sizeof(InternedString*) * grownCount;  // NOLINT(bugprone-sizeof-expression)
    auto** grown = static_cast<InternedString**>(Allocate(grownBytes));
    if (grown == nullptr) ThrowBadAlloc();
    std::memset(grown, 0, grownBytes);
    // Every text is hashed again (see Release): its bytes once per doubling,
    // so a constant amount per byte interned.
    for (uint32_t i = 0; i < bucketCount_; ++i) {
        InternedString* entry = buckets_[i];
        while (entry != nullptr) {
            InternedString* next = entry->next_;
            InternedString*& bucket =
                grown[static_cast<uint32_t>(KeyedHash(entry->View())) & (grownCount - 1)];
            entry->next_ = bucket;
            bucket = entry;
            entry = next;
        }
    }
    if (buckets_ != inlineBuckets_) Free(buckets_);
    buckets_ = grown;
    bucketCount_ = grownCount;
}

InternedString*& InternTable::BucketOf(uint64_t place) noexcept {
    return buckets_[static_cast<uint32_t>(place) & (bucketCount_ - 1)];
}

}  // namespace Nimbel::internal
