// The identity of a native type: a 32-bit hash fixed when the program is built
// and a display name, so run-time descriptions and enum values can name the
// native type they stand for without run-time type information.
#pragma once

#include <cstdint>
#include <string_view>

#include "diagnostics/fnv1a.h"

namespace Nimbel {

/// One per native type; lives for the whole process and is never freed. Two
/// identities are the same type exactly when their hashes are equal, so copies
/// made in different shared libraries still compare equal.
struct StaticTypeId {
    /// The hash of the reserved identity; no native type ever gets it.
    static constexpr uint32_t kNoTypeHash = 0;

    uint32_t hash = kNoTypeHash;
    /// NUL-terminated, static storage. For a native type, the compiler's signature
    /// text of `StaticType::Name` for that type (it contains the type's qualified
    /// name); for the reserved identity, "#" and the hash in eight hex digits.
    const char* name = "";

    /// The reserved identity that stands for no particular native type.
    [[nodiscard]] static const StaticTypeId& None() noexcept;

    [[nodiscard]] friend constexpr bool operator==(const StaticTypeId& left,
                                                   const StaticTypeId& right) noexcept {
        return left.hash == right.hash;
    }
};

inline const StaticTypeId& StaticTypeId::None() noexcept {
    static constinit const StaticTypeId kNone{kNoTypeHash, "#00000000"};
    return kNone;
}

/// A type whose identity other modules know by number (a record of the
/// runtime that every plug-in registers under the same identifier) fixes its
/// hash by specialising this before its identity is first named:
///   template <> inline constexpr uint32_t kStaticTypeFixedHash<Resource> = 0xA54F35FD;
/// Zero, the reserved no-type hash, means "derive it from the signature".
template <class T>
inline constexpr uint32_t kStaticTypeFixedHash = StaticTypeId::kNoTypeHash;

namespace StaticType {

/// The identity of T. Unless T fixes it (above), the hash is FNV-1a of this
/// function's signature text for T, computed at compile time: it is the same
/// in every translation unit and
/// library that names T (aliases included), and differs between cv-qualified
/// and unqualified forms because those are different types. The identity is
/// constant-initialised, so no call can race with its creation.
template <class T>
[[nodiscard]] const StaticTypeId& Name() noexcept {
    static constexpr uint32_t kHash = kStaticTypeFixedHash<T> != StaticTypeId::kNoTypeHash
                                          ? kStaticTypeFixedHash<T>
                                          : Fnv1a(std::string_view(__PRETTY_FUNCTION__));
    static_assert(kHash != StaticTypeId::kNoTypeHash,
                  "this type's signature hashes to the reserved no-type identity");
    static constinit const StaticTypeId kIdentity{kHash, __PRETTY_FUNCTION__};
    return kIdentity;
}

}  // namespace StaticType
}  // namespace Nimbel
