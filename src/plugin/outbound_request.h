// The outbound request client: how a module calls another plug-in through the
// core and gets back either the record it asked for or a Failure saying why
// not. Every call a plug-in makes to another goes through here.
//
//   MaybeType<Failure, MatchHistoryGame> game =
//       OutboundRequest<MatchHistoryGame>(module, RequestMethod::Get, "/kzo-acs/v1/games/7");
//   auto names = OutboundRequest<std::vector<SummonerIdAndName>>(
//       module, RequestMethod::Get, "/kzo-summoner/v2/summoner-names", summonerIds);
//
// Failures and their codes:
//   400  "Request not sent: Error converting parameters for {method} {url}: {error}"
//   the answer's status  "Error response for {method} {url}: {error}"
//   0    "Error reading streamed response for {method} {url}: {error}"
//   0    "Error converting response for {method} {url}: {error}"
// Each carries the three filled values as the text fields "method", "url" and
// "error" (and "errorCode_int" when the code is not 0).
#pragma once

#include <chrono>
#include <deque>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "abi/core_abi.h"
#include "api/request_method.h"
#include "binding/binding_property.h"
#include "binding/binding_status.h"
#include "binding/native_to_value.h"
#include "binding/value_to_native.h"
#include "codecs/failure.h"
#include "codecs/maybe_type.h"
#include "plugin/app_module.h"

namespace Nimbel {

/// The typed arguments of one outbound request, as the core reads them. Owns
/// every entry's value and name and releases them when destroyed, whatever
/// the core did with the request.
class OutboundArguments {
public:
    OutboundArguments() = default;
    OutboundArguments(const OutboundArguments&) = delete;
    OutboundArguments& operator=(const OutboundArguments&) = delete;
    ~OutboundArguments();

    /// Appends `value` (enumerations written by name through `enumNames`);
    /// an empty `name` makes an argument given by position.
    void Append(const BindingProperty& value, const EnumNameLookup* enumNames,
                std::string_view name = {});

    [[nodiscard]] std::span<const CoreArgumentEntry> Entries() const noexcept { return entries_; }

private:
    std::vector<CoreArgumentEntry> entries_;
    std::deque<std::string> names_;  // stable addresses for the entries' names
};

namespace internal {

/// Sends one request through `module` and reads the answer into a generic
/// value: an error answer, an unreadable stream or a body that is no value
/// become the failures listed above. The response's release function is
/// called, and a stream closed, on every path.
[[nodiscard]] MaybeType<Failure, BindingProperty> ExchangeRequest(
    AppModule& module, RequestMethod method, std::string_view path,
    const OutboundArguments& arguments);

/// How long a streamed body may go without a byte while it still promises
/// more, after which the stream counts as broken ("Stream read error"). It is
/// measured on a steady clock, not in reads: a core's Yield may return at once,
/// so a stream that pauses for a second may be read empty many thousand times
/// and still go on.
inline constexpr std::chrono::seconds kMaxStreamStall{30};

/// The clock that times a stall: std::chrono::steady_clock::now unless a test
/// replaced it. Tests set it only while no request is being read.
using StreamClock = std::chrono::steady_clock::time_point (*)();
void SetStreamClockForTesting(StreamClock clock) noexcept;

/// The room reserved for a streamed body before its first read: the size the
/// answer announces, but never more than 1 MiB, so an absurd announcement
/// claims no memory that no byte will fill. Larger bodies grow as they come.
[[nodiscard]] size_t InitialStreamCapacity(KzoWord announcedSize) noexcept;

[[nodiscard]] Failure ParameterFailure(RequestMethod method, std::string_view path,
                                       std::string_view error);
[[nodiscard]] Failure ResponseConversionFailure(RequestMethod method, std::string_view path,
                                                std::string_view error);

/// Converts `parameter` to a generic value and appends it; on failure keeps
/// the conversion's message in `error` and answers false.
template <class P>
[[nodiscard]] bool AppendParameter(const BindingTypeRegistry& registry,
                                   OutboundArguments& arguments, const P& parameter,
                                   std::string& error) {
    BindingStatus status;
    NativeToValue(status, parameter, registry);
    if (!status.Ok()) {
        error = status.ErrorMessage();
        return false;
    }
    arguments.Append(status.Value(), &registry);
    return true;
}

}  // namespace internal

/// Sends `method` to `path` (the other plug-in's full local path) with
/// `parameters` as positional arguments, in order, each converted through the
/// module's registry, and converts the answer into T, naming the root
/// "<result>" in messages. T = BindingProperty takes the answer as received.
/// Blocks until the core has answered; while a streamed body arrives slowly
/// the module yields to the core between reads.
template <class T, class... Parameters>
[[nodiscard]] MaybeType<Failure, T> OutboundRequest(AppModule& module, RequestMethod method,
                                                    std::string_view path,
                                                    const Parameters&... parameters) {
    const BindingTypeRegistry& registry = module.Types();
    OutboundArguments arguments;
    if constexpr (sizeof...(Parameters) > 0) {
        std::string error;
        const bool converted =
            (internal::AppendParameter(registry, arguments, parameters, error) && ...);
        if (!converted) return internal::ParameterFailure(method, path, error);
    }
    MaybeType<Failure, BindingProperty> answer =
        internal::ExchangeRequest(module, method, path, arguments);
    if constexpr (std::is_same_v<T, BindingProperty>) {
        return answer;
    } else {
        if (answer.HasFailure()) return std::move(answer).GetFailure();
        T result{};
        BindingStatus status;
        ValueToNative(status, result, answer.GetValue(), "<result>", registry);
        if (!status.Ok())
            return internal::ResponseConversionFailure(method, path, status.ErrorMessage());
        return result;
    }
}

}  // namespace Nimbel
