// Regions are anonymous private mappings.
#include <sys/mman.h>

#include "binding/internal/page_source.h"

namespace Nimbel::internal {

void* PageSource::MapRegionMemory() noexcept {
    // Every page of a region is written soon after it is mapped: populating
    // the region at once spares a fault per page.
    void* memory = mmap(nullptr, kRegionBytes, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
    return memory == MAP_FAILED ? nullptr : memory;
}

void PageSource::UnmapRegionMemory(void* region) noexcept {
    munmap(region, kRegionBytes);
}

}  // namespace Nimbel::internal
