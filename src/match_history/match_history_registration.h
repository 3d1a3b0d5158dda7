// Registration of the match-history records with the type registry, so the
// binding layer converts them to and from generic values and JSON.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "binding/binding_type_registry.h"
#include "binding/static_type.h"

namespace Nimbel::Client::MatchHistory {

/// Registers the records of the plug-in's API under `prefix` followed by
/// their names, each with the module's `tags`, in an order that registers
/// every record before any record with a field of its type.
void RegisterApiRecords(BindingTypeRegistry& registry, std::string_view prefix,
                        std::span<const std::string> tags);

/// An LCDS record: its registered name, its native identity and the class
/// name the LCDS service sends and expects for it.
struct LcdsClass {
    std::string_view registeredName;
    const StaticTypeId* identity;
    std::string_view className;
};

/// The three LCDS statistics records, in registration order.
[[nodiscard]] std::span<const LcdsClass> LcdsClasses();

/// Registers the LCDS records under their short names, without tags.
void RegisterLcdsRecords(BindingTypeRegistry& registry);

}  // namespace Nimbel::Client::MatchHistory
