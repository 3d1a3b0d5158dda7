// TypedFieldConverter<T>: the converter the typed builder gives every field,
// following the rules of the field's native type T in both directions.
#pragma once

#include "binding/binding_field_converter.h"
#include "binding/binding_native_type.h"
#include "binding/native_to_core_value.h"
#include "binding/native_to_value.h"
#include "binding/value_to_native.h"

namespace Nimbel {

/// Stateless and shared: one instance per native type, for the whole process;
/// Destroy does nothing. For a vector or map whose elements are themselves
/// vectors or maps, the innermost record or enumeration is looked up when
/// converting; otherwise the description handed in is used as it is, so a
/// type registered only after the field stays unknown to the field.
template <BindingNativeType T>
class TypedFieldConverter final : public BindingFieldConverter {
public:
    constexpr TypedFieldConverter() noexcept = default;

    /// The shared instance, owned by nobody.
    [[nodiscard]] static BindingFieldConverterPtr Make() noexcept {
        static constinit TypedFieldConverter instance;
        return BindingFieldConverterPtr(&instance);
    }

    void FromValue(BindingStatus& status, void* field, const BindingProperty& input,
                   std::string_view name, const BindingTypeDescription* description,
                   const BindingTypeRegistry& registry) const override {
        internal::ValueToNativeAs(status, *static_cast<T*>(field), input, name,
                                  InnermostDescription(description, registry), registry);
    }

    void ToValue(BindingStatus& status, BindingProperty& output, const void* field,
                 const BindingTypeDescription* description,
                 const BindingTypeRegistry& registry) const override {
        internal::NativeToValueAs(status, output, *static_cast<const T*>(field),
                                  InnermostDescription(description, registry), registry);
    }

    [[nodiscard]] bool WritesCoreValue() const noexcept override { return true; }

    [[nodiscard]] bool ToCoreValue(internal::CoreBlockWriting& writing, CoreValue& target,
                                   const void* field,
                                   const BindingTypeDescription* description) const override {
        return internal::NativeToCoreAs(writing, target, *static_cast<const T*>(field),
                                        InnermostDescription(description, writing.registry));
    }

    void Destroy() noexcept override {}

private:
    // A field's description names its record or enumeration, or that of its
    // elements; deeper than that the builder records none.
    static constexpr bool kNestedContainers =
        kBindingKindOf<BindingElementOf<T>> == BindingTypeKind::Vector ||
        kBindingKindOf<BindingElementOf<T>> == BindingTypeKind::Map;

    [[nodiscard]] static const BindingTypeDescription* InnermostDescription(
        const BindingTypeDescription* description, const BindingTypeRegistry& registry) {
        if constexpr (kNestedContainers && kBindingNeedsDescription<T>) {
            return registry.FindNativeType<BindingInnermostOf<T>>();
        } else {
            return description;
        }
    }
};

}  // namespace Nimbel
