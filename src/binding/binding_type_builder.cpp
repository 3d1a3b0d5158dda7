// The untyped registration steps.
#include "binding/binding_type_builder.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "diagnostics/assertion_report.h"
#include "diagnostics/fnv1a.h"
#include "diagnostics/text_format.h"

namespace Nimbel {
namespace {

/// The type named in an identity's signature text ("... [with T = X]" or
/// "... [T = X]" gives X); the whole text when it names none.
[[nodiscard]] std::string_view NativeTypeName(const StaticTypeId& identity) {
    const std::string_view text = identity.name;
    const size_t start = text.find("T = ");
    if (start == std::string_view::npos) return text;
    std::string_view name = text.substr(start + 4);
    if (!name.empty() && name.back() == ']') name.remove_suffix(1);
    return name;
}

/// "0x" and the hash in eight hex digits.
[[nodiscard]] std::string HashText(uint32_t hash) {
    char text[11];
    std::snprintf(text, sizeof text, "0x%08X", hash);
    return text;
}

}  // namespace

BindingTypeBuilderBase::BindingTypeBuilderBase(BindingTypeRegistry& registry,
                                               std::string_view registeredName, size_t nativeSize,
                                               const StaticTypeId& identity, BindingTypeKind shape)
    : registry_(registry) {
    const BindingTypeRegistry::OpenedType opened =
        registry.OpenType(registeredName, nativeSize, identity, shape);
    description_ = opened.description;
    alreadyRegistered_ = !opened.created && opened.clash == nullptr;
    if (opened.clash != nullptr) Refuse(registeredName, identity, *opened.clash);
}

void BindingTypeBuilderBase::Refuse(std::string_view registeredName, const StaticTypeId& identity,
                                    const BindingTypeDescription& clash) {
    refusalMessage_ = FormatMessage(
        "The type %1 was not registered: its native type %2 has the identity hash %3 of the "
        "native type %4, registered as %5; give one of them a fixed hash of its own",
        registeredName, NativeTypeName(identity), HashText(identity.hash),
        NativeTypeName(*clash.identity), clash.name);
    refused_ = std::make_unique<BindingTypeDescription>();
    refused_->name = registeredName;
    refused_->identity = &identity;
    description_ = refused_.get();
    Report("RegisterType", refusalMessage_.c_str(), __FILE__, __LINE__, __func__);
}

void BindingTypeBuilderBase::AddField(BindingFieldDescription field) {
    if (!Writable()) return;
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
    if (!Writable()) return;
    BindingEnumValue& enumerator = description_->enumerators[std::string(name)];
    enumerator.value = value;
    enumerator.name = name;
    enumerator.description = description;
    enumerator.owner = description_;
}

void BindingTypeBuilderBase::AddTag(std::string_view text) {
    if (!Writable()) return;
    description_->tags.Add(text);
}

void BindingTypeBuilderBase::SetDescription(std::string_view text) {
    if (!Writable()) return;
    description_->description = text;
}

void BindingTypeBuilderBase::Finish(std::span<const std::string> moduleTags) {
    if (!Writable()) return;
    description_->tags.Append(moduleTags);
}

}  // namespace Nimbel
