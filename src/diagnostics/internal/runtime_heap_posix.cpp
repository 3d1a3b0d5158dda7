#include <malloc.h>

#include <cstring>

#include "diagnostics/internal/runtime_heap.h"

namespace Nimbel::internal {

size_t RuntimeBlockSize(void* block) noexcept {
    return block == nullptr ? 0 : malloc_usable_size(block);
}

char* RuntimeDuplicateText(const char* text) noexcept {
    return strdup(text);
}

}  // namespace Nimbel::internal
