// Value-to-native conversion: a BindingProperty into a native value (a
// number, bool, text, byte array, enumerator, vector, text-keyed map, another
// BindingProperty or a registered record), lenient in a few fixed ways
// (numbers and bools as text, bytes as base64, enumerators by name or number)
// and strict otherwise.
//
// Failure: nothing throws for bad input. The first failure fails the status
// with its fixed message and ends the whole conversion; what was converted
// before it stays as converted, and callers treat a failed status as no
// result. A conversion called with a failed status only leaves its target at
// the zero value of its type (0, false, empty text, bytes, vector or map); a
// record target is left untouched.
//
// Budget: an empty element of a vector of records, or a record given as an
// empty structure, still becomes a whole default record. What one conversion
// makes so is bounded by what it read (conversion_budget.h); past
// that it fails with "Couldn't assign value to '%1' because the conversion
// would write more than %2 nodes from the %3 nodes of its input.", before the
// vector or map that would pass it is filled.
//
// Names: `name` is what messages call the target ('%1'): at the top level
// what the caller passes, for a record field the field's own name, for an
// element of a vector or map the vector's or map's name.
//
// Aliasing: `input` must not be part of `status`'s own value, which a failure
// replaces.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "binding/binding_native_type.h"
#include "binding/binding_property.h"
#include "binding/binding_status.h"
#include "binding/binding_type_description.h"
#include "binding/binding_type_registry.h"
#include "binding/conversion_budget.h"
#include "binding/conversion_messages.h"

namespace Nimbel {

// ---- Building blocks ------------------------------------------------------------
// What the typed entry point and the field dispatch are made of; each follows
// the failure rules above.

/// Converts `input` into the native value of built-in `kind` (bool to blob;
/// see kBindingKindOf for the native types) at `target`. Other kinds do nothing.
void BuiltinValueToNative(BindingStatus& status, BindingTypeKind kind, void* target,
                          const BindingProperty& input, std::string_view name,
                          const BindingTypeRegistry& registry);

/// Converts `input` into the enumerator at `target`, `width` bytes wide (1, 2,
/// 4 or 8; 8 is sign-extended from 32 bits), accepting the values of
/// `enumeration`'s enumerators; null `enumeration` accepts none.
void EnumValueToNative(BindingStatus& status, void* target, size_t width,
                       const BindingProperty& input, std::string_view name,
                       const BindingTypeDescription* enumeration);

/// Converts a structure into the native record at `record`, which
/// `description` describes, field by field in registration order; members
/// that match no field are ignored, missing or empty members leave their field
/// as it was unless it is FieldRequired. Null `description` fails as an
/// unregistered type. An empty input is not required here (it is not a
/// structure); only the typed entry point asks for a value first.
void RecordValueToNative(BindingStatus& status, void* record, const BindingProperty& input,
                         std::string_view name, const BindingTypeDescription* description,
                         const BindingTypeRegistry& registry);

/// Converts a record member into the native field at `target` by the field's
/// kind, or through its converter for the kinds the built-in dispatch leaves
/// to it and for optional fields. A field that needs a converter and has none
/// fails as an unregistered type.
void FieldValueToNative(BindingStatus& status, const BindingFieldDescription& field, void* target,
                        const BindingProperty& input, const BindingTypeRegistry& registry);

namespace internal {

template <class T>
void ValueToNativeAs(BindingStatus& status, T& target, const BindingProperty& input,
                     std::string_view name, const BindingTypeDescription* description,
                     const BindingTypeRegistry& registry);

/// The nodes one element of type E stands for before it is converted: a whole
/// default record for records (`description` is the record's), else 1.
template <class E>
[[nodiscard]] uint64_t DefaultElementNodes(const BindingTypeDescription* description) noexcept {
    if constexpr (kBindingKindOf<E> == BindingTypeKind::Struct) {
        return DefaultRecordNodes(description);
    } else {
        return 1;
    }
}

/// The vector rules: emptied first; a collection gives one element per input
/// element, an empty input element leaving its default element in place; any
/// other input fails, an empty one for a vector of bool as required. The
/// default elements are counted against the conversion's budget before any
/// is made.
template <class E>
void VectorValueToNative(BindingStatus& status, std::vector<E>& target,
                         const BindingProperty& input, std::string_view name,
                         const BindingTypeDescription* description,
                         const BindingTypeRegistry& registry) {
    target.clear();
    if (!status.Ok()) return;
    if (input.Kind() != BindingPropertyKind::Collection) {
        if (std::is_same_v<E, bool> && input.IsEmpty()) {
            FailRequired(status, name);
        } else {
            FailNotCollection(status, name);
        }
        return;
    }
    const ConversionBudgetScope budget(input);
    const std::span<const BindingProperty> elements = input.Elements();
    if (!ChargeWrittenNodes(status, elements.size(), DefaultElementNodes<E>(description), name)) {
        return;
    }
    target.resize(elements.size());
    for (size_t i = 0; i < elements.size() && status.Ok(); ++i) {
        if (elements[i].IsEmpty()) continue;
        if constexpr (std::is_same_v<E, bool>) {
            bool element = false;
            ValueToNativeAs(status, element, elements[i], name, description, registry);
            target[i] = element;
        } else {
            ValueToNativeAs(status, target[i], elements[i], name, description, registry);
        }
    }
}

/// The map rules: emptied first; a structure gives one entry per member that
/// is not empty, in member-name order; any other input, empty included, fails.
/// The entries are counted against the conversion's budget as the vector's.
template <class E>
void MapValueToNative(BindingStatus& status, std::unordered_map<std::string, E>& target,
                      const BindingProperty& input, std::string_view name,
                      const BindingTypeDescription* description,
                      const BindingTypeRegistry& registry) {
    target.clear();
    if (!status.Ok()) return;
    if (input.Kind() != BindingPropertyKind::Structure) {
        FailMapNotStructure(status, name);
        return;
    }
    const ConversionBudgetScope budget(input);
    if (!ChargeWrittenNodes(status, input.Size(), DefaultElementNodes<E>(description), name)) {
        return;
    }
    for (const BindingMember& member : input.Members()) {
        if (member.Value().IsEmpty()) continue;
        E element{};
        ValueToNativeAs(status, element, member.Value(), name, description, registry);
        if (!status.Ok()) return;
        target.insert_or_assign(std::string(member.Name()), std::move(element));
    }
}

/// The rules of T as an element or field: `description` is T's record or
/// enumeration description, or for containers that of the innermost element.
template <class T>
void ValueToNativeAs(BindingStatus& status, T& target, const BindingProperty& input,
                     std::string_view name, const BindingTypeDescription* description,
                     const BindingTypeRegistry& registry) {
    constexpr BindingTypeKind kKind = kBindingKindOf<T>;
    static_assert(kKind != BindingTypeKind::None, "no conversion for this native type");
    if constexpr (IsBuiltinKind(kKind)) {
        BuiltinValueToNative(status, kKind, &target, input, name, registry);
    } else if constexpr (kKind == BindingTypeKind::Enum) {
        static_assert(sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8);
        EnumValueToNative(status, &target, sizeof(T), input, name, description);
    } else if constexpr (kKind == BindingTypeKind::Struct) {
        RecordValueToNative(status, &target, input, name, description, registry);
    } else if constexpr (kKind == BindingTypeKind::Vector) {
        VectorValueToNative(status, target, input, name, description, registry);
    } else {
        MapValueToNative(status, target, input, name, description, registry);
    }
}

}  // namespace internal

// ---- Entry point --------------------------------------------------------------

/// Converts `input` into `target` by the rules of T. A record T (and the
/// records and enumerations inside T) is looked up in `registry` by its
/// native identity; a record asked for here requires a value: an empty input
/// fails with "A value for '%1' is required." before anything else.
template <BindingNativeType T>
void ValueToNative(BindingStatus& status, T& target, const BindingProperty& input,
                   std::string_view name, const BindingTypeRegistry& registry) {
    if constexpr (kBindingKindOf<T> == BindingTypeKind::Struct) {
        if (status.Ok() && input.IsEmpty()) {
            internal::FailRequired(status, name);
            return;
        }
    }
    const BindingTypeDescription* description = nullptr;
    if constexpr (kBindingNeedsDescription<T>) {
        description = registry.FindNativeType<BindingInnermostOf<T>>();
    }
    internal::ValueToNativeAs(status, target, input, name, description, registry);
}

}  // namespace Nimbel
