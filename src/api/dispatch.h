// Request dispatch: from the core's request record to the endpoint's handler
// and back into the core's response record.
//
// Nothing here throws to the core. Failures of the request are answered in
// the response (an error text, and a status where dispatch chooses one); a
// handler that throws, or memory running out, is answered with status 500
// "Internal server error". The response record always ends filled, with its
// release function set, and the core must call that function once it has
// read the record.
#pragma once

#include <span>

#include "abi/core_abi.h"
#include "api/call_result.h"
#include "api/route.h"

namespace Nimbel {

class ApiRegistry;

/// Answers a request that the core delivered for `endpoint`: dispatches it
/// over the endpoint's own route, without a registry, so a path that does
/// not fit the endpoint's template is answered "Invalid function" (404).
void HandleEndpointRequest(const Endpoint& endpoint, const CoreRequest& request,
                           CoreResponse& response) noexcept;

/// Resets `response`, selects the route for the request's method and path
/// among `routes` ("Invalid function", 404, when none fits) and runs it. The
/// request is one AssertionReportScope: a soft report repeated while it runs
/// is written once in full and once as a count when it ends. With
/// a registry, a function tagged "$builtin" is answered by the registry
/// itself: "Help" with the description of the whole API, any other with
/// "Unsupported builtin function" (400).
void Dispatch(const ApiRegistry* registry, CoreResponse& response, const CoreRequest& request,
              std::span<const Route> routes) noexcept;

/// Binds the arguments of the request (headers, path parameters, query,
/// typed arguments, body), runs the context's endpoint's handler while
/// nothing failed, and fills `response` from `result`. Arguments that do not
/// bind, or do not convert to the handler's parameters, answer
/// kBadArgumentStatus (400) with the binding's message. `context` must have a
/// selected route. Exhausted memory and whatever the handler throws pass
/// through; Dispatch answers them.
void ExecuteRequest(CallResult& result, const CoreRequest& request, const RequestContext& context,
                    CoreResponse& response);

/// Resets `response` and answers "Invalid function" with status 404; a
/// response that cannot be given that text gets the internal error.
void AnswerInvalidFunction(CoreResponse& response) noexcept;

}  // namespace Nimbel
