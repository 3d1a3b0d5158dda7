// The allocator that RapidJSON's reader stack, writer stack and output buffer
// use here, so that their memory goes through the library's allocator and
// shows in the counters the core reads.
#pragma once

#include <cstddef>

namespace Nimbel::internal {

/// Meets RapidJSON's Allocator concept over Nimbel::Allocate and friends.
/// Stateless: any instance frees what any other allocated. Instead of handing
/// RapidJSON a null block, which it would write through, an exhausted heap
/// throws std::bad_alloc, as every other allocation of the library does.
class CountedJsonAllocator {
public:
    static const bool kNeedFree = true;

    /// A block of `size` bytes; null only for size 0. Throws std::bad_alloc.
    [[nodiscard]] void* Malloc(size_t size);
    /// Resizes `block` (null allocates); size 0 frees it and returns null.
    /// Throws std::bad_alloc, leaving `block` valid.
    [[nodiscard]] void* Realloc(void* block, size_t originalSize, size_t newSize);
    /// Frees a block from Malloc or Realloc; null does nothing.
    static void Free(void* block) noexcept;
};

}  // namespace Nimbel::internal
