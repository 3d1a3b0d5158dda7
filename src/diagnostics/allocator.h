// The library's one way to obtain heap memory, and the counters the core reads.
//
// Every allocation of the library (its objects, containers, and the buffers of
// the records it hands to the core) goes through these functions. They forward
// to replaceable hooks; the hooks in place from the start forward to the C
// runtime and keep six 64-bit counters that change atomically, without a lock.
#pragma once

#include <cstddef>
#include <cstdint>

namespace Nimbel {

/// The six counters, in the order the core receives them.
struct MemoryStats {
    uint64_t peakLiveBytes = 0;     ///< highest (bytes allocated - bytes freed) seen
    uint64_t liveBlocksAtPeak = 0;  ///< allocations - frees when that peak was stored
    uint64_t bytesAllocated = 0;    ///< sum of the runtime sizes of all blocks obtained
    uint64_t allocations = 0;       ///< number of allocations, failed ones included
    uint64_t bytesFreed = 0;        ///< sum of the runtime sizes of all blocks freed
    uint64_t frees = 0;             ///< number of frees of non-null blocks
};

/// Hook table. `context` is passed unchanged to every hook.
struct AllocatorHooks {
    void* (*allocate)(size_t size, void* context) = nullptr;
    void (*free)(void* block, void* context) = nullptr;
    void* (*reallocate)(void* block, size_t size, void* context) = nullptr;
    char* (*duplicateText)(const char* text, void* context) = nullptr;
    size_t (*blockSize)(const void* block, void* context) = nullptr;
    void* context = nullptr;
};

/// Allocates `size` bytes; null when the runtime has no memory.
[[nodiscard]] void* Allocate(size_t size) noexcept;
/// Frees a block from Allocate, Reallocate or DuplicateText; null does nothing.
void Free(void* block) noexcept;
/// Resizes a block (null allocates). On failure null is returned and, as with
/// the C runtime, the old block stays valid.
[[nodiscard]] void* Reallocate(void* block, size_t size) noexcept;
/// A copy of a NUL-terminated text, freed with Free.
[[nodiscard]] char* DuplicateText(const char* text) noexcept;
/// The runtime's usable size of a block (0 for null).
[[nodiscard]] size_t BlockSize(const void* block) noexcept;

/// Replaces the hooks. Hooks left null fall back to the C runtime's function.
void SetAllocatorHooks(const AllocatorHooks& hooks) noexcept;
/// The hooks in place from the start, which keep the counters: for hooks that
/// wrap them (a test that fails chosen allocations) and for putting them back.
[[nodiscard]] const AllocatorHooks& CountingAllocatorHooks() noexcept;

/// The six counters, each read atomically (the set is not one snapshot).
[[nodiscard]] MemoryStats ReadMemoryStats() noexcept;

/// Standard allocator over the library's allocator functions, for containers
/// whose memory must be counted even where `operator new` is not replaced.
template <class T>
struct CountingAllocator {
    using value_type = T;
    CountingAllocator() noexcept = default;
    template <class U>
    CountingAllocator(const CountingAllocator<U>&) noexcept {}

    T* allocate(size_t count);
    void deallocate(T* block, size_t) noexcept { Free(block); }

    template <class U>
    bool operator==(const CountingAllocator<U>&) const noexcept {
        return true;
    }
};

[[noreturn]] void ThrowBadAlloc();

template <class T>
T* CountingAllocator<T>::allocate(size_t count) {
    // T may be a pointer; its size is meant whatever it points to.
    if (count > SIZE_MAX / sizeof(T)) ThrowBadAlloc();  // NOLINT(bugprone-sizeof-expression)
    void* block = Allocate(count * sizeof(T));          // NOLINT(bugprone-sizeof-expression)
    if (block == nullptr) ThrowBadAlloc();
    return static_cast<T*>(block);
}

}  // namespace Nimbel
