// Delivering a request to a plug-in's endpoint as the core does: find the
// endpoint record whose method and path template fit the request, call that
// record's own request callback with the record's context, read the answer
// and release the response record.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "abi/core_abi.h"
#include "api/route_template.h"
#include "binding/binding_property.h"
#include "host/api_listing.h"

namespace KzoHost {

struct EndpointCall {
    KzoWord method = 2;      ///< the boundary's method code; 2 is GET
    std::string methodName;  ///< method 8 only
    std::string path;        ///< may carry a query after "?"
    std::vector<std::pair<std::string, std::string>> headers;
    std::string contentType;
    /// Handed over as exactly these bytes, in a buffer of that size with no
    /// terminator after it.
    std::optional<std::string> body;
    /// Typed arguments: a name (none for an argument given by position) and a value.
    std::vector<std::pair<std::optional<std::string>, Nimbel::BindingProperty>> arguments;
    KzoWord userContext = 0;
};

/// A request record made from a call, owning everything it points at.
class RequestRecord {
public:
    RequestRecord(const EndpointCall& call, void* endpointContext);
    ~RequestRecord();
    RequestRecord(const RequestRecord&) = delete;
    RequestRecord& operator=(const RequestRecord&) = delete;

    [[nodiscard]] const CoreRequest& Record() const noexcept { return request_; }

private:
    std::vector<CoreHeaderPair> headers_;
    std::vector<CoreArgumentEntry> arguments_;
    std::unique_ptr<uint8_t[]> body_;
    alignas(KzoWord) CoreRequest request_{};
};

struct EndpointReply {
    /// False when no endpoint record fits the call; nothing else is set then.
    bool delivered = false;
    /// The function name of the endpoint that received the call.
    std::string functionName;
    KzoWord status = 0;
    /// The response's error text, when it has one.
    std::optional<std::string> error;
    /// The response's value as compact JSON; empty for an empty value.
    std::string json;
    std::string text;
    std::vector<std::pair<std::string, std::string>> headers;
};

/// What a filled response record says; the record is only read.
[[nodiscard]] EndpointReply ReadResponse(const CoreResponse& response);

/// The endpoints of one API description, with their routes compiled once, as
/// a core keeps them between requests.
class EndpointDirectory {
public:
    explicit EndpointDirectory(const ApiDescriptionRoot* root);
    ~EndpointDirectory();
    EndpointDirectory(const EndpointDirectory&) = delete;
    EndpointDirectory& operator=(const EndpointDirectory&) = delete;

    /// The first endpoint, in chain order, whose method is 0 or the call's
    /// (and, for method 8, whose method name is the call's) and whose path
    /// template matches the call's path before any "?"; null when none does.
    [[nodiscard]] const ListedEndpoint* Find(const EndpointCall& call) const;
    /// Whether some endpoint's template matches `path`, whatever its method.
    [[nodiscard]] bool ServesPath(std::string_view path) const;
    /// The methods served at `path`, for an Allow header: "GET, HEAD" and so
    /// on, in chain order without repeats (HEAD follows GET).
    [[nodiscard]] std::string MethodsServing(std::string_view path) const;
    /// Delivers `call` to the endpoint Find chooses; not delivered when none.
    [[nodiscard]] EndpointReply Deliver(const EndpointCall& call) const;
    [[nodiscard]] const std::vector<ListedEndpoint>& Endpoints() const noexcept {
        return endpoints_;
    }

private:
    std::vector<ListedEndpoint> endpoints_;
    std::vector<Nimbel::RouteMatcher> routes_;
};

/// Delivers `call` to the first endpoint record of `root`, in chain order,
/// whose method is 0 or the call's (and, for method 8, whose method name is
/// the call's) and whose path template matches the call's path before any
/// "?". The response record is released before this returns.
[[nodiscard]] EndpointReply SendToEndpoint(const ApiDescriptionRoot* root,
                                           const EndpointCall& call);

/// Delivers `call` through `onRequest` with `context` as the request's word 4,
/// as SendToEndpoint does once it has chosen the record.
[[nodiscard]] EndpointReply CallEndpoint(EndpointRequestFn onRequest, void* context,
                                         const EndpointCall& call);

}  // namespace KzoHost
