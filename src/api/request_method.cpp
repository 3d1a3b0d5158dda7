#include "api/request_method.h"

namespace Nimbel {

const char* MethodWord(RequestMethod method) noexcept {
    switch (method) {
        case RequestMethod::Delete:
            return "DELETE";
        case RequestMethod::Get:
            return "GET";
        case RequestMethod::Head:
            return "HEAD";
        case RequestMethod::Options:
            return "OPTIONS";
        case RequestMethod::Patch:
            return "PATCH";
        case RequestMethod::Post:
            return "POST";
        case RequestMethod::Put:
            return "PUT";
        case RequestMethod::Any:
        case RequestMethod::Other:
            break;
    }
    return "";
}

RequestMethod RequestMethodFromCode(KzoWord code) noexcept {
    return code >= 1 && code <= 8 ? static_cast<RequestMethod>(code) : RequestMethod::Any;
}

}  // namespace Nimbel
