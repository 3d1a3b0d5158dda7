#include "diagnostics/allocator.h"

#include <atomic>
#include <cstdlib>
#include <new>

#include "diagnostics/internal/runtime_heap.h"

namespace Nimbel {
namespace {

struct Counters {
    std::atomic<uint64_t> peakLiveBytes{0};
    std::atomic<uint64_t> liveBlocksAtPeak{0};
    std::atomic<uint64_t> bytesAllocated{0};
    std::atomic<uint64_t> allocations{0};
    std::atomic<uint64_t> bytesFreed{0};
    std::atomic<uint64_t> frees{0};
};

size_t RuntimeBlockSize(const void* block) {
    return internal::RuntimeBlockSize(const_cast<void*>(block));
}

// The size of a block just allocated, taken through its non-const pointer
// (see internal::RuntimeBlockSize).
size_t FreshBlockSize(void* block) {
    return internal::RuntimeBlockSize(block);
}

// The peak and its block count are two separate stores: under contention they
// may come from different moments, which the counters' readers accept.
void UpdatePeak(Counters& c) {
    const uint64_t live = c.bytesAllocated.load() - c.bytesFreed.load();
    uint64_t peak = c.peakLiveBytes.load();
    while (live > peak) {
        if (c.peakLiveBytes.compare_exchange_weak(peak, live)) {
            c.liveBlocksAtPeak.store(c.allocations.load() - c.frees.load());
            return;
        }
    }
}

void* CountingAllocate(size_t size, void* context) {
    auto& c = *static_cast<Counters*>(context);
    void* block = std::malloc(size);
    c.bytesAllocated += FreshBlockSize(block);
    c.allocations += 1;
    UpdatePeak(c);
    return block;
}

void CountingFree(void* block, void* context) {
    if (block == nullptr) return;
    auto& c = *static_cast<Counters*>(context);
    const size_t size = RuntimeBlockSize(block);
    std::free(block);
    c.bytesFreed += size;
    c.frees += 1;
}

void* CountingReallocate(void* block, size_t size, void* context) {
    auto& c = *static_cast<Counters*>(context);
    const size_t oldSize = RuntimeBlockSize(block);
    void* moved = std::realloc(block, size);
    if (moved == nullptr && size != 0) {
        // The old block is still live: nothing was freed or obtained.
        c.allocations += 1;
        return nullptr;
    }
    c.bytesFreed += oldSize;
    c.frees += block != nullptr ? 1 : 0;
    c.bytesAllocated += FreshBlockSize(moved);
    c.allocations += 1;
    UpdatePeak(c);
    return moved;
}

char* CountingDuplicateText(const char* text, void* context) {
    auto& c = *static_cast<Counters*>(context);
    char* copy = internal::RuntimeDuplicateText(text);
    c.bytesAllocated += FreshBlockSize(copy);
    c.allocations += 1;
    UpdatePeak(c);
    return copy;
}

size_t CountingBlockSize(const void* block, void*) {
    return RuntimeBlockSize(block);
}

// The counting hooks are in place before any code of the library runs
// (constant initialisation), so no first use can race with installing them
// and no allocation, however early, escapes the counters.
constinit Counters g_counters;
constexpr AllocatorHooks kCountingHooks{CountingAllocate,   CountingFree,
                                        CountingReallocate, CountingDuplicateText,
                                        CountingBlockSize,  &g_counters};
constinit AllocatorHooks g_hooks = kCountingHooks;

const AllocatorHooks& Hooks() noexcept {
    return g_hooks;
}

}  // namespace

void* Allocate(size_t size) noexcept {
    const AllocatorHooks& h = Hooks();
    return h.allocate ? h.allocate(size, h.context) : std::malloc(size);
}

void Free(void* block) noexcept {
    const AllocatorHooks& h = Hooks();
    if (h.free) {
        h.free(block, h.context);
    } else {
        std::free(block);
    }
}

void* Reallocate(void* block, size_t size) noexcept {
    const AllocatorHooks& h = Hooks();
    return h.reallocate ? h.reallocate(block, size, h.context) : std::realloc(block, size);
}

char* DuplicateText(const char* text) noexcept {
    const AllocatorHooks& h = Hooks();
    return h.duplicateText ? h.duplicateText(text, h.context)
                           : internal::RuntimeDuplicateText(text);
}

size_t BlockSize(const void* block) noexcept {
    const AllocatorHooks& h = Hooks();
    return h.blockSize ? h.blockSize(block, h.context) : RuntimeBlockSize(block);
}

const AllocatorHooks& CountingAllocatorHooks() noexcept {
    return kCountingHooks;
}

void SetAllocatorHooks(const AllocatorHooks& hooks) noexcept {
    g_hooks = hooks;
}

MemoryStats ReadMemoryStats() noexcept {
    return MemoryStats{g_counters.peakLiveBytes.load(),  g_counters.liveBlocksAtPeak.load(),
                       g_counters.bytesAllocated.load(), g_counters.allocations.load(),
                       g_counters.bytesFreed.load(),     g_counters.frees.load()};
}

void ThrowBadAlloc() {
    throw std::bad_alloc();
}

}  // namespace Nimbel
