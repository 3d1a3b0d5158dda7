// Enumerator lookups of a type description.
#include "binding/binding_type_description.h"

namespace Nimbel {

const BindingEnumValue* BindingTypeDescription::FindEnumerator(
    std::string_view enumeratorName) const {
    const auto found = enumerators.find(enumeratorName);
    return found != enumerators.end() ? &found->second : nullptr;
}

const BindingEnumValue* BindingTypeDescription::FirstEnumeratorWithValue(
    int32_t value) const noexcept {
    for (const auto& [enumeratorName, enumerator] : enumerators) {
        if (enumerator.value == value) return &enumerator;
    }
    return nullptr;
}

}  // namespace Nimbel
