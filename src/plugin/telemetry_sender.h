// TelemetrySender: posts a module's telemetry events to the core's telemetry
// endpoint, like any other request to another plug-in.
#pragma once

#include <future>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "binding/binding_property.h"
#include "codecs/failure.h"
#include "codecs/maybe_type.h"

namespace Nimbel {

class AppModule;

/// One named value of a telemetry event; it becomes a named argument of the
/// request.
using TelemetryValue = std::pair<std::string, BindingProperty>;

/// Owned by its module, which it refers to; made when the module starts.
class TelemetrySender {
public:
    explicit TelemetrySender(AppModule& module) noexcept : module_(module) {}
    TelemetrySender(const TelemetrySender&) = delete;
    TelemetrySender& operator=(const TelemetrySender&) = delete;
    virtual ~TelemetrySender();

    /// Posts `data` to "/telemetry/v1/events/" followed by `eventName` as it
    /// stands (no escaping). The request is answered before this returns, so
    /// the future is ready: awaiting it makes no call to the core. A failed
    /// request is the failure inside the future, as the outbound client
    /// reports it.
    [[nodiscard]] virtual std::future<MaybeType<Failure, BindingProperty>> Send(
        std::string_view eventName, std::span<const TelemetryValue> data);

private:
    AppModule& module_;
};

}  // namespace Nimbel
