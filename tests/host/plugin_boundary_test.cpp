// The real plug-in library at every function it hands the core, fed records
// that no honest core or peer sends: counts beyond the container limit,
// counts with null arrays, nesting far beyond the limit, null arguments.
// Nothing may leave the library, and it keeps answering afterwards.
#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "api/owned_response.h"
#include "codecs/json_reader.h"
#include "host/api_listing.h"
#include "host/endpoint_client.h"
#include "host/host_core.h"
#include "host/plugin_library.h"
#include "host/sample_peers.h"
#include "tests/host/sample_plugin_test.h"
#include "tests/plugin/hostile_records.h"

namespace {

using Nimbel::testing::HostileRecord;
using Nimbel::testing::HostileRecords;

constexpr const char* kSessionEvent = "OnJsonApiEvent_kzo-login_v1_session";
constexpr const char* kRecentlyPlayed = "/kzo-match-history/v1/recently-played-summoners";

class PluginBoundary : public Nimbel::testing::SamplePluginTest {
protected:
    [[nodiscard]] KzoHost::EndpointReply Get(const std::string& path) const { return Send(path); }

    /// Calls every subscriber of `eventName` with `payload`, as the core does.
    void Deliver(const char* eventName, const CoreValue& payload) const {
        for (const auto& subscription : core_.Subscriptions(eventName)) {
            const EventCallbackRecord record{eventName, payload, 0, subscription.context};
            subscription.callback(&record);
        }
    }
};

TEST_F(PluginBoundary, EventsWithHostileRecordsAreDroppedAndLaterEventsStillCount) {
    ASSERT_EQ(Get(kRecentlyPlayed).status, 0u) << "the sample player is logged in";
    const HostileRecords hostile;
    for (const HostileRecord& c : hostile.Records()) {
        const Nimbel::testing::ResourcePayload resource("/kzo-login/v1/session", c.value);
        for (const char* eventName :
             {kSessionEvent, "OnJsonApiEvent_kzo-platform-config_v1_namespaces_NewMatchHistory",
              "OnServiceProxyUuidEvent", "OnServiceProxyMethodEvent", "OnServiceProxyAsyncEvent"}) {
            Deliver(eventName, c.value);
            Deliver(eventName, resource.Value());
        }
        EXPECT_EQ(Get(kRecentlyPlayed).status, 0u) << c.description << ": the session stays";
    }
    Deliver(kSessionEvent, CoreValue{});
    EXPECT_EQ(Get(kRecentlyPlayed).status, 0u) << "an empty payload is no event";

    peers_->DeleteSession();
    const KzoHost::EndpointReply reply = Get(kRecentlyPlayed);
    EXPECT_EQ(reply.status, 409u) << "a well-formed event after the hostile ones still counts";
    EXPECT_EQ(reply.error.value_or(""), "Player not logged in");
}

TEST_F(PluginBoundary, RequestsWithHostileArgumentsAreAnsweredWithTheRefusal) {
    const KzoHost::ApiListing listing =
        KzoHost::ReadApiDescription(library_->Record().apiDescription);
    const KzoHost::ListedEndpoint* games = nullptr;
    for (const KzoHost::ListedEndpoint& endpoint : listing.endpoints) {
        if (endpoint.functionName == "GetKzoMatchHistoryV1GamesByGameId") games = &endpoint;
    }
    ASSERT_NE(games, nullptr);

    const auto send = [games](const CoreArgumentEntry* arguments, KzoWord count) {
        CoreRequest request{};
        request.method = 2;
        request.path = "/kzo-match-history/v1/games/3037071829";
        request.arguments = arguments;
        request.argumentCount = count;
        request.endpointContext = games->context;
        Nimbel::OwnedResponse response;
        games->onRequest(&response.Record(), &request);
        return KzoHost::ReadResponse(response.Record());
    };

    const HostileRecords hostile;
    for (const HostileRecord& c : hostile.Records()) {
        const CoreArgumentEntry argument{"gameId", c.value};
        const KzoHost::EndpointReply reply = send(&argument, 1);
        ASSERT_TRUE(reply.error.has_value()) << c.description;
        EXPECT_EQ(reply.error->rfind("Couldn't assign value to 'gameId' because the input ", 0), 0u)
            << c.description << ": " << *reply.error;
    }
    const KzoHost::EndpointReply withoutArray = send(nullptr, 3);
    EXPECT_FALSE(withoutArray.error.has_value()) << "a count without an array gives no argument";
    EXPECT_NE(withoutArray.json.find("\"gameId\":3037071829"), std::string::npos);
}

TEST_F(PluginBoundary, CallbacksGivenNullArgumentsAnswerWithoutTouchingThem) {
    const PluginLoadRecord& record = library_->Record();
    EXPECT_FALSE(record.callbacks->start(record.module, nullptr));
    record.callbacks->getMemoryStats(record.module, nullptr);
    CoreResponse* noResponse = nullptr;
    const KzoHost::ApiListing listing = KzoHost::ReadApiDescription(record.apiDescription);
    ASSERT_FALSE(listing.endpoints.empty());
    listing.endpoints[0].onRequest(noResponse, nullptr);
    Nimbel::OwnedResponse response;
    listing.endpoints[0].onRequest(&response.Record(), nullptr);
    EXPECT_EQ(KzoHost::ReadResponse(response.Record()).status, 404u) << "no request: no function";
    for (const char* eventName : {kSessionEvent, "OnServiceProxyUuidEvent"}) {
        for (const auto& subscription : core_.Subscriptions(eventName)) {
            subscription.callback(nullptr);
            const EventCallbackRecord withoutContext{eventName, CoreValue{}, 0, nullptr};
            subscription.callback(&withoutContext);
            const EventCallbackRecord withoutName{nullptr, CoreValue{}, 0, subscription.context};
            subscription.callback(&withoutName);
        }
    }
    EXPECT_EQ(Get(kRecentlyPlayed).status, 0u);
}

}  // namespace
