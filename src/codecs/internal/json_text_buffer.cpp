// JsonTextBuffer: growth of the block and its release.
#include "codecs/internal/json_text_buffer.h"

#include <algorithm>

#include "diagnostics/allocator.h"

namespace Nimbel::internal {
namespace {

constexpr size_t kInitialCapacity = 256;

}  // namespace

JsonTextBuffer::~JsonTextBuffer() {
    Free(begin_);
}

std::string_view JsonTextBuffer::Text() const noexcept {
    return std::string_view(begin_, static_cast<size_t>(next_ - begin_));
}

void JsonTextBuffer::Grow(size_t count) {
    const auto used = static_cast<size_t>(next_ - begin_);
    const auto capacity = static_cast<size_t>(end_ - begin_);
    const size_t grown = std::max({capacity * 2, used + count, kInitialCapacity});
    auto* block = static_cast<char*>(Reallocate(begin_, grown));
    if (block == nullptr) ThrowBadAlloc();
    begin_ = block;
    next_ = block + used;
    end_ = block + grown;
}

}  // namespace Nimbel::internal
