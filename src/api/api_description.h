// The API description: flat packed records of a registry's functions, types
// and events (and, once BuildEndpointRecords has run, of its endpoints) that
// the core reads without sharing code with the plug-in.
//
// Every array is contiguous and also chained: the first word of each record
// points at the next one and is 0 in the last. Every text points into the
// registry's descriptions. The records, arrays and texts stay valid until the
// next build or until the registry is destroyed.
#pragma once

#include <vector>

#include "abi/core_abi.h"

namespace Nimbel {

class ApiRegistry;
class BindingTypeRegistry;
class Endpoint;

/// What an endpoint record's context word points at: the registry and the
/// endpoint, two words.
struct EndpointContext {
    const ApiRegistry* registry = nullptr;
    const Endpoint* endpoint = nullptr;
};

/// The storage of one build, held by the registry it describes.
struct ApiDescription {
    std::vector<FunctionRecord> functions;
    std::vector<TypeRecord> types;
    std::vector<EventRecord> events;
    std::vector<EndpointRecord> endpoints;
    std::vector<EndpointContext> endpointContexts;
    // The arrays the records above point into; moving an inner vector keeps
    // its elements in place.
    std::vector<std::vector<ArgumentRecord>> argumentArrays;
    std::vector<std::vector<FieldRecord>> fieldArrays;
    std::vector<std::vector<EnumeratorRecord>> enumeratorArrays;
    std::vector<std::vector<ArgumentLocationEntry>> locationArrays;
    std::vector<std::vector<const char*>> tagArrays;
    /// Words 0 and 1 stay 0 until BuildEndpointRecords sets the endpoints.
    alignas(KzoWord) ApiDescriptionRoot root{};
};

/// Replaces the registry's description storage with the records of
/// snapshots of its functions, types and events, in the order of the
/// snapshots, and returns it. The function records are in `functions`; the
/// root holds the type and event arrays.
ApiDescription& BuildApiDescription(BindingTypeRegistry& registry);

}  // namespace Nimbel
