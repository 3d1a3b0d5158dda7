// EndpointHandler: the object that runs an endpoint's function for dispatch,
// in three steps per request (Invoke, Complete, Release) so that work done for
// a request and the state it needs can be kept apart from the function itself.
#pragma once

#include <memory>
#include <span>

#include "abi/core_abi.h"
#include "api/call_result.h"
#include "api/request_description.h"
#include "binding/binding_property.h"
#include "binding/static_type.h"

namespace Nimbel {

/// The state one request keeps between Invoke and Release.
class EndpointOperation {
public:
    virtual ~EndpointOperation() = default;
};

/// Owns a request's operation; null when Invoke needed none.
using OperationHandle = std::unique_ptr<EndpointOperation>;

/// Shared by the endpoint and its function description; called on the core's
/// threads, possibly for several requests at once, so it keeps per-request
/// state in the operation only. Failures go into the CallResult; anything a
/// handler throws is answered by dispatch as an internal error.
class EndpointHandler {
public:
    virtual ~EndpointHandler() = default;

    /// Prepares the call from the bound `arguments` (one per function argument,
    /// in declaration order, empty where none was given). A failure reported in
    /// `result` ends the request before Complete.
    [[nodiscard]] virtual OperationHandle Invoke(CallResult& result,
                                                 std::span<const BindingProperty> arguments,
                                                 KzoWord userContext) = 0;
    /// Runs the function and stores its outcome in `result`. `request` is set
    /// only for handlers whose ResultTypeId receives the request description.
    virtual void Complete(CallResult& result, const RequestDescription* request,
                          OperationHandle& operation, KzoWord userContext) = 0;
    /// Ends the request's operation; destroying it is enough by default.
    virtual void Release(OperationHandle operation) noexcept { operation.reset(); }
    /// The native type the function answers.
    [[nodiscard]] virtual const StaticTypeId& ResultTypeId() const noexcept = 0;
};

}  // namespace Nimbel
