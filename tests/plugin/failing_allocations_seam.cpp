// A seam linked only into a test copy of the plug-in library: it fails the
// n-th allocation the library asks for, once or from then on, so that a test
// can sweep a failure over every allocation of a request or an event. Blocks
// that are obtained still go through the counting hooks, so the library's
// memory counters keep meaning what they mean.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "diagnostics/allocator.h"

namespace {

std::atomic<uint64_t> g_attempts{0};
std::atomic<uint64_t> g_failAt{0};  // 0: no allocation fails
std::atomic<bool> g_fromThenOn{false};

[[nodiscard]] bool FailsNow() noexcept {
    const uint64_t attempt = g_attempts.fetch_add(1) + 1;
    const uint64_t failAt = g_failAt.load();
    return failAt != 0 && (attempt == failAt || (g_fromThenOn.load() && attempt > failAt));
}

[[nodiscard]] const Nimbel::AllocatorHooks& Counting() noexcept {
    return Nimbel::CountingAllocatorHooks();
}

void* Allocate(size_t size, void* context) {
    return FailsNow() ? nullptr : Counting().allocate(size, context);
}

void Free(void* block, void* context) {
    Counting().free(block, context);
}

// Resizing to nothing frees the block, which is no allocation to fail.
void* Reallocate(void* block, size_t size, void* context) {
    if (size != 0 && FailsNow()) return nullptr;
    return Counting().reallocate(block, size, context);
}

char* DuplicateText(const char* text, void* context) {
    return FailsNow() ? nullptr : Counting().duplicateText(text, context);
}

}  // namespace

/// From now on, fails allocation number `failAt` (counted from this call, the
/// first is 1), and every one after it when `fromThenOn` is not 0; a `failAt`
/// of 0 fails none. Restarts the count of attempts.
extern "C" __attribute__((visibility("default"))) void kzo_test_fail_allocations(uint64_t failAt,
                                                                                 int fromThenOn) {
    g_failAt = 0;
    g_fromThenOn = fromThenOn != 0;
    g_attempts = 0;
    Nimbel::AllocatorHooks hooks = Counting();
    hooks.allocate = &Allocate;
    hooks.free = &Free;
    hooks.reallocate = &Reallocate;
    hooks.duplicateText = &DuplicateText;
    Nimbel::SetAllocatorHooks(hooks);
    g_failAt = failAt;
}

/// The allocations asked for since the last kzo_test_fail_allocations, the
/// failed ones included.
extern "C" __attribute__((visibility("default"))) uint64_t kzo_test_allocation_attempts() {
    return g_attempts.load();
}
