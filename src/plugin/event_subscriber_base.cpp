#include "plugin/event_subscriber_base.h"

#include <vector>

#include "binding/binding_status.h"
#include "binding/core_value.h"
#include "binding/value_to_native.h"
#include "diagnostics/caught_exception.h"
#include "diagnostics/log_group_table.h"
#include "diagnostics/log_level.h"
#include "diagnostics/logger.h"
#include "diagnostics/text_format.h"
#include "diagnostics/trace_channel.h"
#include "plugin/resource_path.h"

namespace Nimbel {
namespace {

constexpr KzoWord kCountedSubscription = 0;
constexpr KzoWord kServiceProxySubscription = 1;

[[nodiscard]] std::string MethodKey(const PluginServiceProxyResponse& response) {
    return FormatMessage("%1.%2", response.serviceName, response.methodName);
}

}  // namespace

EventSubscriberBase::~EventSubscriberBase() = default;

// ---- Subscriptions ----

void EventSubscriberBase::Subscribe(const std::string& path) {
    const std::string name = EventNameForPath(path);
    {
        const std::lock_guard lock(eventLock_);
        if (++subscriptionCounts_[name] != 1) return;
        auto handler = std::make_shared<EventHandler>();
        handler->onResource = [this](const Resource& resource) { DispatchResource(resource); };
        eventHandlers_.insert_or_assign(name, std::move(handler));
    }
    Trace("%s: Subscribing to event: %s", shortName_.c_str(), name.c_str());
    SubscribeEvent(name.c_str(), pluginHandle_, &OnResourceEvent, this, kCountedSubscription);
}

void EventSubscriberBase::Unsubscribe(const std::string& path) {
    const std::string name = EventNameForPath(path);
    {
        const std::lock_guard lock(eventLock_);
        const auto count = subscriptionCounts_.find(name);
        // An unsubscription without its subscription changes nothing.
        if (count == subscriptionCounts_.end() || count->second <= 0) return;
        if (--count->second != 0) return;
        eventHandlers_.erase(name);
    }
    UnsubscribeEvent(name.c_str(), pluginHandle_);
    Trace("%s: Unsubscribing to event: %s", shortName_.c_str(), name.c_str());
}

int EventSubscriberBase::SubscriptionCount(const std::string& eventName) const {
    const std::lock_guard lock(eventLock_);
    const auto count = subscriptionCounts_.find(eventName);
    return count != subscriptionCounts_.end() ? count->second : 0;
}

void EventSubscriberBase::Shutdown() {
    std::vector<std::string> subscribed;
    {
        const std::lock_guard lock(eventLock_);
        subscribed.reserve(eventHandlers_.size());
        for (const auto& entry : eventHandlers_) subscribed.push_back(entry.first);
    }
    for (const std::string& name : subscribed) UnsubscribeEvent(name.c_str(), pluginHandle_);
    {
        const std::lock_guard lock(eventLock_);
        eventHandlers_.clear();
        subscriptionCounts_.clear();
    }
    ClearResourceHandlers();
    const std::lock_guard lock(serviceProxyLock_);
    pendingServiceProxyRequests_.clear();
    serviceProxyAsyncHandlers_.clear();
    serviceProxyResponses_.clear();
}

void EventSubscriberBase::AttachToCore(KzoWord pluginHandle, const std::string& shortName,
                                       const ApiVersion& coreVersion) {
    pluginHandle_ = pluginHandle;
    shortName_ = shortName;
    userAgent_ = FormatMessage("NimbelClient/%1 (%2)", coreVersion, shortName);
    SubscribeServiceProxyEvent(kOnServiceProxyUuidEvent,
                               [this](const auto& response) { OnServiceProxyUuid(response); });
    SubscribeServiceProxyEvent(kOnServiceProxyMethodEvent,
                               [this](const auto& response) { OnServiceProxyMethod(response); });
    SubscribeServiceProxyEvent(kOnServiceProxyAsyncEvent,
                               [this](const auto& response) { OnServiceProxyAsync(response); });
}

void EventSubscriberBase::SubscribeServiceProxyEvent(const char* eventName,
                                                     ServiceProxyHandler handler) {
    auto entry = std::make_shared<EventHandler>();
    entry->onServiceProxy = std::move(handler);
    {
        const std::lock_guard lock(eventLock_);
        eventHandlers_.insert_or_assign(eventName, std::move(entry));
    }
    SubscribeEvent(eventName, pluginHandle_, &OnServiceProxyEvent, this, kServiceProxySubscription);
}

// ---- Event delivery ----

EventSubscriberBase::SharedEventHandler EventSubscriberBase::FindEventHandler(
    const std::string& eventName) const {
    const std::lock_guard lock(eventLock_);
    const auto found = eventHandlers_.find(eventName);
    return found != eventHandlers_.end() ? found->second : nullptr;
}

template <class Record>
void EventSubscriberBase::DeliverEvent(const EventCallbackRecord& record) {
    const char* eventName = record.eventName != nullptr ? record.eventName : "";
    const SharedEventHandler handler = FindEventHandler(eventName);
    if (handler == nullptr) return;

    BindingProperty payload;
    CoreResponse conversion{};
    const CoreValue payloadValue = record.payload;
    if (!CoreValueToProperty(&conversion, payload, payloadValue, "<result>")) {
        Trace("%s: Couldn't convert payload %s for event %s: %s", shortName_.c_str(), "<result>",
              eventName, conversion.errorText);
        CoreResultReleaseError(conversion);
        return;
    }
    Record converted{};
    BindingStatus status;
    if (const BindingTypeRegistry* registry = TypeRegistry()) {
        ValueToNative(status, converted, payload, "<result>", *registry);
    } else {
        status.SetError("The module has no type registry");
    }
    if (!status.Ok()) {
        Trace("%s: Couldn't convert payload %s for event %s: %s", shortName_.c_str(), "<result>",
              eventName, std::string(status.ErrorMessage()).c_str());
        return;
    }
    Trace("%s: Handling event %s", shortName_.c_str(), eventName);
    if constexpr (std::is_same_v<Record, Resource>) {
        if (handler->onResource) handler->onResource(converted);
    } else {
        if (handler->onServiceProxy) handler->onServiceProxy(converted);
    }
}

// The core calls these: an exception from reading the payload or from a
// handler ends with the event dropped and logged, never in the core.
template <class Record>
void EventSubscriberBase::DeliverEventFromCore(const EventCallbackRecord* record) noexcept {
    if (record == nullptr) return;
    void* context = record->callbackContext;
    if (context == nullptr) return;
    auto& module = *static_cast<EventSubscriberBase*>(context);
    try {
        module.DeliverEvent<Record>(*record);
    } catch (...) {
        LogCaughtException("%s: Dropped event %s", module.shortName_.c_str(),
                           record->eventName != nullptr ? record->eventName : "");
    }
}

void EventSubscriberBase::OnResourceEvent(const EventCallbackRecord* record) noexcept {
    DeliverEventFromCore<Resource>(record);
}

void EventSubscriberBase::OnServiceProxyEvent(const EventCallbackRecord* record) noexcept {
    DeliverEventFromCore<PluginServiceProxyResponse>(record);
}

// ---- Service proxy ----

void EventSubscriberBase::AddPendingServiceProxyRequest(const std::string& key,
                                                        ServiceProxyHandler completion) {
    const std::lock_guard lock(serviceProxyLock_);
    pendingServiceProxyRequests_.insert_or_assign(key, std::move(completion));
}

void EventSubscriberBase::SetServiceProxyAsyncHandler(const std::string& key,
                                                      ServiceProxyHandler handler) {
    const std::lock_guard lock(serviceProxyLock_);
    serviceProxyAsyncHandlers_.insert_or_assign(key, std::move(handler));
}

bool EventSubscriberBase::HasServiceProxyResponse(const std::string& key) const {
    const std::lock_guard lock(serviceProxyLock_);
    return serviceProxyResponses_.contains(key);
}

void EventSubscriberBase::OnServiceProxyUuid(const PluginServiceProxyResponse& response) {
    const std::lock_guard lock(serviceProxyLock_);
    serviceProxyResponses_.insert_or_assign(response.uuid, response);
    CompleteOneServiceProxyRequest();
}

void EventSubscriberBase::OnServiceProxyMethod(const PluginServiceProxyResponse& response) {
    const std::lock_guard lock(serviceProxyLock_);
    serviceProxyResponses_.insert_or_assign(MethodKey(response), response);
    CompleteOneServiceProxyRequest();
}

void EventSubscriberBase::OnServiceProxyAsync(const PluginServiceProxyResponse& response) {
    const std::string key = MethodKey(response);
    const std::lock_guard lock(serviceProxyLock_);
    const auto handler = serviceProxyAsyncHandlers_.find(key);
    if (handler == serviceProxyAsyncHandlers_.end()) {
        Log(kLogError, LogGroups::DBG,
            "%s: Could not find registered handler for async service proxy event %s",
            shortName_.c_str(), key.c_str());
        return;
    }
    handler->second(response);
}

void EventSubscriberBase::CompleteOneServiceProxyRequest() {
    for (auto received = serviceProxyResponses_.begin(); received != serviceProxyResponses_.end();
         ++received) {
        const auto pending = pendingServiceProxyRequests_.find(received->first);
        if (pending == pendingServiceProxyRequests_.end()) continue;
        pending->second(received->second);
        Log(kLogAlways, LogGroups::DBG, "%s: Fulfilled service proxy request: %s",
            shortName_.c_str(), received->first.c_str());
        pendingServiceProxyRequests_.erase(pending);
        serviceProxyResponses_.erase(received);
        return;
    }
}

}  // namespace Nimbel
