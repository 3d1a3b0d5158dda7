// The providers' state and the enable logic. Finding the consumer is the
// platform's part (trace_provider_posix.cpp, trace_provider_windows.cpp).
#include "diagnostics/trace_provider.h"

#include <array>
#include <atomic>
#include <cstring>
#include <span>

#include "diagnostics/internal/thread_identity.h"

namespace Nimbel {
namespace {

// The events each provider declares, in order; bit i of a provider's enabled
// mask stands for its event i. Only the second provider writes an event today.
constexpr std::array<KzoTraceEventDescriptor, 1> kThreadEvents = {kMainThreadEvent};

constexpr size_t kMainThreadProvider = 1;
constexpr size_t kMainThreadEventIndex = 0;

struct ProviderState {
    std::span<const KzoTraceEventDescriptor> events;
    std::atomic<uint64_t> enabledEvents{0};
    std::atomic<KzoTraceRegistration> registration{0};
};

struct TraceState {
    std::array<ProviderState, kTraceProviderCount> providers{
        ProviderState{{}}, ProviderState{kThreadEvents}, ProviderState{{}}, ProviderState{{}}};
    TraceConsumer consumer;
};

constinit TraceState g_trace;

uint64_t WantedEvents(std::span<const KzoTraceEventDescriptor> events, uint8_t level,
                      uint64_t matchAnyKeyword, uint64_t matchAllKeyword) {
    uint64_t wanted = 0;
    for (size_t i = 0; i < events.size() && i < 64; ++i) {
        if (TraceEventWanted(events[i], level, matchAnyKeyword, matchAllKeyword)) {
            wanted |= 1ull << i;
        }
    }
    return wanted;
}

void OnEnableChanged(const KzoTraceProviderId* /*provider*/, uint32_t isEnabled, uint8_t level,
                     uint64_t matchAnyKeyword, uint64_t matchAllKeyword, void* context) {
    if (context == nullptr) return;
    auto& provider = *static_cast<ProviderState*>(context);
    if (isEnabled == kKzoTraceEnable) {
        provider.enabledEvents.store(
            WantedEvents(provider.events, level, matchAnyKeyword, matchAllKeyword));
    } else if (isEnabled == kKzoTraceDisable) {
        provider.enabledEvents.store(0);
    }
}

bool IsEventEnabled(const ProviderState& provider, size_t eventIndex) {
    return (provider.enabledEvents.load() & (1ull << eventIndex)) != 0;
}

KzoTraceDataItem DataItem(const void* data, size_t size) {
    return KzoTraceDataItem{reinterpret_cast<uintptr_t>(data), static_cast<uint32_t>(size), 0};
}

}  // namespace

bool TraceEventWanted(const KzoTraceEventDescriptor& event, uint8_t level, uint64_t matchAnyKeyword,
                      uint64_t matchAllKeyword) noexcept {
    const bool levelWanted = level == 0 || level >= event.level;
    const bool keywordWanted =
        event.keyword == 0 || ((event.keyword & matchAnyKeyword) != 0 &&
                               (event.keyword & matchAllKeyword) == matchAllKeyword);
    return levelWanted && keywordWanted;
}

void RegisterTraceProviders() noexcept {
    RegisterTraceProviders(FindTraceConsumer());
}

void RegisterTraceProviders(const TraceConsumer& consumer) noexcept {
    if (!consumer.IsPresent() || g_trace.consumer.IsPresent()) return;
    g_trace.consumer = consumer;
    for (size_t i = 0; i < kTraceProviderCount; ++i) {
        ProviderState& provider = g_trace.providers[i];
        KzoTraceRegistration registration = 0;
        // The consumer may call OnEnableChanged before this returns.
        if (consumer.registerProvider(&kTraceProviderIds[i], OnEnableChanged, &provider,
                                      &registration) == 0) {
            provider.registration.store(registration);
        }
    }
}

void WriteMainThreadEvent() noexcept {
    const ProviderState& provider = g_trace.providers[kMainThreadProvider];
    const KzoTraceRegistration registration = provider.registration.load();
    if (registration == 0 || !IsEventEnabled(provider, kMainThreadEventIndex)) return;
    const uint32_t threadId = internal::CurrentThreadId();
    static constexpr char kText[] = "Main thread";
    const std::array<KzoTraceDataItem, 2> items = {DataItem(&threadId, sizeof threadId),
                                                   DataItem(kText, sizeof kText)};
    g_trace.consumer.writeEvent(registration, &kMainThreadEvent,
                                static_cast<uint32_t>(items.size()), items.data());
}

void UnregisterTraceProviders() noexcept {
    if (!g_trace.consumer.IsPresent()) return;
    for (ProviderState& provider : g_trace.providers) {
        const KzoTraceRegistration registration = provider.registration.exchange(0);
        if (registration != 0) g_trace.consumer.unregisterProvider(registration);
        provider.enabledEvents.store(0);
    }
    g_trace.consumer = TraceConsumer{};
}

}  // namespace Nimbel
