// ApiRegistry: a module's API — its type registry (records, enumerations,
// functions and events, built-ins included), its endpoints with their routes,
// and the API description built from them for the core.
//
// Endpoints are registered while the module loads and never removed; after
// that the registry is only read, from any thread, without a lock (the type
// registry keeps its own).
#pragma once

#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "abi/core_abi.h"
#include "api/endpoint.h"
#include "api/route.h"
#include "api/typed_endpoint_handler.h"
#include "binding/binding_type_registry.h"

namespace Nimbel {

class ApiRegistry {
public:
    /// The route template of the built-in "Help" function.
    static constexpr const char* kHelpPath = "/help";

    /// A type registry holding the built-ins (RegisterBuiltins) and no endpoint.
    ApiRegistry();
    ~ApiRegistry();
    ApiRegistry(const ApiRegistry&) = delete;
    ApiRegistry& operator=(const ApiRegistry&) = delete;

    [[nodiscard]] BindingTypeRegistry& Types() noexcept { return types_; }
    [[nodiscard]] const BindingTypeRegistry& Types() const noexcept { return types_; }

    /// Registers an endpoint: a function named MakeFunctionName(MethodWord of
    /// the method, normalised path) with the definition's arguments, result and
    /// description and `tags`; arguments named in the path template take their
    /// values from the path only. Null, with nothing registered, when the
    /// definition has no handler or a function of that name exists.
    [[nodiscard]] const Endpoint* AddEndpoint(EndpointDefinition definition,
                                              std::span<const std::string> tags);

    /// Registers `member` of `object` (which must outlive the registry) as the
    /// endpoint for `method` and `path`; `arguments` names each of its
    /// parameters in order. Null as AddEndpoint, and when the number of
    /// arguments differs from that of the parameters.
    template <class Method>
    [[nodiscard]] const Endpoint* AddTypedEndpoint(
        RequestMethod method, std::string_view path,
        typename internal::MemberFunctionTraits<Method>::Object& object, Method member,
        std::initializer_list<EndpointArgument> arguments, std::span<const std::string> tags,
        std::string_view description = {}) {
        return AddEndpoint(
            MakeTypedEndpoint(types_, method, path, object, member, arguments, description), tags);
    }

    /// The endpoints in registration order.
    [[nodiscard]] std::span<const std::unique_ptr<Endpoint>> Endpoints() const noexcept {
        return endpoints_;
    }
    /// One route per endpoint, in registration order.
    [[nodiscard]] std::vector<Route> Routes() const;
    /// The route of the built-in "Help" function (any method, kHelpPath),
    /// which dispatch answers when it is given this registry. It is not one of
    /// the endpoints and not in the functions table.
    [[nodiscard]] Route HelpRoute() const noexcept { return RouteOf(*helpEndpoint_); }

    /// Builds the API description (BuildEndpointRecords) and returns its root,
    /// valid until the next build or until the registry is destroyed.
    [[nodiscard]] const ApiDescriptionRoot* BuildDescription();

private:
    BindingTypeRegistry types_;
    std::vector<std::unique_ptr<Endpoint>> endpoints_;
    std::unique_ptr<BindingFunctionDescription> helpFunction_;
    std::unique_ptr<Endpoint> helpEndpoint_;
};

}  // namespace Nimbel
