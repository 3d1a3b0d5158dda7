// LcdsCall: a typed call to the LCDS service, which the login plug-in carries
// over its invoke endpoint. The arguments go out as LCDS values (records
// marked with their class in "__class"), the answer's class is checked against
// the class registered for T, and the answer's body is converted into T.
//
//   std::future<MaybeType<Failure, RecentGames>> recent = LcdsCall<RecentGames>(
//       module, "playerStatsService", "getRecentGames", accountId);
//   MaybeType<Failure, RecentGames> games = module.Await(std::move(recent));
//
// Failures (code 0 unless the invoke request itself failed):
//   "Couldn't convert LCDS call parameters: {error}"
//   the outbound client's failure of the invoke request, unchanged
//   no message at all, when the answer's body is empty
//   "Expected '{expected}' as LCDS response for {destination}.{method}, but got '{actual}'"
//   "Couldn't convert LCDS DTO {name} to C++ from {json}"
#pragma once

#include <future>
#include <string>
#include <string_view>

#include "binding/binding_native_type.h"
#include "binding/binding_status.h"
#include "binding/native_to_value.h"
#include "binding/static_type.h"
#include "binding/value_to_native.h"
#include "codecs/failure.h"
#include "codecs/maybe_type.h"
#include "plugin/app_module.h"
#include "plugin/runtime_records.h"

namespace Nimbel {
namespace internal {

/// Marks `value`, and the records nested in it, with the LCDS class of its
/// description's registered name in the member "__class", where the module
/// knows one; a collection's elements are marked by the same description.
void MarkLcdsClasses(const AppModule& module, BindingProperty& value,
                     const BindingTypeDescription* description);

[[nodiscard]] Failure LcdsParameterFailure(std::string_view error);
/// POSTs destination, method and the argument list to the login plug-in's
/// invoke endpoint and checks that the answer has a body.
[[nodiscard]] MaybeType<Failure, PluginLcdsResponse> InvokeLcds(AppModule& module,
                                                                std::string_view destination,
                                                                std::string_view method,
                                                                const BindingProperty& arguments);
/// The class-mismatch failure, or none (code 0, no message, HasMessage()
/// false) when the module registered no class for `identityHash` or the
/// answer's class is that one.
[[nodiscard]] bool CheckLcdsClass(const AppModule& module, uint32_t identityHash,
                                  std::string_view destination, std::string_view method,
                                  const PluginLcdsResponse& answer, Failure& mismatch);
[[nodiscard]] Failure LcdsConversionFailure(const StaticTypeId& type, const BindingProperty& body,
                                            const BindingTypeRegistry& registry);

template <class A>
[[nodiscard]] bool AppendLcdsArgument(const AppModule& module, BindingProperty& list,
                                      const A& argument, std::string& error) {
    const BindingTypeRegistry& registry = *module.TypeRegistry();
    BindingStatus status;
    NativeToValue(status, argument, registry);
    if (!status.Ok()) {
        error = status.ErrorMessage();
        return false;
    }
    const BindingTypeDescription* description = nullptr;
    if constexpr (kBindingNeedsDescription<A>) {
        description = registry.FindNativeType<BindingInnermostOf<A>>();
    }
    MarkLcdsClasses(module, status.Value(), description);
    list.Append() = std::move(status.Value());
    return true;
}

template <class T>
[[nodiscard]] MaybeType<Failure, T> ConvertLcdsAnswer(
    const AppModule& module, std::string_view destination, std::string_view method,
    MaybeType<Failure, PluginLcdsResponse> answer) {
    if (answer.HasFailure()) return std::move(answer).GetFailure();
    const PluginLcdsResponse& response = answer.GetValue();
    Failure mismatch;
    if (!CheckLcdsClass(module, StaticType::Name<T>().hash, destination, method, response,
                        mismatch))
        return mismatch;
    const BindingTypeRegistry& registry = *module.TypeRegistry();
    T result{};
    BindingStatus status;
    ValueToNative(status, result, response.body, "<value>", registry);
    if (!status.Ok()) return LcdsConversionFailure(StaticType::Name<T>(), response.body, registry);
    return result;
}

}  // namespace internal

/// Calls `method` of the LCDS `destination` with `arguments` and converts the
/// answer into T. The call completes before this returns: the future is
/// ready, so awaiting it makes no call to the core.
template <class T, class... Arguments>
[[nodiscard]] std::future<MaybeType<Failure, T>> LcdsCall(AppModule& module,
                                                          std::string_view destination,
                                                          std::string_view method,
                                                          const Arguments&... arguments) {
    std::promise<MaybeType<Failure, T>> promise;
    std::future<MaybeType<Failure, T>> future = promise.get_future();
    BindingProperty list;
    list.MakeCollection();
    std::string error;
    const bool converted = (internal::AppendLcdsArgument(module, list, arguments, error) && ...);
    if (!converted) {
        promise.set_value(internal::LcdsParameterFailure(error));
        return future;
    }
    promise.set_value(internal::ConvertLcdsAnswer<T>(
        module, destination, method, internal::InvokeLcds(module, destination, method, list)));
    return future;
}

}  // namespace Nimbel
