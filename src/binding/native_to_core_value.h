// Native values written straight into one block of core value records: the
// records that NativeToValue followed by PropertyToCoreValueBlock would give,
// without building the generic value between them.
//
// The direct path covers what answers are made of: built-in kinds, enumerators,
// vectors, text-keyed maps and registered records whose field names are
// unique and sorted. Anything else (FieldSkipEmpty, optional fields, converters
// without a direct path, records of other shapes) is converted through a
// generic value of its own and written from that, with the same result. A
// conversion that fails is not written at all: the caller then converts
// through the generic value, which reports the failure with its own message.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "abi/core_abi.h"
#include "binding/binding_native_type.h"
#include "binding/binding_property.h"
#include "binding/binding_type_description.h"
#include "binding/binding_type_registry.h"
#include "binding/core_value.h"
#include "binding/core_value_block.h"
#include "binding/enum_name_lookup.h"
#include "binding/static_type.h"

namespace Nimbel {

namespace internal {

/// The record descriptions found fit for writing directly during one write of
/// a block, so that each is checked once for both passes and all its records.
class DirectRecordShapes {
public:
    [[nodiscard]] bool Known(const BindingTypeDescription* description) const noexcept {
        return std::find(known_.begin(), known_.begin() + count_, description) !=
               known_.begin() + count_;
    }
    /// Remembers `description` while there is room; later ones are checked again.
    void Remember(const BindingTypeDescription* description) noexcept {
        if (count_ < known_.size()) known_[count_++] = description;
    }

private:
    std::array<const BindingTypeDescription*, 16> known_{};
    size_t count_ = 0;
};

/// What one write of a block needs besides the value: the layout (sizing or
/// writing), the enumerator names, the registry of the records and the
/// descriptions already checked.
struct CoreBlockWriting {
    BlockLayout& layout;
    const EnumNameLookup* enumNames;
    const BindingTypeRegistry& registry;
    DirectRecordShapes& shapes;
};

/// Each helper writes into a zeroed `target` and answers false when the
/// conversion fails (nothing then is to be trusted of `target`).
[[nodiscard]] bool TextToCore(CoreBlockWriting& writing, CoreValue& target,
                              const std::string& text);
[[nodiscard]] bool BytesToCore(CoreBlockWriting& writing, CoreValue& target,
                               const BindingBytes& bytes);
[[nodiscard]] bool PropertyToCore(CoreBlockWriting& writing, CoreValue& target,
                                  const BindingProperty& value);
[[nodiscard]] bool EnumToCore(CoreBlockWriting& writing, CoreValue& target, const void* source,
                              size_t width, const StaticTypeId& enumeration);
[[nodiscard]] bool RecordToCore(CoreBlockWriting& writing, CoreValue& target, const void* record,
                                const BindingTypeDescription* description);
void SignedToCore(CoreValue& target, int64_t number) noexcept;
void UnsignedToCore(CoreValue& target, uint64_t number) noexcept;
void DoubleToCore(CoreValue& target, double number) noexcept;
void BoolToCore(CoreValue& target, bool flag) noexcept;
[[nodiscard]] CoreValue* CollectionToCore(CoreBlockWriting& writing, CoreValue& target,
                                          size_t count);
/// The structure's entries (null when sizing or empty); each needs its name
/// set (SetEntryName) and its value written.
[[nodiscard]] CoreStructEntry* StructureToCore(CoreBlockWriting& writing, CoreValue& target,
                                               size_t count);
/// Copies `name` into the layout as entry `index`'s owned name.
void SetEntryName(CoreBlockWriting& writing, CoreStructEntry* entries, size_t index,
                  std::string_view name);

template <class T>
[[nodiscard]] bool NativeToCoreAs(CoreBlockWriting& writing, CoreValue& target, const T& source,
                                  const BindingTypeDescription* description);

/// Sorts `entries` of a text-keyed map by member name (keys cut at their
/// first NUL, as member names are) and keeps, of keys that cut alike, the one
/// met last in the map's order, as writing members one by one does; answers
/// how many entries are kept at the front.
template <class Entry>
[[nodiscard]] size_t OrderDistinctEntries(const Entry** entries, size_t count) {
    auto name = [](const Entry* entry) { return std::string_view(entry->first.c_str()); };
    // Insertion sort: stable, and maps are small.
    for (size_t i = 1; i < count; ++i) {
        const Entry* moving = entries[i];
        size_t j = i;
        for (; j > 0 && name(moving) < name(entries[j - 1]); --j) entries[j] = entries[j - 1];
        entries[j] = moving;
    }
    size_t kept = 0;
    for (size_t i = 0; i < count; ++i) {
        if (i + 1 < count && name(entries[i]) == name(entries[i + 1])) continue;
        entries[kept++] = entries[i];
    }
    return kept;
}

template <class Entry>
[[nodiscard]] bool MapEntriesToCore(CoreBlockWriting& writing, CoreValue& target,
                                    const Entry* const* entries, size_t count,
                                    const BindingTypeDescription* description) {
    CoreStructEntry* written = StructureToCore(writing, target, count);
    for (size_t i = 0; i < count; ++i) {
        SetEntryName(writing, written, i, entries[i]->first.c_str());
        CoreValue sized{};
        CoreValue& value = written != nullptr ? written[i].value : sized;
        if (!NativeToCoreAs(writing, value, entries[i]->second, description)) return false;
    }
    return true;
}

/// Maps of up to this many entries are ordered on the stack.
inline constexpr size_t kMapEntriesOnStack = 32;

template <class E>
[[nodiscard]] bool MapToCore(CoreBlockWriting& writing, CoreValue& target,
                             const std::unordered_map<std::string, E>& source,
                             const BindingTypeDescription* description) {
    using Entry = typename std::unordered_map<std::string, E>::value_type;
    if (source.size() <= kMapEntriesOnStack) {
        std::array<const Entry*, kMapEntriesOnStack> entries{};
        size_t count = 0;
        for (const Entry& entry : source) entries[count++] = &entry;
        count = OrderDistinctEntries(entries.data(), count);
        return MapEntriesToCore(writing, target, entries.data(), count, description);
    }
    std::vector<const Entry*> entries;
    entries.reserve(source.size());
    for (const Entry& entry : source) entries.push_back(&entry);
    std::stable_sort(entries.begin(), entries.end(), [](const Entry* l, const Entry* r) {
        return std::string_view(l->first.c_str()) < std::string_view(r->first.c_str());
    });
    const size_t count = OrderDistinctEntries(entries.data(), entries.size());
    return MapEntriesToCore(writing, target, entries.data(), count, description);
}

template <class E>
[[nodiscard]] bool VectorToCore(CoreBlockWriting& writing, CoreValue& target,
                                const std::vector<E>& source,
                                const BindingTypeDescription* description) {
    CoreValue* elements = CollectionToCore(writing, target, source.size());
    for (size_t i = 0; i < source.size(); ++i) {
        CoreValue sized{};
        CoreValue& element = elements != nullptr ? elements[i] : sized;
        bool written = false;
        if constexpr (std::is_same_v<E, bool>) {
            const bool item = source[i];  // vector<bool> hands out no reference
            written = NativeToCoreAs(writing, element, item, description);
        } else {
            written = NativeToCoreAs(writing, element, source[i], description);
        }
        if (!written) return false;
    }
    return true;
}

template <class T>
bool NativeToCoreAs(CoreBlockWriting& writing, CoreValue& target, const T& source,
                    const BindingTypeDescription* description) {
    constexpr BindingTypeKind kKind = kBindingKindOf<T>;
    static_assert(kKind != BindingTypeKind::None, "no conversion for this native type");
    if constexpr (std::is_same_v<T, bool>) {
        BoolToCore(target, source);
        return true;
    } else if constexpr (std::is_same_v<T, std::string>) {
        return TextToCore(writing, target, source);
    } else if constexpr (std::is_same_v<T, BindingBytes>) {
        return BytesToCore(writing, target, source);
    } else if constexpr (std::is_same_v<T, BindingProperty>) {
        return PropertyToCore(writing, target, source);
    } else if constexpr (IsBuiltinKind(kKind) && std::is_integral_v<T> && std::is_signed_v<T>) {
        SignedToCore(target, int64_t{source});
        return true;
    } else if constexpr (IsBuiltinKind(kKind) && std::is_integral_v<T>) {
        UnsignedToCore(target, uint64_t{source});
        return true;
    } else if constexpr (IsBuiltinKind(kKind) && std::is_floating_point_v<T>) {
        DoubleToCore(target, double{source});
        return true;
    } else if constexpr (kKind == BindingTypeKind::Enum) {
        static_assert(sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 || sizeof(T) == 8);
        return EnumToCore(writing, target, &source, sizeof(T), StaticType::Name<T>());
    } else if constexpr (kKind == BindingTypeKind::Struct) {
        return RecordToCore(writing, target, &source, description);
    } else if constexpr (kKind == BindingTypeKind::Vector) {
        return VectorToCore(writing, target, source, description);
    } else {
        return MapToCore(writing, target, source, description);
    }
}

/// Sizes, allocates and writes the block; false, with `target` empty, when a
/// conversion failed.
template <class Write>
[[nodiscard]] bool WriteCoreBlock(CoreValue& target, const EnumNameLookup* enumNames,
                                  const BindingTypeRegistry& registry, const Write& write);

}  // namespace internal

/// Writes `source` into `target` (which must hold nothing) as the records that
/// NativeToValue and then PropertyToCoreValueBlock would give, in one block
/// that CoreValueReleaseBlock frees. False, with `target` empty, when the
/// conversion fails: convert through NativeToValue then, which says why.
template <BindingNativeType T>
[[nodiscard]] bool NativeToCoreValueBlock(CoreValue& target, const T& source,
                                          const BindingTypeRegistry& registry,
                                          const EnumNameLookup* enumNames) {
    const BindingTypeDescription* description = nullptr;
    if constexpr (kBindingNeedsDescription<T>) {
        description = registry.FindNativeType<BindingInnermostOf<T>>();
    }
    return internal::WriteCoreBlock(
        target, enumNames, registry, [&](internal::CoreBlockWriting& writing, CoreValue& root) {
            return internal::NativeToCoreAs(writing, root, source, description);
        });
}

namespace internal {

void FreeCoreBlockOnFailure(CoreValue& target, std::byte* block) noexcept;
[[nodiscard]] std::byte* AllocateCoreBlock(size_t size);

template <class Write>
bool WriteCoreBlock(CoreValue& target, const EnumNameLookup* enumNames,
                    const BindingTypeRegistry& registry, const Write& write) {
    target = CoreValue{};
    DirectRecordShapes shapes;
    BlockLayout sizing;
    CoreBlockWriting sizingPass{sizing, enumNames, registry, shapes};
    CoreValue measured{};
    if (!write(sizingPass, measured)) return false;
    const size_t size = sizing.Used();
    if (size == 0) {
        target = measured;
        return true;
    }
    std::byte* block = AllocateCoreBlock(size);
    BlockLayout layout(block, size);
    CoreBlockWriting writingPass{layout, enumNames, registry, shapes};
    CoreValue written{};
    bool ok = false;
    try {
        ok = write(writingPass, written);
    } catch (...) {
        FreeCoreBlockOnFailure(target, block);
        throw;
    }
    if (!ok) {
        FreeCoreBlockOnFailure(target, block);
        return false;
    }
    target = written;
    return true;
}

}  // namespace internal

}  // namespace Nimbel
