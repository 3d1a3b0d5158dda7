// 32-bit FNV-1a, the one hash of the system: interned strings, member and
// argument names, named values and build-time type identities all use it,
// so equal texts hash equally wherever they are met.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace Nimbel {

inline constexpr uint32_t kFnv1aOffsetBasis = 2166136261u;
inline constexpr uint32_t kFnv1aPrime = 16777619u;

/// FNV-1a over the bytes of `text` (all of them, NUL bytes included).
[[nodiscard]] constexpr uint32_t Fnv1a(std::string_view text) noexcept {
    uint32_t hash = kFnv1aOffsetBasis;
    for (const char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= kFnv1aPrime;
    }
    return hash;
}

/// FNV-1a over a NUL-terminated text, stopping at its first NUL.
[[nodiscard]] constexpr uint32_t Fnv1a(const char* text) noexcept {
    uint32_t hash = kFnv1aOffsetBasis;
    for (; *text != '\0'; ++text) {
        hash ^= static_cast<unsigned char>(*text);
        hash *= kFnv1aPrime;
    }
    return hash;
}

static_assert(Fnv1a("") == kFnv1aOffsetBasis);
static_assert(Fnv1a("a") == 0xE40C292Cu);

}  // namespace Nimbel
