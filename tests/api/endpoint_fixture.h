// An API registry with endpoints bound to a probe object, for tests that send
// requests through the endpoint records as the core does.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "api/api_registry.h"
#include "api/endpoint_answer.h"
#include "api/endpoint_result.h"
#include "binding/binding_type_builder.h"
#include "host/endpoint_client.h"

namespace Nimbel::testing {

enum class ProbeMode : int32_t { Classic = 1, Aram = 2 };

struct ProbeRecord {
    uint64_t id = 0;
    std::string name{};
    ProbeMode mode = ProbeMode::Classic;
    std::vector<int32_t> scores{};
};

/// Its members are the endpoints' handlers; each reports what it received.
struct Probe {
    EndpointResult<ProbeRecord> GetGame(uint64_t gameId) {
        if (gameId == 404) return NotFound();
        if (gameId == 500) return InternalError();
        if (gameId == 999) throw std::runtime_error("handler failure");
        return ProbeRecord{gameId, "game " + std::to_string(gameId), ProbeMode::Aram, {1, 2}};
    }
    std::vector<ProbeRecord> ListGames() const {
        return {ProbeRecord{1, "a"}, ProbeRecord{2, "b"}};
    }
    std::string WebUrl() const { return "https://example.test/"; }
    BindingProperty Echo(const BindingProperty& value) { return value; }
    std::string EchoText(const std::string& text) { return text; }
    BindingProperty Flags(bool flag, const std::string& name) {
        BindingProperty answer;
        answer["flag"] = flag;
        answer["name"] = name;
        return answer;
    }
    uint64_t Account(uint64_t accountId) { return accountId; }
    ProbeRecord Record(const ProbeRecord& record) { return record; }
    BindingProperty Typed(uint64_t gameId, const BindingProperty& extra, int32_t count) {
        BindingProperty answer;
        answer["gameId"] = gameId;
        answer["extra"] = extra;
        answer["count"] = count;
        return answer;
    }
    BindingProperty Body(const BindingProperty& body) { return body; }
    EndpointResult<EndpointAnswer> Raw() {
        EndpointAnswer answer;
        answer.value = "raw";
        answer.status = 201;
        answer.text = "created";
        answer.flag = 7;
        answer.kind = 9;
        answer.headers = {{"X-One", "1"}, {"X-Two", "2"}};
        return answer;
    }
};

/// The probe's endpoints in a registry with the test records, and the
/// description built from them.
class EndpointFixture : public ::testing::Test {
protected:
    void SetUp() override {
        BindingTypeBuilder<ProbeMode>(api_.Types(), "TestProbeMode")
            .Enumerator("Classic", ProbeMode::Classic)
            .Enumerator("Aram", ProbeMode::Aram)
            .Finish();
        BindingTypeBuilder<ProbeRecord>(api_.Types(), "TestProbeRecord")
            .Field("id", &ProbeRecord::id)
            .Field("name", &ProbeRecord::name)
            .Field("mode", &ProbeRecord::mode)
            .Field("scores", &ProbeRecord::scores)
            .Finish();
        const std::vector<std::string> tags = {"Plugins", "Plugin test"};
        const auto get = RequestMethod::Get;
        ASSERT_NE(api_.AddTypedEndpoint(get, "/t/v1/games/{gameId}/", probe_, &Probe::GetGame,
                                        {Arg("gameId", ArgLocation::Path)}, tags),
                  nullptr);
        ASSERT_NE(api_.AddTypedEndpoint(get, "/t/v1/games", probe_, &Probe::ListGames, {}, tags),
                  nullptr);
        ASSERT_NE(api_.AddTypedEndpoint(get, "/t/v1/web-url", probe_, &Probe::WebUrl, {}, tags),
                  nullptr);
        ASSERT_NE(api_.AddTypedEndpoint(get, "/t/v1/echo", probe_, &Probe::Echo,
                                        {Arg("value", ArgLocation::Query)}, tags),
                  nullptr);
        ASSERT_NE(api_.AddTypedEndpoint(get, "/t/v1/echo-text/{text}", probe_, &Probe::EchoText,
                                        {Arg("text")}, tags),
                  nullptr);
        ASSERT_NE(api_.AddTypedEndpoint(get, "/t/v1/flags", probe_, &Probe::Flags,
                                        {Arg("flag"), Arg("name")}, tags),
                  nullptr);
        ASSERT_NE(api_.AddTypedEndpoint(get, "/t/v1/account", probe_, &Probe::Account,
                                        {Arg("accountId")}, tags),
                  nullptr);
        ASSERT_NE(api_.AddTypedEndpoint(get, "/t/v1/record", probe_, &Probe::Record,
                                        {Arg("record")}, tags),
                  nullptr);
        ASSERT_NE(api_.AddTypedEndpoint(
                      RequestMethod::Post, "/t/v1/typed/{gameId}", probe_, &Probe::Typed,
                      {Arg("gameId"), OptionalArg("extra"), OptionalArg("count")}, tags),
                  nullptr);
        ASSERT_NE(api_.AddTypedEndpoint(RequestMethod::Put, "/t/v1/body", probe_, &Probe::Body,
                                        {Arg("body", ArgLocation::Body)}, tags),
                  nullptr);
        ASSERT_NE(api_.AddTypedEndpoint(get, "/t/v1/raw", probe_, &Probe::Raw, {}, tags), nullptr);
        root_ = api_.BuildDescription();
    }

    [[nodiscard]] KzoHost::EndpointReply Send(const KzoHost::EndpointCall& call) const {
        return KzoHost::SendToEndpoint(root_, call);
    }
    [[nodiscard]] KzoHost::EndpointReply Get(const std::string& path) const {
        KzoHost::EndpointCall call;
        call.path = path;
        return Send(call);
    }

    Probe probe_;
    ApiRegistry api_;
    const ApiDescriptionRoot* root_ = nullptr;
};

/// The text a reply shows in failure messages and comparisons: the error
/// text when there is one, else the JSON of the value.
[[nodiscard]] inline std::string Shown(const KzoHost::EndpointReply& reply) {
    return reply.error.has_value() ? "error: " + *reply.error : reply.json;
}

}  // namespace Nimbel::testing
