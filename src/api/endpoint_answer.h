// EndpointAnswer: a handler's answer in full, for handlers that choose the
// HTTP status, text, headers or a streamed body themselves rather than only a
// value. Handlers answering it also receive the request's description.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "api/response_stream.h"
#include "binding/binding_property.h"

namespace Nimbel {

struct EndpointAnswer {
    BindingProperty value;
    uint8_t flag = 0;
    /// 1 to 3 are passed on; anything else reaches the core as 0.
    uint32_t kind = 0;
    uint32_t status = 0;
    std::string text;
    std::map<std::string, std::string> headers;
    std::unique_ptr<ResponseStream> stream;
};

}  // namespace Nimbel
