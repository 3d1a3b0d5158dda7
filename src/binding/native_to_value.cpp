// The native-to-value rules of every built-in kind, enumerations, records and
// the field dispatch.
#include "binding/native_to_value.h"

#include <cstddef>
#include <cstring>
#include <string_view>
#include <type_traits>
#include <utility>

#include "binding/conversion_messages.h"
#include "binding/internal/builtin_type_switch.h"
#include "binding/internal/native_enumerator.h"

namespace Nimbel {
namespace {

using Kind = BindingPropertyKind;

using internal::IsEnumWidth;
using internal::LoadEnumerator;

void ConverterNativeToValue(BindingStatus& status, BindingProperty& output,
                            const BindingFieldDescription& field, const void* source,
                            const BindingTypeRegistry& registry) {
    if (field.converter == nullptr) {
        internal::FailUnregisteredSource(status);
        return;
    }
    field.converter->ToValue(status, output, source, field.type.description, registry);
}

// Vectors and maps of built-in elements; false for other element kinds.
[[nodiscard]] bool ContainerNativeToValue(BindingStatus& status, BindingProperty& output,
                                          const BindingFieldDescription& field, const void* source,
                                          const BindingTypeRegistry& registry) {
    const bool isVector = field.type.kind == BindingTypeKind::Vector;
    return internal::VisitBuiltinType(field.type.elementKind, [&](auto element) {
        using Element = typename decltype(element)::type;
        if (isVector) {
            internal::VectorNativeToValue(status, output,
                                          *static_cast<const std::vector<Element>*>(source),
                                          nullptr, registry);
        } else {
            internal::MapNativeToValue(
                status, output,
                *static_cast<const std::unordered_map<std::string, Element>*>(source), nullptr,
                registry);
        }
    });
}

// A FieldSkipEmpty field is converted on its own first, so that an empty or
// zero result never becomes a member.
void SkippableFieldNativeToValue(BindingStatus& status, BindingProperty& output,
                                 const BindingFieldDescription& field, const void* source,
                                 const BindingTypeRegistry& registry) {
    BindingStatus fieldStatus;
    FieldNativeToValue(fieldStatus, fieldStatus.Value(), field, source, registry);
    if (!fieldStatus.Ok()) {
        status.SetError(fieldStatus.ErrorMessage());
        return;
    }
    if (IsEmptyOrZero(fieldStatus.Value())) return;
    output[field.name] = std::move(fieldStatus.Value());
}

// Writes one field's member: in place, or for FieldSkipEmpty fields only
// when the converted value is not empty or zero.
void WriteMember(BindingStatus& status, BindingProperty& output,
                 const BindingFieldDescription& field, const void* source,
                 const BindingTypeRegistry& registry) {
    if (field.Has(FieldSkipEmpty)) {
        SkippableFieldNativeToValue(status, output, field, source, registry);
        return;
    }
    // The member's reference stays valid while it is converted: only the
    // member's own content grows meanwhile.
    BindingProperty& member = output[field.name];
    member.Clear();
    FieldNativeToValue(status, member, field, source, registry);
}

// Replaces a failed status's message with that of the first field, in
// registration order, whose conversion fails.
void ReportFirstFailingField(BindingStatus& status, const std::byte* base,
                             const BindingTypeDescription& description,
                             const BindingTypeRegistry& registry) {
    for (const BindingFieldDescription& field : description.fields) {
        BindingStatus fieldStatus;
        FieldNativeToValue(fieldStatus, fieldStatus.Value(), field, base + field.position,
                           registry);
        if (!fieldStatus.Ok()) {
            status.SetError(fieldStatus.ErrorMessage());
            return;
        }
    }
}

}  // namespace

void BuiltinNativeToValue(BindingProperty& output, BindingTypeKind kind, const void* source) {
    internal::VisitBuiltinType(kind, [&](auto type) {
        using T = typename decltype(type)::type;
        const T& native = *static_cast<const T*>(source);
        if constexpr (std::is_same_v<T, bool> || std::is_same_v<T, BindingProperty> ||
                      std::is_same_v<T, BindingBytes>) {
            output = native;
        } else if constexpr (std::is_integral_v<T> && std::is_signed_v<T>) {
            output = int64_t{native};
        } else if constexpr (std::is_integral_v<T>) {
            output = uint64_t{native};
        } else if constexpr (std::is_floating_point_v<T>) {
            output = double{native};
        } else {
            output = std::string_view(native);
        }
    });
}

void EnumNativeToValue(BindingProperty& output, const void* source, size_t width,
                       const StaticTypeId& enumeration) {
    output = BindingEnum{LoadEnumerator(source, width), &enumeration};
}

void RecordNativeToValue(BindingStatus& status, BindingProperty& output, const void* record,
                         const BindingTypeDescription* description,
                         const BindingTypeRegistry& registry) {
    if (!status.Ok()) return;
    if (description == nullptr) {
        internal::FailUnregisteredSource(status);
        return;
    }
    output.MakeStructure();
    const auto* const base = static_cast<const std::byte*>(record);
    if (description->fieldsByName.size() != description->fields.size()) {
        for (const BindingFieldDescription& field : description->fields) {
            WriteMember(status, output, field, base + field.position, registry);
            if (!status.Ok()) return;
        }
        return;
    }
    // Members written in name order are appended, not inserted among the
    // others. Only the message of a failure depends on the order of the
    // fields, so a failure is told again in registration order.
    for (const uint32_t index : description->fieldsByName) {
        const BindingFieldDescription& field = description->fields[index];
        WriteMember(status, output, field, base + field.position, registry);
        if (!status.Ok()) {
            ReportFirstFailingField(status, base, *description, registry);
            return;
        }
    }
}

void FieldNativeToValue(BindingStatus& status, BindingProperty& output,
                        const BindingFieldDescription& field, const void* source,
                        const BindingTypeRegistry& registry) {
    const BindingTypeRef& type = field.type;
    if (!field.optional) {
        switch (type.kind) {
            case BindingTypeKind::Callback:
                break;
            case BindingTypeKind::Vector:
            case BindingTypeKind::Map:
                if (ContainerNativeToValue(status, output, field, source, registry)) return;
                break;
            case BindingTypeKind::Enum:
                if (type.description == nullptr || !IsEnumWidth(type.description->nativeSize)) {
                    break;
                }
                EnumNativeToValue(output, source, type.description->nativeSize,
                                  *type.description->identity);
                return;
            case BindingTypeKind::Struct:
                RecordNativeToValue(status, output, source, type.description, registry);
                return;
            default:
                if (!IsBuiltinKind(type.kind)) break;
                BuiltinNativeToValue(output, type.kind, source);
                return;
        }
    }
    ConverterNativeToValue(status, output, field, source, registry);
}

bool IsEmptyOrZero(const BindingProperty& value) noexcept {
    switch (value.Kind()) {
        case Kind::Empty:
            return true;
        case Kind::Bool:
            return !value.GetBool();
        case Kind::Signed:
            return value.GetSigned() == 0;
        case Kind::Unsigned:
            return value.GetUnsigned() == 0;
        case Kind::Float:
            return value.GetDouble() == 0.0;
        case Kind::Enum:
            return value.GetEnum().value == 0;
        default:
            return value.Size() == 0;
    }
}

}  // namespace Nimbel
