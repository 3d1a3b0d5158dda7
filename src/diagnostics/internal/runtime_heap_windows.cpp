#include <malloc.h>

#include <cstring>

#include "diagnostics/internal/runtime_heap.h"

namespace Nimbel::internal {

size_t RuntimeBlockSize(void* block) noexcept {
    return block == nullptr ? 0 : _msize(block);
}

char* RuntimeDuplicateText(const char* text) noexcept {
    return _strdup(text);
}

}  // namespace Nimbel::internal
