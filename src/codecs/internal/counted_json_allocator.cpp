// CountedJsonAllocator: RapidJSON's allocations through the counted heap.
#include "codecs/internal/counted_json_allocator.h"

#include "diagnostics/allocator.h"

namespace Nimbel::internal {

void* CountedJsonAllocator::Malloc(size_t size) {
    if (size == 0) return nullptr;
    void* block = Allocate(size);
    if (block == nullptr) ThrowBadAlloc();
    return block;
}

void* CountedJsonAllocator::Realloc(void* block, size_t, size_t newSize) {
    if (newSize == 0) {
        Nimbel::Free(block);
        return nullptr;
    }
    void* grown = Reallocate(block, newSize);
    if (grown == nullptr) ThrowBadAlloc();
    return grown;
}

void CountedJsonAllocator::Free(void* block) noexcept {
    Nimbel::Free(block);
}

}  // namespace Nimbel::internal
