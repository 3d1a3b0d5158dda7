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
    return AllocateHeapBlock(bytes);
}

void PropertyArena::FreeBlock(void* block, size_t bytes) noexcept {
    if (bytes <= kLargestSlot) {
        PoolFor(bytes).Free(block);
    } else if (bytes <= internal::BlockStore::kLargestBlock) {
        blocks_.Free(block);
    } else {
        FreeHeapBlock(block);
    }
}

void* PropertyArena::AllocateHeapBlock(size_t bytes) {
    if (bytes > SIZE_MAX - sizeof(HeapBlock)) ThrowBadAlloc();
    auto* header = static_cast<HeapBlock*>(Allocate(sizeof(HeapBlock) + bytes));
    if (header == nullptr) ThrowBadAlloc();
    header->next = heapBlocks_;
    header->previous = nullptr;
    if (heapBlocks_ != nullptr) heapBlocks_->previous = header;
    heapBlocks_ = header;
    return header + 1;
}

void PropertyArena::FreeHeapBlock(void* block) noexcept {
    HeapBlock* header = static_cast<HeapBlock*>(block) - 1;
    if (header->previous != nullptr) {
        header->previous->next = header->next;
    } else {
        heapBlocks_ = header->next;
    }
    if (header->next != nullptr) header->next->previous = header->previous;
    Free(header);
}

void PropertyArena::DropEverything() noexcept {
    while (heapBlocks_ != nullptr) {
        HeapBlock* next = heapBlocks_->next;
        Free(heapBlocks_);
        heapBlocks_ = next;
    }
    strings_.Abandon();
    blocks_.ReleaseAllPages();
    for (internal::SlotPool& pool : pools_) pool.ReleaseAllPages();
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
