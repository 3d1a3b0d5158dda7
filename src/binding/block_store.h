// Storage for arena blocks too large for a slot but small enough to share a
// page: element arrays, member maps and long interned texts.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Nimbel::internal {

/// Carves blocks one after another from pages of the process-wide page
/// source. Each page counts the blocks it still holds and goes back to the
/// page source as soon as that count drops to zero, so the memory of a tree
/// returns with the tree; a block freed while its page still holds others is
/// reused only once the whole page is free. Blocks are 8-aligned. Not
/// thread-safe, like the arena that owns it.
class BlockStore {
public:
    /// The largest block carved from a page; larger ones belong on the heap.
    static constexpr size_t kLargestBlock = 2048;

    BlockStore() noexcept = default;
    BlockStore(const BlockStore&) = delete;
    BlockStore& operator=(const BlockStore&) = delete;
    /// Every block must have been freed by then.
    ~BlockStore();

    /// A block of `bytes` (1 to kLargestBlock). Throws std::bad_alloc when the
    /// page source has no page.
    [[nodiscard]] void* Allocate(size_t bytes);
    /// Gives back a block from Allocate of this store.
    void Free(void* block) noexcept;

    /// Gives every page back at once; the blocks' contents are abandoned.
    void ReleaseAllPages() noexcept;

    /// Pages currently taken from the page source.
    [[nodiscard]] size_t PagesHeld() const noexcept { return pagesHeld_; }

private:
    // Every page held is on one list, so that all can go back at once.
    struct PageHeader {
        PageHeader* next;
        PageHeader* previous;
        uint32_t liveBlocks;
    };
    static constexpr size_t kHeaderBytes = (sizeof(PageHeader) + 7) & ~size_t{7};

    [[nodiscard]] static PageHeader* PageOf(const void* block) noexcept;
    void StartPage();
    void ReleasePage(PageHeader* page) noexcept;

    /// The page blocks are carved from, and the offset of its first unused byte.
    PageHeader* current_ = nullptr;
    size_t used_ = 0;
    PageHeader* pages_ = nullptr;
    size_t pagesHeld_ = 0;
};

}  // namespace Nimbel::internal
