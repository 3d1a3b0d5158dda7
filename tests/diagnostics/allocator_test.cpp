#include "diagnostics/allocator.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <cstring>
#include <functional>
#include <thread>
#include <vector>

namespace Nimbel {
namespace {

MemoryStats Delta(const MemoryStats& before, const MemoryStats& after) {
    return MemoryStats{after.peakLiveBytes,
                       after.liveBlocksAtPeak,
                       after.bytesAllocated - before.bytesAllocated,
                       after.allocations - before.allocations,
                       after.bytesFreed - before.bytesFreed,
                       after.frees - before.frees};
}

TEST(AllocatorTest, AllocateAndFreeBalanceWithRuntimeSizes) {
    const MemoryStats before = ReadMemoryStats();
    void* block = Allocate(100);
    ASSERT_NE(block, nullptr);
    const size_t runtimeSize = malloc_usable_size(block);
    EXPECT_GE(runtimeSize, 100u);
    EXPECT_EQ(BlockSize(block), runtimeSize);
    Free(block);
    const MemoryStats d = Delta(before, ReadMemoryStats());
    EXPECT_EQ(d.bytesAllocated, runtimeSize);
    EXPECT_EQ(d.bytesFreed, runtimeSize);
    EXPECT_EQ(d.allocations, 1u);
    EXPECT_EQ(d.frees, 1u);
}

TEST(AllocatorTest, PeakRisesToLiveBytesAndRecordsBlocksAtPeak) {
    // Blocks larger than any earlier peak, so this test's allocations set it.
    const MemoryStats start = ReadMemoryStats();
    const uint64_t liveBefore = start.bytesAllocated - start.bytesFreed;
    const size_t big = static_cast<size_t>(start.peakLiveBytes) + (1u << 20);
    void* a = Allocate(big);
    void* b = Allocate(big);
    const MemoryStats atPeak = ReadMemoryStats();
    EXPECT_GE(atPeak.peakLiveBytes, liveBefore + 2 * big);
    EXPECT_EQ(atPeak.liveBlocksAtPeak, atPeak.allocations - atPeak.frees);
    Free(a);
    Free(b);
    EXPECT_EQ(ReadMemoryStats().peakLiveBytes, atPeak.peakLiveBytes)
        << "frees never lower the peak";
}

TEST(AllocatorTest, ReallocateCountsOneFreeAndOneAllocation) {
    void* block = Allocate(16);
    const size_t oldSize = BlockSize(block);
    const MemoryStats before = ReadMemoryStats();
    void* grown = Reallocate(block, 4096);
    ASSERT_NE(grown, nullptr);
    const MemoryStats d = Delta(before, ReadMemoryStats());
    EXPECT_EQ(d.frees, 1u);
    EXPECT_EQ(d.bytesFreed, oldSize);
    EXPECT_EQ(d.allocations, 1u);
    EXPECT_EQ(d.bytesAllocated, BlockSize(grown));
    Free(grown);
}

TEST(AllocatorTest, ReallocateOfNullIsAnAllocationWithoutAFree) {
    const MemoryStats before = ReadMemoryStats();
    void* block = Reallocate(nullptr, 64);
    ASSERT_NE(block, nullptr);
    const MemoryStats d = Delta(before, ReadMemoryStats());
    EXPECT_EQ(d.allocations, 1u);
    EXPECT_EQ(d.frees, 0u) << "no block existed, so none was freed";
    Free(block);
}

// A request the runtime refuses is still an allocation attempt: it counts
// one allocation of 0 bytes, and a failed reallocation frees nothing, since
// the old block stays live. Half the address space plus one byte is refused
// in any build; half of it alone may be granted to a 32-bit process.
TEST(AllocatorTest, FailedRequestsCountAsAllocationAttempts) {
    static constexpr size_t kRefused = SIZE_MAX / 2 + 1;
    struct Case {
        const char* description;
        std::function<void*(void* live)> request;
    };
    const Case cases[] = {
        {"allocate", [](void*) { return Allocate(kRefused); }},
        {"reallocate a live block", [](void* live) { return Reallocate(live, kRefused); }},
        {"reallocate null", [](void*) { return Reallocate(nullptr, kRefused); }},
    };
    for (const Case& c : cases) {
        void* live = Allocate(32);
        const MemoryStats before = ReadMemoryStats();
        EXPECT_EQ(c.request(live), nullptr) << c.description;
        const MemoryStats d = Delta(before, ReadMemoryStats());
        EXPECT_EQ(d.allocations, 1u) << c.description;
        EXPECT_EQ(d.bytesAllocated, 0u) << c.description;
        EXPECT_EQ(d.frees, 0u) << c.description;
        EXPECT_EQ(d.bytesFreed, 0u) << c.description;
        EXPECT_EQ(BlockSize(live), malloc_usable_size(live)) << c.description << ": still live";
        Free(live);
    }
}

TEST(AllocatorTest, FreeOfNullChangesNoCounter) {
    const MemoryStats before = ReadMemoryStats();
    Free(nullptr);
    const MemoryStats d = Delta(before, ReadMemoryStats());
    EXPECT_EQ(d.frees, 0u);
    EXPECT_EQ(d.bytesFreed, 0u);
    EXPECT_EQ(d.allocations, 0u);
}

TEST(AllocatorTest, DuplicateTextIsCountedAndFreedLikeAnyBlock) {
    const MemoryStats before = ReadMemoryStats();
    char* copy = DuplicateText("match history");
    ASSERT_NE(copy, nullptr);
    EXPECT_STREQ(copy, "match history");
    Free(copy);
    const MemoryStats d = Delta(before, ReadMemoryStats());
    EXPECT_EQ(d.allocations, 1u);
    EXPECT_EQ(d.frees, 1u);
    EXPECT_EQ(d.bytesAllocated, d.bytesFreed);
}

TEST(AllocatorTest, CountsStayBalancedAcrossThreads) {
    const MemoryStats before = ReadMemoryStats();
    constexpr int kThreads = 4;
    constexpr int kRounds = 5000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < kRounds; ++i) Free(Allocate(static_cast<size_t>(8 + i % 200)));
        });
    }
    for (auto& thread : threads) thread.join();
    const MemoryStats d = Delta(before, ReadMemoryStats());
    EXPECT_EQ(d.allocations, uint64_t{kThreads} * kRounds);
    EXPECT_EQ(d.frees, uint64_t{kThreads} * kRounds);
    EXPECT_EQ(d.bytesAllocated, d.bytesFreed);
}

}  // namespace
}  // namespace Nimbel
