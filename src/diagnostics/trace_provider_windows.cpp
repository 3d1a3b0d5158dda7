// The consumer is Event Tracing for Windows. Advapi32 is loaded by name and
// its three functions looked up, so that a system without them (or a
// sandbox that refuses the library) leaves tracing off instead of failing to
// load the plug-in. The records of abi/trace_abi.h have the layouts of ETW's
// own; the adapters below give its functions the consumer's calling
// convention and carry the framework's enable callback through ETW's.
#include <windows.h>
// windows.h first: the tracing headers need its types.
#include <evntprov.h>
#include <evntrace.h>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstring>

#include "diagnostics/trace_provider.h"

namespace Nimbel {
namespace {

static_assert(sizeof(GUID) == sizeof(KzoTraceProviderId));
static_assert(sizeof(REGHANDLE) == sizeof(KzoTraceRegistration));
static_assert(sizeof(EVENT_DESCRIPTOR) == sizeof(KzoTraceEventDescriptor));
static_assert(offsetof(EVENT_DESCRIPTOR, Task) == offsetof(KzoTraceEventDescriptor, task));
static_assert(offsetof(EVENT_DESCRIPTOR, Keyword) == offsetof(KzoTraceEventDescriptor, keyword));
static_assert(sizeof(EVENT_DATA_DESCRIPTOR) == sizeof(KzoTraceDataItem));
static_assert(EVENT_CONTROL_CODE_DISABLE_PROVIDER == kKzoTraceDisable);
static_assert(EVENT_CONTROL_CODE_ENABLE_PROVIDER == kKzoTraceEnable);

using EventRegisterFn = ULONG(WINAPI*)(LPCGUID, PENABLECALLBACK, PVOID, PREGHANDLE);
using EventWriteFn = ULONG(WINAPI*)(REGHANDLE, PCEVENT_DESCRIPTOR, ULONG, PEVENT_DATA_DESCRIPTOR);
using EventUnregisterFn = ULONG(WINAPI*)(REGHANDLE);

// Advapi32's functions, set by FindTraceConsumer before it hands out the
// adapters that call them.
struct EventTracing {
    EventRegisterFn eventRegister = nullptr;
    EventWriteFn eventWrite = nullptr;
    EventUnregisterFn eventUnregister = nullptr;
};
constinit EventTracing g_etw;

// One registration: the framework's callback and its context, which ETW
// hands back to EnableAdapter as its own context. A slot is taken before
// EventRegister (which may call back at once) and given back after
// EventUnregister, which guarantees no callback follows.
struct RegistrationSlot {
    std::atomic<bool> taken{false};
    KzoTraceEnableCallback callback = nullptr;
    void* context = nullptr;
    REGHANDLE handle = 0;
};
constinit std::array<RegistrationSlot, kTraceProviderCount> g_slots;

// Payloads beyond this many items are refused; the library's events carry two.
constexpr size_t kMaxDataItems = 8;

RegistrationSlot* TakeSlot() noexcept {
    for (RegistrationSlot& slot : g_slots) {
        bool expected = false;
        if (slot.taken.compare_exchange_strong(expected, true)) return &slot;
    }
    return nullptr;
}

RegistrationSlot* SlotOf(REGHANDLE handle) noexcept {
    for (RegistrationSlot& slot : g_slots) {
        if (slot.taken.load() && slot.handle == handle) return &slot;
    }
    return nullptr;
}

void NTAPI EnableAdapter(LPCGUID source, ULONG isEnabled, UCHAR level, ULONGLONG matchAnyKeyword,
                         ULONGLONG matchAllKeyword, PEVENT_FILTER_DESCRIPTOR /*filter*/,
                         PVOID context) {
    const auto* slot = static_cast<const RegistrationSlot*>(context);
    if (slot == nullptr || slot->callback == nullptr) return;
    KzoTraceProviderId provider{};
    if (source != nullptr) std::memcpy(provider.bytes, source, sizeof provider.bytes);
    slot->callback(&provider, isEnabled, level, matchAnyKeyword, matchAllKeyword, slot->context);
}

uint32_t RegisterAdapter(const KzoTraceProviderId* provider, KzoTraceEnableCallback callback,
                         void* context, KzoTraceRegistration* registration) {
    RegistrationSlot* slot = TakeSlot();
    if (slot == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
    slot->callback = callback;
    slot->context = context;
    GUID id{};
    std::memcpy(&id, provider->bytes, sizeof id);
    REGHANDLE handle = 0;
    const ULONG status = g_etw.eventRegister(&id, EnableAdapter, slot, &handle);
    if (status != ERROR_SUCCESS || handle == 0) {
        slot->taken.store(false);
        return status != ERROR_SUCCESS ? status : ERROR_INVALID_HANDLE;
    }
    slot->handle = handle;
    *registration = handle;
    return ERROR_SUCCESS;
}

uint32_t WriteAdapter(KzoTraceRegistration registration, const KzoTraceEventDescriptor* event,
                      uint32_t itemCount, const KzoTraceDataItem* items) {
    if (itemCount > kMaxDataItems) return ERROR_INVALID_PARAMETER;
    EVENT_DESCRIPTOR descriptor{};
    std::memcpy(&descriptor, event, sizeof descriptor);
    std::array<EVENT_DATA_DESCRIPTOR, kMaxDataItems> data{};
    for (uint32_t i = 0; i < itemCount; ++i) {
        EventDataDescCreate(&data[i], reinterpret_cast<const void*>(items[i].pointer),
                            items[i].size);
    }
    return g_etw.eventWrite(registration, &descriptor, itemCount, data.data());
}

uint32_t UnregisterAdapter(KzoTraceRegistration registration) {
    const ULONG status = g_etw.eventUnregister(registration);
    if (RegistrationSlot* slot = SlotOf(registration)) {
        slot->handle = 0;
        slot->taken.store(false);
    }
    return status;
}

// GetProcAddress answers a generic function pointer; void (*)() converts to
// and from any function type without a warning.
template <class Function>
Function LookUp(HMODULE library, const char* name) noexcept {
    using Generic = void (*)();
    return reinterpret_cast<Function>(reinterpret_cast<Generic>(GetProcAddress(library, name)));
}

bool LoadEventTracing() noexcept {
    if (g_etw.eventRegister != nullptr) return true;
    const HMODULE advapi = LoadLibraryW(L"advapi32.dll");
    if (advapi == nullptr) return false;
    const EventTracing found{LookUp<EventRegisterFn>(advapi, "EventRegister"),
                             LookUp<EventWriteFn>(advapi, "EventWrite"),
                             LookUp<EventUnregisterFn>(advapi, "EventUnregister")};
    if (found.eventRegister == nullptr || found.eventWrite == nullptr ||
        found.eventUnregister == nullptr) {
        FreeLibrary(advapi);
        return false;
    }
    g_etw = found;
    return true;
}

}  // namespace

TraceConsumer FindTraceConsumer() noexcept {
    if (!LoadEventTracing()) return TraceConsumer{};
    return TraceConsumer{RegisterAdapter, WriteAdapter, UnregisterAdapter};
}

}  // namespace Nimbel
