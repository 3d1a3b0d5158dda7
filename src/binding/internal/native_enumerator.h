// Reading the enumerator stored in a native record's enum field, whatever the
// width of the enumeration's underlying type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace Nimbel::internal {

/// The widths an enum field can have.
[[nodiscard]] inline bool IsEnumWidth(size_t width) noexcept {
    return width == 1 || width == 2 || width == 4 || width == 8;
}

template <class Int>
[[nodiscard]] int32_t LoadEnumeratorAs(const void* source) noexcept {
    Int stored{};
    std::memcpy(&stored, source, sizeof stored);
    return static_cast<int32_t>(stored);
}

/// The enumerator at `source`, as an enum value holds it: 1 and 2 bytes
/// sign-extend; 4 and 8 bytes keep their low 32 bits; other widths give 0.
[[nodiscard]] inline int32_t LoadEnumerator(const void* source, size_t width) noexcept {
    switch (width) {
        case 1:
            return LoadEnumeratorAs<int8_t>(source);
        case 2:
            return LoadEnumeratorAs<int16_t>(source);
        case 4:
            return LoadEnumeratorAs<int32_t>(source);
        case 8:
            return LoadEnumeratorAs<int64_t>(source);
        default:
            return 0;
    }
}

}  // namespace Nimbel::internal
