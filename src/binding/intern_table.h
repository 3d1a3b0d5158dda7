// The string intern table of one PropertyArena.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "binding/interned_string.h"

namespace Nimbel {
class PropertyArena;
}  // namespace Nimbel

namespace Nimbel::internal {

/// A chained hash set of reference-counted entries keyed by text. Keys are
/// NUL-terminated texts: a key is cut at its first NUL before it is hashed,
/// compared or stored. Each entry carries the FNV-1a hash of its text, but its
/// bucket is chosen by the text's KeyedHash, which no input can predict: texts
/// built to share one FNV-1a hash spread like random texts, so n entries cost
/// O(n) expected steps to intern and release whatever their texts. Starts
/// with 8 buckets and doubles whenever the load factor would pass 1.0. Entry
/// blocks come from the owning arena.
class InternTable {
public:
    InternTable() noexcept;
    InternTable(const InternTable&) = delete;
    InternTable& operator=(const InternTable&) = delete;
    /// Every entry must have been released by then.
    ~InternTable();

    /// The entry for `text` (cut at its first NUL) with one more reference; the
    /// shared empty entry, unreferenced, for the empty text. Throws
    /// std::bad_alloc when a new entry or a larger bucket array cannot be had.
    [[nodiscard]] const InternedString& Intern(PropertyArena& arena, std::string_view text);
    /// The same for an entry of another table, whose hash is reused.
    [[nodiscard]] const InternedString& Intern(PropertyArena& arena, const InternedString& entry);
    /// Drops one reference; the entry leaves the table at zero. The shared
    /// empty entry is ignored.
    void Release(PropertyArena& arena, const InternedString& entry) noexcept;
    /// Frees every entry, however many references it still counts: the
    /// values that held them are gone without having released them.
    void FreeAll(PropertyArena& arena) noexcept;
    /// Forgets every entry without freeing it: the blocks that held them were
    /// given back with the arena's pages.
    void Abandon() noexcept;
    /// One more reference to an entry of this table (the shared empty entry
    /// is ignored).
    static void AddReference(const InternedString& entry) noexcept {
        if (&entry != &InternedString::Empty()) ++const_cast<InternedString&>(entry).references_;
    }

    /// A mark no entry carries yet: a caller that stamps the entries it meets
    /// with it knows that an entry carrying it was met since. When the marks
    /// run out every entry is cleared and they start over.
    [[nodiscard]] uint32_t NewMarkGeneration() noexcept;
    /// Whether `entry` carries `mark`, stamping it if not.
    [[nodiscard]] static bool TestAndMark(const InternedString& entry, uint32_t mark) noexcept {
        auto& stamped = const_cast<InternedString&>(entry);
        if (stamped.mark_ == mark) return true;
        stamped.mark_ = mark;
        return false;
    }

    [[nodiscard]] size_t Count() const noexcept { return count_; }
    [[nodiscard]] size_t BucketCount() const noexcept { return bucketCount_; }
    /// Entries met in chains so far by Intern and Release: the work of the
    /// table, counted independently of the machine.
    [[nodiscard]] uint64_t Steps() const noexcept { return steps_; }

private:
    static constexpr uint32_t kInitialBuckets = 8;

    [[nodiscard]] const InternedString& InternHashed(PropertyArena& arena, std::string_view text,
                                                     uint32_t hash);
    [[nodiscard]] InternedString* Create(PropertyArena& arena, std::string_view text,
                                         uint32_t hash);
    void GrowIfFull();
    /// The bucket of the text whose KeyedHash is `place`.
    [[nodiscard]] InternedString*& BucketOf(uint64_t place) noexcept;

    InternedString* inlineBuckets_[kInitialBuckets] = {};
    InternedString** buckets_ = inlineBuckets_;
    uint32_t bucketCount_ = kInitialBuckets;
    uint32_t count_ = 0;
    uint32_t lastMark_ = 0;
    uint64_t steps_ = 0;
};

}  // namespace Nimbel::internal
