#include "plugin/telemetry_sender.h"

#include "plugin/outbound_request.h"

namespace Nimbel {

TelemetrySender::~TelemetrySender() = default;

std::future<MaybeType<Failure, BindingProperty>> TelemetrySender::Send(
    std::string_view eventName, std::span<const TelemetryValue> data) {
    std::string path = "/telemetry/v1/events/";
    path.append(eventName);
    OutboundArguments arguments;
    for (const auto& [name, value] : data) arguments.Append(value, &module_.Types(), name);
    std::promise<MaybeType<Failure, BindingProperty>> outcome;
    outcome.set_value(internal::ExchangeRequest(module_, RequestMethod::Post, path, arguments));
    return outcome.get_future();
}

}  // namespace Nimbel
