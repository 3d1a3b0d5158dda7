// An endpoint of a module's API: the function it exposes, the path template
// and method under which requests reach it, where each argument may come
// from, the handler that runs it, and its template compiled once for matching.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "api/request_method.h"
#include "api/route_template.h"

namespace Nimbel {

struct BindingFunctionDescription;
class BindingTypeRegistry;
class EndpointHandler;

/// Where a request may carry an argument; 32-bit, the numbers of the boundary.
enum class ArgLocation : uint32_t {
    Anywhere = 0,
    Query = 1,
    Path = 2,
    Header = 4,
    Body = 5,
};

/// The location as the endpoint record reports it: 1 to 5 as set, else 0.
[[nodiscard]] ArgLocation ArgLocationFromNumber(uint32_t number) noexcept;

/// The path under which an endpoint is published: one trailing "/" removed
/// when the path is longer than one character ("/a/b/" gives "/a/b", "/"
/// stays "/").
[[nodiscard]] std::string NormaliseEndpointPath(std::string_view path);

/// Owned by its ApiRegistry, which never removes one; immutable once
/// registered, so requests on any thread may read it without a lock.
class Endpoint {
public:
    /// `function` belongs to `owner` (or, for a built-in, to the registry that
    /// holds the endpoint) and outlives the endpoint; the path is normalised
    /// and compiled here. The method name is kept for RequestMethod::Other only.
    Endpoint(const BindingTypeRegistry& owner, BindingFunctionDescription& function,
             std::string_view path, RequestMethod method, std::string_view methodName,
             std::shared_ptr<EndpointHandler> handler);

    /// The registry of the function's types, whose enumerator names answers use.
    [[nodiscard]] const BindingTypeRegistry& Owner() const noexcept { return owner_; }
    [[nodiscard]] const BindingFunctionDescription& Function() const noexcept { return function_; }
    [[nodiscard]] const std::string& PathTemplate() const noexcept { return pathTemplate_; }
    /// Any (0) accepts every request method.
    [[nodiscard]] RequestMethod Method() const noexcept { return method_; }
    /// The method's own name; used only with RequestMethod::Other.
    [[nodiscard]] const std::string& MethodName() const noexcept { return methodName_; }
    [[nodiscard]] EndpointHandler& Handler() const noexcept { return *handler_; }
    /// The template compiled when the endpoint was registered.
    [[nodiscard]] const RouteMatcher& Matcher() const noexcept { return matcher_; }
    /// Where argument `index` of the function may come from; Anywhere for an
    /// index beyond the last argument.
    [[nodiscard]] ArgLocation Location(size_t index) const noexcept;

private:
    const BindingTypeRegistry& owner_;
    BindingFunctionDescription& function_;
    std::string pathTemplate_;
    RequestMethod method_;
    std::string methodName_;
    std::shared_ptr<EndpointHandler> handler_;
    RouteMatcher matcher_;
};

}  // namespace Nimbel
