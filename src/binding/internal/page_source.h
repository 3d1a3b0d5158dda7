// The process-wide source of 4096-byte pages for the slot pools of every
// PropertyArena: the one piece of the value layer shared between threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>

#include "diagnostics/allocator.h"

namespace Nimbel::internal {

/// What the page source holds from the operating system at one moment.
struct PageSourceCounters {
    size_t regionsMapped = 0;  ///< 64 KB regions currently mapped
    size_t pagesInUse = 0;     ///< pages handed out and not yet released
};

/// Maps 64 KB read-write regions, hands out their sixteen 4096-aligned pages,
/// and unmaps a region as soon as all sixteen pages are free again, so memory
/// goes back to the system when the trees that used it are gone. Every
/// operation takes the one mutex; nothing else is shared between arenas.
class PageSource {
public:
    static constexpr size_t kPageBytes = 4096;
    static constexpr size_t kPagesPerRegion = 16;
    static constexpr size_t kRegionBytes = kPageBytes * kPagesPerRegion;

    /// The one page source; created on first use and never destroyed, because
    /// arenas owned by static objects may still release pages during exit.
    [[nodiscard]] static PageSource& Instance();

    PageSource(const PageSource&) = delete;
    PageSource& operator=(const PageSource&) = delete;

    /// A free page, 4096-aligned, contents unspecified. Throws std::bad_alloc
    /// when the system refuses a new region.
    [[nodiscard]] void* AcquirePage();
    /// Takes back a page from AcquirePage; the caller no longer touches it.
    void ReleasePage(void* page) noexcept;

    [[nodiscard]] PageSourceCounters Counters() const;

private:
    // Bit i set: page i of the region is free.
    using FreeMask = uint16_t;
    static constexpr FreeMask kAllPagesFree = 0xFFFF;

    // Bookkeeping lives outside the pages, so mapping a region touches none of
    // its memory. Regions with a free page form a list through their records.
    struct Region {
        uintptr_t base = 0;
        FreeMask freePages = kAllPagesFree;
        Region* nextWithFree = nullptr;
        Region* previousWithFree = nullptr;
    };
    using RegionMap = std::map<uintptr_t, Region, std::less<>,
                               CountingAllocator<std::pair<const uintptr_t, Region>>>;

    PageSource() = default;

    // The operating system's part, one file per platform: kRegionBytes of
    // fresh read-write memory aligned to at least kPageBytes, or null when
    // the system refuses; and giving back a whole region from it.
    [[nodiscard]] static void* MapRegionMemory() noexcept;
    static void UnmapRegionMemory(void* region) noexcept;

    [[nodiscard]] RegionMap::iterator MapRegion();
    void UnmapRegion(RegionMap::iterator region) noexcept;
    [[nodiscard]] RegionMap::iterator RegionOf(uintptr_t page) noexcept;
    void LinkWithFree(Region& region) noexcept;
    void UnlinkWithFree(Region& region) noexcept;

    mutable std::mutex mutex_;
    RegionMap regions_;
    Region* withFree_ = nullptr;
    size_t pagesInUse_ = 0;
};

}  // namespace Nimbel::internal
