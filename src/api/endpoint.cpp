#include "api/endpoint.h"

#include <utility>

#include "binding/binding_function_description.h"

namespace Nimbel {

ArgLocation ArgLocationFromNumber(uint32_t number) noexcept {
    switch (number) {
        case 1:
            return ArgLocation::Query;
        case 2:
            return ArgLocation::Path;
        case 4:
            return ArgLocation::Header;
        case 5:
            return ArgLocation::Body;
        default:
            return ArgLocation::Anywhere;
    }
}

std::string NormaliseEndpointPath(std::string_view path) {
    if (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return std::string(path);
}

Endpoint::Endpoint(const BindingTypeRegistry& owner, BindingFunctionDescription& function,
                   std::string_view path, RequestMethod method, std::string_view methodName,
                   std::shared_ptr<EndpointHandler> handler)
    : owner_(owner),
      function_(function),
      pathTemplate_(NormaliseEndpointPath(path)),
      method_(method),
      methodName_(method == RequestMethod::Other ? methodName : std::string_view{}),
      handler_(std::move(handler)),
      matcher_(pathTemplate_) {}

ArgLocation Endpoint::Location(size_t index) const noexcept {
    if (index >= function_.arguments.size()) return ArgLocation::Anywhere;
    return ArgLocationFromNumber(function_.arguments[index].location);
}

}  // namespace Nimbel
