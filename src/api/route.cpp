#include "api/route.h"

#include <vector>

#include "api/url_decode.h"

namespace Nimbel {
namespace {

[[nodiscard]] size_t DecodedLength(const std::map<std::string, std::string>& parameters) noexcept {
    size_t total = 0;
    for (const auto& [name, value] : parameters) total += value.size();
    return total;
}

}  // namespace

Route RouteOf(const Endpoint& endpoint) noexcept {
    return Route{&endpoint.Function(), &endpoint};
}

std::string_view RoutedPath(std::string_view path) noexcept {
    return path.substr(0, path.find('?'));
}

bool MatchRoute(const Route& route, std::string_view path,
                std::map<std::string, std::string>& parameters) {
    const RouteMatcher& matcher = route.endpoint->Matcher();
    std::vector<std::string_view> captures;
    if (!matcher.Match(path, captures)) return false;
    const auto& names = matcher.Parameters();
    for (size_t i = 0; i < names.size() && i < captures.size(); ++i) {
        parameters.insert_or_assign(names[i].name, UrlDecode(captures[i]));
    }
    return true;
}

bool AcceptsMethod(const Endpoint& endpoint, RequestMethod method,
                   std::string_view methodName) noexcept {
    if (endpoint.Method() == RequestMethod::Any) return true;
    return endpoint.Method() == method && endpoint.MethodName() == methodName;
}

bool SelectRoute(RequestContext& context, std::span<const Route> routes) {
    const std::string_view path = RoutedPath(context.path);
    const Route* chosen = nullptr;
    std::map<std::string, std::string> chosenParameters;
    size_t chosenLength = 0;
    for (const Route& route : routes) {
        if (!AcceptsMethod(*route.endpoint, context.method, context.methodName)) continue;
        std::map<std::string, std::string> parameters;
        if (!MatchRoute(route, path, parameters)) continue;
        const size_t length = DecodedLength(parameters);
        if (chosen != nullptr && length >= chosenLength) continue;
        chosen = &route;
        chosenLength = length;
        chosenParameters = std::move(parameters);
        if (chosenParameters.empty()) break;
    }
    if (chosen == nullptr) return false;
    context.function = chosen->function;
    context.endpoint = chosen->endpoint;
    context.parameters = std::move(chosenParameters);
    return true;
}

}  // namespace Nimbel
