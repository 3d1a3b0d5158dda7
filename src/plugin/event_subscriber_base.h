// EventSubscriberBase: the module's subscriptions with the core, the handlers
// of the events it receives, and the service-proxy tables.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "abi/core_abi.h"
#include "plugin/api_version.h"
#include "plugin/resource_observer_base.h"
#include "plugin/runtime_records.h"

namespace Nimbel {

/// Called with a service-proxy message: an async handler, or the completion
/// of a pending request.
using ServiceProxyHandler = std::function<void(const PluginServiceProxyResponse&)>;

/// Holds the plug-in's handle and names, counts subscriptions per event name,
/// keeps one handler per subscribed event name, and declares the forwards to
/// the core that the module implements.
///
/// Subscriptions: resource paths map to event names (EventNameForPath); the
/// first Subscribe of a name subscribes with the core, the Unsubscribe that
/// brings its count to 0 unsubscribes. Events the core delivers are converted
/// from their payload into the event's record and handed to the handler of
/// their name; a payload that does not convert is dropped with a trace line.
///
/// The event and subscription tables are guarded by one lock, held only to
/// read or change them. The service-proxy tables have their own lock, which
/// is held while async handlers and completions run: those must not reach
/// the service-proxy tables again.
class EventSubscriberBase : public ResourceObserverBase {
public:
    virtual ~EventSubscriberBase();

    void Subscribe(const std::string& path) override;
    void Unsubscribe(const std::string& path) override;

    /// Unsubscribes every event name still subscribed, then empties the
    /// handler tables and the service-proxy tables.
    virtual void Shutdown();

    virtual void SendRequest(CoreResponse* response, const CoreRequest* request) = 0;
    virtual void SubscribeEvent(const char* eventName, KzoWord handle, CoreEventCallback callback,
                                void* callbackContext, KzoWord flags) = 0;
    virtual void UnsubscribeEvent(const char* eventName, KzoWord handle) = 0;
    /// The core's Yield: runs the core's pending work, then returns.
    virtual void YieldToCore() = 0;
    virtual void BeginWait(const char* label, KzoWord zero) = 0;
    virtual void EndWait() = 0;

    [[nodiscard]] KzoWord PluginHandle() const noexcept { return pluginHandle_; }
    [[nodiscard]] const std::string& ShortName() const noexcept { return shortName_; }
    [[nodiscard]] const std::string& UserAgent() const noexcept { return userAgent_; }
    [[nodiscard]] bool IsStopping() const noexcept { return stopping_.load(); }

    /// How many subscriptions the event name has; 0 when it never had one.
    [[nodiscard]] int SubscriptionCount(const std::string& eventName) const;

    // ---- Service proxy ----

    /// Registers the completion of a request awaiting the message of `key`
    /// (a uuid, or "service.method").
    void AddPendingServiceProxyRequest(const std::string& key, ServiceProxyHandler completion);
    /// Sets the handler of async messages of `key` ("service.method").
    void SetServiceProxyAsyncHandler(const std::string& key, ServiceProxyHandler handler);
    /// Whether a received message of `key` waits for its request.
    [[nodiscard]] bool HasServiceProxyResponse(const std::string& key) const;

    /// The callbacks the core is given: the context is the module. An event
    /// whose payload does not convert is dropped with a trace line, one whose
    /// delivery throws with an ERROR line naming the event and the exception;
    /// nothing leaves these functions.
    static void OnResourceEvent(const EventCallbackRecord* record) noexcept;
    static void OnServiceProxyEvent(const EventCallbackRecord* record) noexcept;

protected:
    EventSubscriberBase() = default;

    /// Keeps the handle and the short name, makes the user agent
    /// "NimbelClient/<core version> (<short name>)" and subscribes the three
    /// service-proxy events (flags 1, not counted).
    void AttachToCore(KzoWord pluginHandle, const std::string& shortName,
                      const ApiVersion& coreVersion);
    void SetStopping() noexcept { stopping_.store(true); }

private:
    /// The handler of one event name: resource changes or service-proxy
    /// messages, as the callback that delivers them expects.
    struct EventHandler {
        std::function<void(const Resource&)> onResource;
        ServiceProxyHandler onServiceProxy;
    };
    using SharedEventHandler = std::shared_ptr<const EventHandler>;

    [[nodiscard]] SharedEventHandler FindEventHandler(const std::string& eventName) const;
    template <class Record>
    void DeliverEvent(const EventCallbackRecord& record);
    template <class Record>
    static void DeliverEventFromCore(const EventCallbackRecord* record) noexcept;
    void SubscribeServiceProxyEvent(const char* eventName, ServiceProxyHandler handler);

    void OnServiceProxyUuid(const PluginServiceProxyResponse& response);
    void OnServiceProxyMethod(const PluginServiceProxyResponse& response);
    void OnServiceProxyAsync(const PluginServiceProxyResponse& response);
    /// Under the service-proxy lock: completes the first received message
    /// whose key has a pending request, and forgets both.
    void CompleteOneServiceProxyRequest();

    KzoWord pluginHandle_ = 0;
    std::string shortName_;
    std::string userAgent_;

    mutable std::mutex eventLock_;
    std::unordered_map<std::string, SharedEventHandler> eventHandlers_;
    std::unordered_map<std::string, int> subscriptionCounts_;

    mutable std::mutex serviceProxyLock_;
    std::unordered_map<std::string, ServiceProxyHandler> pendingServiceProxyRequests_;
    std::unordered_map<std::string, ServiceProxyHandler> serviceProxyAsyncHandlers_;
    std::unordered_map<std::string, PluginServiceProxyResponse> serviceProxyResponses_;

    std::atomic<bool> stopping_{false};
};

}  // namespace Nimbel
