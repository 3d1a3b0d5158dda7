// Regions come from the operating system (page_source_posix.cpp,
// page_source_windows.cpp) and go back to it whole; the region table is a map
// keyed by base address, so the region of a released page is one lookup.
#include "binding/internal/page_source.h"

#include <bit>
#include <cassert>
#include <new>

namespace Nimbel::internal {
namespace {

[[nodiscard]] unsigned PageIndex(uintptr_t regionBase, uintptr_t page) noexcept {
    return static_cast<unsigned>((page - regionBase) / PageSource::kPageBytes);
}

}  // namespace

PageSource& PageSource::Instance() {
    alignas(PageSource) static std::byte storage[sizeof(PageSource)];
    static PageSource* const instance = new (storage) PageSource();
    return *instance;
}

void* PageSource::AcquirePage() {
    std::lock_guard lock(mutex_);
    Region* region = withFree_ != nullptr ? withFree_ : &MapRegion()->second;
    const auto index = static_cast<unsigned>(std::countr_zero(region->freePages));
    region->freePages = static_cast<FreeMask>(region->freePages & ~(1u << index));
    if (region->freePages == 0) UnlinkWithFree(*region);
    ++pagesInUse_;
    return reinterpret_cast<void*>(region->base + index * kPageBytes);
}

void PageSource::ReleasePage(void* page) noexcept {
    std::lock_guard lock(mutex_);
    const auto address = reinterpret_cast<uintptr_t>(page);
    const auto region = RegionOf(address);
    Region& record = region->second;
    const auto bit = static_cast<FreeMask>(1u << PageIndex(region->first, address));
    assert((record.freePages & bit) == 0 && "page released twice");
    if (record.freePages == 0) LinkWithFree(record);
    record.freePages = static_cast<FreeMask>(record.freePages | bit);
    --pagesInUse_;
    if (record.freePages == kAllPagesFree) UnmapRegion(region);
}

PageSourceCounters PageSource::Counters() const {
    std::lock_guard lock(mutex_);
    return PageSourceCounters{regions_.size(), pagesInUse_};
}

PageSource::RegionMap::iterator PageSource::MapRegion() {
    void* memory = MapRegionMemory();
    if (memory == nullptr) ThrowBadAlloc();
    try {
        const auto region = regions_.emplace(reinterpret_cast<uintptr_t>(memory), Region{}).first;
        region->second.base = region->first;
        LinkWithFree(region->second);
        return region;
    } catch (...) {
        UnmapRegionMemory(memory);
        throw;
    }
}

void PageSource::UnmapRegion(RegionMap::iterator region) noexcept {
    UnlinkWithFree(region->second);
    UnmapRegionMemory(reinterpret_cast<void*>(region->first));
    regions_.erase(region);
}

PageSource::RegionMap::iterator PageSource::RegionOf(uintptr_t page) noexcept {
    auto region = regions_.upper_bound(page);
    assert(region != regions_.begin() && "page does not come from the page source");
    --region;
    assert(page - region->first < kRegionBytes && "page does not come from the page source");
    return region;
}

void PageSource::LinkWithFree(Region& region) noexcept {
    region.previousWithFree = nullptr;
    region.nextWithFree = withFree_;
    if (withFree_ != nullptr) withFree_->previousWithFree = &region;
    withFree_ = &region;
}

void PageSource::UnlinkWithFree(Region& region) noexcept {
    if (region.previousWithFree != nullptr) {
        region.previousWithFree->nextWithFree = region.nextWithFree;
    } else {
        withFree_ = region.nextWithFree;
    }
    if (region.nextWithFree != nullptr)
        region.nextWithFree->previousWithFree = region.previousWithFree;
    region.nextWithFree = nullptr;
    region.previousWithFree = nullptr;
}

}  // namespace Nimbel::internal
