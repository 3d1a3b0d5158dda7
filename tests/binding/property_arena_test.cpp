// The arena: slot reuse, page return, heap blocks, and the string intern table.
#include "binding/property_arena.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "binding/binding_property.h"
#include "binding/internal/page_source.h"
#include "binding/slot_pool.h"
#include "diagnostics/allocator.h"
#include "diagnostics/fnv1a.h"
#include "tests/binding/fnv_colliding_keys.h"

namespace Nimbel {
namespace {

struct ArenaDeleter {
    void operator()(PropertyArena* arena) const noexcept { PropertyArena::Destroy(arena); }
};
using ArenaPointer = std::unique_ptr<PropertyArena, ArenaDeleter>;

ArenaPointer MakeArena() {
    return ArenaPointer(PropertyArena::Create());
}

constexpr size_t kSlotSizes[] = {4,  8,  12, 16, 20, 24, 28, 32, 36,
                                 40, 44, 48, 52, 56, 60, 64, 68, 72};

TEST(PropertyArenaTest, FreedSlotIsTheNextOneHandedOutInEverySizeClass) {
    ArenaPointer arena = MakeArena();
    for (const size_t size : kSlotSizes) {
        void* first = arena->AllocateBlock(size);
        void* second = arena->AllocateBlock(size);
        arena->FreeBlock(first, size);
        void* again = arena->AllocateBlock(size);
        EXPECT_EQ(again, first) << "slot size " << size;
        arena->FreeBlock(again, size);
        arena->FreeBlock(second, size);
    }
}

TEST(PropertyArenaTest, SizesShareTheClassOfTheNextMultipleOfFour) {
    ArenaPointer arena = MakeArena();
    void* slot = arena->AllocateBlock(21);
    arena->FreeBlock(slot, 21);
    EXPECT_EQ(arena->AllocateBlock(24), slot) << "21 bytes are served from the 24-byte class";
    arena->FreeBlock(slot, 24);
}

TEST(PropertyArenaTest, SlotsAreAlignedToEightWhenTheirSizeIsAMultipleOfEight) {
    ArenaPointer arena = MakeArena();
    for (const size_t size : kSlotSizes) {
        if (size % 8 != 0) continue;
        std::vector<void*> slots;
        // Enough to leave the inline chunk and use a page.
        for (int i = 0; i < 80; ++i) slots.push_back(arena->AllocateBlock(size));
        for (void* slot : slots) {
            EXPECT_EQ(reinterpret_cast<uintptr_t>(slot) % 8, 0u) << "slot size " << size;
        }
        for (void* slot : slots) arena->FreeBlock(slot, size);
    }
}

// Every chunk starts with its header, 16 bytes where a pointer takes 4 and 24
// where it takes 8, in the first ceil(header / size) slots of the 144-byte
// inline chunk and of each 4096-byte page; so the slots left differ by word
// size for the small classes.
TEST(PropertyArenaTest, InlineChunkServesFirstThenPagesThatGoBackWhenEmpty) {
    constexpr bool kWide = sizeof(void*) == 8;
    EXPECT_EQ(sizeof(internal::ChunkHeader), kWide ? 24u : 16u);
    struct Case {
        size_t slotSize;
        size_t inlineSlots32, inlineSlots64;
        size_t pageSlots32, pageSlots64;
    };
    const Case cases[] = {
        {4, 32, 30, 1020, 1018}, {8, 16, 15, 510, 509}, {12, 10, 10, 339, 339},
        {16, 8, 7, 255, 254},    {20, 6, 5, 203, 202},  {24, 5, 5, 169, 169},
        {48, 2, 2, 84, 84},      {72, 1, 1, 55, 55},
    };
    for (const Case& c : cases) {
        const size_t inlineSlots = kWide ? c.inlineSlots64 : c.inlineSlots32;
        const size_t pageSlots = kWide ? c.pageSlots64 : c.pageSlots32;
        ArenaPointer arena = MakeArena();
        std::vector<void*> slots;
        const auto take = [&](size_t count) {
            for (size_t i = 0; i < count; ++i) slots.push_back(arena->AllocateBlock(c.slotSize));
        };
        take(inlineSlots);
        EXPECT_EQ(arena->PagesHeld(), 0u) << "slot size " << c.slotSize << ": inline chunk full";
        take(1);
        EXPECT_EQ(arena->PagesHeld(), 1u) << "slot size " << c.slotSize << ": first page";
        take(pageSlots - 1);
        EXPECT_EQ(arena->PagesHeld(), 1u) << "slot size " << c.slotSize << ": first page full";
        take(1);
        EXPECT_EQ(arena->PagesHeld(), 2u) << "slot size " << c.slotSize << ": second page";

        std::set<void*> distinct(slots.begin(), slots.end());
        EXPECT_EQ(distinct.size(), slots.size()) << "slot size " << c.slotSize;

        for (void* slot : slots) arena->FreeBlock(slot, c.slotSize);
        EXPECT_EQ(arena->PagesHeld(), 0u) << "slot size " << c.slotSize;
    }
}

TEST(PropertyArenaTest, PageComesBackForReuseAfterItsLastSlotIsFreed) {
    ArenaPointer arena = MakeArena();
    const internal::PageSourceCounters start = internal::PageSource::Instance().Counters();
    std::vector<void*> slots;
    for (int i = 0; i < 3000; ++i) slots.push_back(arena->AllocateBlock(16));
    EXPECT_GT(internal::PageSource::Instance().Counters().pagesInUse, start.pagesInUse);
    for (void* slot : slots) arena->FreeBlock(slot, 16);
    const internal::PageSourceCounters end = internal::PageSource::Instance().Counters();
    EXPECT_EQ(end.pagesInUse, start.pagesInUse);
    EXPECT_EQ(end.regionsMapped, start.regionsMapped);
}

TEST(PropertyArenaTest, BlocksComeFromSlotsThenPagesThenTheCountedHeap) {
    ArenaPointer arena = MakeArena();
    // A first page-carved block maps what the others then share.
    void* first = arena->AllocateBlock(100);
    struct Case {
        size_t bytes;
        uint64_t heapAllocations;
    };
    const Case cases[] = {{72, 0}, {73, 0}, {500, 0}, {2048, 0}, {2049, 1}, {100000, 1}};
    for (const Case& c : cases) {
        const MemoryStats before = ReadMemoryStats();
        void* block = arena->AllocateBlock(c.bytes);
        EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 8, 0u) << c.bytes << " bytes";
        EXPECT_EQ(ReadMemoryStats().allocations - before.allocations, c.heapAllocations)
            << c.bytes << " bytes";
        arena->FreeBlock(block, c.bytes);
    }
    arena->FreeBlock(first, 100);
    EXPECT_EQ(arena->PagesHeld(), 0u);
}

TEST(PropertyArenaTest, CarvedPagesGoBackOnceAllTheirBlocksAreFree) {
    const internal::PageSourceCounters start = internal::PageSource::Instance().Counters();
    {
        ArenaPointer arena = MakeArena();
        struct Block {
            void* address;
            size_t bytes;
        };
        std::vector<Block> blocks;
        for (size_t i = 0; i < 600; ++i) {
            const size_t bytes = 73 + (i * 389) % (2048 - 73);
            blocks.push_back({arena->AllocateBlock(bytes), bytes});
        }
        EXPECT_GT(arena->PagesHeld(), 100u);
        // Every other block first: no page empties until its neighbours go too.
        for (size_t pass = 0; pass < 2; ++pass) {
            for (size_t i = pass; i < blocks.size(); i += 2) {
                arena->FreeBlock(blocks[i].address, blocks[i].bytes);
            }
        }
        EXPECT_EQ(arena->PagesHeld(), 0u);
    }
    const internal::PageSourceCounters end = internal::PageSource::Instance().Counters();
    EXPECT_EQ(end.pagesInUse, start.pagesInUse);
    EXPECT_EQ(end.regionsMapped, start.regionsMapped);
}

// Destroying a root frees its strings all at once rather than one release at
// a time: every page, region and heap block must still come back.
TEST(PropertyArenaTest, DestroyingATreeGivesBackEverythingItsArenaHeld) {
    const internal::PageSourceCounters start = internal::PageSource::Instance().Counters();
    const MemoryStats before = ReadMemoryStats();
    {
        BindingProperty root;
        for (int i = 0; i < 3000; ++i) {
            BindingProperty& item = root["items"].Append();
            item["name"] = "item " + std::to_string(i % 700);
            item["long"] = std::string(100 + i % 50, 'x');
            item["tags"][i % 120] = "tag";
            item["bytes"] = BindingBytes(40, 7);
        }
        EXPECT_GT(root.Arena()->PagesHeld(), 0u);
    }
    const internal::PageSourceCounters end = internal::PageSource::Instance().Counters();
    EXPECT_EQ(end.pagesInUse, start.pagesInUse);
    EXPECT_EQ(end.regionsMapped, start.regionsMapped);
    const MemoryStats after = ReadMemoryStats();
    EXPECT_EQ(after.allocations - before.allocations, after.frees - before.frees);
    EXPECT_EQ(after.bytesAllocated - before.bytesAllocated, after.bytesFreed - before.bytesFreed);
}

TEST(PropertyArenaTest, EqualTextsShareOneEntryWhateverTheirLength) {
    struct Case {
        const char* description;
        std::string text;
    };
    const Case cases[] = {
        {"one byte", "a"},
        {"longest text that fits a slot", std::string(47, 'x')},
        {"shortest text on the heap", std::string(48, 'y')},
        {"long text", std::string(5000, 'z')},
        {"bytes above 0x7F", "\xC3\xA9t\xC3\xA9"},
    };
    for (const Case& c : cases) {
        ArenaPointer arena = MakeArena();
        const InternedString& first = arena->Intern(c.text);
        const InternedString& second = arena->Intern(std::string(c.text));
        EXPECT_EQ(&first, &second) << c.description;
        EXPECT_EQ(first.References(), 2u) << c.description;
        EXPECT_EQ(first.View(), c.text) << c.description;
        EXPECT_EQ(first.CStr()[c.text.size()], '\0') << c.description;
        EXPECT_EQ(first.Hash(), Fnv1a(std::string_view(c.text))) << c.description;
        EXPECT_EQ(arena->InternedCount(), 1u) << c.description;
        arena->Release(first);
        EXPECT_EQ(arena->InternedCount(), 1u) << c.description << ": one reference is left";
        arena->Release(second);
        EXPECT_EQ(arena->InternedCount(), 0u) << c.description;
    }
}

TEST(PropertyArenaTest, KeysStopAtTheirFirstNul) {
    struct Case {
        const char* description;
        std::string_view key;
        std::string_view stored;
    };
    const Case cases[] = {
        {"NUL inside", std::string_view("ab\0cd", 5), "ab"},
        {"NUL at the end", std::string_view("ab\0", 3), "ab"},
        {"plain", "ab", "ab"},
    };
    ArenaPointer arena = MakeArena();
    const InternedString& reference = arena->Intern("ab");
    for (const Case& c : cases) {
        const InternedString& entry = arena->Intern(c.key);
        EXPECT_EQ(&entry, &reference) << c.description;
        EXPECT_EQ(entry.View(), c.stored) << c.description;
        arena->Release(entry);
    }
    arena->Release(reference);
    EXPECT_EQ(arena->InternedCount(), 0u);
}

TEST(PropertyArenaTest, EmptyTextIsNeverInterned) {
    ArenaPointer arena = MakeArena();
    const std::string_view emptyKeys[] = {"", std::string_view("\0abc", 4)};
    for (const std::string_view key : emptyKeys) {
        const InternedString& entry = arena->Intern(key);
        EXPECT_EQ(&entry, &InternedString::Empty());
        EXPECT_EQ(entry.References(), 0u);
        arena->Release(entry);
    }
    EXPECT_EQ(arena->InternedCount(), 0u);
    EXPECT_EQ(InternedString::Empty().View(), "");
}

TEST(PropertyArenaTest, TableGrowsPastEightBucketsWithoutLosingEntries) {
    ArenaPointer arena = MakeArena();
    std::vector<const InternedString*> entries;
    for (int i = 0; i < 1000; ++i) entries.push_back(&arena->Intern("name" + std::to_string(i)));
    EXPECT_EQ(arena->InternedCount(), 1000u);
    for (int i = 0; i < 1000; ++i) {
        const InternedString& again = arena->Intern("name" + std::to_string(i));
        EXPECT_EQ(&again, entries[static_cast<size_t>(i)]) << "name" << i;
        arena->Release(again);
    }
    for (const InternedString* entry : entries) arena->Release(*entry);
    EXPECT_EQ(arena->InternedCount(), 0u);
}

TEST(PropertyArenaTest, InterningAnotherArenasEntryReusesItsTextAndHash) {
    ArenaPointer source = MakeArena();
    ArenaPointer destination = MakeArena();
    const InternedString& original = source->Intern("championId");
    const InternedString& copy = destination->Intern(original);
    EXPECT_NE(&copy, &original);
    EXPECT_EQ(copy.View(), "championId");
    EXPECT_EQ(&destination->Intern("championId"), &copy);
    destination->Release(copy);
    destination->Release(copy);
    source->Release(original);
    EXPECT_EQ(destination->InternedCount(), 0u);
    EXPECT_EQ(source->InternedCount(), 0u);
}

// Texts of one FNV-1a hash are cheap to build (see fnv_colliding_keys.h).
// Were entries bucketed by that hash, each new one would walk a chain of all
// those before it, n * n / 2 steps for n texts, and releasing them as many
// again: thousands of times what random texts cost here.
TEST(PropertyArenaTest, TextsOfOneFnvHashCostWhatRandomTextsCost) {
    const std::vector<std::string>& colliding = testing::FnvCollidingKeys();
    ASSERT_EQ(colliding.size(), size_t{1} << testing::kCollidingStages);
    ASSERT_EQ(std::set<std::string>(colliding.begin(), colliding.end()).size(), colliding.size());
    const uint32_t sharedHash = Fnv1a(std::string_view(colliding.front()));
    for (const std::string& text : colliding) {
        ASSERT_EQ(text.size(), testing::kCollidingKeyBytes);
        ASSERT_EQ(Fnv1a(std::string_view(text)), sharedHash) << text;
    }
    struct Case {
        const char* description;
        std::vector<std::string> texts;
    };
    const Case cases[] = {
        {"random texts", testing::RandomKeys(colliding.size(), testing::kCollidingKeyBytes)},
        {"texts of one FNV-1a hash", colliding},
    };
    uint64_t steps[std::size(cases)] = {};
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        ArenaPointer arena = MakeArena();
        std::vector<const InternedString*> entries;
        for (const std::string& text : c.texts) entries.push_back(&arena->Intern(text));
        EXPECT_EQ(arena->InternedCount(), c.texts.size()) << c.description;
        for (size_t k = 0; k < c.texts.size(); ++k) {
            const InternedString& again = arena->Intern(c.texts[k]);
            EXPECT_EQ(&again, entries[k]) << c.description << ": " << c.texts[k];
            EXPECT_EQ(again.Hash(), Fnv1a(std::string_view(c.texts[k]))) << c.description;
            arena->Release(again);
        }
        for (const InternedString* entry : entries) arena->Release(*entry);
        EXPECT_EQ(arena->InternedCount(), 0u) << c.description;
        steps[i] = arena->InternSteps();
    }
    RecordProperty("collidingSteps", std::to_string(steps[1]));
    RecordProperty("randomSteps", std::to_string(steps[0]));
    EXPECT_LE(steps[1], 3 * steps[0])
        << "colliding texts " << steps[1] << " steps against random texts " << steps[0];
}

}  // namespace
}  // namespace Nimbel
