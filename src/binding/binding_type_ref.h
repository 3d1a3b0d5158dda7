// BindingTypeRef: the type of a field, an argument or a result, as the
// conversions dispatch on it and as the API description and help report it.
#pragma once

#include <string_view>

#include "binding/binding_type_kind.h"

namespace Nimbel {

struct BindingTypeDescription;

/// The two texts that name a type in the help and the API description.
struct BindingTypeText {
    std::string_view type;     ///< the kind's text, or a registered name
    std::string_view element;  ///< for vector and map, the element's text; else empty
};

/// A type: its kind, the kind of its elements and the description of the
/// registered type involved. Does not own the description, which belongs to
/// the registry and lives as long as it.
struct BindingTypeRef {
    BindingTypeKind kind = BindingTypeKind::None;
    /// For vector and map, the kind of the elements; None otherwise.
    BindingTypeKind elementKind = BindingTypeKind::None;
    /// For enum and struct, the type's description; for a vector or map whose
    /// elements are records or enumerations, the element's description; null
    /// otherwise, and null when the type was not registered when the reference
    /// was made.
    const BindingTypeDescription* description = nullptr;

    /// vector → ("vector", element text); map → ("map", element text); enum
    /// and struct → (registered name, or "enum" / "struct" without a
    /// description; no element text); any other kind → (its text, no element
    /// text). An element's text follows the same rule without the element part.
    /// The views live as long as the description's registry.
    [[nodiscard]] BindingTypeText Text() const noexcept;
};

}  // namespace Nimbel
