// The untyped registration steps.
#include "binding/binding_type_builder.h"

#include <algorithm>
#include <utility>

#include "diagnostics/fnv1a.h"

namespace Nimbel {

BindingTypeBuilderBase::BindingTypeBuilderBase(BindingTypeRegistry& registry,
                                               std::string_view registeredName,
                                               size_t nativeSize, const StaticTypeId& identity,
                                               BindingTypeKind shape)
    : registry_(registry) {
    const BindingTypeRegistry::OpenedType opened =
        registry.OpenType(registeredName, nativeSize, identity, shape);
    description_ = opened.description;
    alreadyRegistered_ = !opened.created;
}

void BindingTypeBuilderBase::AddField(BindingFieldDescription field) {
    if (alreadyRegistered_) return;
    field.nameHash = Fnv1a(std::string_view(field.name));
    if (field.secondType.kind == BindingTypeKind::None) field.secondType = {};
    const std::vector<BindingFieldDescription>& fields = description_->fields;
    std::vector<uint32_t>& byName = description_->fieldsByName;
    const auto position = std::upper_bound(
        byName.begin(), byName.end(), std::string_view(field.name),
        [&](std::string_view name, uint32_t index) { return name < fields[index].name; });
    byName.insert(position, static_cast<uint32_t>(fields.size()));
    description_->fields.push_back(std::move(field));
}

void BindingTypeBuilderBase::AddEnumerator(std::string_view name, int32_t value,
                                           std::string_view description) {
    if (alreadyRegistered_) return;
    BindingEnumValue& enumerator = description_->enumerators[std::string(name)];
    enumerator.value = value;
    enumerator.name = name;
    enumerator.description = description;
    enumerator.owner = description_;
}

void BindingTypeBuilderBase::AddTag(std::string_view text) {
    if (alreadyRegistered_) return;
    description_->tags.Add(text);
}

void BindingTypeBuilderBase::SetDescription(std::string_view text) {
    if (alreadyRegistered_) return;
    description_->description = text;
}

void BindingTypeBuilderBase::Finish(std::span<const std::string> moduleTags) {
    if (alreadyRegistered_) return;
    description_->tags.Append(moduleTags);
}

}  // namespace Nimbel
