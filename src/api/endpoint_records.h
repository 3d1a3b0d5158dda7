// The endpoint records of the API description: how the core learns each
// endpoint's function, path template, method and argument locations, and the
// callback through which it delivers that endpoint's requests.
#pragma once

#include "abi/core_abi.h"

namespace Nimbel {

class ApiRegistry;

/// Builds the registry's API description (BuildApiDescription), then one
/// endpoint record per endpoint in registration order, chained, each a copy of
/// its function's record whose word 2 points at the endpoint's context and
/// whose request callback is OnEndpointRequest. Returns the root, whose words
/// 0 and 1 are the endpoint records and their count. Everything is owned by the
/// registry's description storage.
const ApiDescriptionRoot& BuildEndpointRecords(ApiRegistry& registry);

/// The request callback of every endpoint record. Takes the endpoint from the
/// context the core passes back in the request's word 4 and answers the
/// request (HandleEndpointRequest); a request without a context is answered
/// "Invalid function" with status 404. Never throws.
void OnEndpointRequest(CoreResponse* response, const CoreRequest* request) noexcept;

}  // namespace Nimbel
