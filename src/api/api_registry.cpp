#include "api/api_registry.h"

#include <algorithm>
#include <utility>

#include "api/builtins.h"
#include "api/endpoint_handler.h"
#include "api/endpoint_records.h"
#include "api/function_name.h"

namespace Nimbel {
namespace {

constexpr const char* kBuiltinTag = "$builtin";

// Dispatch answers "Help" itself when it has the registry; without it, the
// function cannot be answered.
class HelpWithoutRegistry final : public EndpointHandler {
public:
    OperationHandle Invoke(CallResult&, std::span<const BindingProperty>, KzoWord) override {
        return nullptr;
    }
    void Complete(CallResult& result, const RequestDescription*, OperationHandle&,
                  KzoWord) override {
        result.status.SetError("Unsupported builtin function");
        result.httpStatus = 400;
    }
    const StaticTypeId& ResultTypeId() const noexcept override {
        return StaticType::Name<BindingProperty>();
    }
};

void MarkPathArguments(std::vector<BindingArgumentDescription>& arguments,
                       const RouteMatcher& matcher) {
    for (const RouteParameter& parameter : matcher.Parameters()) {
        for (BindingArgumentDescription& argument : arguments) {
            if (argument.name == parameter.name) {
                argument.location = static_cast<uint32_t>(ArgLocation::Path);
            }
        }
    }
}

}  // namespace

ApiRegistry::ApiRegistry() {
    RegisterBuiltins(types_);
    helpFunction_ = BindingTypeRegistry::CreateDetachedFunction("Help", 0);
    helpFunction_->tags.Add(kBuiltinTag);
    helpFunction_->description = "Describes the exposed native API.";
    helpFunction_->result = BindingTypeRef{BindingTypeKind::Struct, BindingTypeKind::None,
                                           types_.FindType("BindingFullApiHelp")};
    helpEndpoint_ =
        std::make_unique<Endpoint>(types_, *helpFunction_, kHelpPath, RequestMethod::Any, "",
                                   std::make_shared<HelpWithoutRegistry>());
}

ApiRegistry::~ApiRegistry() = default;

const Endpoint* ApiRegistry::AddEndpoint(EndpointDefinition definition,
                                         std::span<const std::string> tags) {
    if (definition.handler == nullptr) return nullptr;
    const std::string path = NormaliseEndpointPath(definition.path);
    BindingFunctionDescription* function = types_.CreateFunction(
        MakeFunctionName(MethodWord(definition.method), path), definition.arguments.size());
    if (function == nullptr) return nullptr;
    function->arguments = std::move(definition.arguments);
    function->result = definition.result;
    function->description = std::move(definition.description);
    function->tags.Append(tags);
    function->handler = definition.handler;
    auto endpoint =
        std::make_unique<Endpoint>(types_, *function, path, definition.method,
                                   definition.methodName, std::move(definition.handler));
    MarkPathArguments(function->arguments, endpoint->Matcher());
    return endpoints_.emplace_back(std::move(endpoint)).get();
}

std::vector<Route> ApiRegistry::Routes() const {
    std::vector<Route> routes;
    routes.reserve(endpoints_.size());
    for (const auto& endpoint : endpoints_) routes.push_back(RouteOf(*endpoint));
    return routes;
}

const ApiDescriptionRoot* ApiRegistry::BuildDescription() {
    return &BuildEndpointRecords(*this);
}

}  // namespace Nimbel
