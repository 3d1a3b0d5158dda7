// Binding a C++ member function to an endpoint: its parameters become the
// function's arguments (converted from the bound values by the value-to-native
// rules) and its result the answer (converted by the native-to-value rules).
//
// A handler function takes parameters of any native type the binding layer
// converts (by value or by const reference) and returns either a native value
// or an EndpointResult of one; a returned EndpointError answers its status and
// message. Returning EndpointAnswer gives the handler the whole response.
#pragma once

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "api/endpoint.h"
#include "api/endpoint_answer.h"
#include "api/endpoint_handler.h"
#include "api/endpoint_result.h"
#include "api/native_type_ref.h"
#include "binding/binding_function_description.h"
#include "binding/binding_type_registry.h"
#include "binding/native_to_core_value.h"
#include "binding/native_to_value.h"
#include "binding/value_to_native.h"
#include "diagnostics/fnv1a.h"

namespace Nimbel {

/// Whether a request must give an argument.
enum class ArgPresence : uint8_t { Required, Optional };

/// One argument of an endpoint as its registration names it.
struct EndpointArgument {
    std::string_view name;
    ArgLocation location = ArgLocation::Anywhere;
    std::string_view description;
    ArgPresence presence = ArgPresence::Required;
};

/// A required argument: Arg("gameId", ArgLocation::Path).
[[nodiscard]] constexpr EndpointArgument Arg(std::string_view name,
                                             ArgLocation location = ArgLocation::Anywhere,
                                             std::string_view description = {}) noexcept {
    return EndpointArgument{name, location, description, ArgPresence::Required};
}

/// An argument that may be missing; its parameter then keeps its default value.
[[nodiscard]] constexpr EndpointArgument OptionalArg(std::string_view name,
                                                     ArgLocation location = ArgLocation::Anywhere,
                                                     std::string_view description = {}) noexcept {
    return EndpointArgument{name, location, description, ArgPresence::Optional};
}

namespace internal {

template <class T>
struct EndpointResultTraits {
    using Value = T;
    static constexpr bool kCanFail = false;
};
template <class T>
struct EndpointResultTraits<EndpointResult<T>> {
    using Value = T;
    static constexpr bool kCanFail = true;
};

template <class F>
struct MemberFunctionTraits;
template <class C, class R, class... A>
struct MemberFunctionTraits<R (C::*)(A...)> {
    using Object = C;
    using Result = R;
    using Arguments = std::tuple<std::remove_cvref_t<A>...>;
};
template <class C, class R, class... A>
struct MemberFunctionTraits<R (C::*)(A...) const> : MemberFunctionTraits<R (C::*)(A...)> {};

/// A native answer of type T, converted with `registry`, which outlives it.
template <class T>
class TypedNativeAnswer final : public NativeAnswer {
public:
    TypedNativeAnswer(T value, const BindingTypeRegistry& registry)
        : value_(std::move(value)), registry_(registry) {}

    bool WriteCoreValue(CoreValue& target, const EnumNameLookup* enumNames) const override {
        return NativeToCoreValueBlock(target, value_, registry_, enumNames);
    }
    void WriteValue(BindingStatus& status) const override {
        NativeToValue(status, value_, registry_);
    }

private:
    T value_;
    const BindingTypeRegistry& registry_;
};

/// Stores the value an EndpointAnswer or a native result gives the call: a
/// native result is kept as it is, to be written when the response is filled.
template <class T>
void StoreAnswer(CallResult& result, T& value, const BindingTypeRegistry& registry) {
    if constexpr (std::is_same_v<T, EndpointAnswer>) {
        result.status.Value() = std::move(value.value);
        result.flag = value.flag;
        result.kind = value.kind;
        result.httpStatus = value.status;
        result.text = std::move(value.text);
        result.headers = std::move(value.headers);
        result.stream = std::move(value.stream);
    } else {
        result.nativeAnswer = std::make_unique<TypedNativeAnswer<T>>(std::move(value), registry);
    }
}

}  // namespace internal

/// Runs `Function` with the arguments of one request. Result is what the
/// function returns (a native value or an EndpointResult of one); Arguments
/// are the native types of its parameters. The registry must outlive the
/// handler.
template <class Result, class... Arguments>
class TypedEndpointHandler final : public EndpointHandler {
    using Traits = internal::EndpointResultTraits<Result>;
    using Value = typename Traits::Value;
    static_assert(std::is_same_v<Value, EndpointAnswer> || BindingNativeType<Value>,
                  "an endpoint answers a native type the binding layer converts");
    static_assert((BindingNativeType<Arguments> && ...),
                  "an endpoint's parameters are native types the binding layer converts");

public:
    using Function = std::function<Result(const Arguments&...)>;

    /// `arguments` names the parameters in order, one each; the handler keeps
    /// copies of the names.
    TypedEndpointHandler(const BindingTypeRegistry& registry, Function function,
                         std::span<const EndpointArgument> arguments)
        : registry_(registry), function_(std::move(function)) {
        for (const EndpointArgument& argument : arguments) {
            parameters_.push_back(Parameter{std::string(argument.name), argument.presence});
        }
    }

    OperationHandle Invoke(CallResult& result, std::span<const BindingProperty> values,
                           KzoWord) override {
        auto operation = std::make_unique<Operation>();
        ConvertArguments(result, values, operation->arguments,
                         std::index_sequence_for<Arguments...>{});
        if (!result.status.Ok()) result.httpStatus = kBadArgumentStatus;
        return operation;
    }

    void Complete(CallResult& result, const RequestDescription*, OperationHandle& handle,
                  KzoWord) override {
        auto& operation = static_cast<Operation&>(*handle);
        Result answer = std::apply(function_, operation.arguments);
        if constexpr (Traits::kCanFail) {
            if (!answer.Ok()) {
                result.status.SetError(answer.Error().message);
                result.httpStatus = answer.Error().status;
                return;
            }
            internal::StoreAnswer(result, answer.Value(), registry_);
        } else {
            internal::StoreAnswer(result, answer, registry_);
        }
    }

    const StaticTypeId& ResultTypeId() const noexcept override { return StaticType::Name<Value>(); }

private:
    struct Operation final : EndpointOperation {
        std::tuple<Arguments...> arguments;
    };

    template <size_t... Index>
    void ConvertArguments([[maybe_unused]] CallResult& result,
                          [[maybe_unused]] std::span<const BindingProperty> values,
                          [[maybe_unused]] std::tuple<Arguments...>& natives,
                          std::index_sequence<Index...>) const {
        (ConvertArgument(result, values, std::get<Index>(natives), Index), ...);
    }

    template <class T>
    void ConvertArgument(CallResult& result, std::span<const BindingProperty> values, T& native,
                         size_t index) const {
        if (!result.status.Ok() || index >= values.size() || index >= parameters_.size()) return;
        const BindingProperty& value = values[index];
        if (value.IsEmpty() && parameters_[index].presence == ArgPresence::Optional) return;
        ValueToNative(result.status, native, value, parameters_[index].name, registry_);
    }

    struct Parameter {
        std::string name;
        ArgPresence presence;
    };

    const BindingTypeRegistry& registry_;
    Function function_;
    std::vector<Parameter> parameters_;
};

/// What an endpoint is registered from: its function's shape and its handler.
struct EndpointDefinition {
    RequestMethod method = RequestMethod::Get;
    std::string path;
    /// The method's own name; RequestMethod::Other only.
    std::string methodName;
    std::string description;
    /// In declaration order; their locations as registered.
    std::vector<BindingArgumentDescription> arguments;
    BindingTypeRef result;
    std::shared_ptr<EndpointHandler> handler;
};

/// The definition of an endpoint that runs `member` on `object`, which must
/// outlive the registry. `arguments` names each parameter of `member`, in
/// order; another count gives a definition without a handler, which
/// registration refuses.
template <class Method>
[[nodiscard]] EndpointDefinition MakeTypedEndpoint(
    const BindingTypeRegistry& registry, RequestMethod method, std::string_view path,
    typename internal::MemberFunctionTraits<Method>::Object& object, Method member,
    std::initializer_list<EndpointArgument> arguments, std::string_view description = {}) {
    using Traits = internal::MemberFunctionTraits<Method>;
    using Result = typename Traits::Result;
    using Value = typename internal::EndpointResultTraits<Result>::Value;
    EndpointDefinition definition;
    definition.method = method;
    definition.path = path;
    definition.description = description;
    definition.result = internal::NativeTypeRef<Value>(registry);
    [&]<class... Arguments>(std::tuple<Arguments...>*) {
        if (arguments.size() != sizeof...(Arguments)) return;
        const std::vector<BindingTypeRef> types{internal::NativeTypeRef<Arguments>(registry)...};
        size_t index = 0;
        for (const EndpointArgument& argument : arguments) {
            BindingArgumentDescription& described = definition.arguments.emplace_back();
            described.name = argument.name;
            described.nameHash = Fnv1a(argument.name);
            described.description = argument.description;
            described.type = types[index++];
            described.optional = argument.presence == ArgPresence::Optional;
            described.location = static_cast<uint32_t>(argument.location);
        }
        auto call = [&object, member](const Arguments&... values) -> Result {
            return (object.*member)(values...);
        };
        definition.handler = std::make_shared<TypedEndpointHandler<Result, Arguments...>>(
            registry, std::move(call),
            std::span<const EndpointArgument>(arguments.begin(), arguments.size()));
    }(static_cast<typename Traits::Arguments*>(nullptr));
    return definition;
}

}  // namespace Nimbel
