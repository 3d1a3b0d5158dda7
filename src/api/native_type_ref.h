// The BindingTypeRef of a native type as a registry knows it now: what an
// endpoint's argument and result descriptions report.
#pragma once

#include "api/endpoint_answer.h"
#include "binding/binding_native_type.h"
#include "binding/binding_type_ref.h"
#include "binding/binding_type_registry.h"

namespace Nimbel::internal {

/// Kind and element kind of T, with the description of T (or of its
/// elements) when that record or enumeration is registered. An EndpointAnswer
/// carries a generic value, so it reports kind Object.
template <class T>
[[nodiscard]] BindingTypeRef NativeTypeRef(const BindingTypeRegistry& registry) {
    if constexpr (std::is_same_v<T, EndpointAnswer>) {
        return BindingTypeRef{BindingTypeKind::Object, BindingTypeKind::None, nullptr};
    } else {
        BindingTypeRef type{kBindingKindOf<T>, BindingTypeKind::None, nullptr};
        if constexpr (kBindingKindOf<T> == BindingTypeKind::Enum ||
                      kBindingKindOf<T> == BindingTypeKind::Struct) {
            type.description = registry.FindNativeType<T>();
        } else if constexpr (kBindingKindOf<T> == BindingTypeKind::Vector ||
                             kBindingKindOf<T> == BindingTypeKind::Map) {
            using Element = BindingElementOf<T>;
            type.elementKind = kBindingKindOf<Element>;
            if constexpr (kBindingKindOf<Element> == BindingTypeKind::Enum ||
                          kBindingKindOf<Element> == BindingTypeKind::Struct) {
                type.description = registry.FindNativeType<Element>();
            }
        }
        return type;
    }
}

}  // namespace Nimbel::internal
