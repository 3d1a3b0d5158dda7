// From a built-in BindingTypeKind to the one native type the typed builder
// registers for it, so non-template code can call typed code for the built-in
// elements of vectors and maps.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

#include "binding/binding_property.h"
#include "binding/binding_type_kind.h"

namespace Nimbel::internal {

/// Calls `visitor(std::type_identity<T>{})` with the native type T of a
/// built-in kind (bool to blob) and returns true; returns false for any
/// other kind without calling it.
template <class Visitor>
bool VisitBuiltinType(BindingTypeKind kind, Visitor&& visitor) {
    switch (kind) {
        case BindingTypeKind::Bool:
            visitor(std::type_identity<bool>{});
            return true;
        case BindingTypeKind::Int8:
            visitor(std::type_identity<int8_t>{});
            return true;
        case BindingTypeKind::UInt8:
            visitor(std::type_identity<uint8_t>{});
            return true;
        case BindingTypeKind::Int16:
            visitor(std::type_identity<int16_t>{});
            return true;
        case BindingTypeKind::UInt16:
            visitor(std::type_identity<uint16_t>{});
            return true;
        case BindingTypeKind::Int32:
            visitor(std::type_identity<int32_t>{});
            return true;
        case BindingTypeKind::UInt32:
            visitor(std::type_identity<uint32_t>{});
            return true;
        case BindingTypeKind::Int64:
            visitor(std::type_identity<int64_t>{});
            return true;
        case BindingTypeKind::UInt64:
            visitor(std::type_identity<uint64_t>{});
            return true;
        case BindingTypeKind::Float:
            visitor(std::type_identity<float>{});
            return true;
        case BindingTypeKind::Double:
            visitor(std::type_identity<double>{});
            return true;
        case BindingTypeKind::String:
            visitor(std::type_identity<std::string>{});
            return true;
        case BindingTypeKind::Object:
            visitor(std::type_identity<BindingProperty>{});
            return true;
        case BindingTypeKind::Blob:
            visitor(std::type_identity<BindingBytes>{});
            return true;
        default:
            return false;
    }
}

}  // namespace Nimbel::internal
