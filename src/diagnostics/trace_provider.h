// The library's trace providers: four providers registered with an in-process
// trace consumer, each keeping which of its events a consumer wants, and the
// one event the library writes at start-up, announcing its main thread.
//
// The consumer is found at run time: on Linux one exported by the process
// (see abi/trace_abi.h), on Windows the system's Event Tracing. Without one,
// nothing is registered and nothing is written; tracing never fails a caller.
// Registration state is process-wide; register, write and unregister are meant
// for the library's start-up and unload, not for concurrent use. The enable
// callbacks may arrive on any thread and change the enabled bits atomically.
#pragma once

#include <cstddef>
#include <cstdint>

#include "abi/trace_abi.h"

namespace Nimbel {

/// The consumer's three functions. All three are set or the consumer counts
/// as absent.
struct TraceConsumer {
    KzoTraceRegisterFn registerProvider = nullptr;
    KzoTraceWriteFn writeEvent = nullptr;
    KzoTraceUnregisterFn unregisterProvider = nullptr;

    [[nodiscard]] bool IsPresent() const noexcept {
        return registerProvider != nullptr && writeEvent != nullptr &&
               unregisterProvider != nullptr;
    }
};

inline constexpr size_t kTraceProviderCount = 4;

/// The providers' fixed ids, in registration order.
inline constexpr KzoTraceProviderId kTraceProviderIds[kTraceProviderCount] = {
    {{0x4e, 0x69, 0x6d, 0x62, 0x65, 0x6c, 0x4c, 0x01, 0x9a, 0x3c, 0x51, 0x7e, 0x20, 0xd4, 0x86,
      0x11}},
    {{0x4e, 0x69, 0x6d, 0x62, 0x65, 0x6c, 0x4c, 0x02, 0x9a, 0x3c, 0x51, 0x7e, 0x20, 0xd4, 0x86,
      0x12}},
    {{0x4e, 0x69, 0x6d, 0x62, 0x65, 0x6c, 0x4c, 0x03, 0x9a, 0x3c, 0x51, 0x7e, 0x20, 0xd4, 0x86,
      0x13}},
    {{0x4e, 0x69, 0x6d, 0x62, 0x65, 0x6c, 0x4c, 0x04, 0x9a, 0x3c, 0x51, 0x7e, 0x20, 0xd4, 0x86,
      0x14}},
};

/// The "Main thread" event, the first event of the second provider. Its
/// payload: the thread's 32-bit id, then the NUL-terminated text.
inline constexpr KzoTraceEventDescriptor kMainThreadEvent = {103, 0, 0, 0, 14, 2, 1};

/// Whether a consumer that asked for `level`, `matchAnyKeyword` and
/// `matchAllKeyword` wants `event`: the level asked for is 0 or not below the
/// event's, and the event's keyword is 0 or meets the any-mask while holding
/// every bit of the all-mask.
[[nodiscard]] bool TraceEventWanted(const KzoTraceEventDescriptor& event, uint8_t level,
                                    uint64_t matchAnyKeyword, uint64_t matchAllKeyword) noexcept;

/// The process's consumer, or an absent one when any of its three functions
/// is missing. On Linux, the functions exported in the process's global
/// symbol scope. On Windows, Advapi32's EventRegister, EventWrite and
/// EventUnregister behind adapters of the same contract; Advapi32 is loaded
/// by name on the first call and stays loaded.
[[nodiscard]] TraceConsumer FindTraceConsumer() noexcept;

/// Registers the four providers with the process's consumer, if there is one.
void RegisterTraceProviders() noexcept;
/// Registers the four providers with `consumer`, which is kept until
/// UnregisterTraceProviders. Does nothing when the consumer is absent or the
/// providers are registered already. A provider the consumer refuses stays
/// unregistered and writes nothing.
void RegisterTraceProviders(const TraceConsumer& consumer) noexcept;

/// Writes the "Main thread" event for the calling thread when a consumer wants
/// it; otherwise does nothing.
void WriteMainThreadEvent() noexcept;

/// Unregisters every registered provider and forgets the consumer; their
/// events then count as unwanted.
void UnregisterTraceProviders() noexcept;

}  // namespace Nimbel
