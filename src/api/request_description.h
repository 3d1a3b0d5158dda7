// RequestDescription: how a request reached the plug-in, for the handlers
// whose answer depends on it (those answering an EndpointAnswer).
#pragma once

#include <chrono>
#include <map>
#include <string>

#include "abi/core_abi.h"
#include "api/request_method.h"
#include "binding/static_type.h"

namespace Nimbel {

class BindingTypeRegistry;

/// Lives for the handler's Complete call; its texts are copies.
struct RequestDescription {
    /// The request record's user context, unchanged.
    KzoWord userContext = 0;
    /// When dispatch took the request up.
    std::chrono::system_clock::time_point takenUp;
    /// The registry that owns the endpoint's function.
    const BindingTypeRegistry* owner = nullptr;
    /// The path as received, query included.
    std::string path;
    RequestMethod method = RequestMethod::Any;
    /// Set for RequestMethod::Other only.
    std::string methodName;
    /// The request's headers; of a repeated name, the later value.
    std::map<std::string, std::string> headers;
};

/// Whether a handler answering the native type `resultType` receives the
/// request description: true for EndpointAnswer alone.
[[nodiscard]] bool ReceivesRequestDescription(const StaticTypeId& resultType) noexcept;

}  // namespace Nimbel
