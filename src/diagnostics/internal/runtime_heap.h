// The two calls of the C runtime's heap that are not standard C, behind the
// allocator: one file per platform.
#pragma once

#include <cstddef>

namespace Nimbel::internal {

/// The usable size of a live block of the C runtime's heap (from malloc,
/// realloc or RuntimeDuplicateText), which may exceed the size asked for; 0
/// for null. Taken through a non-const pointer: a const pointer to fresh,
/// unwritten memory reads to the compiler as a use of uninitialised bytes.
[[nodiscard]] size_t RuntimeBlockSize(void* block) noexcept;

/// A copy of the NUL-terminated `text` in one block of the C runtime's heap;
/// null when the heap refuses.
[[nodiscard]] char* RuntimeDuplicateText(const char* text) noexcept;

}  // namespace Nimbel::internal
