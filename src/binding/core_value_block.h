// One block for all the buffers of a core value record: the layout that hands
// them out, shared by the conversions that write such records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>

#include "abi/core_abi.h"
#include "binding/binding_property.h"
#include "binding/enum_name_lookup.h"

namespace Nimbel::internal {

/// Hands out the buffers of one record from one block: first a sizing pass
/// over the value with no block (only the offsets advance), then the same
/// pass over a block of the size found, so both take the same steps. Arrays
/// start on word boundaries; texts and bytes follow wherever they fall.
class BlockLayout {
public:
    /// A sizing layout.
    BlockLayout() = default;
    /// A layout over `block`, `size` bytes, as a sizing pass measured it.
    BlockLayout(std::byte* block, size_t size) noexcept : block_(block), size_(size) {}

    [[nodiscard]] size_t Used() const noexcept { return used_; }

    template <class T>
    [[nodiscard]] T* Array(size_t count) {
        if (count == 0) return nullptr;
        if (count > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
        used_ = (used_ + (alignof(KzoWord) - 1)) & ~(alignof(KzoWord) - 1);
        std::byte* place = Take(count * sizeof(T));
        if (place != nullptr) std::memset(place, 0, count * sizeof(T));
        return reinterpret_cast<T*>(place);
    }

    [[nodiscard]] char* Text(std::string_view text) {
        std::byte* place = Take(text.size() + 1);
        if (place == nullptr) return nullptr;
        auto* copy = reinterpret_cast<char*>(place);
        if (!text.empty()) std::memcpy(copy, text.data(), text.size());
        copy[text.size()] = '\0';
        return copy;
    }

    [[nodiscard]] uint8_t* Bytes(const uint8_t* bytes, size_t count) {
        if (count == 0) return nullptr;
        std::byte* place = Take(count);
        if (place != nullptr) std::memcpy(place, bytes, count);
        return reinterpret_cast<uint8_t*>(place);
    }

private:
    /// The next `count` bytes: null while sizing.
    [[nodiscard]] std::byte* Take(size_t count) {
        if (count > SIZE_MAX - used_) throw std::bad_alloc();
        std::byte* place = block_ != nullptr ? block_ + used_ : nullptr;
        used_ += count;
        if (block_ != nullptr && used_ > size_) throw std::bad_alloc();  // passes disagreed
        return place;
    }

    std::byte* block_ = nullptr;
    size_t size_ = 0;
    size_t used_ = 0;
};

/// Writes `source` as PropertyToCoreValue would into `target` (zeroed), its
/// buffers from `layout`.
void PropertyToCoreValueInLayout(CoreValue& target, const BindingProperty& source,
                                 const EnumNameLookup* enumNames, BlockLayout& layout);

}  // namespace Nimbel::internal
