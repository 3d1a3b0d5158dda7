// BindingTypeBuilder: registers one native record or enumeration with a
// BindingTypeRegistry, once, while the module starts. The typed form derives
// every field's kind, element kind, nested description, position and
// converter from the C++ member, so a field of any supported type is one call:
//
//   BindingTypeBuilder<MatchHistoryTeam>(registry, "KzoMatchHistoryMatchHistoryTeam")
//       .Field("teamId", &MatchHistoryTeam::teamId)
//       .Field("bans", &MatchHistoryTeam::bans)
//       .Finish(tags);
//
// Registration order matters: a nested record or enumeration (also as the
// element of a vector or map) is looked up when its field is added; one not
// registered yet leaves the field without a description, and converting that
// field fails as unregistered.
//
// The first registration of a name wins: a builder opened on a name that
// exists is marked already-registered, keeps the existing description and
// does nothing on every later call.
//
// Two different native types never share a description: a builder whose
// native type has the identity hash of another native type already
// registered is refused. It registers nothing, does nothing on every later
// call, and reports an assertion naming both types; its RefusalMessage says
// the same.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "binding/binding_native_type.h"
#include "binding/binding_type_description.h"
#include "binding/binding_type_ref.h"
#include "binding/binding_type_registry.h"
#include "binding/static_type.h"
#include "binding/typed_field_converter.h"

namespace Nimbel {

/// What a field may carry beyond its name and member.
struct BindingFieldOptions {
    std::string_view description{};  ///< help text
    uint32_t flags = 0;              ///< FieldSkipEmpty, FieldRequired
    bool optional = false;           ///< convert through the field's converter only
    BindingTypeRef secondType{};     ///< kept only when its kind is not None
};

/// The untyped builder: what every registration does, given the native
/// facts by the caller. The typed BindingTypeBuilder<T> below fills them in.
class BindingTypeBuilderBase {
public:
    /// Opens `registeredName` in `registry` (under its mutex), creating a
    /// description of that size, identity and shape (`shape` Enum for an
    /// enumeration, Struct for a record) unless the name exists.
    BindingTypeBuilderBase(BindingTypeRegistry& registry, std::string_view registeredName,
                           size_t nativeSize, const StaticTypeId& identity, BindingTypeKind shape);

    /// Appends `field` (its name hash is computed here; no test for duplicate
    /// names). A second type whose kind is None is dropped.
    void AddField(BindingFieldDescription field);
    /// Inserts an enumerator; an existing name gets the new value and text.
    void AddEnumerator(std::string_view name, int32_t value, std::string_view description = {});
    /// Appends a tag unless `text` is empty.
    void AddTag(std::string_view text);
    /// Sets the type's help text.
    void SetDescription(std::string_view text);
    /// Appends the module's tags to the type's tags.
    void Finish(std::span<const std::string> moduleTags = {});

    /// Whether the name existed when the builder was opened.
    [[nodiscard]] bool AlreadyRegistered() const noexcept { return alreadyRegistered_; }
    /// Whether the registration was refused because the native type's
    /// identity hash is another native type's.
    [[nodiscard]] bool Refused() const noexcept { return !refusalMessage_.empty(); }
    /// Why the registration was refused; empty when it was not.
    [[nodiscard]] const std::string& RefusalMessage() const noexcept { return refusalMessage_; }
    /// The description registered under the builder's name, new or existing;
    /// for a refused builder, a description that no registry holds.
    [[nodiscard]] const BindingTypeDescription& Description() const noexcept {
        return *description_;
    }
    [[nodiscard]] const BindingTypeRegistry& Registry() const noexcept { return registry_; }

protected:
    /// Whether later calls still change the description: only when this
    /// builder created it.
    [[nodiscard]] bool Writable() const noexcept { return !alreadyRegistered_ && !Refused(); }

private:
    void Refuse(std::string_view registeredName, const StaticTypeId& identity,
                const BindingTypeDescription& clash);

    BindingTypeRegistry& registry_;
    BindingTypeDescription* description_;
    bool alreadyRegistered_;
    std::string refusalMessage_;
    std::unique_ptr<BindingTypeDescription> refused_;  // what Description() shows when refused
};

/// The typed builder for the native record or enumeration T: size, identity
/// and shape come from T.
template <class T>
class BindingTypeBuilder : public BindingTypeBuilderBase {
    static_assert(std::is_class_v<T> || std::is_enum_v<T>,
                  "only records and enumerations are registered");
    static_assert(!std::is_enum_v<T> || sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4 ||
                      sizeof(T) == 8,
                  "enumerations are 1, 2, 4 or 8 bytes wide");

public:
    BindingTypeBuilder(BindingTypeRegistry& registry, std::string_view registeredName)
        : BindingTypeBuilderBase(
              registry, registeredName, sizeof(T), StaticType::Name<T>(),
              std::is_enum_v<T> ? BindingTypeKind::Enum : BindingTypeKind::Struct) {}

    /// Adds the field `member` of T (or of a base of T) under `name`. Its
    /// type must be a BindingNativeType; a record or enumeration inside it is
    /// looked up in the registry now.
    template <class Owner, BindingNativeType Member>
    requires std::is_class_v<T> && std::is_base_of_v<Owner, T> BindingTypeBuilder& Field(
        std::string_view name, Member Owner::*member, const BindingFieldOptions& options = {}) {
        if (!Writable()) return *this;
        BindingFieldDescription field;
        field.name = name;
        field.description = options.description;
        field.nativeType = &StaticType::Name<Member>();
        field.position = OffsetOf(static_cast<Member T::*>(member));
        field.type = TypeRefOf<Member>();
        field.secondType = options.secondType;
        field.flags = options.flags;
        field.converter = TypedFieldConverter<Member>::Make();
        field.optional = options.optional;
        AddField(std::move(field));
        return *this;
    }

    /// Adds the enumerator `value` of T under `name`; the value is kept as a
    /// 32-bit signed number.
    BindingTypeBuilder& Enumerator(std::string_view name, T value,
                                   std::string_view description = {}) requires std::is_enum_v<T> {
        AddEnumerator(name, static_cast<int32_t>(static_cast<std::underlying_type_t<T>>(value)),
                      description);
        return *this;
    }

    BindingTypeBuilder& Tag(std::string_view text) {
        AddTag(text);
        return *this;
    }

    BindingTypeBuilder& Describe(std::string_view text) {
        SetDescription(text);
        return *this;
    }

private:
    // The member's byte offset, measured on a value-initialised T: defined for
    // any default-constructible record, standard layout or not.
    template <class MemberPointer>
    [[nodiscard]] static size_t OffsetOf(MemberPointer member) {
        const T sample{};
        const auto base = reinterpret_cast<uintptr_t>(std::addressof(sample));
        const auto field = reinterpret_cast<uintptr_t>(std::addressof(sample.*member));
        return static_cast<size_t>(field - base);
    }

    // Kind, element kind and the description of a nested record or
    // enumeration (or that of the elements of a vector or map), as registered now.
    template <class Member>
    [[nodiscard]] BindingTypeRef TypeRefOf() const {
        BindingTypeRef type{kBindingKindOf<Member>, BindingTypeKind::None, nullptr};
        if constexpr (kBindingKindOf<Member> == BindingTypeKind::Enum ||
                      kBindingKindOf<Member> == BindingTypeKind::Struct) {
            type.description = Registry().template FindNativeType<Member>();
        } else if constexpr (kBindingKindOf<Member> == BindingTypeKind::Vector ||
                             kBindingKindOf<Member> == BindingTypeKind::Map) {
            using Element = BindingElementOf<Member>;
            type.elementKind = kBindingKindOf<Element>;
            if constexpr (kBindingKindOf<Element> == BindingTypeKind::Enum ||
                          kBindingKindOf<Element> == BindingTypeKind::Struct) {
                type.description = Registry().template FindNativeType<Element>();
            }
        }
        return type;
    }
};

}  // namespace Nimbel
