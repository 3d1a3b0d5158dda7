// Slot allocation with per-chunk free lists threaded through the free slots.
#include "binding/slot_pool.h"

#include <cassert>
#include <cstring>
#include <new>

#include "binding/internal/page_source.h"

namespace Nimbel::internal {
namespace {

// Two links and three 16-bit fields: 16 bytes with 4-byte pointers, 24 with 8-byte ones.
static_assert(sizeof(ChunkHeader) == (sizeof(void*) == 8 ? 24 : 16));

[[nodiscard]] uint16_t ReadLink(const std::byte* slot) noexcept {
    uint16_t link;
    std::memcpy(&link, slot, sizeof link);
    return link;
}

void WriteLink(std::byte* slot, uint16_t link) noexcept {
    std::memcpy(slot, &link, sizeof link);
}

[[nodiscard]] std::byte* ChunkBytes(ChunkHeader* chunk) noexcept {
    return reinterpret_cast<std::byte*>(chunk);
}

}  // namespace

SlotPool::~SlotPool() {
    assert(pagesHeld_ == 0 && "an arena was destroyed while values still used its pages");
}

void SlotPool::Initialize(uint16_t slotSize) noexcept {
    assert(slotSize >= 4 && slotSize <= 72 && slotSize % 4 == 0);
    slotSize_ = slotSize;
    FormatChunk(inlineChunk_, kInlineChunkBytes);
    auto* chunk = reinterpret_cast<ChunkHeader*>(inlineChunk_);
    if (chunk->firstFree != 0) PushFront(available_, chunk);
}

void* SlotPool::Allocate() {
    if (available_ == nullptr) {
        void* page = PageSource::Instance().AcquirePage();
        ++pagesHeld_;
        FormatChunk(static_cast<std::byte*>(page), PageSource::kPageBytes);
        PushFront(available_, static_cast<ChunkHeader*>(page));
    }
    ChunkHeader* chunk = available_;
    std::byte* slot = ChunkBytes(chunk) + size_t{chunk->firstFree} * slotSize_;
    chunk->firstFree = ReadLink(slot);
    ++chunk->usedCount;
    if (chunk->firstFree == 0) {
        Unlink(available_, chunk);
        if (!IsInline(chunk)) PushFront(full_, chunk);
    }
    return slot;
}

void SlotPool::Free(void* slot) noexcept {
    ChunkHeader* chunk = ChunkOf(slot);
    auto* bytes = static_cast<std::byte*>(slot);
    const auto index = static_cast<uint16_t>((bytes - ChunkBytes(chunk)) / slotSize_);
    const bool wasFull = chunk->firstFree == 0;
    WriteLink(bytes, chunk->firstFree);
    chunk->firstFree = index;
    --chunk->usedCount;
    if (wasFull) {
        if (!IsInline(chunk)) Unlink(full_, chunk);
        PushFront(available_, chunk);
    }
    if (chunk->usedCount == 0 && !IsInline(chunk)) {
        Unlink(available_, chunk);
        --pagesHeld_;
        PageSource::Instance().ReleasePage(chunk);
    }
}

void SlotPool::FormatChunk(std::byte* chunk, size_t length) noexcept {
    const size_t slots = length / slotSize_;
    const size_t headerSlots = (sizeof(ChunkHeader) + slotSize_ - 1) / slotSize_;
    for (size_t i = headerSlots; i < slots; ++i) {
        WriteLink(chunk + i * slotSize_, static_cast<uint16_t>(i + 1 < slots ? i + 1 : 0));
    }
    new (chunk) ChunkHeader{nullptr, nullptr, static_cast<uint16_t>(length), 0,
                            static_cast<uint16_t>(headerSlots < slots ? headerSlots : 0)};
}

ChunkHeader* SlotPool::ChunkOf(const void* slot) noexcept {
    const auto* bytes = static_cast<const std::byte*>(slot);
    if (bytes >= inlineChunk_ && bytes < inlineChunk_ + kInlineChunkBytes) {
        return reinterpret_cast<ChunkHeader*>(inlineChunk_);
    }
    const auto address = reinterpret_cast<uintptr_t>(slot);
    return reinterpret_cast<ChunkHeader*>(address & ~uintptr_t{PageSource::kPageBytes - 1});
}

bool SlotPool::IsInline(const ChunkHeader* chunk) const noexcept {
    return reinterpret_cast<const std::byte*>(chunk) == inlineChunk_;
}

void SlotPool::ReleaseAllPages() noexcept {
    for (ChunkHeader* list : {available_, full_}) {
        while (list != nullptr) {
            ChunkHeader* next = list->next;
            if (!IsInline(list)) PageSource::Instance().ReleasePage(list);
            list = next;
        }
    }
    available_ = nullptr;
    full_ = nullptr;
    pagesHeld_ = 0;
    Initialize(slotSize_);
}

void SlotPool::PushFront(ChunkHeader*& list, ChunkHeader* chunk) noexcept {
    chunk->previous = nullptr;
    chunk->next = list;
    if (list != nullptr) list->previous = chunk;
    list = chunk;
}

void SlotPool::Unlink(ChunkHeader*& list, ChunkHeader* chunk) noexcept {
    if (chunk->previous != nullptr) {
        chunk->previous->next = chunk->next;
    } else {
        list = chunk->next;
    }
    if (chunk->next != nullptr) chunk->next->previous = chunk->previous;
    chunk->next = nullptr;
    chunk->previous = nullptr;
}

}  // namespace Nimbel::internal
