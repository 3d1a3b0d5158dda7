// The registry's tables: creation under the mutex, lookups and snapshots.
#include "binding/binding_type_registry.h"

#include <cstring>
#include <utility>

namespace Nimbel {
namespace {

template <class Table>
[[nodiscard]] auto* FindIn(const Table& table, std::string_view name) {
    const auto found = table.find(name);
    return found != table.end() ? found->second.get() : nullptr;
}

template <class Description, class Table>
[[nodiscard]] std::vector<const Description*> SnapshotOf(const Table& table) {
    std::vector<const Description*> snapshot;
    snapshot.reserve(table.size());
    for (const auto& entry : table) snapshot.push_back(entry.second.get());
    return snapshot;
}

/// Whether two identities of one hash stand for one native type: their names
/// are the same text (copies made in different libraries have equal texts at
/// different addresses).
[[nodiscard]] bool SameNativeType(const StaticTypeId& left, const StaticTypeId& right) noexcept {
    return left.name == right.name || std::strcmp(left.name, right.name) == 0;
}

/// The type entered for `identity`'s hash when it is another native type.
template <class Table>
[[nodiscard]] const BindingTypeDescription* ClashingType(const Table& byIdentity,
                                                         const StaticTypeId& identity) {
    if (identity == StaticTypeId::None()) return nullptr;
    const auto found = byIdentity.find(identity.hash);
    if (found == byIdentity.end()) return nullptr;
    return SameNativeType(*found->second->identity, identity) ? nullptr : found->second;
}

}  // namespace

BindingTypeRegistry::BindingTypeRegistry() = default;
BindingTypeRegistry::~BindingTypeRegistry() = default;

BindingTypeRegistry::OpenedType BindingTypeRegistry::OpenType(std::string_view name,
                                                              size_t nativeSize,
                                                              const StaticTypeId& identity,
                                                              BindingTypeKind shape) {
    const std::lock_guard lock(mutex_);
    if (BindingTypeDescription* existing = FindIn(typesByName_, name)) return {existing, false};
    if (const BindingTypeDescription* clash = ClashingType(typesByIdentity_, identity)) {
        return {nullptr, false, clash};
    }

    auto description = std::make_unique<BindingTypeDescription>();
    description->nativeSize = nativeSize;
    description->isEnum = shape == BindingTypeKind::Enum;
    description->name = name;
    description->identity = &identity;
    description->registry = this;
    BindingTypeDescription* created = description.get();
    typesByName_.emplace(created->name, std::move(description));
    // The first type registered for a native identity keeps it: a later
    // registration of the same native type under another name is found by
    // that name only.
    if (identity != StaticTypeId::None()) typesByIdentity_.try_emplace(identity.hash, created);
    return {created, true};
}

const BindingTypeDescription* BindingTypeRegistry::FindType(std::string_view name) const {
    const std::lock_guard lock(mutex_);
    return FindIn(typesByName_, name);
}

const BindingTypeDescription* BindingTypeRegistry::FindType(const StaticTypeId& identity) const {
    if (identity == StaticTypeId::None()) return nullptr;
    const std::lock_guard lock(mutex_);
    return FindByIdentityLocked(identity);
}

const BindingTypeDescription* BindingTypeRegistry::FindByIdentityLocked(
    const StaticTypeId& identity) const {
    const auto found = typesByIdentity_.find(identity.hash);
    if (found == typesByIdentity_.end()) return nullptr;
    return SameNativeType(*found->second->identity, identity) ? found->second : nullptr;
}

BindingTypeRef BindingTypeRegistry::TypeRefOf(const StaticTypeId& identity) const {
    const BindingTypeDescription* description = FindType(identity);
    if (description == nullptr) return {};
    const BindingTypeKind kind =
        description->isEnum ? BindingTypeKind::Enum : BindingTypeKind::Struct;
    return {kind, BindingTypeKind::None, description};
}

std::vector<const BindingTypeDescription*> BindingTypeRegistry::TypeSnapshot() const {
    const std::lock_guard lock(mutex_);
    return SnapshotOf<BindingTypeDescription>(typesByName_);
}

std::optional<std::string_view> BindingTypeRegistry::EnumeratorName(const StaticTypeId& type,
                                                                    int32_t value) const {
    const BindingTypeDescription* description = FindType(type);
    if (description == nullptr) return std::nullopt;
    const BindingEnumValue* enumerator = description->FirstEnumeratorWithValue(value);
    if (enumerator == nullptr) return std::nullopt;
    return std::string_view(enumerator->name);
}

BindingFunctionDescription* BindingTypeRegistry::CreateFunction(std::string_view name,
                                                                size_t argumentCount) {
    auto function = CreateDetachedFunction(name, argumentCount);
    const std::lock_guard lock(mutex_);
    if (functionsByName_.contains(name)) return nullptr;
    BindingFunctionDescription* created = function.get();
    functionsByName_.emplace(created->name, std::move(function));
    return created;
}

std::unique_ptr<BindingFunctionDescription> BindingTypeRegistry::CreateDetachedFunction(
    std::string_view name, size_t argumentCount) {
    return std::make_unique<BindingFunctionDescription>(name, argumentCount);
}

const BindingFunctionDescription* BindingTypeRegistry::FindFunction(std::string_view name) const {
    const std::lock_guard lock(mutex_);
    return FindIn(functionsByName_, name);
}

size_t BindingTypeRegistry::FunctionCount() const {
    const std::lock_guard lock(mutex_);
    return functionsByName_.size();
}

std::vector<const BindingFunctionDescription*> BindingTypeRegistry::FunctionSnapshot() const {
    const std::lock_guard lock(mutex_);
    return SnapshotOf<BindingFunctionDescription>(functionsByName_);
}

BindingEventDescription* BindingTypeRegistry::CreateEvent(std::string_view name,
                                                          const BindingTypeDescription* payload) {
    auto event = std::make_unique<BindingEventDescription>();
    event->name = name;
    event->payload = payload;
    const std::lock_guard lock(mutex_);
    if (eventsByName_.contains(name)) return nullptr;
    BindingEventDescription* created = event.get();
    eventsByName_.emplace(created->name, std::move(event));
    return created;
}

const BindingEventDescription* BindingTypeRegistry::FindEvent(std::string_view name) const {
    const std::lock_guard lock(mutex_);
    return FindIn(eventsByName_, name);
}

std::vector<const BindingEventDescription*> BindingTypeRegistry::EventSnapshot() const {
    const std::lock_guard lock(mutex_);
    return SnapshotOf<BindingEventDescription>(eventsByName_);
}

}  // namespace Nimbel
