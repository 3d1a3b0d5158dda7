// One size class of a PropertyArena: fixed-size slots carved from an inline
// chunk inside the arena and then from pages of the process-wide page source.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Nimbel::internal {

/// Starts every chunk and page. Two pointers do not fit the 16 bytes that the
/// 32-bit layout had, so on 64-bit builds the header takes 24.
struct ChunkHeader {
    ChunkHeader* next;      ///< next chunk of the pool's list of chunks with free slots
                            ///< (for a full page: of the pool's list of full pages)
    ChunkHeader* previous;  ///< previous chunk of that list
    uint16_t length;        ///< bytes in the chunk: 144 inline, 4096 for a page
    uint16_t usedCount;     ///< slots handed out
    uint16_t firstFree;     ///< index of the first free slot; 0 when none is free
};

/// Slots of one size. A chunk's header occupies its first ceil(header / size)
/// slots; each free slot stores, in its first 16 bits, the index of the next
/// free slot (0 ends the list). The pool's list holds exactly the chunks that
/// have free slots; a page whose last slot is freed goes back to the page
/// source at once. Full pages wait on a second list, through the same links,
/// so that the pool always knows every page it holds. Slots are aligned to 8 bytes when the size is
/// a multiple of 8, else to 4. Not thread-safe; address-stable once initialised.
class SlotPool {
public:
    static constexpr size_t kInlineChunkBytes = 144;

    SlotPool() noexcept = default;
    SlotPool(const SlotPool&) = delete;
    SlotPool& operator=(const SlotPool&) = delete;
    /// Every slot must have been freed by then.
    ~SlotPool();

    /// Must be called once, before any other operation. `slotSize` is a
    /// multiple of 4 from 4 to 72.
    void Initialize(uint16_t slotSize) noexcept;

    /// A free slot. Throws std::bad_alloc when the page source has no page.
    [[nodiscard]] void* Allocate();
    /// Gives back a slot from Allocate of this pool.
    void Free(void* slot) noexcept;
    /// Gives every page back at once and starts over, as if every slot had
    /// been freed; the slots' contents are abandoned, never destroyed.
    void ReleaseAllPages() noexcept;

    [[nodiscard]] uint16_t SlotSize() const noexcept { return slotSize_; }
    /// Pages (not the inline chunk) currently taken from the page source.
    [[nodiscard]] size_t PagesHeld() const noexcept { return pagesHeld_; }

private:
    void FormatChunk(std::byte* chunk, size_t length) noexcept;
    [[nodiscard]] ChunkHeader* ChunkOf(const void* slot) noexcept;
    [[nodiscard]] bool IsInline(const ChunkHeader* chunk) const noexcept;
    static void PushFront(ChunkHeader*& list, ChunkHeader* chunk) noexcept;
    static void Unlink(ChunkHeader*& list, ChunkHeader* chunk) noexcept;

    alignas(8) std::byte inlineChunk_[kInlineChunkBytes];
    ChunkHeader* available_ = nullptr;
    ChunkHeader* full_ = nullptr;
    size_t pagesHeld_ = 0;
    uint16_t slotSize_ = 0;
};

}  // namespace Nimbel::internal
