#include "host/endpoint_client.h"

#include <algorithm>
#include <array>
#include <memory>
#include <string_view>

#include "api/owned_response.h"
#include "api/route_template.h"
#include "binding/binding_property.h"
#include "binding/core_value.h"
#include "codecs/json_writer.h"
#include "host/api_listing.h"

namespace KzoHost {
namespace {

[[nodiscard]] bool MethodFits(const ListedEndpoint& endpoint, const EndpointCall& call) {
    return endpoint.method == 0 || (endpoint.method == call.method &&
                                    (call.method != 8 || endpoint.methodName == call.methodName));
}

}  // namespace

RequestRecord::RequestRecord(const EndpointCall& call, void* endpointContext) {
    for (const auto& [name, value] : call.headers) {
        headers_.push_back(CoreHeaderPair{name.c_str(), value.c_str()});
    }
    for (const auto& [name, value] : call.arguments) {
        CoreArgumentEntry& entry = arguments_.emplace_back();
        entry = CoreArgumentEntry{name.has_value() ? name->c_str() : nullptr, CoreValue{}};
        CoreValue converted{};
        Nimbel::PropertyToCoreValue(converted, value, nullptr);
        entry.value = converted;
    }
    // Exactly the body's bytes: a reader that ran past them would leave the buffer.
    if (call.body.has_value()) {
        body_ = std::make_unique<uint8_t[]>(call.body->size());
        std::copy(call.body->begin(), call.body->end(), body_.get());
    }
    CoreRequest request{};
    request.method = call.method;
    request.path = call.path.c_str();
    request.arguments = arguments_.data();
    request.argumentCount = arguments_.size();
    request.endpointContext = endpointContext;
    request.headers = headers_.data();
    request.headerCount = headers_.size();
    request.contentType = call.contentType.c_str();
    request.body = body_.get();
    request.bodySize = call.body.has_value() ? call.body->size() : 0;
    request.handle = call.userContext;
    request.methodName = call.methodName.c_str();
    request_ = request;
}

RequestRecord::~RequestRecord() {
    for (CoreArgumentEntry& entry : arguments_) {
        CoreValue value = entry.value;
        Nimbel::CoreValueRelease(value);
    }
}

EndpointReply ReadResponse(const CoreResponse& response) {
    EndpointReply reply;
    reply.delivered = true;
    reply.status = response.status;
    // The error flag says whether the record holds an error text.
    if (response.ownsErrorText == 1 && response.errorText != nullptr) {
        reply.error = std::string(response.errorText);
    }
    if (response.text != nullptr) reply.text = response.text;
    const CoreHeaderPair* pairs = response.headers;
    for (KzoWord i = 0; pairs != nullptr && i < response.headerCount; ++i) {
        const CoreHeaderPair pair = pairs[i];
        reply.headers.emplace_back(pair.name, pair.value);
    }
    Nimbel::BindingProperty value;
    if (Nimbel::CoreValueToProperty(nullptr, value, response.value, "<result>")) {
        reply.json = Nimbel::ValueToJson(value, nullptr, nullptr);
    }
    return reply;
}

EndpointReply CallEndpoint(EndpointRequestFn onRequest, void* context, const EndpointCall& call) {
    const RequestRecord request(call, context);
    Nimbel::OwnedResponse response;
    onRequest(&response.Record(), &request.Record());
    return ReadResponse(response.Record());
}

EndpointDirectory::EndpointDirectory(const ApiDescriptionRoot* root)
    : endpoints_(ReadApiDescription(root).endpoints) {
    routes_.reserve(endpoints_.size());
    for (const ListedEndpoint& endpoint : endpoints_) routes_.emplace_back(endpoint.pathTemplate);
}

EndpointDirectory::~EndpointDirectory() = default;

const ListedEndpoint* EndpointDirectory::Find(const EndpointCall& call) const {
    const std::string_view path = std::string_view(call.path).substr(0, call.path.find('?'));
    std::vector<std::string_view> captures;
    for (size_t i = 0; i < endpoints_.size(); ++i) {
        const ListedEndpoint& endpoint = endpoints_[i];
        if (endpoint.onRequest == nullptr || !MethodFits(endpoint, call)) continue;
        if (routes_[i].Match(path, captures)) return &endpoint;
    }
    return nullptr;
}

bool EndpointDirectory::ServesPath(std::string_view path) const {
    path = path.substr(0, path.find('?'));
    std::vector<std::string_view> captures;
    return std::any_of(routes_.begin(), routes_.end(), [&](const Nimbel::RouteMatcher& route) {
        return route.Match(path, captures);
    });
}

std::string EndpointDirectory::MethodsServing(std::string_view path) const {
    static constexpr std::array<std::string_view, 8> kNames = {"",        "DELETE", "GET",  "HEAD",
                                                               "OPTIONS", "PATCH",  "POST", "PUT"};
    path = path.substr(0, path.find('?'));
    std::vector<std::string_view> captures;
    std::vector<std::string> methods;
    const auto add = [&methods](std::string_view method) {
        if (!method.empty() && std::find(methods.begin(), methods.end(), method) == methods.end())
            methods.emplace_back(method);
    };
    for (size_t i = 0; i < routes_.size(); ++i) {
        if (!routes_[i].Match(path, captures)) continue;
        const ListedEndpoint& endpoint = endpoints_[i];
        add(endpoint.method < kNames.size() ? kNames[endpoint.method] : endpoint.methodName);
        if (endpoint.method == 2) add("HEAD");
    }
    std::string allow;
    for (const std::string& method : methods) allow += (allow.empty() ? "" : ", ") + method;
    return allow;
}

EndpointReply EndpointDirectory::Deliver(const EndpointCall& call) const {
    const ListedEndpoint* endpoint = Find(call);
    if (endpoint == nullptr) return EndpointReply{};
    EndpointReply reply = CallEndpoint(endpoint->onRequest, endpoint->context, call);
    reply.functionName = endpoint->functionName;
    return reply;
}

EndpointReply SendToEndpoint(const ApiDescriptionRoot* root, const EndpointCall& call) {
    return EndpointDirectory(root).Deliver(call);
}

}  // namespace KzoHost
