// Arena creation and the choice between slot pools and the heap.
#include "binding/property_arena.h"

#include "diagnostics/allocator.h"

namespace Nimbel {

PropertyArena* PropertyArena::Create() {
    void* memory = Allocate(sizeof(PropertyArena));
    if (memory == nullptr) ThrowBadAlloc();
    return new (memory) PropertyArena();
}

void PropertyArena::Destroy(PropertyArena* arena) noexcept {
    if (arena == nullptr) return;
    arena->~PropertyArena();
    Free(arena);
}

PropertyArena::PropertyArena() noexcept {
    for (size_t i = 0; i < kSizeClasses; ++i) {
        pools_[i].Initialize(static_cast<uint16_t>((i + 1) * 4));
    }
}

PropertyArena::~PropertyArena() {
    if (tearingDown_) strings_.FreeAll(*this);
}

void* PropertyArena::AllocateBlock(size_t bytes) {
    if (bytes <= kLargestSlot) return PoolFor(bytes).Allocate();
    if (bytes <= internal::BlockStore::kLargestBlock) return blocks_.Allocate(bytes);
    void* block = Allocate(bytes);
    if (block == nullptr) ThrowBadAlloc();
    return block;
}

void PropertyArena::FreeBlock(void* block, size_t bytes) noexcept {
    if (bytes <= kLargestSlot) {
        PoolFor(bytes).Free(block);
    } else if (bytes <= internal::BlockStore::kLargestBlock) {
        blocks_.Free(block);
    } else {
        Free(block);
    }
}

size_t PropertyArena::PagesHeld() const noexcept {
    size_t pages = blocks_.PagesHeld();
    for (const internal::SlotPool& pool : pools_) pages += pool.PagesHeld();
    return pages;
}

internal::SlotPool& PropertyArena::PoolFor(size_t bytes) noexcept {
    // Sizes are raised to the next multiple of 4; 0 is served as 4.
    const size_t rounded = bytes == 0 ? 4 : (bytes + 3) / 4 * 4;
    return pools_[rounded / 4 - 1];
}

}  // namespace Nimbel
