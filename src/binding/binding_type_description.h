// The run-time description of a registered native record or enumeration: its
// fields (records) or enumerators (enumerations), which the conversions walk
// and which the help and the API description report.
//
// Descriptions are owned by their BindingTypeRegistry and live as long as it;
// pointers and views into them stay valid that long. They are filled while
// the module starts (through BindingTypeBuilder) and only read afterwards, so
// reading them takes no lock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "binding/binding_field_converter.h"
#include "binding/binding_tag_list.h"
#include "binding/binding_type_ref.h"
#include "binding/static_type.h"

namespace Nimbel {

class BindingTypeRegistry;

/// Flags of a field; combine with `|` into BindingFieldDescription::flags.
enum BindingFieldFlag : uint32_t {
    /// Converting to a generic value leaves the member out when the field is
    /// empty or zero (NaN is kept).
    FieldSkipEmpty = 1,
    /// Converting from a generic value fails when the member is missing or empty.
    FieldRequired = 2,
};

/// One field of a record. Owned by its type description; owns its converter.
struct BindingFieldDescription {
    /// The member name in generic values and JSON.
    std::string name;
    /// FNV-1a of `name`.
    uint32_t nameHash = 0;
    /// Help text; empty unless given.
    std::string description;
    /// Identity of the field's native type.
    const StaticTypeId* nativeType = &StaticTypeId::None();
    /// Byte offset of the field inside the native record.
    size_t position = 0;
    /// What the conversions dispatch on.
    BindingTypeRef type;
    /// Kept only when registered with a kind other than None; the conversions
    /// ignore it, the API description reports it instead of `type`.
    BindingTypeRef secondType;
    /// BindingFieldFlag bits.
    uint32_t flags = 0;
    /// Converts what the built-in dispatch hands over; null only for fields
    /// registered without one, whose conversion then fails.
    BindingFieldConverterPtr converter;
    /// Both conversions of an optional field go through its converter.
    bool optional = false;

    [[nodiscard]] bool Has(BindingFieldFlag flag) const noexcept { return (flags & flag) != 0; }
};

/// One enumerator of an enumeration.
struct BindingEnumValue {
    int32_t value = 0;
    std::string name;
    std::string description;
    /// The enumeration it belongs to.
    const BindingTypeDescription* owner = nullptr;
};

/// A registered record or enumeration.
struct BindingTypeDescription {
    /// sizeof the native type; for enumerations 1, 2, 4 or 8.
    size_t nativeSize = 0;
    /// Set for enumerations.
    bool isEnum = false;
    /// The registered name, as the registering module composed it.
    std::string name;
    /// The native type's identity; the reserved no-type identity for types
    /// registered without one (found by name only).
    const StaticTypeId* identity = &StaticTypeId::None();
    /// Help text; empty unless set.
    std::string description;
    BindingTagList tags;
    /// Records: fields in the order they were added.
    std::vector<BindingFieldDescription> fields;
    /// Records: indices into `fields` ordered by field name (bytes compared
    /// as unsigned; fields of one name in the order they were added), kept by
    /// the builder. Writing members in this order appends each to its
    /// structure instead of inserting it among the others.
    std::vector<uint32_t> fieldsByName;
    /// Enumerations: enumerators by name, in byte order of the names.
    std::map<std::string, BindingEnumValue, std::less<>> enumerators;
    /// The registry that owns this description.
    const BindingTypeRegistry* registry = nullptr;

    [[nodiscard]] uint32_t IdentityHash() const noexcept { return identity->hash; }
    /// The enumerator of that name (exact, case-sensitive), or null.
    [[nodiscard]] const BindingEnumValue* FindEnumerator(std::string_view enumeratorName) const;
    /// The first enumerator in name order whose value is `value`, or null: of
    /// two enumerators with one value, the one with the smaller name.
    [[nodiscard]] const BindingEnumValue* FirstEnumeratorWithValue(int32_t value) const noexcept;
    [[nodiscard]] bool HasEnumeratorValue(int32_t value) const noexcept {
        return FirstEnumeratorWithValue(value) != nullptr;
    }
};

}  // namespace Nimbel
