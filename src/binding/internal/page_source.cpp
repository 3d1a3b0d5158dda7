// Regions come from mmap and go back with munmap; the region table is a map
// keyed by base address, so the region of a released page is one lookup.
#include "binding/internal/page_source.h"

#include <sys/mman.h>

#include <cassert>
#include <new>

namespace Nimbel::internal {
namespace {

[[nodiscard]] size_t PageIndex(uintptr_t regionBase, uintptr_t page) noexcept {
    return (page - regionBase) / PageSource::kPageBytes;
}

} // namespace

PageSource& PageSource::Instance() {
    alignas(PageSource) static std::byte storage[sizeof(PageSource)];
    static PageSource* const instance = new (storage) PageSource();
    return *instance;
}

void* PageSource::AcquirePage() {
    std::lock_guard lock(mutex_);
    if (freePages_ == nullptr) MapRegion();
    FreePage* page = freePages_;
    UnlinkFree(page);
    const auto address = reinterpret_cast<uintptr_t>(page);
    const auto region = RegionOf(address);
    region->second &= static_cast<FreeMask>(~(1u << PageIndex(region->first, address)));
    ++pagesInUse_;
    return page;
}

void PageSource::ReleasePage(void* page) noexcept {
    std::lock_guard lock(mutex_);
    const auto address = reinterpret_cast<uintptr_t>(page);
    const auto region = RegionOf(address);
    const auto bit = static_cast<FreeMask>(1u << PageIndex(region->first, address));
    assert((region->second & bit) == 0 && "page released twice");
    region->second |= bit;
    --pagesInUse_;
    if (region->second == kAllPagesFree) {
        UnmapRegion(region, address);
    } else {
        PushFree(static_cast<FreePage*>(page));
    }
}

PageSourceCounters PageSource::Counters() const {
    std::lock_guard lock(mutex_);
    return PageSourceCounters{regions_.size(), pagesInUse_};
}

void PageSource::MapRegion() {
    void* memory =
        mmap(nullptr, kRegionBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) ThrowBadAlloc();
    const auto base = reinterpret_cast<uintptr_t>(memory);
    try {
        regions_.emplace(base, kAllPagesFree);
    } catch (...) {
        munmap(memory, kRegionBytes);
        throw;
    }
    // Pushed last to first, so pages are handed out in address order.
    for (size_t i = kPagesPerRegion; i-- > 0;) {
        PushFree(reinterpret_cast<FreePage*>(base + i * kPageBytes));
    }
}

void PageSource::UnmapRegion(RegionMap::iterator region, uintptr_t releasedPage) noexcept {
    // The page being released is not on the free list; the other fifteen are.
    for (size_t i = 0; i < kPagesPerRegion; ++i) {
        const uintptr_t page = region->first + i * kPageBytes;
        if (page != releasedPage) UnlinkFree(reinterpret_cast<FreePage*>(page));
    }
    munmap(reinterpret_cast<void*>(region->first), kRegionBytes);
    regions_.erase(region);
}

PageSource::RegionMap::iterator PageSource::RegionOf(uintptr_t page) noexcept {
    auto region = regions_.upper_bound(page);
    assert(region != regions_.begin() && "page does not come from the page source");
    --region;
    assert(page - region->first < kRegionBytes && "page does not come from the page source");
    return region;
}

void PageSource::PushFree(FreePage* page) noexcept {
    page->previous = nullptr;
    page->next = freePages_;
    if (freePages_ != nullptr) freePages_->previous = page;
    freePages_ = page;
}

void PageSource::UnlinkFree(FreePage* page) noexcept {
    if (page->previous != nullptr) {
        page->previous->next = page->next;
    } else {
        freePages_ = page->next;
    }
    if (page->next != nullptr) page->next->previous = page->previous;
    page->next = nullptr;
    page->previous = nullptr;
}

} // namespace Nimbel::internal
