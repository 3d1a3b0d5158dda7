// CallResult: what one run of an endpoint's handler produced, before dispatch
// writes it into the core's response record.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "abi/core_abi.h"
#include "api/response_stream.h"
#include "binding/binding_status.h"
#include "binding/enum_name_lookup.h"

namespace Nimbel {

/// The HTTP status of a request whose arguments do not bind or do not convert
/// to the handler's parameters: the caller's fault, answered with the
/// binding's own message.
inline constexpr uint32_t kBadArgumentStatus = 400;

/// A handler's answer kept as the native value it returned, so that the
/// response can be written from it straight into core value records.
class NativeAnswer {
public:
    virtual ~NativeAnswer() = default;
    /// Writes the answer into `target` (holding nothing) as one block of core
    /// value records (see NativeToCoreValueBlock); false, with `target` empty,
    /// when the conversion fails.
    [[nodiscard]] virtual bool WriteCoreValue(CoreValue& target,
                                              const EnumNameLookup* enumNames) const = 0;
    /// Converts the answer into `status`'s value (NativeToValue).
    virtual void WriteValue(BindingStatus& status) const = 0;
};

/// Fresh: ok, empty, status 0, no text, headers or stream.
struct CallResult {
    /// The answer's value, or the failure whose "error" the caller receives.
    BindingStatus status;
    /// Set instead of the value when the handler answered a native value;
    /// only while `status` is ok.
    std::unique_ptr<NativeAnswer> nativeAnswer;
    /// Passed on to the core unchanged.
    uint8_t flag = 0;
    /// 1 to 3 are passed on; anything else reaches the core as 0.
    uint32_t kind = 0;
    /// The HTTP status; 0 leaves the choice to the core.
    uint32_t httpStatus = 0;
    std::string text;
    /// Response headers by name.
    std::map<std::string, std::string> headers;
    /// A streamed body; its ownership passes to the response record.
    std::unique_ptr<ResponseStream> stream;
};

}  // namespace Nimbel
