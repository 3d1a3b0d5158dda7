// BindingFieldConverter: the per-field object that converts what the built-in
// field dispatch does not handle itself (blob fields from a value, callbacks,
// vectors and maps of records, enumerations, vectors or maps, and every field
// marked optional), in both directions.
#pragma once

#include <memory>
#include <string_view>

namespace Nimbel {

class BindingProperty;
class BindingStatus;
class BindingTypeRegistry;
struct BindingTypeDescription;

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
using BindingFieldConverterPtr = std::unique_ptr<BindingFieldConverter, BindingFieldConverterDestroyer>;

}  // namespace Nimbel
