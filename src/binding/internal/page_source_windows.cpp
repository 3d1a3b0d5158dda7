// Regions are reserved and committed in one step. A 64 KB region is exactly
// Windows' allocation granularity, so regions never share a reservation and
// each goes back whole.
#include <windows.h>

#include "binding/internal/page_source.h"

namespace Nimbel::internal {

void* PageSource::MapRegionMemory() noexcept {
    return VirtualAlloc(nullptr, kRegionBytes, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
}

void PageSource::UnmapRegionMemory(void* region) noexcept {
    VirtualFree(region, 0, MEM_RELEASE);
}

}  // namespace Nimbel::internal
