// The value-to-native rules of every built-in kind, enumerations, records and
// the field dispatch.
#include "binding/value_to_native.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <type_traits>
#include <utility>
#include <vector>

#include "binding/base64.h"
#include "binding/internal/builtin_type_switch.h"
#include "binding/number_text.h"

namespace Nimbel {
namespace {

using internal::FailRequired;
using Kind = BindingPropertyKind;

template <class T>
constexpr std::string_view kTypeName = BindingTypeKindText(kBindingKindOf<T>);

// ---- Integers -------------------------------------------------------------------

// Whether a double lies in [minimum, maximum] of Int, so that truncating it
// is defined. The 64-bit maxima are not doubles: as bounds they round up to
// 2^63 and 2^64, which themselves do not fit, so those bounds are exclusive.
template <class Int>
[[nodiscard]] bool FitsAfterTruncation(double value) noexcept {
    constexpr double kLowest = static_cast<double>(std::numeric_limits<Int>::lowest());
    if constexpr (sizeof(Int) == 8) {
        constexpr double kLimit = std::is_signed_v<Int> ? 0x1p63 : 0x1p64;
        return value >= kLowest && value < kLimit;
    } else {
        return value >= kLowest && value <= static_cast<double>(std::numeric_limits<Int>::max());
    }
}

template <class Int, class Number>
void StoreIfInRange(BindingStatus& status, Int& target, Number value, std::string_view name) {
    if (std::in_range<Int>(value)) {
        target = static_cast<Int>(value);
    } else {
        internal::FailOutOfRange(status, value, name, kTypeName<Int>);
    }
}

template <class Int>
void StoreTruncated(BindingStatus& status, Int& target, double value, std::string_view name) {
    // NaN passes the range test by the rules but has no integer value: it
    // stores 0 instead of reaching an undefined cast.
    if (std::isnan(value)) return;
    if (FitsAfterTruncation<Int>(value)) {
        target = static_cast<Int>(value);
    } else {
        internal::FailOutOfRange(status, value, name, kTypeName<Int>);
    }
}

template <class Int>
void StoreParsed(BindingStatus& status, Int& target, std::string_view text, std::string_view name) {
    const NumberTarget number{name, kTypeName<Int>};
    if constexpr (std::is_signed_v<Int>) {
        target =
            static_cast<Int>(TextToSigned(status, text, number, std::numeric_limits<Int>::lowest(),
                                          std::numeric_limits<Int>::max()));
    } else {
        target =
            static_cast<Int>(TextToUnsigned(status, text, number, std::numeric_limits<Int>::max()));
    }
}

template <class Int>
void IntegerValueToNative(BindingStatus& status, Int& target, const BindingProperty& input,
                          std::string_view name) {
    target = 0;
    if (!status.Ok()) return;
    switch (input.Kind()) {
        case Kind::Empty:
            FailRequired(status, name);
            return;
        case Kind::Signed:
            StoreIfInRange(status, target, input.GetSigned(), name);
            return;
        case Kind::Unsigned:
            StoreIfInRange(status, target, input.GetUnsigned(), name);
            return;
        case Kind::Float:
            StoreTruncated(status, target, input.GetDouble(), name);
            return;
        case Kind::String:
            StoreParsed(status, target, input.GetString(), name);
            return;
        case Kind::Enum:
            StoreIfInRange(status, target, int64_t{input.GetEnum().value}, name);
            return;
        default:
            internal::FailInvalidType(status, name, kTypeName<Int>, input.KindName());
            return;
    }
}

// ---- Floating point -------------------------------------------------------------

template <class Real>
void RealValueToNative(BindingStatus& status, Real& target, const BindingProperty& input,
                       std::string_view name) {
    constexpr double kMaximum = std::numeric_limits<Real>::max();
    target = 0;
    if (!status.Ok()) return;
    switch (input.Kind()) {
        case Kind::Empty:
            FailRequired(status, name);
            return;
        case Kind::Signed:
            target = static_cast<Real>(static_cast<double>(input.GetSigned()));
            return;
        case Kind::Unsigned:
            target = static_cast<Real>(static_cast<double>(input.GetUnsigned()));
            return;
        case Kind::Enum:
            target = static_cast<Real>(static_cast<double>(input.GetEnum().value));
            return;
        case Kind::Float: {
            // Refused before narrowing: a double beyond the float range has
            // no float value. NaN passes and stays NaN.
            const double value = input.GetDouble();
            if (value < -kMaximum || value > kMaximum) {
                internal::FailOutOfRange(status, value, name, kTypeName<Real>);
            } else {
                target = static_cast<Real>(value);
            }
            return;
        }
        case Kind::String:
            target = static_cast<Real>(TextToDouble(status, input.GetString(),
                                                    {name, kTypeName<Real>}, -kMaximum, kMaximum));
            return;
        default:
            internal::FailInvalidType(status, name, kTypeName<Real>, input.KindName());
            return;
    }
}

// ---- bool, text, bytes, value ---------------------------------------------------

void BoolValueToNative(BindingStatus& status, bool& target, const BindingProperty& input,
                       std::string_view name) {
    target = false;
    if (!status.Ok()) return;
    switch (input.Kind()) {
        case Kind::Empty:
            FailRequired(status, name);
            return;
        case Kind::Bool:
            target = input.GetBool();
            return;
        case Kind::String: {
            const std::string_view text = input.GetString();
            if (text == "true" || text == "1") {
                target = true;
            } else if (text != "false" && text != "0") {
                internal::FailBoolFormat(status, text, name);
            }
            return;
        }
        default:
            internal::FailBoolInvalidType(status, name, input.KindName());
            return;
    }
}

void TextValueToNative(BindingStatus& status, std::string& target, const BindingProperty& input,
                       std::string_view name, const BindingTypeRegistry& registry) {
    target.clear();
    if (!status.Ok()) return;
    switch (input.Kind()) {
        case Kind::Empty:
            FailRequired(status, name);
            return;
        case Kind::String:
            target.assign(input.GetString());
            return;
        case Kind::Enum: {
            const BindingEnum pair = input.GetEnum();
            if (const auto enumeratorName = registry.EnumeratorName(*pair.type, pair.value)) {
                target.assign(*enumeratorName);
            } else {
                internal::FailNotEnumerationValue(status, pair.value, name);
            }
            return;
        }
        default:
            internal::FailNotString(status, name);
            return;
    }
}

void BytesValueToNative(BindingStatus& status, BindingBytes& target, const BindingProperty& input,
                        std::string_view name) {
    target.clear();
    if (!status.Ok()) return;
    switch (input.Kind()) {
        case Kind::Empty:
            FailRequired(status, name);
            return;
        case Kind::Blob:
            target = input.GetBytes();
            return;
        case Kind::String: {
            const std::string_view text = input.GetString();
            if (!IsBase64Text(text)) {
                internal::FailInvalidBase64(status, name);
                return;
            }
            target.resize(DecodedBase64Size(text));
            DecodeBase64(text, target);
            return;
        }
        default:
            internal::FailNotBlob(status, name);
            return;
    }
}

void PropertyValueToNative(BindingStatus& status, BindingProperty& target,
                           const BindingProperty& input) {
    // Assignment clears the old content first and copes with `input` being
    // `target` or inside it.
    if (status.Ok()) {
        target = input;
    } else {
        target.Clear();
    }
}

// ---- Enumerations ---------------------------------------------------------------

[[nodiscard]] bool IsEnumWidth(size_t width) noexcept {
    return width == 1 || width == 2 || width == 4 || width == 8;
}

template <class Int>
void StoreAs(void* target, int32_t value) noexcept {
    const auto stored = static_cast<Int>(value);
    std::memcpy(target, &stored, sizeof stored);
}

// Writes `value` in the enumeration's native width; 8 bytes are sign-extended.
void StoreEnumerator(void* target, size_t width, int32_t value) noexcept {
    switch (width) {
        case 1:
            StoreAs<int8_t>(target, value);
            return;
        case 2:
            StoreAs<int16_t>(target, value);
            return;
        case 4:
            StoreAs<int32_t>(target, value);
            return;
        case 8:
            StoreAs<int64_t>(target, value);
            return;
        default:
            return;
    }
}

[[nodiscard]] bool IsEnumeratorValue(const BindingTypeDescription* enumeration,
                                     int32_t value) noexcept {
    return enumeration != nullptr && enumeration->HasEnumeratorValue(value);
}

[[nodiscard]] std::string_view EnumerationName(const BindingTypeDescription* enumeration) noexcept {
    return enumeration != nullptr ? std::string_view(enumeration->name)
                                  : BindingTypeKindText(BindingTypeKind::Enum);
}

void StoreEnumeratorNumber(BindingStatus& status, void* target, size_t width, int32_t value,
                           std::string_view name, const BindingTypeDescription* enumeration) {
    if (IsEnumeratorValue(enumeration, value)) {
        StoreEnumerator(target, width, value);
    } else {
        internal::FailNotEnumeratorOf(status, value, EnumerationName(enumeration), name);
    }
}

// Enumerator values are 32-bit: a wider number is refused rather than cut,
// which would accept 4294967297 as 1.
template <class Number>
void StoreEnumeratorWideNumber(BindingStatus& status, void* target, size_t width, Number value,
                               std::string_view name, const BindingTypeDescription* enumeration) {
    if (!std::in_range<int32_t>(value)) {
        internal::FailOutOfRange(status, value, name, EnumerationName(enumeration));
        return;
    }
    StoreEnumeratorNumber(status, target, width, static_cast<int32_t>(value), name, enumeration);
}

// By name first, then as a number written in text; the not-valid message
// replaces whatever the number parsing said.
void StoreEnumeratorText(BindingStatus& status, void* target, size_t width, std::string_view text,
                         std::string_view name, const BindingTypeDescription* enumeration) {
    if (enumeration != nullptr) {
        if (const BindingEnumValue* enumerator = enumeration->FindEnumerator(text)) {
            StoreEnumerator(target, width, enumerator->value);
            return;
        }
    }
    BindingStatus parsing;
    const int64_t number =
        TextToSigned(parsing, text, {name, BindingTypeKindText(BindingTypeKind::Int32)},
                     std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    const auto value = static_cast<int32_t>(number);
    if (parsing.Ok() && IsEnumeratorValue(enumeration, value)) {
        StoreEnumerator(target, width, value);
    } else {
        internal::FailNotEnumeratorOf(status, text, EnumerationName(enumeration), name);
    }
}

// ---- Field dispatch helpers -----------------------------------------------------

void ConverterValueToNative(BindingStatus& status, const BindingFieldDescription& field,
                            void* target, const BindingProperty& input,
                            const BindingTypeRegistry& registry) {
    if (field.converter == nullptr) {
        internal::FailUnregisteredTarget(status, field.name);
        return;
    }
    field.converter->FromValue(status, target, input, field.name, field.type.description, registry);
}

// Vectors and maps of built-in elements; false for other element kinds.
[[nodiscard]] bool ContainerValueToNative(BindingStatus& status,
                                          const BindingFieldDescription& field, void* target,
                                          const BindingProperty& input,
                                          const BindingTypeRegistry& registry) {
    const bool isVector = field.type.kind == BindingTypeKind::Vector;
    return internal::VisitBuiltinType(field.type.elementKind, [&](auto element) {
        using Element = typename decltype(element)::type;
        if (isVector) {
            internal::VectorValueToNative(status, *static_cast<std::vector<Element>*>(target),
                                          input, field.name, nullptr, registry);
        } else {
            internal::MapValueToNative(
                status, *static_cast<std::unordered_map<std::string, Element>*>(target), input,
                field.name, nullptr, registry);
        }
    });
}

// ---- Records --------------------------------------------------------------------

// Records of up to this many fields find their members in one walk, with the
// matches kept on the stack; larger ones search the structure per field.
constexpr size_t kMatchedOnStack = 128;

[[nodiscard]] bool CanMatchMembersOnStack(const BindingTypeDescription& description) noexcept {
    return description.fields.size() <= kMatchedOnStack &&
           description.fieldsByName.size() == description.fields.size();
}

// Member names are cut at their first NUL; so is a field name looking for one.
[[nodiscard]] std::string_view AsMemberName(std::string_view name) noexcept {
    return name.substr(0, name.find('\0'));
}

// Sets matched[i] to the member named like field i, or null: fields in name
// order against members in name order, one comparison per step, where a
// search per field would compare names about log2(members) times each.
void MatchMembers(BindingMemberRange<const BindingMember> members,
                  const BindingTypeDescription& description,
                  std::array<const BindingProperty*, kMatchedOnStack>& matched) noexcept {
    size_t next = 0;
    for (const uint32_t index : description.fieldsByName) {
        if (index >= description.fields.size()) continue;
        const std::string_view fieldName = AsMemberName(description.fields[index].name);
        while (next < members.size() && members[next].Name() < fieldName) ++next;
        const bool found = next < members.size() && members[next].Name() == fieldName;
        matched[index] = found ? &members[next].Value() : nullptr;
    }
}

// Converts one field from its member (null when missing); false when the
// conversion failed and the record must stop.
[[nodiscard]] bool ConvertMember(BindingStatus& status, const BindingFieldDescription& field,
                                 std::byte* base, const BindingProperty* member,
                                 std::string_view recordName,
                                 const BindingTypeDescription& description,
                                 const BindingTypeRegistry& registry) {
    if (member == nullptr || member->IsEmpty()) {
        if (!field.Has(FieldRequired)) return true;
        internal::FailRequiredField(status, recordName, description.name, field.name);
        return false;
    }
    FieldValueToNative(status, field, base + field.position, *member, registry);
    return status.Ok();
}

}  // namespace

void BuiltinValueToNative(BindingStatus& status, BindingTypeKind kind, void* target,
                          const BindingProperty& input, std::string_view name,
                          const BindingTypeRegistry& registry) {
    internal::VisitBuiltinType(kind, [&](auto type) {
        using T = typename decltype(type)::type;
        T& native = *static_cast<T*>(target);
        if constexpr (std::is_same_v<T, bool>) {
            BoolValueToNative(status, native, input, name);
        } else if constexpr (std::is_integral_v<T>) {
            IntegerValueToNative(status, native, input, name);
        } else if constexpr (std::is_floating_point_v<T>) {
            RealValueToNative(status, native, input, name);
        } else if constexpr (std::is_same_v<T, std::string>) {
            TextValueToNative(status, native, input, name, registry);
        } else if constexpr (std::is_same_v<T, BindingBytes>) {
            BytesValueToNative(status, native, input, name);
        } else {
            PropertyValueToNative(status, native, input);
        }
    });
}

void EnumValueToNative(BindingStatus& status, void* target, size_t width,
                       const BindingProperty& input, std::string_view name,
                       const BindingTypeDescription* enumeration) {
    StoreEnumerator(target, width, 0);
    if (!status.Ok()) return;
    switch (input.Kind()) {
        case Kind::Empty:
            FailRequired(status, name);
            return;
        case Kind::Signed:
            StoreEnumeratorWideNumber(status, target, width, input.GetSigned(), name, enumeration);
            return;
        case Kind::Unsigned:
            StoreEnumeratorWideNumber(status, target, width, input.GetUnsigned(), name,
                                      enumeration);
            return;
        case Kind::Enum:
            StoreEnumeratorNumber(status, target, width, input.GetEnum().value, name, enumeration);
            return;
        case Kind::String:
            StoreEnumeratorText(status, target, width, input.GetString(), name, enumeration);
            return;
        default:
            internal::FailEnumInvalidType(status, name, input.KindName());
            return;
    }
}

void RecordValueToNative(BindingStatus& status, void* record, const BindingProperty& input,
                         std::string_view name, const BindingTypeDescription* description,
                         const BindingTypeRegistry& registry) {
    if (!status.Ok()) return;
    if (description == nullptr) {
        internal::FailUnregisteredTarget(status, name);
        return;
    }
    if (input.Kind() != Kind::Structure) {
        internal::FailRecordNotStructure(status, name, description->name);
        return;
    }
    const internal::ConversionBudgetScope budget(input);
    auto* const base = static_cast<std::byte*>(record);
    const std::vector<BindingFieldDescription>& fields = description->fields;
    if (!CanMatchMembersOnStack(*description)) {
        for (const BindingFieldDescription& field : fields) {
            if (!ConvertMember(status, field, base, input.FindMember(field.name), name,
                               *description, registry)) {
                return;
            }
        }
        return;
    }
    std::array<const BindingProperty*, kMatchedOnStack> members{};
    MatchMembers(input.Members(), *description, members);
    for (size_t i = 0; i < fields.size(); ++i) {
        if (!ConvertMember(status, fields[i], base, members[i], name, *description, registry)) {
            return;
        }
    }
}

void FieldValueToNative(BindingStatus& status, const BindingFieldDescription& field, void* target,
                        const BindingProperty& input, const BindingTypeRegistry& registry) {
    const BindingTypeRef& type = field.type;
    if (!field.optional) {
        switch (type.kind) {
            case BindingTypeKind::Blob:
            case BindingTypeKind::Callback:
                break;
            case BindingTypeKind::Vector:
            case BindingTypeKind::Map:
                if (ContainerValueToNative(status, field, target, input, registry)) return;
                break;
            case BindingTypeKind::Enum:
                if (type.description == nullptr || !IsEnumWidth(type.description->nativeSize)) {
                    break;
                }
                EnumValueToNative(status, target, type.description->nativeSize, input, field.name,
                                  type.description);
                return;
            case BindingTypeKind::Struct:
                RecordValueToNative(status, target, input, field.name, type.description, registry);
                return;
            default:
                if (!IsBuiltinKind(type.kind)) break;
                BuiltinValueToNative(status, type.kind, target, input, field.name, registry);
                return;
        }
    }
    ConverterValueToNative(status, field, target, input, registry);
}

}  // namespace Nimbel
