// The allocation arena shared by every node of one BindingProperty tree: it
// interns strings and hands out small fixed-size blocks, so that a large
// document costs far fewer heap allocations than it has nodes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <string_view>
#include <utility>

#include "binding/block_store.h"
#include "binding/intern_table.h"
#include "binding/interned_string.h"
#include "binding/slot_pool.h"

namespace Nimbel {

namespace internal {
class MemberMap;
}  // namespace internal

/// Invariant: every block and interned entry handed out is freed or released
/// into this same arena before it is destroyed, by one thread at a time.
///
/// Blocks of up to 72 bytes come from 18 slot pools (sizes 4 to 72 in steps of
/// 4, each with a 144-byte chunk inside the arena and then pages of the
/// process-wide page source); blocks of up to 2048 bytes are carved from pages
/// of the same source; larger blocks come from the library's allocator.
/// The arena is created by the root value that first needs storage and
/// destroyed with it; it is never copied or moved, because its inline chunks
/// are linked from the pages.
class PropertyArena {
public:
    static constexpr size_t kSizeClasses = 18;
    static constexpr size_t kLargestSlot = 72;

    /// A new, empty arena. Throws std::bad_alloc.
    [[nodiscard]] static PropertyArena* Create();
    /// Destroys an arena from Create (null does nothing).
    static void Destroy(PropertyArena* arena) noexcept;
    /// Announces that the tree using this arena is being destroyed before the
    /// arena is: from now on releasing a string does nothing, and the arena
    /// frees every entry at once when it is destroyed, sparing a search of the
    /// table per string value and member name. The tree's blocks are still
    /// freed one by one, so that its pages go back as they empty.
    void BeginTeardown() noexcept { tearingDown_ = true; }
    /// Whether the tree must still be walked when it is destroyed: blob
    /// payloads own heap memory that only their destructors free.
    [[nodiscard]] bool HoldsBlobs() const noexcept { return blobs_ != 0; }
    void BlobCreated() noexcept { ++blobs_; }
    void BlobDestroyed() noexcept { --blobs_; }
    /// Gives back at once every page, heap block and string of a tree that
    /// holds no blob, without walking it: the tree's nodes are abandoned and
    /// must not be touched again. The arena is then as new.
    void DropEverything() noexcept;

    PropertyArena(const PropertyArena&) = delete;
    PropertyArena& operator=(const PropertyArena&) = delete;

    /// See internal::InternTable: `text` is cut at its first NUL; the empty text
    /// gives the shared empty entry. Throws std::bad_alloc.
    [[nodiscard]] const InternedString& Intern(std::string_view text) {
        return strings_.Intern(*this, text);
    }
    /// Interns the text of an entry of any arena (this one included).
    [[nodiscard]] const InternedString& Intern(const InternedString& entry) {
        return strings_.Intern(*this, entry);
    }
    /// Drops one reference; while the arena is being torn down, nothing.
    void Release(const InternedString& entry) noexcept {
        if (!tearingDown_) strings_.Release(*this, entry);
    }
    /// One more reference to an entry of this arena (or the shared empty one).
    static void AddReference(const InternedString& entry) noexcept {
        internal::InternTable::AddReference(entry);
    }
    /// See internal::InternTable::NewMarkGeneration.
    [[nodiscard]] uint32_t NewMarkGeneration() noexcept { return strings_.NewMarkGeneration(); }

    /// A block of `bytes` (at least 1), aligned to 8 when `bytes` is a multiple
    /// of 8, else to 4. Throws std::bad_alloc.
    [[nodiscard]] void* AllocateBlock(size_t bytes);
    /// Frees a block from AllocateBlock; `bytes` must be the size it was asked with.
    void FreeBlock(void* block, size_t bytes) noexcept;

    /// Constructs a T (at most 72 bytes, alignment at most 8) in a slot.
    template <class T, class... Args>
    [[nodiscard]] T* New(Args&&... arguments);
    /// Destroys and frees a T from New.
    template <class T>
    void Delete(T* object) noexcept;

    /// Entries now in the intern table (the shared empty entry never is).
    [[nodiscard]] size_t InternedCount() const noexcept { return strings_.Count(); }
    /// Pages now taken from the page source by all size classes and the
    /// page-carved blocks.
    [[nodiscard]] size_t PagesHeld() const noexcept;
    /// Name comparisons, index probes and member moves made so far by the
    /// structures of this arena: the work of building and ordering them,
    /// counted independently of the machine.
    [[nodiscard]] uint64_t MemberSteps() const noexcept { return memberSteps_; }
    /// See internal::InternTable::Steps.
    [[nodiscard]] uint64_t InternSteps() const noexcept { return strings_.Steps(); }

private:
    friend class internal::MemberMap;

    PropertyArena() noexcept;
    ~PropertyArena();

    [[nodiscard]] internal::SlotPool& PoolFor(size_t bytes) noexcept;
    void CountMemberSteps(uint64_t steps) noexcept { memberSteps_ += steps; }

    internal::SlotPool pools_[kSizeClasses];
    internal::BlockStore blocks_;
    internal::InternTable strings_;
    // Blocks above the page-carved size, linked so that all can be freed at once.
    struct HeapBlock {
        HeapBlock* next;
        HeapBlock* previous;
    };
    [[nodiscard]] void* AllocateHeapBlock(size_t bytes);
    void FreeHeapBlock(void* block) noexcept;

    HeapBlock* heapBlocks_ = nullptr;
    size_t blobs_ = 0;
    uint64_t memberSteps_ = 0;
    bool tearingDown_ = false;
};

template <class T, class... Args>
T* PropertyArena::New(Args&&... arguments) {
    static_assert(sizeof(T) <= kLargestSlot && alignof(T) <= 8);
    void* block = AllocateBlock(sizeof(T));
    try {
        return new (block) T(std::forward<Args>(arguments)...);
    } catch (...) {
        FreeBlock(block, sizeof(T));
        throw;
    }
}

template <class T>
void PropertyArena::Delete(T* object) noexcept {
    object->~T();
    FreeBlock(object, sizeof(T));
}

}  // namespace Nimbel
