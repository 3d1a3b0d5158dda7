// Routes a plug-in's `operator new` and `operator delete` through the counting
// allocator, so the memory counters the core reads cover every container and
// object of the library, not only the buffers handed across the boundary.
//
// Linked only into plug-in shared libraries, whose version script keeps these
// definitions local: the core's and other plug-ins' allocations are never
// counted, and never freed here. Aligned forms are left to the runtime.
#include <new>

#include "diagnostics/allocator.h"

namespace {

void* AllocateOrThrow(std::size_t size) {
    void* block = Nimbel::Allocate(size == 0 ? 1 : size);
    if (block == nullptr) throw std::bad_alloc();
    return block;
}

void* AllocateOrNull(std::size_t size) noexcept {
    return Nimbel::Allocate(size == 0 ? 1 : size);
}

}  // namespace

void* operator new(std::size_t size) {
    return AllocateOrThrow(size);
}
void* operator new[](std::size_t size) {
    return AllocateOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return AllocateOrNull(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return AllocateOrNull(size);
}

void operator delete(void* block) noexcept {
    Nimbel::Free(block);
}
void operator delete[](void* block) noexcept {
    Nimbel::Free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    Nimbel::Free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    Nimbel::Free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    Nimbel::Free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    Nimbel::Free(block);
}
