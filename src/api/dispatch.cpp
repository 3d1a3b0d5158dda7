#include "api/dispatch.h"

#include <chrono>
#include <string>
#include <vector>

#include "api/api_registry.h"
#include "api/argument_binding.h"
#include "api/binding_help.h"
#include "api/endpoint_handler.h"
#include "api/internal/response_record.h"
#include "binding/core_value.h"
#include "diagnostics/assertion_report_scope.h"
#include "diagnostics/caught_exception.h"

namespace Nimbel {
namespace {

constexpr const char* kBuiltinTag = "$builtin";

[[nodiscard]] bool IsBuiltin(const BindingFunctionDescription& function) {
    for (const std::string& tag : function.tags.Texts()) {
        if (tag == kBuiltinTag) return true;
    }
    return false;
}

[[nodiscard]] RequestContext ContextOf(const CoreRequest& request) {
    RequestContext context;
    context.method = RequestMethodFromCode(request.method);
    const char* path = request.path;
    context.path = path != nullptr ? path : "";
    const char* methodName = request.methodName;
    if (context.method == RequestMethod::Other && methodName != nullptr) {
        context.methodName = methodName;
    }
    return context;
}

[[nodiscard]] RequestDescription DescribeRequest(const CoreRequest& request,
                                                 const RequestContext& context,
                                                 NamedTexts headers) {
    RequestDescription description;
    description.userContext = request.handle;
    description.takenUp = std::chrono::system_clock::now();
    description.owner = &context.endpoint->Owner();
    description.path = context.path;
    description.method = context.method;
    description.methodName = context.methodName;
    description.headers = std::move(headers);
    return description;
}

void AnswerBuiltin(const ApiRegistry& registry, CoreResponse& response,
                   const BindingFunctionDescription& function) {
    if (function.name != "Help") {
        internal::AnswerError(response, 400, "Unsupported builtin function");
        return;
    }
    const BindingStatus help = ApiHelpValue(registry.Types());
    if (!help.Ok()) {
        internal::AnswerError(response, 400, help.ErrorMessage());
        return;
    }
    PropertyToCoreValue(response.value, help.Value(), &registry.Types());
}

// Binds every source of arguments, stopping at the first failure. Arguments
// that do not bind are the caller's fault: the failure answers status 400.
[[nodiscard]] bool BindRequest(CallResult& result, std::vector<BindingProperty>& arguments,
                               const CoreRequest& request, const RequestContext& context) {
    const Endpoint& endpoint = *context.endpoint;
    const BindingFunctionDescription& function = endpoint.Function();
    const NamedTexts headerArguments =
        HeaderArguments(function, endpoint, HeaderMapByLowerCaseName(request));
    const NamedTexts query = QueryMap(context.path);
    BindArguments(result.status, arguments, function, endpoint, query, context.parameters,
                  headerArguments);
    if (result.status.Ok()) {
        BindTypedArguments(result.status, arguments, function, request, context.parameters.size());
    }
    if (result.status.Ok()) BindBody(result.status, arguments, endpoint, request);
    if (result.status.Ok()) return true;
    result.httpStatus = kBadArgumentStatus;
    return false;
}

// Everything but the final filling of the response, so that the caller fills
// it on every path that reached the handler's result.
void RunRequest(CallResult& result, const CoreRequest& request, const RequestContext& context) {
    const Endpoint& endpoint = *context.endpoint;
    std::vector<BindingProperty> arguments;
    if (!BindRequest(result, arguments, request, context)) return;

    EndpointHandler& handler = endpoint.Handler();
    OperationHandle operation = handler.Invoke(result, arguments, request.handle);
    if (result.status.Ok()) {
        if (ReceivesRequestDescription(handler.ResultTypeId())) {
            const RequestDescription description =
                DescribeRequest(request, context, HeaderMap(request));
            handler.Complete(result, &description, operation, request.handle);
        } else {
            handler.Complete(result, nullptr, operation, request.handle);
        }
    }
    if (operation != nullptr) handler.Release(std::move(operation));
}

}  // namespace

void ExecuteRequest(CallResult& result, const CoreRequest& request, const RequestContext& context,
                    CoreResponse& response) {
    RunRequest(result, request, context);
    internal::FillResponse(response, result, &context.endpoint->Owner());
}

void AnswerInvalidFunction(CoreResponse& response) noexcept {
    try {
        internal::ResetResponse(response);
        internal::AnswerError(response, 404, "Invalid function");
    } catch (...) {
        internal::AnswerInternalError(response);
    }
}

void Dispatch(const ApiRegistry* registry, CoreResponse& response, const CoreRequest& request,
              std::span<const Route> routes) noexcept {
    internal::ResetResponse(response);
    const AssertionReportScope reports;
    try {
        RequestContext context = ContextOf(request);
        if (!SelectRoute(context, routes)) {
            internal::AnswerError(response, 404, "Invalid function");
            return;
        }
        if (registry != nullptr && IsBuiltin(*context.function)) {
            AnswerBuiltin(*registry, response, *context.function);
            return;
        }
        CallResult result;
        ExecuteRequest(result, request, context, response);
    } catch (...) {
        LogCaughtException("Request for %s failed", request.path != nullptr ? request.path : "");
        internal::AnswerInternalError(response);
    }
}

void HandleEndpointRequest(const Endpoint& endpoint, const CoreRequest& request,
                           CoreResponse& response) noexcept {
    const Route route = RouteOf(endpoint);
    Dispatch(nullptr, response, request, std::span<const Route>(&route, 1));
}

}  // namespace Nimbel
