#include "binding/core_value.h"

#include <cstring>
#include <new>

#include "binding/core_value_block.h"
#include "diagnostics/allocator.h"
#include "diagnostics/text_format.h"

namespace Nimbel {
namespace {

template <class T>
T* AllocateArray(size_t count) {
    if (count == 0) return nullptr;
    if (count > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    void* block = Allocate(count * sizeof(T));
    if (block == nullptr) throw std::bad_alloc();
    std::memset(block, 0, count * sizeof(T));
    return static_cast<T*>(block);
}

char* CopyText(std::string_view text) {
    auto* copy = static_cast<char*>(Allocate(text.size() + 1));
    if (copy == nullptr) throw std::bad_alloc();
    if (!text.empty()) std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}

template <class T>
KzoWord Word(T* pointer) noexcept {
    return reinterpret_cast<KzoWord>(pointer);
}
template <class T>
T* Pointer(KzoWord word) noexcept {
    return reinterpret_cast<T*>(word);
}

void SetBits(CoreValue& value, KzoWord kind, uint64_t bits) noexcept {
    value.kind = kind;
    value.a = static_cast<KzoWord>(bits & 0xFFFFFFFFu);
    value.b = static_cast<KzoWord>(bits >> 32);
}

std::string_view TextOf(KzoWord word) noexcept {
    const char* text = Pointer<const char>(word);
    return text != nullptr ? std::string_view(text) : std::string_view();
}

// The refusals of a record whose counts cannot be trusted. Each is decided
// from the record alone, before any element is read.
constexpr const char* kTooDeepMessage =
    "Couldn't assign value to '%1' because the input is nested deeper than %2 levels.";
constexpr const char* kCountTooLargeMessage =
    "Couldn't assign value to '%1' because the input %2 has a count of %3, more than the limit "
    "of %4.";
constexpr const char* kNullArrayMessage =
    "Couldn't assign value to '%1' because the input %2 has a count of %3 but a null pointer.";

class CoreToProperty {
public:
    CoreToProperty(CoreResponse* result, std::string_view name) : result_(result), name_(name) {}

    /// `depth` counts the collections and structures that hold `source`.
    bool Convert(BindingProperty& target, const CoreValue& source, size_t depth) {
        switch (source.kind) {
            case kCoreValueEmpty:
                target.Clear();
                return true;
            case kCoreValueBool:
                target = (source.a & 0xFFu) != 0;
                return true;
            case kCoreValueSigned:
                target = static_cast<int64_t>(CoreValueBits(source));
                return true;
            case kCoreValueUnsigned:
                target = CoreValueBits(source);
                return true;
            case kCoreValueDouble: {
                const uint64_t bits = CoreValueBits(source);
                double number;
                std::memcpy(&number, &bits, sizeof number);
                target = number;
                return true;
            }
            case kCoreValueStringBorrowed:
            case kCoreValueStringOwned:
                target = TextOf(source.a);
                return true;
            case kCoreValueBlobBorrowed:
            case kCoreValueBlobOwned:
                return ConvertBlob(target, source);
            case kCoreValueCollection:
                return ConvertCollection(target, source, depth + 1);
            case kCoreValueStructure:
                return ConvertStructure(target, source, depth + 1);
            default:
                return Fail(
                    FormatMessage("Couldn't assign value to '%1' of type object because "
                                  "the input is of an incompatible type '%2'.",
                                  name_, CoreValueKindName(source.kind)));
        }
    }

private:
    bool ConvertBlob(BindingProperty& target, const CoreValue& source) {
        const auto* bytes = Pointer<const uint8_t>(source.a);
        const size_t count = source.b;
        if (!RequireArray(source, bytes, BindingBytes().max_size())) return false;
        target = BindingBytes(bytes, bytes + count);
        return true;
    }

    /// `depth` is the collection's own: 1 for a root.
    bool ConvertCollection(BindingProperty& target, const CoreValue& source, size_t depth) {
        const auto* elements = Pointer<const CoreValue>(source.a);
        const size_t count = source.b;
        if (!RequireDepth(depth) || !RequireArray(source, elements, BindingProperty::kMaxCount)) {
            return false;
        }
        target.Clear();
        target.MakeCollection();
        target.Reserve(count);
        for (size_t i = 0; i < count; ++i) {
            if (!Convert(target.Append(), elements[i], depth)) return false;
        }
        return true;
    }

    bool ConvertStructure(BindingProperty& target, const CoreValue& source, size_t depth) {
        const auto* entries = Pointer<const CoreStructEntry>(source.a);
        const size_t count = source.b;
        if (!RequireDepth(depth) || !RequireArray(source, entries, BindingProperty::kMaxCount)) {
            return false;
        }
        target.Clear();
        target.MakeStructure();
        for (size_t i = 0; i < count; ++i) {
            const std::string_view member =
                entries[i].name != nullptr ? std::string_view(entries[i].name) : std::string_view();
            if (!Convert(target[member], entries[i].value, depth)) return false;
        }
        return true;
    }

    bool RequireDepth(size_t depth) {
        if (depth <= kMaxCoreValueDepth) return true;
        return Fail(FormatMessage(kTooDeepMessage, name_, kMaxCoreValueDepth));
    }

    /// The count of a blob, collection or structure (word B) must fit `limit`
    /// and come with an array; the empty case may have none.
    bool RequireArray(const CoreValue& source, const void* array, size_t limit) {
        const size_t count = source.b;
        if (count > limit) {
            return Fail(FormatMessage(kCountTooLargeMessage, name_, CoreValueKindName(source.kind),
                                      count, limit));
        }
        if (array == nullptr && count != 0) {
            return Fail(
                FormatMessage(kNullArrayMessage, name_, CoreValueKindName(source.kind), count));
        }
        return true;
    }

    bool Fail(const std::string& message) {
        if (result_ != nullptr) CoreResultSetFailure(*result_, message);
        return false;
    }

    CoreResponse* result_;
    std::string_view name_;
};

void ToCore(CoreValue& target, const BindingProperty& source, const EnumNameLookup* enumNames) {
    CoreValueRelease(target);
    switch (source.Kind()) {
        case BindingPropertyKind::Empty:
            return;
        case BindingPropertyKind::Bool:
            CoreValueSetBool(target, source.GetBool());
            return;
        case BindingPropertyKind::Signed:
            CoreValueSetSigned(target, source.GetSigned());
            return;
        case BindingPropertyKind::Unsigned:
            CoreValueSetUnsigned(target, source.GetUnsigned());
            return;
        case BindingPropertyKind::Float:
            CoreValueSetDouble(target, source.GetDouble());
            return;
        case BindingPropertyKind::String:
            CoreValueSetOwnedString(target, source.GetString());
            return;
        case BindingPropertyKind::Blob: {
            const BindingBytes& bytes = source.GetBytes();
            CoreValueSetOwnedBlob(target, bytes.data(), bytes.size());
            return;
        }
        case BindingPropertyKind::Enum: {
            const BindingEnum pair = source.GetEnum();
            const auto name = enumNames != nullptr
                                  ? enumNames->EnumeratorName(*pair.type, pair.value)
                                  : std::nullopt;
            if (name.has_value()) {
                CoreValueSetOwnedString(target, *name);
            } else {
                CoreValueSetSigned(target, pair.value);
            }
            return;
        }
        case BindingPropertyKind::Collection: {
            const auto elements = source.Elements();
            CoreValue* array = AllocateArray<CoreValue>(elements.size());
            CoreValueSetCollection(target, array, elements.size());
            for (size_t i = 0; i < elements.size(); ++i) ToCore(array[i], elements[i], enumNames);
            return;
        }
        case BindingPropertyKind::Structure: {
            const auto members = source.Members();
            CoreStructEntry* entries = AllocateArray<CoreStructEntry>(members.size());
            CoreValueSetStructure(target, entries, members.size());
            for (size_t i = 0; i < members.size(); ++i) {
                entries[i].name = CopyText(members[i].Name());
                entries[i].ownsName = 1;
                ToCore(entries[i].value, members[i].Value(), enumNames);
            }
            return;
        }
    }
}

void SetOwned(CoreValue& target, KzoWord kind, const void* buffer, size_t count) noexcept {
    target.kind = kind;
    target.a = Word(buffer);
    target.b = count;
}

}  // namespace

namespace internal {

void PropertyToCoreValueInLayout(CoreValue& target, const BindingProperty& source,
                                 const EnumNameLookup* enumNames, BlockLayout& layout) {
    switch (source.Kind()) {
        case BindingPropertyKind::Empty:
            return;
        case BindingPropertyKind::Bool:
            CoreValueSetBool(target, source.GetBool());
            return;
        case BindingPropertyKind::Signed:
            CoreValueSetSigned(target, source.GetSigned());
            return;
        case BindingPropertyKind::Unsigned:
            CoreValueSetUnsigned(target, source.GetUnsigned());
            return;
        case BindingPropertyKind::Float:
            CoreValueSetDouble(target, source.GetDouble());
            return;
        case BindingPropertyKind::String: {
            const std::string_view text = source.GetString();
            SetOwned(target, kCoreValueStringOwned, layout.Text(text), text.size());
            return;
        }
        case BindingPropertyKind::Blob: {
            const BindingBytes& bytes = source.GetBytes();
            SetOwned(target, kCoreValueBlobOwned, layout.Bytes(bytes.data(), bytes.size()),
                     bytes.size());
            return;
        }
        case BindingPropertyKind::Enum: {
            const BindingEnum pair = source.GetEnum();
            const auto name = enumNames != nullptr
                                  ? enumNames->EnumeratorName(*pair.type, pair.value)
                                  : std::nullopt;
            if (name.has_value()) {
                SetOwned(target, kCoreValueStringOwned, layout.Text(*name), name->size());
            } else {
                CoreValueSetSigned(target, pair.value);
            }
            return;
        }
        case BindingPropertyKind::Collection: {
            const auto elements = source.Elements();
            CoreValue* array = layout.Array<CoreValue>(elements.size());
            SetOwned(target, kCoreValueCollection, array, elements.size());
            for (size_t i = 0; i < elements.size(); ++i) {
                CoreValue sized{};
                PropertyToCoreValueInLayout(array != nullptr ? array[i] : sized, elements[i],
                                            enumNames, layout);
            }
            return;
        }
        case BindingPropertyKind::Structure: {
            const auto members = source.Members();
            CoreStructEntry* entries = layout.Array<CoreStructEntry>(members.size());
            SetOwned(target, kCoreValueStructure, entries, members.size());
            for (size_t i = 0; i < members.size(); ++i) {
                char* name = layout.Text(members[i].Name());
                if (entries == nullptr) {  // sizing
                    CoreValue value{};
                    PropertyToCoreValueInLayout(value, members[i].Value(), enumNames, layout);
                    continue;
                }
                entries[i].name = name;
                entries[i].ownsName = 1;
                // Written in place: a copy of a record just written field by
                // field would wait on those stores.
                PropertyToCoreValueInLayout(entries[i].value, members[i].Value(), enumNames,
                                            layout);
            }
            return;
        }
    }
}

}  // namespace internal

void PropertyToCoreValueBlock(CoreValue& target, const BindingProperty& source,
                              const EnumNameLookup* enumNames) {
    using internal::BlockLayout;
    CoreValueRelease(target);
    BlockLayout sizing;
    CoreValue measured{};
    PropertyToCoreValueInLayout(measured, source, enumNames, sizing);
    const size_t size = sizing.Used();
    if (size == 0) {
        target = measured;  // no buffer: a scalar, or an empty collection or structure
        return;
    }
    auto* block = static_cast<std::byte*>(Allocate(size));
    if (block == nullptr) throw std::bad_alloc();
    try {
        BlockLayout layout(block, size);
        CoreValue value{};
        PropertyToCoreValueInLayout(value, source, enumNames, layout);
        target = value;
    } catch (...) {
        Free(block);
        throw;
    }
}

void CoreValueReleaseBlock(CoreValue& value) noexcept {
    switch (value.kind) {
        case kCoreValueStringOwned:
        case kCoreValueBlobOwned:
        case kCoreValueCollection:
        case kCoreValueStructure:
            Free(Pointer<void>(value.a));
            break;
        default:
            break;
    }
    value = CoreValue{};
}

void CoreValueRelease(CoreValue& value) noexcept {
    switch (value.kind) {
        case kCoreValueStringOwned:
        case kCoreValueBlobOwned:
            Free(Pointer<void>(value.a));
            break;
        case kCoreValueCollection: {
            auto* elements = Pointer<CoreValue>(value.a);
            if (elements == nullptr) break;
            for (KzoWord i = 0; i < value.b; ++i) CoreValueRelease(elements[i]);
            Free(elements);
            break;
        }
        case kCoreValueStructure: {
            auto* entries = Pointer<CoreStructEntry>(value.a);
            if (entries == nullptr) break;
            for (KzoWord i = 0; i < value.b; ++i) {
                if (entries[i].ownsName == 1) Free(const_cast<char*>(entries[i].name));
                CoreValueRelease(entries[i].value);
            }
            Free(entries);
            break;
        }
        default:
            break;
    }
    value = CoreValue{};
}

void CoreValueSetBool(CoreValue& value, bool flag) noexcept {
    CoreValueRelease(value);
    value.kind = kCoreValueBool;
    value.a = flag ? 1 : 0;
}

void CoreValueSetSigned(CoreValue& value, int64_t number) noexcept {
    CoreValueRelease(value);
    SetBits(value, kCoreValueSigned, static_cast<uint64_t>(number));
}

void CoreValueSetUnsigned(CoreValue& value, uint64_t number) noexcept {
    CoreValueRelease(value);
    SetBits(value, kCoreValueUnsigned, number);
}

void CoreValueSetDouble(CoreValue& value, double number) noexcept {
    CoreValueRelease(value);
    uint64_t bits;
    std::memcpy(&bits, &number, sizeof bits);
    SetBits(value, kCoreValueDouble, bits);
}

void CoreValueSetOwnedString(CoreValue& value, std::string_view text) {
    CoreValueRelease(value);
    char* copy = CopyText(text);
    value.kind = kCoreValueStringOwned;
    value.a = Word(copy);
    value.b = text.size();
}

void CoreValueSetOwnedBlob(CoreValue& value, const uint8_t* bytes, size_t count) {
    CoreValueRelease(value);
    uint8_t* copy = nullptr;
    if (count > 0) {
        copy = static_cast<uint8_t*>(Allocate(count));
        if (copy == nullptr) throw std::bad_alloc();
        std::memcpy(copy, bytes, count);
    }
    value.kind = kCoreValueBlobOwned;
    value.a = Word(copy);
    value.b = count;
}

void CoreValueSetCollection(CoreValue& value, CoreValue* elements, size_t count) noexcept {
    CoreValueRelease(value);
    value.kind = kCoreValueCollection;
    value.a = Word(elements);
    value.b = count;
}

void CoreValueSetStructure(CoreValue& value, CoreStructEntry* entries, size_t count) noexcept {
    CoreValueRelease(value);
    value.kind = kCoreValueStructure;
    value.a = Word(entries);
    value.b = count;
}

uint64_t CoreValueBits(const CoreValue& value) noexcept {
    return (static_cast<uint64_t>(value.b & 0xFFFFFFFFu) << 32) |
           static_cast<uint64_t>(value.a & 0xFFFFFFFFu);
}

std::string_view CoreValueKindName(KzoWord kind) noexcept {
    switch (kind) {
        case kCoreValueBool:
            return "bool";
        case kCoreValueSigned:
            return "signed";
        case kCoreValueUnsigned:
            return "unsigned";
        case kCoreValueDouble:
            return "float";
        case kCoreValueStringBorrowed:
        case kCoreValueStringOwned:
            return "string";
        case kCoreValueBlobBorrowed:
        case kCoreValueBlobOwned:
            return "blob";
        case kCoreValueCollection:
            return "collection";
        case kCoreValueStructure:
            return "structure";
        default:
            return "";
    }
}

void CoreResultReleaseError(CoreResponse& result) noexcept {
    if (result.ownsErrorText == 1) Free(const_cast<char*>(result.errorText));
    result.errorText = nullptr;
    result.ownsErrorText = 0;
}

void CoreResultSetFailure(CoreResponse& result, std::string_view message) {
    CoreValueRelease(result.value);
    CoreResultReleaseError(result);
    result.errorText = CopyText(message);
    result.ownsErrorText = 1;
}

bool CoreValueToProperty(CoreResponse* result, BindingProperty& target, const CoreValue& source,
                         std::string_view name) {
    return CoreToProperty(result, name).Convert(target, source, 0);
}

void PropertyToCoreValue(CoreValue& target, const BindingProperty& source,
                         const EnumNameLookup* enumNames) {
    ToCore(target, source, enumNames);
}

}  // namespace Nimbel
