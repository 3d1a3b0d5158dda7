// Resource observation, counted subscriptions, event delivery and the
// service-proxy tables, through a module started on the reference host.
#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "binding/binding_type_builder.h"
#include "codecs/json_reader.h"
#include "diagnostics/log_level.h"
#include "tests/plugin/hostile_records.h"
#include "tests/plugin/loaded_module.h"

namespace Nimbel {
namespace {

using KzoHost::PeerAnswer;
using KzoHost::PeerRequest;
using EventType = KzoHost::HostCore::ResourceEventType;

constexpr const char* kSessionPath = "/kzo-login/v1/session";
constexpr const char* kSessionEvent = "OnJsonApiEvent_kzo-login_v1_session";

struct Session {
    std::string state;
    uint64_t accountId = 0;
};

/// What a handler saw: "<handler> <uri> <event type> <data as text>".
struct Seen {
    std::vector<std::string> calls;
    ResourceHandler Recorder(const std::string& handlerName) {
        return [this, handlerName](const Resource& resource) {
            calls.push_back(handlerName + " " + resource.uri + " " +
                            std::to_string(static_cast<int>(resource.eventType)) + " " +
                            resource.data["state"].ToString());
        };
    }
};

[[nodiscard]] BindingProperty Json(const char* text) {
    BindingStatus parsed = JsonToValue(text);
    EXPECT_TRUE(parsed.Ok()) << text;
    return std::move(parsed.Value());
}

struct EventsFixture : ::testing::Test {
    testing::StartedModule started;
    std::vector<std::string> logLines;

    EventsFixture() {
        started.core.SetLogSink([this](KzoWord level, const char* text) {
            logLines.push_back(std::string(LevelName(static_cast<int32_t>(level))) + "| " + text);
        });
        started.core.AddPeer(kSessionPath, [](const PeerRequest&) {
            return PeerAnswer::WithValue(Json(R"({"state":"SUCCEEDED","accountId":7})"));
        });
        started.Start();
    }
    AppModule& Module() { return started.Module(); }
    [[nodiscard]] size_t Subscribers(const char* eventName) const {
        return started.core.Subscriptions(eventName).size();
    }
    [[nodiscard]] size_t LogLinesContaining(std::string_view text) const {
        size_t count = 0;
        for (const std::string& line : logLines) count += line.find(text) != std::string::npos;
        if (count == 0) {
            for (const std::string& line : logLines) ADD_FAILURE() << "logged: " << line;
        }
        return count;
    }
};

TEST_F(EventsFixture, ObservingReadsOnceAndSubscribesOncePerEventName) {
    Seen seen;
    Module().ObserveResource(kSessionPath, seen.Recorder("first"));
    Module().ObserveResource(kSessionPath, seen.Recorder("second"));
    EXPECT_EQ(Subscribers(kSessionEvent), 1u) << "one subscription with the core";
    EXPECT_EQ(Module().SubscriptionCount(kSessionEvent), 2);
    // Each observation read the resource once and handed it to its own handler.
    EXPECT_EQ(seen.calls, (std::vector<std::string>{"first /kzo-login/v1/session 0 SUCCEEDED",
                                                    "second /kzo-login/v1/session 0 SUCCEEDED"}));

    // The second handler replaced the first for the exact path.
    seen.calls.clear();
    started.core.PublishResourceEvent("kzo-login/v1/session", EventType::Update,
                                      Json(R"({"state":"ERROR"})"));
    EXPECT_EQ(seen.calls, (std::vector<std::string>{"second kzo-login/v1/session 1 ERROR"}))
        << "a uri without its leading / reaches the handler of the path";

    Module().Unsubscribe(kSessionPath);
    EXPECT_EQ(Subscribers(kSessionEvent), 1u) << "one subscription left";
    Module().Unsubscribe(kSessionPath);
    EXPECT_EQ(Subscribers(kSessionEvent), 0u);
    Module().Unsubscribe(kSessionPath);
    EXPECT_EQ(Module().SubscriptionCount(kSessionEvent), 0) << "never below zero";

    seen.calls.clear();
    started.core.PublishResourceEvent(kSessionPath, EventType::Delete, BindingProperty());
    EXPECT_TRUE(seen.calls.empty());
}

TEST_F(EventsFixture, AFailedFirstReadCallsNothing) {
    Seen seen;
    Module().ObserveResource("/kzo-platform-config/v1/namespaces/NewMatchHistory",
                             seen.Recorder("config"));
    EXPECT_TRUE(seen.calls.empty());
    EXPECT_EQ(Subscribers("OnJsonApiEvent_kzo-platform-config_v1_namespaces_NewMatchHistory"), 1u);
}

TEST_F(EventsFixture, PayloadsThatDoNotConvertReachNoHandler) {
    Seen seen;
    Module().ObserveResource(kSessionPath, seen.Recorder("session"));
    seen.calls.clear();
    const char* payloads[] = {
        R"({"uri":"/kzo-login/v1/session","eventType":"Renamed","data":{}})",
        R"({"uri":["/kzo-login/v1/session"],"eventType":"Update","data":{}})",
        R"("not a record")",
    };
    for (const char* payload : payloads) {
        started.core.PublishEvent(kSessionEvent, Json(payload));
        EXPECT_TRUE(seen.calls.empty()) << payload;
    }
}

// The core calls the subscription callbacks with records it was handed; a
// record no honest core sends is dropped like any payload that does not
// convert, and the next event is delivered as usual.
TEST_F(EventsFixture, HostileRecordsAreDroppedAndLaterEventsStillArrive) {
    Seen seen;
    Module().ObserveResource(kSessionPath, seen.Recorder("session"));
    const testing::HostileRecords hostile;
    const auto deliver = [this](const char* eventName, const CoreValue& payload) {
        for (const auto& subscription : started.core.Subscriptions(eventName)) {
            const EventCallbackRecord record{eventName, payload, 0, subscription.context};
            subscription.callback(&record);
        }
    };
    for (const testing::HostileRecord& c : hostile.Records()) {
        seen.calls.clear();
        deliver(kSessionEvent, c.value);
        const testing::ResourcePayload resource(kSessionPath, c.value);
        deliver(kSessionEvent, resource.Value());
        EXPECT_TRUE(seen.calls.empty()) << c.description;
        deliver("OnServiceProxyUuidEvent", c.value);
        EXPECT_FALSE(Module().HasServiceProxyResponse("")) << c.description;
    }
    started.core.PublishResourceEvent(kSessionPath, EventType::Update, Json(R"({"state":"x"})"));
    EXPECT_EQ(seen.calls, (std::vector<std::string>{"session /kzo-login/v1/session 1 x"}));
}

TEST_F(EventsFixture, AnEventWhoseDeliveryThrowsIsDroppedWithALogLine) {
    struct Case {
        const char* description;
        std::function<void()> fault;
        const char* logged;
    };
    const Case cases[] = {
        {"a standard exception", [] { throw std::runtime_error("handler failure"); },
         "handler failure"},
        {"exhausted memory", [] { throw std::bad_alloc(); }, "std::bad_alloc"},
        {"anything else", [] { throw 42; }, "an exception that is not a std::exception"},
    };
    // No peer serves this path, so observing it calls the handler only for events.
    constexpr const char* kPath = "/kzo-acs/v1/delta";
    for (const Case& c : cases) {
        Module().ObserveResource(kPath, [&c](const Resource&) { c.fault(); });
        logLines.clear();
        EXPECT_NO_THROW(
            started.core.PublishResourceEvent(kPath, EventType::Update, Json(R"({"state":"x"})")))
            << c.description;
        EXPECT_EQ(LogLinesContaining(std::string(" ERROR| kzo-match-history: Dropped event "
                                                 "OnJsonApiEvent_kzo-acs_v1_delta: ") +
                                     c.logged),
                  1u)
            << c.description;

        logLines.clear();
        Module().SetServiceProxyAsyncHandler(
            "svc.m", [&c](const PluginServiceProxyResponse&) { c.fault(); });
        EXPECT_NO_THROW(started.core.PublishEvent(
            "OnServiceProxyAsyncEvent", Json(R"({"serviceName":"svc","methodName":"m"})")))
            << c.description;
        EXPECT_EQ(LogLinesContaining(std::string(" ERROR| kzo-match-history: Dropped event "
                                                 "OnServiceProxyAsyncEvent: ") +
                                     c.logged),
                  1u)
            << c.description;
    }
}

TEST_F(EventsFixture, WildcardHandlersTakeOneSegmentAfterTheExactHandler) {
    Seen seen;
    Module().ObserveResource("/kzo-acs/v1/games/*", seen.Recorder("any-game"));
    Module().ObserveResource("/kzo-acs/v1/games/*/stats", seen.Recorder("any-stats"));
    started.core.AddPeer("/kzo-acs/v1/games/7", [](const PeerRequest&) {
        return PeerAnswer::WithValue(Json(R"({"state":"read"})"));
    });
    Module().ObserveResource("/kzo-acs/v1/games/7", seen.Recorder("game-7"));
    EXPECT_EQ(started.core.SentRequests().size(), 1u) << "only the exact path is read";
    seen.calls.clear();

    struct Case {
        const char* uri;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {"/kzo-acs/v1/games/7",
         {"game-7 /kzo-acs/v1/games/7 1 x", "any-game /kzo-acs/v1/games/7 1 x"}},
        {"/kzo-acs/v1/games/8", {"any-game /kzo-acs/v1/games/8 1 x"}},
        {"/kzo-acs/v1/games/", {}},
        {"/kzo-acs/v1/games/8/9", {}},
        {"/kzo-acs/v1/games/8/stats", {"any-stats /kzo-acs/v1/games/8/stats 1 x"}},
        {"/kzo-acs/v1/games/8/stats/", {}},
    };
    for (const Case& c : cases) {
        seen.calls.clear();
        started.core.PublishResourceEvent(c.uri, EventType::Update, Json(R"({"state":"x"})"));
        EXPECT_EQ(seen.calls, c.calls) << c.uri;
    }
}

TEST_F(EventsFixture, TypedObservationsConvertCreatesAndUpdatesAndPassDeletesOn) {
    BindingTypeBuilder<Session>(Module().Types(), "KzoTestSession")
        .Field("state", &Session::state)
        .Field("accountId", &Session::accountId)
        .Finish();
    std::vector<std::string> seen;
    Module().ObserveResourceAs<Session>(kSessionPath, [&seen](const TypedResource<Session>& r) {
        seen.push_back(std::to_string(static_cast<int>(r.eventType)) + " " + r.data.state + " " +
                       std::to_string(r.data.accountId));
    });
    started.core.PublishResourceEvent(kSessionPath, EventType::Update,
                                      Json(R"({"state":"ERROR","accountId":"many"})"));
    started.core.PublishResourceEvent(kSessionPath, EventType::Delete, BindingProperty());
    EXPECT_EQ(seen, (std::vector<std::string>{"0 SUCCEEDED 7", "2  0"}))
        << "the first read, the unconvertible update dropped, the delete with default data";
}

TEST_F(EventsFixture, ServiceProxyMessagesCompleteRequestsOrReachAsyncHandlers) {
    for (const char* name :
         {"OnServiceProxyUuidEvent", "OnServiceProxyMethodEvent", "OnServiceProxyAsyncEvent"}) {
        const auto subscriptions = started.core.Subscriptions(name);
        ASSERT_EQ(subscriptions.size(), 1u) << name;
        EXPECT_EQ(subscriptions[0].flags, 1u) << name;
    }
    const BindingProperty message =
        Json(R"({"uuid":"u-1","serviceName":"svc","methodName":"m","payload":"{}"})");

    started.core.PublishEvent("OnServiceProxyAsyncEvent", message);
    EXPECT_EQ(
        LogLinesContaining(" ERROR| kzo-match-history: Could not find registered handler for async "
                           "service proxy event svc.m"),
        1u);

    std::vector<std::string> handled;
    Module().SetServiceProxyAsyncHandler(
        "svc.m", [&handled](const PluginServiceProxyResponse& r) { handled.push_back(r.payload); });
    started.core.PublishEvent("OnServiceProxyAsyncEvent", message);
    EXPECT_EQ(handled, (std::vector<std::string>{"{}"}));

    // Without a pending request a message is kept; a request takes it when
    // the next message arrives.
    std::vector<std::string> completed;
    const auto complete = [&completed](const std::string& key) {
        return [&completed, key](const PluginServiceProxyResponse& r) {
            completed.push_back(key + "<-" + r.uuid);
        };
    };
    started.core.PublishEvent("OnServiceProxyUuidEvent", message);
    EXPECT_TRUE(Module().HasServiceProxyResponse("u-1"));
    Module().AddPendingServiceProxyRequest("u-1", complete("u-1"));
    started.core.PublishEvent("OnServiceProxyMethodEvent", message);
    EXPECT_EQ(completed, (std::vector<std::string>{"u-1<-u-1"}));
    EXPECT_FALSE(Module().HasServiceProxyResponse("u-1"));
    EXPECT_TRUE(Module().HasServiceProxyResponse("svc.m")) << "kept for its request";

    Module().AddPendingServiceProxyRequest("svc.m", complete("svc.m"));
    started.core.PublishEvent("OnServiceProxyUuidEvent",
                              Json(R"({"uuid":"u-2","serviceName":"other","methodName":"x"})"));
    EXPECT_EQ(completed, (std::vector<std::string>{"u-1<-u-1", "svc.m<-u-1"}));
    EXPECT_FALSE(Module().HasServiceProxyResponse("svc.m"));
    EXPECT_TRUE(Module().HasServiceProxyResponse("u-2"));
    EXPECT_EQ(LogLinesContaining("ALWAYS| kzo-match-history: Fulfilled service proxy request: "),
              2u);
}

TEST_F(EventsFixture, StopUnsubscribesEveryEventName) {
    Seen seen;
    Module().ObserveResource(kSessionPath, seen.Recorder("session"));
    Module().ObserveResource("/kzo-acs/v1/games/*", seen.Recorder("games"));
    started.loaded.Stop();
    for (const char* name :
         {kSessionEvent, "OnJsonApiEvent_kzo-acs_v1_games", "OnServiceProxyUuidEvent",
          "OnServiceProxyMethodEvent", "OnServiceProxyAsyncEvent"}) {
        EXPECT_EQ(Subscribers(name), 0u) << name;
    }
}

}  // namespace
}  // namespace Nimbel
