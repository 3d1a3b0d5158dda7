// Text form of a type reference.
#include "binding/binding_type_ref.h"

#include "binding/binding_type_description.h"

namespace Nimbel {
namespace {

[[nodiscard]] bool NamesRegisteredType(BindingTypeKind kind) noexcept {
    return kind == BindingTypeKind::Enum || kind == BindingTypeKind::Struct;
}

[[nodiscard]] std::string_view SingleText(BindingTypeKind kind,
                                          const BindingTypeDescription* description) noexcept {
    if (NamesRegisteredType(kind) && description != nullptr) return description->name;
    return BindingTypeKindText(kind);
}

}  // namespace

BindingTypeText BindingTypeRef::Text() const noexcept {
    if (kind == BindingTypeKind::Vector || kind == BindingTypeKind::Map) {
        return {BindingTypeKindText(kind), SingleText(elementKind, description)};
    }
    return {SingleText(kind, description), {}};
}

}  // namespace Nimbel
