// BindingFieldConverter: the per-field object that converts what the built-in
// field dispatch does not handle itself (blob fields from a value, callbacks,
// vectors and maps of records, enumerations, vectors or maps, and every field
// marked optional), in both directions.
#pragma once

#include <memory>
#include <string_view>

struct CoreValue;

namespace Nimbel {

class BindingProperty;
class BindingStatus;
class BindingTypeRegistry;
struct BindingTypeDescription;

namespace internal {
struct CoreBlockWriting;
}  // namespace internal

/// Converts one field's native value. The three operations keep this order.
///
/// `description` is the field's record or enumeration description, or for a
/// vector or map of records or enumerations the element's; null when there is
/// none. A converter follows the conversion rules and messages of its native
/// type, reports failures only through `status`, and never throws for bad input.
class BindingFieldConverter {
public:
    /// Converts `input` (never empty when called by a record conversion) into
    /// the native field at `field`; `name` is what messages call it.
    virtual void FromValue(BindingStatus& status, void* field, const BindingProperty& input,
                           std::string_view name, const BindingTypeDescription* description,
                           const BindingTypeRegistry& registry) const = 0;
    /// Writes the generic form of the native field at `field` into `output`.
    /// On failure it sets `status`'s error and touches `output` no more:
    /// `output` may be part of the status's own value, which the error replaces.
    virtual void ToValue(BindingStatus& status, BindingProperty& output, const void* field,
                         const BindingTypeDescription* description,
                         const BindingTypeRegistry& registry) const = 0;
    /// Whether ToCoreValue writes the field; when not, the field reaches core
    /// value records through ToValue.
    [[nodiscard]] virtual bool WritesCoreValue() const noexcept { return false; }
    /// Writes the field at `field` into `target` (zeroed) as the core value
    /// records that ToValue and then PropertyToCoreValueBlock would give, its
    /// buffers from `writing`'s layout; false when the conversion fails.
    /// Called only when WritesCoreValue is true.
    [[nodiscard]] virtual bool ToCoreValue(internal::CoreBlockWriting& writing, CoreValue& target,
                                           const void* field,
                                           const BindingTypeDescription* description) const {
        static_cast<void>(writing);
        static_cast<void>(target);
        static_cast<void>(field);
        static_cast<void>(description);
        return false;
    }
    /// Ends the converter's life; called once, by the owning field's
    /// description when it is destroyed. Shared stateless converters do nothing.
    virtual void Destroy() noexcept = 0;

protected:
    BindingFieldConverter() = default;
    ~BindingFieldConverter() = default;
    BindingFieldConverter(const BindingFieldConverter&) = default;
    BindingFieldConverter& operator=(const BindingFieldConverter&) = default;
};

/// Calls Destroy instead of deleting: a converter decides how it ends.
struct BindingFieldConverterDestroyer {
    void operator()(BindingFieldConverter* converter) const noexcept {
        if (converter != nullptr) converter->Destroy();
    }
};

/// Ownership of a field's converter.
using BindingFieldConverterPtr =
    std::unique_ptr<BindingFieldConverter, BindingFieldConverterDestroyer>;

}  // namespace Nimbel
