// The reference host's stand-in for the platform core's function table: what a
// plug-in reaches through `CoreFunctions` once it is started.
//
// Log lines go to a sink (standard error by default); waits and yields are
// recorded so tests can assert on them; work posted to the core runs at the
// plug-in's next Yield, as a real core runs its pending work there.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "abi/core_abi.h"
#include "binding/binding_property.h"
#include "host/peer.h"

namespace KzoHost {

class HostCore {
public:
    using LogSink = std::function<void(KzoWord level, const char* text)>;

    /// One call the plug-in made to the wait functions, in order.
    struct WaitCall {
        enum class Kind { Begin, Yield, End };
        Kind kind;
        std::string label;  ///< BeginWait only
    };

    explicit HostCore(KzoWord pluginHandle = 1);
    HostCore(const HostCore&) = delete;
    HostCore& operator=(const HostCore&) = delete;

    /// The context handed to the plug-in's Start; valid as long as this object.
    [[nodiscard]] const CoreContext* Context() const noexcept { return &context_; }

    void SetLogSink(LogSink sink) { logSink_ = std::move(sink); }
    /// Writes a line of the host's own to the log sink, as the plug-in's go.
    void Log(KzoWord level, const char* text) const {
        if (logSink_) logSink_(level, text);
    }
    /// Runs `work` at the next Yield (in posting order).
    void Post(std::function<void()> work) { pending_.push_back(std::move(work)); }

    /// Whether sent requests and wait calls are kept for inspection (the
    /// default, for tests). A long-running host turns it off so that its
    /// memory does not grow with every request.
    void SetRecording(bool recording) noexcept { recording_ = recording; }

    [[nodiscard]] const std::vector<WaitCall>& WaitCalls() const noexcept { return waitCalls_; }
    void ClearWaitCalls() { waitCalls_.clear(); }

    // ---- Peers ----

    /// Serves requests for `pathPattern`: an exact path, or a prefix followed
    /// by "*". An exact path wins over prefixes, a longer prefix over a
    /// shorter one; a later registration of the same pattern replaces it.
    void AddPeer(std::string pathPattern, PeerHandler handler);
    /// Every request the plug-in sent, in order.
    [[nodiscard]] const std::vector<PeerRequest>& SentRequests() const noexcept { return sent_; }
    void ClearSentRequests() { sent_.clear(); }
    /// Stream reads made by the plug-in so far, over all streamed answers.
    [[nodiscard]] size_t StreamReads() const noexcept { return streamReads_; }
    /// Streams the plug-in closed so far.
    [[nodiscard]] size_t StreamCloses() const noexcept { return streamCloses_; }
    /// Time the peers spent answering the plug-in's requests, in total.
    [[nodiscard]] std::chrono::nanoseconds PeerTime() const noexcept { return peerTime_; }

    // ---- Events ----

    struct Subscription {
        KzoWord handle;
        CoreEventCallback callback;
        void* context;
        KzoWord flags;
    };

    enum class ResourceEventType { Create, Update, Delete };

    /// Delivers an OnJsonApiEvent payload {uri, eventType, data} to the
    /// subscribers of the event name of `uri`'s path (with `uri` as given).
    void PublishResourceEvent(std::string_view uri, ResourceEventType type,
                              const Nimbel::BindingProperty& data);
    /// Delivers `payload` to the subscribers of `eventName`.
    void PublishEvent(const std::string& eventName, const Nimbel::BindingProperty& payload);
    /// The subscriptions of an event name, in subscription order.
    [[nodiscard]] std::vector<Subscription> Subscriptions(const std::string& eventName) const;

private:
    // The table's address leads back to its host: the functions come first.
    struct Table {
        CoreFunctions functions;
        HostCore* owner;
    };
    static HostCore& From(const CoreFunctions* table) noexcept;

    static KzoWord OnSendRequest(const CoreFunctions* table, CoreResponse* response,
                                 const CoreRequest* request);
    static KzoWord OnSubscribe(const CoreFunctions* table, const char* event, KzoWord handle,
                               CoreEventCallback callback, void* context, KzoWord flags);
    static KzoWord OnUnsubscribe(const CoreFunctions* table, const char* event, KzoWord handle);
    static KzoWord OnYield(const CoreFunctions* table);
    static KzoWord OnBeginWait(const CoreFunctions* table, const char* label, KzoWord zero);
    static KzoWord OnEndWait(const CoreFunctions* table);
    static KzoWord OnLog(const CoreFunctions* table, KzoWord level, const char* text);

    void RunPendingWork();
    [[nodiscard]] const PeerHandler* FindPeer(std::string_view path) const;
    void Answer(CoreResponse& response, const CoreRequest& request);

    Table table_;
    CoreContext context_;
    LogSink logSink_;
    std::deque<std::function<void()>> pending_;
    std::vector<WaitCall> waitCalls_;
    std::map<std::string, PeerHandler, std::less<>> peers_;
    std::vector<PeerRequest> sent_;
    size_t streamReads_ = 0;
    size_t streamCloses_ = 0;
    std::chrono::nanoseconds peerTime_{0};
    bool recording_ = true;
    std::map<std::string, std::vector<Subscription>, std::less<>> subscriptions_;
};

}  // namespace KzoHost
