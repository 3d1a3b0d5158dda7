// The non-template parts of writing native values straight into core value
// records: scalars, texts, enumerators, records and the field dispatch.
#include "binding/native_to_core_value.h"

#include <cstring>
#include <new>

#include "binding/binding_field_converter.h"
#include "binding/binding_status.h"
#include "binding/internal/builtin_type_switch.h"
#include "binding/internal/native_enumerator.h"
#include "binding/native_to_value.h"
#include "diagnostics/allocator.h"

namespace Nimbel::internal {
namespace {

// Records of up to this many fields are written directly.
constexpr size_t kDirectFields = 128;

template <class T>
[[nodiscard]] KzoWord Word(T* pointer) noexcept {
    return reinterpret_cast<KzoWord>(pointer);
}

void SetBuffer(CoreValue& target, KzoWord kind, const void* buffer, size_t count) noexcept {
    target.kind = kind;
    target.a = Word(buffer);
    target.b = count;
}

void SetBits(CoreValue& target, KzoWord kind, uint64_t bits) noexcept {
    target.kind = kind;
    target.a = static_cast<KzoWord>(bits & 0xFFFFFFFFu);
    target.b = static_cast<KzoWord>(bits >> 32);
}

using internal::IsEnumWidth;
using internal::LoadEnumerator;

// A record is written directly when its members are its fields one for one,
// in the order of fieldsByName: names unique, without NUL, strictly ascending
// byte by byte, and no member left out by FieldSkipEmpty.
[[nodiscard]] bool WritesDirectly(const BindingTypeDescription& description) noexcept {
    const auto& fields = description.fields;
    const auto& order = description.fieldsByName;
    if (fields.size() > kDirectFields || order.size() != fields.size()) return false;
    std::string_view previous;
    for (size_t i = 0; i < order.size(); ++i) {
        if (order[i] >= fields.size()) return false;
        const BindingFieldDescription& field = fields[order[i]];
        const std::string_view name = field.name;
        if (field.Has(FieldSkipEmpty) || name.find('\0') != std::string_view::npos) return false;
        if (i > 0 && !(previous < name)) return false;
        previous = name;
    }
    return true;
}

// The value a conversion through the generic value gives, written from it.
[[nodiscard]] bool WrittenFrom(CoreBlockWriting& writing, CoreValue& target,
                               const BindingStatus& converted) {
    if (!converted.Ok()) return false;
    PropertyToCoreValueInLayout(target, converted.Value(), writing.enumNames, writing.layout);
    return true;
}

[[nodiscard]] bool FieldThroughValue(CoreBlockWriting& writing, CoreValue& target,
                                     const BindingFieldDescription& field, const void* source) {
    BindingStatus converted;
    FieldNativeToValue(converted, converted.Value(), field, source, writing.registry);
    return WrittenFrom(writing, target, converted);
}

[[nodiscard]] bool ConverterToCore(CoreBlockWriting& writing, CoreValue& target,
                                   const BindingFieldDescription& field, const void* source) {
    const BindingFieldConverter* converter = field.converter.get();
    if (converter == nullptr) return false;
    if (!converter->WritesCoreValue()) return FieldThroughValue(writing, target, field, source);
    return converter->ToCoreValue(writing, target, source, field.type.description);
}

[[nodiscard]] bool ContainerToCore(CoreBlockWriting& writing, CoreValue& target,
                                   const BindingFieldDescription& field, const void* source) {
    const bool isVector = field.type.kind == BindingTypeKind::Vector;
    bool written = false;
    const bool builtin = VisitBuiltinType(field.type.elementKind, [&](auto element) {
        using Element = typename decltype(element)::type;
        if (isVector) {
            written = VectorToCore(writing, target,
                                   *static_cast<const std::vector<Element>*>(source), nullptr);
        } else {
            written = MapToCore(
                writing, target,
                *static_cast<const std::unordered_map<std::string, Element>*>(source), nullptr);
        }
    });
    return builtin ? written : ConverterToCore(writing, target, field, source);
}

// The field dispatch of FieldNativeToValue, writing records.
[[nodiscard]] bool FieldToCore(CoreBlockWriting& writing, CoreValue& target,
                               const BindingFieldDescription& field, const void* source) {
    if (field.optional) return ConverterToCore(writing, target, field, source);
    const BindingTypeRef& type = field.type;
    switch (type.kind) {
        case BindingTypeKind::Callback:
            return ConverterToCore(writing, target, field, source);
        case BindingTypeKind::Vector:
        case BindingTypeKind::Map:
            return ContainerToCore(writing, target, field, source);
        case BindingTypeKind::Enum:
            if (type.description == nullptr || !IsEnumWidth(type.description->nativeSize)) {
                return ConverterToCore(writing, target, field, source);
            }
            return EnumToCore(writing, target, source, type.description->nativeSize,
                              *type.description->identity);
        case BindingTypeKind::Struct:
            return RecordToCore(writing, target, source, type.description);
        default: {
            bool written = false;
            const bool builtin = VisitBuiltinType(type.kind, [&](auto kind) {
                using T = typename decltype(kind)::type;
                written = NativeToCoreAs(writing, target, *static_cast<const T*>(source), nullptr);
            });
            return builtin ? written : ConverterToCore(writing, target, field, source);
        }
    }
}

}  // namespace

bool TextToCore(CoreBlockWriting& writing, CoreValue& target, const std::string& text) {
    const std::string_view member(text.c_str());  // texts are cut at their first NUL
    SetBuffer(target, kCoreValueStringOwned, writing.layout.Text(member), member.size());
    return true;
}

bool BytesToCore(CoreBlockWriting& writing, CoreValue& target, const BindingBytes& bytes) {
    SetBuffer(target, kCoreValueBlobOwned, writing.layout.Bytes(bytes.data(), bytes.size()),
              bytes.size());
    return true;
}

bool PropertyToCore(CoreBlockWriting& writing, CoreValue& target, const BindingProperty& value) {
    PropertyToCoreValueInLayout(target, value, writing.enumNames, writing.layout);
    return true;
}

bool EnumToCore(CoreBlockWriting& writing, CoreValue& target, const void* source, size_t width,
                const StaticTypeId& enumeration) {
    const int32_t value = LoadEnumerator(source, width);
    const auto name = writing.enumNames != nullptr
                          ? writing.enumNames->EnumeratorName(enumeration, value)
                          : std::nullopt;
    if (name.has_value()) {
        SetBuffer(target, kCoreValueStringOwned, writing.layout.Text(*name), name->size());
    } else {
        SignedToCore(target, value);
    }
    return true;
}

bool RecordToCore(CoreBlockWriting& writing, CoreValue& target, const void* record,
                  const BindingTypeDescription* description) {
    if (description == nullptr) return false;
    bool direct = writing.shapes.Known(description);
    if (!direct && WritesDirectly(*description)) {
        writing.shapes.Remember(description);
        direct = true;
    }
    if (!direct) {
        BindingStatus converted;
        RecordNativeToValue(converted, converted.Value(), record, description, writing.registry);
        return WrittenFrom(writing, target, converted);
    }
    const auto& fields = description->fields;
    const auto& order = description->fieldsByName;
    CoreStructEntry* entries = StructureToCore(writing, target, order.size());
    const auto* const base = static_cast<const std::byte*>(record);
    for (size_t i = 0; i < order.size(); ++i) {
        const BindingFieldDescription& field = fields[order[i]];
        SetEntryName(writing, entries, i, field.name);
        CoreValue sized{};
        CoreValue& value = entries != nullptr ? entries[i].value : sized;
        if (!FieldToCore(writing, value, field, base + field.position)) return false;
    }
    return true;
}

void SignedToCore(CoreValue& target, int64_t number) noexcept {
    SetBits(target, kCoreValueSigned, static_cast<uint64_t>(number));
}

void UnsignedToCore(CoreValue& target, uint64_t number) noexcept {
    SetBits(target, kCoreValueUnsigned, number);
}

void DoubleToCore(CoreValue& target, double number) noexcept {
    uint64_t bits = 0;
    std::memcpy(&bits, &number, sizeof bits);
    SetBits(target, kCoreValueDouble, bits);
}

void BoolToCore(CoreValue& target, bool flag) noexcept {
    target.kind = kCoreValueBool;
    target.a = flag ? 1 : 0;
}

CoreValue* CollectionToCore(CoreBlockWriting& writing, CoreValue& target, size_t count) {
    CoreValue* elements = writing.layout.Array<CoreValue>(count);
    SetBuffer(target, kCoreValueCollection, elements, count);
    return elements;
}

CoreStructEntry* StructureToCore(CoreBlockWriting& writing, CoreValue& target, size_t count) {
    CoreStructEntry* entries = writing.layout.Array<CoreStructEntry>(count);
    SetBuffer(target, kCoreValueStructure, entries, count);
    return entries;
}

void SetEntryName(CoreBlockWriting& writing, CoreStructEntry* entries, size_t index,
                  std::string_view name) {
    char* copy = writing.layout.Text(name);
    if (entries == nullptr) return;  // sizing
    entries[index].name = copy;
    entries[index].ownsName = 1;
}

void FreeCoreBlockOnFailure(CoreValue& target, std::byte* block) noexcept {
    Free(block);
    target = CoreValue{};
}

std::byte* AllocateCoreBlock(size_t size) {
    void* block = Allocate(size);
    if (block == nullptr) throw std::bad_alloc();
    return static_cast<std::byte*>(block);
}

}  // namespace Nimbel::internal
