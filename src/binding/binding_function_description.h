// The description of an API function: its arguments, result, texts, flags,
// tags and the handler that runs it. The registry creates it with its name
// and argument count; request dispatch and the help fill and read the rest.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "binding/binding_tag_list.h"
#include "binding/binding_type_ref.h"

namespace Nimbel {

struct BindingTypeDescription;

/// One argument of a function.
struct BindingArgumentDescription {
    std::string name;
    /// FNV-1a of `name`.
    uint32_t nameHash = 0;
    std::string description;
    BindingTypeRef type;
    /// Reported instead of `type` when its kind is not None.
    BindingTypeRef secondType;
    bool optional = false;
    /// Where the request carries the argument (the dispatcher's location
    /// number; 0 is anywhere).
    uint32_t location = 0;
};

/// A function of the API. Owned by its registry, or by the caller for a
/// detached description.
struct BindingFunctionDescription {
    /// Named `functionName`, with `argumentCount` default arguments.
    BindingFunctionDescription(std::string_view functionName, size_t argumentCount);

    std::string name;
    /// In declaration order; created at the count given.
    std::vector<BindingArgumentDescription> arguments;
    BindingTypeRef result;
    /// Reported instead of `result` when its kind is not None.
    BindingTypeRef secondResult;
    std::string namespaceText;
    std::string description;
    std::string help;
    bool threadSafe = false;
    bool async = false;
    /// For an async function, the type whose registered name the API
    /// description reports; owned by the registry.
    const BindingTypeDescription* asyncType = nullptr;
    BindingTagList tags;
    /// The object that runs the function, as the dispatcher stores it; the
    /// description shares its ownership.
    std::shared_ptr<void> handler;
};

}  // namespace Nimbel
