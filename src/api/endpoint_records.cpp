#include "api/endpoint_records.h"

#include <string_view>
#include <unordered_map>

#include "api/api_description.h"
#include "api/api_registry.h"
#include "api/dispatch.h"
#include "binding/binding_function_description.h"

namespace Nimbel {
namespace {

using FunctionIndex = std::unordered_map<std::string_view, size_t>;

[[nodiscard]] FunctionIndex IndexByName(const std::vector<FunctionRecord>& functions) {
    FunctionIndex index;
    for (size_t i = 0; i < functions.size(); ++i) {
        const char* name = functions[i].name;
        index.emplace(name, i);
    }
    return index;
}

[[nodiscard]] const ArgumentLocationEntry* LocationArray(ApiDescription& storage,
                                                         const Endpoint& endpoint) {
    std::vector<ArgumentLocationEntry>& entries = storage.locationArrays.emplace_back();
    const size_t count = endpoint.Function().arguments.size();
    for (size_t i = 0; i < count; ++i) {
        entries.push_back(ArgumentLocationEntry{0, static_cast<KzoWord>(endpoint.Location(i))});
    }
    return entries.data();
}

[[nodiscard]] EndpointRecord EndpointRecordOf(ApiDescription& storage, const FunctionIndex& index,
                                              const Endpoint& endpoint) {
    EndpointRecord record{};
    const auto found = index.find(endpoint.Function().name);
    if (found != index.end()) record.function = storage.functions[found->second];
    record.argumentLocations = LocationArray(storage, endpoint);
    record.pathTemplate = endpoint.PathTemplate().c_str();
    record.method = static_cast<KzoWord>(endpoint.Method());
    record.methodName = endpoint.MethodName().c_str();
    return record;
}

}  // namespace

const ApiDescriptionRoot& BuildEndpointRecords(ApiRegistry& registry) {
    ApiDescription& storage = BuildApiDescription(registry.Types());
    const FunctionIndex index = IndexByName(storage.functions);
    const auto endpoints = registry.Endpoints();
    storage.endpoints.reserve(endpoints.size());
    storage.endpointContexts.reserve(endpoints.size());
    for (const auto& endpoint : endpoints) {
        storage.endpoints.push_back(EndpointRecordOf(storage, index, *endpoint));
        storage.endpointContexts.push_back(EndpointContext{&registry, endpoint.get()});
    }
    for (size_t i = 0; i < storage.endpoints.size(); ++i) {
        EndpointRecord& record = storage.endpoints[i];
        record.function.next =
            i + 1 < storage.endpoints.size() ? &storage.endpoints[i + 1].function : nullptr;
        record.function.reserved1 = reinterpret_cast<KzoWord>(&storage.endpointContexts[i]);
        record.onRequest = &OnEndpointRequest;
    }
    ApiDescriptionRoot root = storage.root;
    root.endpoints = storage.endpoints.empty() ? nullptr : storage.endpoints.data();
    root.endpointCount = storage.endpoints.size();
    storage.root = root;
    return storage.root;
}

void OnEndpointRequest(CoreResponse* response, const CoreRequest* request) noexcept {
    if (response == nullptr) return;
    const void* context = request != nullptr ? request->endpointContext : nullptr;
    const Endpoint* endpoint =
        context != nullptr ? static_cast<const EndpointContext*>(context)->endpoint : nullptr;
    if (endpoint == nullptr) {
        AnswerInvalidFunction(*response);
        return;
    }
    HandleEndpointRequest(*endpoint, *request, *response);
}

}  // namespace Nimbel
