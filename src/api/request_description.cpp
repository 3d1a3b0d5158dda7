#include "api/request_description.h"

#include "api/endpoint_answer.h"

namespace Nimbel {

bool ReceivesRequestDescription(const StaticTypeId& resultType) noexcept {
    return resultType == StaticType::Name<EndpointAnswer>();
}

}  // namespace Nimbel
