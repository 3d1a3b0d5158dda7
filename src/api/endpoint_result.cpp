#include "api/endpoint_result.h"

namespace Nimbel {

EndpointError InternalError(std::string message) {
    if (message.empty()) message = "Internal server error";
    return EndpointError{500, std::move(message)};
}

EndpointError NotFound(std::string message) {
    if (message.empty()) message = "Not found";
    return EndpointError{404, std::move(message)};
}

}  // namespace Nimbel
