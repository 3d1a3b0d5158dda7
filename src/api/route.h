// Choosing the endpoint a request path belongs to: routes over the endpoints'
// compiled templates, the per-request context, and the selection rule when
// several templates match.
#pragma once

#include <map>
#include <span>
#include <string>
#include <string_view>

#include "api/endpoint.h"
#include "api/request_method.h"

namespace Nimbel {

struct BindingFunctionDescription;

/// A route to one endpoint; it refers to the endpoint's matcher, compiled when
/// the endpoint was registered, so making a route compiles nothing. Valid as
/// long as the endpoint.
struct Route {
    const BindingFunctionDescription* function = nullptr;
    const Endpoint* endpoint = nullptr;
};

/// The route of `endpoint`.
[[nodiscard]] Route RouteOf(const Endpoint& endpoint) noexcept;

/// One request's view of routing; lives for that request.
struct RequestContext {
    RequestMethod method = RequestMethod::Any;
    /// Set for RequestMethod::Other only.
    std::string methodName;
    /// The request path as received; it may carry a query after "?".
    std::string path;
    /// Null until a route is selected.
    const BindingFunctionDescription* function = nullptr;
    const Endpoint* endpoint = nullptr;
    /// The path parameters of the selected route, decoded, by name.
    std::map<std::string, std::string> parameters;
};

/// The part of a request path that routes match: the text before the first
/// "?", so that a query never becomes part of a path parameter.
[[nodiscard]] std::string_view RoutedPath(std::string_view path) noexcept;

/// Whether `path` matches the route's template as a whole. On success
/// `parameters` holds each parameter's capture decoded with UrlDecode (a later
/// parameter of the same name replaces an earlier one); on failure it is left
/// unchanged.
[[nodiscard]] bool MatchRoute(const Route& route, std::string_view path,
                              std::map<std::string, std::string>& parameters);

/// Whether the endpoint takes requests of `method` (and `methodName` for
/// RequestMethod::Other): an endpoint of method Any takes every request.
[[nodiscard]] bool AcceptsMethod(const Endpoint& endpoint, RequestMethod method,
                                 std::string_view methodName) noexcept;

/// Selects among `routes`, in order, the matching route whose method check
/// passes; a later match replaces the chosen one only when the decoded texts
/// of its parameters are strictly shorter in total, and a match without
/// parameters ends the search. Sets the context's function, endpoint and
/// parameters and returns true when a route was selected; otherwise the
/// context is unchanged.
[[nodiscard]] bool SelectRoute(RequestContext& context, std::span<const Route> routes);

}  // namespace Nimbel
