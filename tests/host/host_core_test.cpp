// The reference host's core functions, called as a plug-in calls them.
#include "host/host_core.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "api/owned_response.h"
#include "binding/core_value.h"
#include "binding/owned_core_value.h"

namespace KzoHost {
namespace {

struct Sent {
    Nimbel::OwnedResponse response;
};

void Send(HostCore& core, Sent& sent, const char* path, const CoreArgumentEntry* args = nullptr,
          KzoWord argCount = 0) {
    CoreRequest request{};
    request.method = 2;
    request.path = path;
    request.arguments = args;
    request.argumentCount = argCount;
    const CoreFunctions* functions = core.Context()->functions;
    functions->sendRequest(functions, &sent.response.Record(), &request);
}

TEST(HostCoreTest, RoutesRequestsToTheMostSpecificPeer) {
    HostCore core;
    core.AddPeer("/kzo-acs/v1/*", [](const PeerRequest& r) {
        return PeerAnswer::WithValue(Nimbel::BindingProperty("prefix " + r.path));
    });
    core.AddPeer("/kzo-acs/v1/games/*",
                 [](const PeerRequest&) { return PeerAnswer::WithError(404, "no game"); });
    core.AddPeer("/kzo-acs/v1/delta", [](const PeerRequest& r) {
        return PeerAnswer::WithValue(Nimbel::BindingProperty("exact " + r.query));
    });
    struct Case {
        const char* path;
        const char* value;
        const char* error;
        KzoWord status;
    };
    const Case cases[] = {
        {"/kzo-acs/v1/delta?x=1", "exact x=1", nullptr, 200},
        {"/kzo-acs/v1/matchlists/0", "prefix /kzo-acs/v1/matchlists/0", nullptr, 200},
        {"/kzo-acs/v1/games/7", nullptr, "no game", 404},
        {"/elsewhere", nullptr, "No plug-in serves /elsewhere", 404},
    };
    for (const Case& c : cases) {
        Sent sent;
        Send(core, sent, c.path);
        EXPECT_EQ(KzoWord{sent.response->status}, c.status) << c.path;
        if (c.error != nullptr) {
            ASSERT_NE(sent.response->errorText, nullptr) << c.path;
            EXPECT_STREQ(sent.response->errorText, c.error);
        } else {
            EXPECT_EQ(sent.response->errorText, nullptr) << c.path;
            EXPECT_STREQ(reinterpret_cast<const char*>(sent.response->value.a), c.value);
        }
    }
    EXPECT_EQ(core.SentRequests().size(), std::size(cases));
}

TEST(HostCoreTest, StreamsDeliverTheirChunksAndReportTheEnd) {
    HostCore core;
    const std::string body(4096 * 2 + 10, 'x');
    core.AddPeer("/s", [&](const PeerRequest&) {
        return PeerAnswer::WithStream(body, {4096, 4096, 10});
    });
    Sent sent;
    Send(core, sent, "/s");
    ASSERT_NE(CoreStreamReadFn{sent.response->streamRead}, nullptr);
    EXPECT_EQ(KzoWord{sent.response->expectedSize}, body.size());
    std::string read;
    uint8_t more = 1;
    std::vector<uint32_t> sizes;
    while (more == 1) {
        uint8_t buffer[4096];
        uint32_t size = sizeof buffer;
        ASSERT_TRUE(sent.response->streamRead(sent.response->stream, buffer, &size, &more));
        sizes.push_back(size);
        read.append(reinterpret_cast<const char*>(buffer), size);
    }
    sent.response.CloseStream();
    EXPECT_EQ(read, body);
    EXPECT_EQ(sizes, (std::vector<uint32_t>{4096, 4096, 10}));
    EXPECT_EQ(core.StreamReads(), 3u);
}

TEST(HostCoreTest, ArgumentsReachThePeerAsValues) {
    HostCore core;
    std::vector<std::pair<std::string, Nimbel::BindingProperty>> seen;
    core.AddPeer("/p", [&](const PeerRequest& r) {
        seen = r.arguments;
        return PeerAnswer::WithValue({});
    });
    Nimbel::OwnedCoreValue number;
    Nimbel::CoreValueSetUnsigned(number.Get(), 42);
    Nimbel::OwnedCoreValue text;
    Nimbel::CoreValueSetOwnedString(text.Get(), "text");
    {
        const CoreArgumentEntry args[2] = {{nullptr, number.Get()}, {"named", text.Get()}};
        Sent sent;
        Send(core, sent, "/p", args, 2);
    }
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].first, "");
    EXPECT_EQ(seen[0].second.GetUnsigned(), 42u);
    EXPECT_EQ(seen[1].first, "named");
    EXPECT_EQ(seen[1].second.GetString(), "text");
}

std::vector<std::string> g_delivered;
void RecordEvent(const EventCallbackRecord* record) {
    Nimbel::BindingProperty payload;
    ASSERT_TRUE(Nimbel::CoreValueToProperty(nullptr, payload, record->payload, "<result>"));
    g_delivered.push_back(std::string(record->eventName) + " " +
                          std::string(payload["uri"].GetString()) + " " +
                          std::string(payload["eventType"].GetString()) + " " +
                          static_cast<char*>(record->callbackContext));
}

TEST(HostCoreTest, ResourceEventsReachTheSubscribersOfTheirEventName) {
    HostCore core;
    g_delivered.clear();
    const CoreFunctions* f = core.Context()->functions;
    char first[] = "first";
    char second[] = "second";
    f->subscribe(f, "OnJsonApiEvent_kzo-login_v1_session", 7, &RecordEvent, first, 0);
    f->subscribe(f, "OnJsonApiEvent_kzo-login_v1_session", 8, &RecordEvent, second, 0);
    core.PublishResourceEvent("/kzo-login/v1/session", HostCore::ResourceEventType::Update, {});
    f->unsubscribe(f, "OnJsonApiEvent_kzo-login_v1_session", 7);
    core.PublishResourceEvent("kzo-login/v1/session", HostCore::ResourceEventType::Delete, {});
    core.PublishResourceEvent("/kzo-other/v1/x", HostCore::ResourceEventType::Create, {});
    const std::vector<std::string> expected = {
        "OnJsonApiEvent_kzo-login_v1_session /kzo-login/v1/session Update first",
        "OnJsonApiEvent_kzo-login_v1_session /kzo-login/v1/session Update second",
        "OnJsonApiEvent_kzo-login_v1_session kzo-login/v1/session Delete second",
    };
    EXPECT_EQ(g_delivered, expected);
}

}  // namespace
}  // namespace KzoHost
