// HTTP methods as the platform numbers them, on the boundary and on endpoints.
#pragma once

#include <cstdint>

#include "abi/core_abi.h"

namespace Nimbel {

enum class RequestMethod : uint32_t {
    Any = 0,  ///< on an endpoint: matches every method
    Delete = 1,
    Get = 2,
    Head = 3,
    Options = 4,
    Patch = 5,
    Post = 6,
    Put = 7,
    Other = 8,  ///< named by a separate text
};

/// "DELETE" ... "PUT" for methods 1 to 7; the empty text otherwise.
[[nodiscard]] const char* MethodWord(RequestMethod method) noexcept;

/// The boundary's method code: 1 to 8 map to themselves, anything else to Any.
[[nodiscard]] RequestMethod RequestMethodFromCode(KzoWord code) noexcept;

}  // namespace Nimbel
