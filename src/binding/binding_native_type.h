// What the binding layer knows of a native C++ type at compile time: its
// BindingTypeKind, the element type of a vector or map, and the record or
// enumeration at the bottom of nested containers. The typed builder and the
// typed conversions are written against these traits.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "binding/binding_property.h"
#include "binding/binding_type_kind.h"

namespace Nimbel {
namespace internal {

template <class T>
struct ContainerTraits {
    static constexpr BindingTypeKind kKind = BindingTypeKind::None;
    using Element = void;
};
template <class E>
struct ContainerTraits<std::vector<E>> {
    static constexpr BindingTypeKind kKind = BindingTypeKind::Vector;
    using Element = E;
};
template <class E>
struct ContainerTraits<std::unordered_map<std::string, E>> {
    static constexpr BindingTypeKind kKind = BindingTypeKind::Map;
    using Element = E;
};

template <class T>
[[nodiscard]] consteval BindingTypeKind KindOf() {
    using K = BindingTypeKind;
    if constexpr (std::is_same_v<T, bool>)
        return K::Bool;
    else if constexpr (std::is_same_v<T, int8_t>)
        return K::Int8;
    else if constexpr (std::is_same_v<T, uint8_t>)
        return K::UInt8;
    else if constexpr (std::is_same_v<T, int16_t>)
        return K::Int16;
    else if constexpr (std::is_same_v<T, uint16_t>)
        return K::UInt16;
    else if constexpr (std::is_same_v<T, int32_t>)
        return K::Int32;
    else if constexpr (std::is_same_v<T, uint32_t>)
        return K::UInt32;
    else if constexpr (std::is_same_v<T, int64_t>)
        return K::Int64;
    else if constexpr (std::is_same_v<T, uint64_t>)
        return K::UInt64;
    else if constexpr (std::is_same_v<T, float>)
        return K::Float;
    else if constexpr (std::is_same_v<T, double>)
        return K::Double;
    else if constexpr (std::is_same_v<T, std::string>)
        return K::String;
    else if constexpr (std::is_same_v<T, BindingProperty>)
        return K::Object;
    else if constexpr (std::is_same_v<T, BindingBytes>)
        return K::Blob;
    else if constexpr (ContainerTraits<T>::kKind != K::None)
        return ContainerTraits<T>::kKind;
    else if constexpr (std::is_enum_v<T>)
        return K::Enum;
    else if constexpr (std::is_class_v<T> && std::is_default_constructible_v<T>)
        return K::Struct;
    else
        return K::None;
}

// A kind, and for containers an element type that has one too, at every level.
template <class T>
[[nodiscard]] consteval bool IsConvertible() {
    if constexpr (ContainerTraits<T>::kKind != BindingTypeKind::None) {
        return IsConvertible<typename ContainerTraits<T>::Element>();
    } else {
        return KindOf<T>() != BindingTypeKind::None;
    }
}

template <class T, bool = ContainerTraits<T>::kKind != BindingTypeKind::None>
struct Innermost {
    using Type = T;
};
template <class T>
struct Innermost<T, true> {
    using Type = typename Innermost<typename ContainerTraits<T>::Element>::Type;
};

}  // namespace internal

/// The kind of a native type. Only the fixed-width integer types are integers
/// (`long long`, `char` and the like are None), std::vector<E> with the
/// standard allocator is a vector, std::unordered_map<std::string, E> with
/// the standard hash, equality and allocator is a map, any other default-
/// constructible class is a record (Struct), whether registered or not.
template <class T>
inline constexpr BindingTypeKind kBindingKindOf = internal::KindOf<T>();

/// Types the typed builder and conversions accept: a type with a kind, and
/// for vectors and maps elements that are such types too.
template <class T>
concept BindingNativeType = internal::IsConvertible<T>();

/// The elements of a vector or map; void for other types.
template <class T>
using BindingElementOf = typename internal::ContainerTraits<T>::Element;

/// T with every vector and map level taken off: for a vector of maps of
/// records, the record.
template <class T>
using BindingInnermostOf = typename internal::Innermost<T>::Type;

/// Kinds the built-in conversions handle without a converter, also as the
/// elements of vectors and maps: bool, the integers, float, double, string,
/// object and blob.
[[nodiscard]] constexpr bool IsBuiltinKind(BindingTypeKind kind) noexcept {
    return kind >= BindingTypeKind::Bool && kind <= BindingTypeKind::Blob;
}

/// Whether T's innermost type is a record or enumeration, whose conversions
/// need a registered description.
template <class T>
inline constexpr bool kBindingNeedsDescription =
    kBindingKindOf<BindingInnermostOf<T>> == BindingTypeKind::Enum ||
    kBindingKindOf<BindingInnermostOf<T>> == BindingTypeKind::Struct;

}  // namespace Nimbel
