// The description of an event that the API publishes: its name and the
// registered type of its payload, with the texts and tags the help reports.
#pragma once

#include <string>

#include "binding/binding_tag_list.h"

namespace Nimbel {

struct BindingTypeDescription;

/// An event. Owned by its registry.
struct BindingEventDescription {
    std::string name;
    /// The payload's registered type, owned by the registry; null when the
    /// payload type was not registered.
    const BindingTypeDescription* payload = nullptr;
    std::string namespaceText;
    std::string description;
    BindingTagList tags;
};

}  // namespace Nimbel
