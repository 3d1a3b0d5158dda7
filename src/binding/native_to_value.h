// Native-to-value conversion: a native value (number, bool, text, byte array,
// BindingProperty, enumerator, vector, text-keyed map or registered record)
// into a BindingProperty, the mirror of value_to_native.h.
//
// Failure: only a record whose type has no description, or a field converter
// that reports a failure, fails; the status then holds the message of the
// first failure and nothing else, as a failed status always does.
//
// Records leave out FieldSkipEmpty fields whose value is empty or zero; every
// other field gives its member, an empty value included.
//
// Output: the building blocks write into `output`, which may be `status`'s
// own value or a node inside it. After a failure they touch `output` no more,
// because the error replaced the tree it belonged to.
#pragma once

#include <cstddef>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "binding/binding_native_type.h"
#include "binding/binding_property.h"
#include "binding/binding_status.h"
#include "binding/binding_type_description.h"
#include "binding/binding_type_registry.h"
#include "binding/static_type.h"

namespace Nimbel {

// ---- Building blocks ------------------------------------------------------------

/// Writes the native value of built-in `kind` (bool to blob) at `source` into
/// `output`: bool; integers signed or unsigned, 64-bit; float and double as a
/// double; text; bytes; a deep copy of a BindingProperty. Other kinds do nothing.
void BuiltinNativeToValue(BindingProperty& output, BindingTypeKind kind, const void* source);

/// Writes the enumerator at `source`, `width` bytes wide, as an enum value of
/// `enumeration`: 1 and 2 bytes sign-extended, 4 and 8 bytes taken as their
/// low 32 bits. Values that no enumerator has are written all the same.
void EnumNativeToValue(BindingProperty& output, const void* source, size_t width,
                       const StaticTypeId& enumeration);

/// Makes `output` a structure and writes one member per field of the record
/// at `record`, in registration order. Null `description` fails with
/// "Couldn't convert native value because it's an unregistered structure."
void RecordNativeToValue(BindingStatus& status, BindingProperty& output, const void* record,
                         const BindingTypeDescription* description,
                         const BindingTypeRegistry& registry);

/// Writes the native field at `source` by the field's kind, or through its
/// converter for the kinds the built-in dispatch leaves to it and for optional
/// fields. A field that needs a converter and has none fails as unregistered.
void FieldNativeToValue(BindingStatus& status, BindingProperty& output,
                        const BindingFieldDescription& field, const void* source,
                        const BindingTypeRegistry& registry);

/// Whether a converted member is one that FieldSkipEmpty leaves out: empty;
/// false; integer 0; float equal to 0.0 (NaN is kept); text, bytes,
/// collection or structure of size 0; enum with value 0.
[[nodiscard]] bool IsEmptyOrZero(const BindingProperty& value) noexcept;

namespace internal {

template <class T>
void NativeToValueAs(BindingStatus& status, BindingProperty& output, const T& source,
                     const BindingTypeDescription* description,
                     const BindingTypeRegistry& registry);

/// A collection with element i the conversion of item i; an output that
/// already is a collection keeps the elements beyond the vector's size.
template <class E>
void VectorNativeToValue(BindingStatus& status, BindingProperty& output,
                         const std::vector<E>& source, const BindingTypeDescription* description,
                         const BindingTypeRegistry& registry) {
    output.MakeCollection();
    output.Reserve(source.size());
    for (size_t i = 0; i < source.size(); ++i) {
        BindingProperty& element = output[i];
        element.Clear();
        const E& item = source[i];
        NativeToValueAs(status, element, item, description, registry);
        if (!status.Ok()) return;
    }
}

/// A structure with one member per key, holding the conversion of its value.
template <class E>
void MapNativeToValue(BindingStatus& status, BindingProperty& output,
                      const std::unordered_map<std::string, E>& source,
                      const BindingTypeDescription* description,
                      const BindingTypeRegistry& registry) {
    output.MakeStructure();
    for (const auto& [key, item] : source) {
        BindingProperty& member = output[key];
        member.Clear();
        NativeToValueAs(status, member, item, description, registry);
        if (!status.Ok()) return;
    }
}

/// The rules of T as an element or field: `description` is T's record
/// description, or for containers that of the innermost record.
template <class T>
void NativeToValueAs(BindingStatus& status, BindingProperty& output, const T& source,
                     const BindingTypeDescription* description,
                     const BindingTypeRegistry& registry) {
    constexpr BindingTypeKind kKind = kBindingKindOf<T>;
    static_assert(kKind != BindingTypeKind::None, "no conversion for this native type");
    if constexpr (IsBuiltinKind(kKind)) {
        BuiltinNativeToValue(output, kKind, &source);
    } else if constexpr (kKind == BindingTypeKind::Enum) {
        static_assert(sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8);
        EnumNativeToValue(output, &source, sizeof(T), StaticType::Name<T>());
    } else if constexpr (kKind == BindingTypeKind::Struct) {
        RecordNativeToValue(status, output, &source, description, registry);
    } else if constexpr (kKind == BindingTypeKind::Vector) {
        VectorNativeToValue(status, output, source, description, registry);
    } else {
        MapNativeToValue(status, output, source, description, registry);
    }
}

}  // namespace internal

// ---- Entry point --------------------------------------------------------------

/// Writes the generic form of `source` into `status.Value()`. A record T (and
/// the records inside T) is looked up in `registry` by its native identity. A
/// status that has already failed is left as it is.
template <BindingNativeType T>
void NativeToValue(BindingStatus& status, const T& source, const BindingTypeRegistry& registry) {
    if (!status.Ok()) return;
    const BindingTypeDescription* description = nullptr;
    if constexpr (kBindingNeedsDescription<T>) {
        description = registry.FindNativeType<BindingInnermostOf<T>>();
    }
    internal::NativeToValueAs(status, status.Value(), source, description, registry);
}

}  // namespace Nimbel
