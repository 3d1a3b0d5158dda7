// The outbound request client and the telemetry sender, through a module
// started on the reference host's core with peers that answer as other
// plug-ins do.
#include "plugin/outbound_request.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "binding/binding_type_builder.h"
#include "codecs/json_reader.h"
#include "plugin/telemetry_sender.h"
#include "tests/plugin/hostile_records.h"
#include "tests/plugin/loaded_module.h"

namespace Nimbel {
namespace {

using KzoHost::PeerAnswer;
using KzoHost::PeerRequest;
using WaitKind = KzoHost::HostCore::WaitCall::Kind;

struct Game {
    uint64_t gameId = 0;
    std::string mode;
};

struct Unregistered {
    int32_t value = 0;
};

struct ClientFixture : ::testing::Test {
    testing::StartedModule started;

    ClientFixture() {
        BindingTypeBuilder<Game>(started.Module().Types(), "KzoTestGame")
            .Field("gameId", &Game::gameId)
            .Field("mode", &Game::mode)
            .Finish();
        started.Start();
    }
    AppModule& Module() { return started.Module(); }
    void Serve(const char* path, const PeerAnswer& answer) {
        started.core.AddPeer(path, [answer](const PeerRequest&) { return answer; });
    }
    [[nodiscard]] MaybeType<Failure, Game> GetGame(const char* path) {
        return OutboundRequest<Game>(Module(), RequestMethod::Get, path);
    }
    [[nodiscard]] size_t Yields() const {
        size_t yields = 0;
        for (const auto& call : started.core.WaitCalls()) yields += call.kind == WaitKind::Yield;
        return yields;
    }
};

[[nodiscard]] std::string FieldText(const Failure& failure, std::string_view name) {
    const NamedValue* value = failure.Fields().Find(name);
    return value != nullptr ? value->text() : "<missing>";
}

constexpr std::string_view kGameJsonHead = R"({"gameId":7,"mode":")";
constexpr std::string_view kGameJsonTail = R"("})";

/// A JSON object of exactly `size` bytes that reads as a Game.
[[nodiscard]] std::string GameJsonOfSize(size_t size) {
    std::string json(kGameJsonHead);
    json.append(size - kGameJsonHead.size() - kGameJsonTail.size(), 'x');
    return json.append(kGameJsonTail);
}

[[nodiscard]] size_t ModeSizeOf(size_t jsonSize) {
    return jsonSize - kGameJsonHead.size() - kGameJsonTail.size();
}

TEST_F(ClientFixture, AnswersAsValuesAndStreamsConvertIntoTheRecord) {
    const BindingStatus parsed = JsonToValue(R"({"gameId":7,"mode":"ARAM"})");
    Serve("/kzo-acs/v1/games/1", PeerAnswer::WithValue(parsed.Value()));
    Serve("/kzo-acs/v1/games/2", PeerAnswer::WithStream(R"({"gameId":7,"mode":"ARAM"})"));
    for (const char* path : {"/kzo-acs/v1/games/1", "/kzo-acs/v1/games/2"}) {
        const MaybeType<Failure, Game> game = GetGame(path);
        ASSERT_TRUE(game.HasValue()) << path << ": " << game.GetFailure().Message();
        EXPECT_EQ(game.GetValue().gameId, 7u) << path;
        EXPECT_EQ(game.GetValue().mode, "ARAM") << path;
    }
    const auto& sent = started.core.SentRequests();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].method, 2u);
    EXPECT_TRUE(sent[0].arguments.empty());
}

TEST_F(ClientFixture, FailuresCarryTheirCodeMessageAndNamedFields) {
    Serve("/kzo-acs/v1/games/404", PeerAnswer::WithError(404, "No game 404"));
    Serve("/kzo-acs/v1/games/503", PeerAnswer::WithError(503, "Service unavailable"));
    Serve("/kzo-acs/v1/games/json", PeerAnswer::WithStream(R"({"gameId":)"));
    PeerAnswer broken = PeerAnswer::WithStream(GameJsonOfSize(9000), {4096});
    broken.streamFails = true;
    Serve("/kzo-acs/v1/games/broken", broken);
    Serve("/kzo-acs/v1/games/array", PeerAnswer::WithStream("[1,2]"));
    Serve("/kzo-acs/v1/games/text",
          PeerAnswer::WithValue(BindingProperty(std::string("not a game"))));

    struct Case {
        const char* path;
        int32_t code;
        const char* message;
        const char* error;
    };
    const Case cases[] = {
        {"/kzo-acs/v1/games/404", 404, "Error response for GET /kzo-acs/v1/games/404: No game 404",
         "No game 404"},
        {"/kzo-acs/v1/games/503", 503,
         "Error response for GET /kzo-acs/v1/games/503: Service unavailable",
         "Service unavailable"},
        {"/kzo-acs/v1/games/json", 0,
         "Error reading streamed response for GET /kzo-acs/v1/games/json: Error: Invalid value. "
         "at offset 10.",
         "Error: Invalid value. at offset 10."},
        {"/kzo-acs/v1/games/broken", 0,
         "Error reading streamed response for GET /kzo-acs/v1/games/broken: Stream read error",
         "Stream read error"},
        {"/kzo-acs/v1/games/array", 0, nullptr, nullptr},
        {"/kzo-acs/v1/games/text", 0, nullptr, nullptr},
        {"/nobody/serves/this", 404,
         "Error response for GET /nobody/serves/this: No plug-in serves /nobody/serves/this",
         "No plug-in serves /nobody/serves/this"},
    };
    for (const Case& c : cases) {
        const MaybeType<Failure, Game> game = GetGame(c.path);
        ASSERT_TRUE(game.HasFailure()) << c.path;
        const Failure& failure = game.GetFailure();
        EXPECT_EQ(failure.Code(), c.code) << c.path;
        EXPECT_EQ(FieldText(failure, "method"), "GET") << c.path;
        EXPECT_EQ(FieldText(failure, "url"), c.path);
        if (c.message != nullptr) {
            EXPECT_EQ(failure.Message(), c.message);
            EXPECT_EQ(FieldText(failure, "error"), c.error);
        } else {
            // A body of the wrong shape: the conversion's message names the root.
            const std::string message(failure.Message());
            EXPECT_EQ(
                message.rfind(std::string("Error converting response for GET ") + c.path + ": ", 0),
                0u)
                << message;
            EXPECT_NE(message.find("'<result>'"), std::string::npos) << message;
        }
        EXPECT_EQ(failure.Fields().size(), c.code != 0 ? 4u : 3u) << "errorCode_int with a code";
    }
}

// A core whose answers carry one record that no honest peer sends; the record
// belongs to the test, so releasing the answer only forgets it.
struct HostileAnswerCore {
    static inline CoreValue answer{};

    static KzoWord Send(const CoreFunctions*, CoreResponse* response, const CoreRequest*) {
        response->value = answer;
        response->text = "";
        response->release = [](CoreResponse* released) { *released = CoreResponse{}; };
        return 0;
    }
    static constexpr CoreFunctions kFunctions = {
        &Send,
        [](const CoreFunctions*, KzoWord, KzoWord) -> KzoWord { return 0; },
        [](const CoreFunctions*, KzoWord) -> KzoWord { return 0; },
        [](const CoreFunctions*, const char*, KzoWord, CoreEventCallback, void*,
           KzoWord) -> KzoWord { return 0; },
        [](const CoreFunctions*, const char*, KzoWord) -> KzoWord { return 0; },
        [](const CoreFunctions*, KzoWord, KzoWord, KzoWord, uint64_t, KzoWord) -> KzoWord {
            return 0;
        },
        [](const CoreFunctions*) -> KzoWord { return 0; },
        [](const CoreFunctions*, const char*, KzoWord) -> KzoWord { return 0; },
        [](const CoreFunctions*) -> KzoWord { return 0; },
        [](const CoreFunctions*, KzoWord, const char*) -> KzoWord { return 0; },
    };
};

TEST(OutboundRequestTest, AnswersWithHostileRecordsFailWithTheConversionsMessage) {
    testing::ConsoleTargetsRestorer restore;
    testing::LoadedModule loaded;
    testing::Load(loaded);
    const CoreContext context{&HostileAnswerCore::kFunctions, 1};
    ASSERT_TRUE(loaded.Start(&context));
    const testing::HostileRecords hostile;
    for (const testing::HostileRecord& c : hostile.Records()) {
        HostileAnswerCore::answer = c.value;
        const MaybeType<Failure, BindingProperty> answer =
            OutboundRequest<BindingProperty>(loaded.Module(), RequestMethod::Get, "/x");
        ASSERT_TRUE(answer.HasFailure()) << c.description;
        const std::string message(answer.GetFailure().Message());
        EXPECT_EQ(message.rfind("Error converting response for GET /x: Couldn't assign value to "
                                "'<result>' because the input ",
                                0),
                  0u)
            << c.description << ": " << message;
    }
    HostileAnswerCore::answer = CoreValue{};
}

TEST_F(ClientFixture, StreamsAreReadInChunksOf4096AndYieldOnlyAfterShortReads) {
    struct Case {
        const char* description;
        size_t bodySize;
        std::vector<uint32_t> chunks;
        size_t reads;
        size_t yields;
    };
    const Case cases[] = {
        {"two full chunks, then the rest", 4096 + 4096 + 10, {4096, 4096, 10}, 3, 0},
        {"short reads while more is to come", 1000, {300}, 4, 3},
        {"exactly one full chunk", 4096, {4096}, 1, 0},
        {"everything at once", 100, {}, 1, 0},
    };
    for (const Case& c : cases) {
        const size_t readsBefore = started.core.StreamReads();
        const size_t yieldsBefore = Yields();
        PeerAnswer answer = PeerAnswer::WithStream(GameJsonOfSize(c.bodySize), c.chunks);
        Serve("/kzo-acs/v1/games/7", answer);
        const MaybeType<Failure, Game> game = GetGame("/kzo-acs/v1/games/7");
        ASSERT_TRUE(game.HasValue()) << c.description << ": " << game.GetFailure().Message();
        EXPECT_EQ(game.GetValue().mode.size(), ModeSizeOf(c.bodySize)) << c.description;
        EXPECT_EQ(started.core.StreamReads() - readsBefore, c.reads) << c.description;
        EXPECT_EQ(Yields() - yieldsBefore, c.yields) << c.description;
    }
    for (const auto& call : started.core.WaitCalls()) {
        if (call.kind == WaitKind::Begin) {
            EXPECT_EQ(call.label, "Wait: yield");
        }
    }
}

/// A steady clock that moves one second each time it is read: the stream
/// reader reads it once before the first read and once after each read.
struct SecondPerReadingClock {
    static inline int64_t seconds = 0;
    static std::chrono::steady_clock::time_point Now() {
        return std::chrono::steady_clock::time_point(std::chrono::seconds(++seconds));
    }
    SecondPerReadingClock() { internal::SetStreamClockForTesting(&Now); }
    ~SecondPerReadingClock() { internal::SetStreamClockForTesting(nullptr); }
    SecondPerReadingClock(const SecondPerReadingClock&) = delete;
    SecondPerReadingClock& operator=(const SecondPerReadingClock&) = delete;
};

TEST_F(ClientFixture, AStreamThatStallsFor30SecondsFailsAndIsClosedOnce) {
    const std::vector<uint32_t> stall29(29, 0);
    const auto join = [](std::initializer_list<std::vector<uint32_t>> parts) {
        std::vector<uint32_t> chunks;
        for (const auto& part : parts) chunks.insert(chunks.end(), part.begin(), part.end());
        return chunks;
    };
    struct Case {
        const char* description;
        std::vector<uint32_t> chunks;  // the last one repeats
        size_t reads;
        bool delivered;
    };
    const Case cases[] = {
        {"nothing ever arrives", {0}, 30, false},
        {"some bytes, then nothing for ever", {10, 0}, 1 + 30, false},
        {"a 29 s stall, then the body", join({stall29, {4096}}), 30, true},
        {"a byte starts the stall again", join({{10}, stall29, {10}, stall29, {4096}}), 61, true},
    };
    const SecondPerReadingClock clock;
    started.core.SetRecording(false);
    for (const Case& c : cases) {
        Serve("/kzo-acs/v1/games/7", PeerAnswer::WithStream(GameJsonOfSize(200), c.chunks));
        const size_t readsBefore = started.core.StreamReads();
        const size_t closesBefore = started.core.StreamCloses();
        const MaybeType<Failure, Game> game = GetGame("/kzo-acs/v1/games/7");
        EXPECT_EQ(started.core.StreamReads() - readsBefore, c.reads) << c.description;
        EXPECT_EQ(started.core.StreamCloses() - closesBefore, 1u) << c.description;
        ASSERT_EQ(game.HasValue(), c.delivered) << c.description;
        if (c.delivered) continue;
        EXPECT_EQ(game.GetFailure().Message(),
                  "Error reading streamed response for GET /kzo-acs/v1/games/7: Stream read error")
            << c.description;
    }
}

TEST_F(ClientFixture, AnAbsurdAnnouncedSizeReservesLittleAndStillReadsTheBody) {
    PeerAnswer answer = PeerAnswer::WithStream(GameJsonOfSize(5000));
    answer.announcedSize = 0xFFFFFFFFu;
    Serve("/kzo-acs/v1/games/7", answer);
    const MaybeType<Failure, Game> game = GetGame("/kzo-acs/v1/games/7");
    ASSERT_TRUE(game.HasValue()) << game.GetFailure().Message();
    EXPECT_EQ(game.GetValue().mode.size(), ModeSizeOf(5000));

    const std::pair<KzoWord, size_t> capacities[] = {{0, 0},
                                                     {10, 10},
                                                     {1u << 20, 1u << 20},
                                                     {(1u << 20) + 1, 1u << 20},
                                                     {0xFFFFFFFFu, 1u << 20}};
    for (const auto& [announced, reserved] : capacities) {
        EXPECT_EQ(internal::InitialStreamCapacity(announced), reserved) << announced;
    }
}

TEST_F(ClientFixture, ParametersGoOutInOrderAndOneThatDoesNotConvertSendsNothing) {
    started.core.AddPeer("/kzo-summoner/v2/summoner-names", [](const PeerRequest& request) {
        BindingProperty names;
        names.MakeCollection();
        for (const BindingProperty& id : request.arguments.at(0).second.Elements())
            names.Append()["displayName"] = "Player " + id.ToString();
        return PeerAnswer::WithValue(names);
    });
    struct Name {
        std::string displayName;
    };
    BindingTypeBuilder<Name>(Module().Types(), "KzoTestName")
        .Field("displayName", &Name::displayName)
        .Finish();

    const std::vector<uint64_t> ids = {30, 10, 20};
    const auto names = OutboundRequest<std::vector<Name>>(Module(), RequestMethod::Get,
                                                          "/kzo-summoner/v2/summoner-names", ids);
    ASSERT_TRUE(names.HasValue()) << names.GetFailure().Message();
    ASSERT_EQ(names.GetValue().size(), 3u);
    EXPECT_EQ(names.GetValue()[0].displayName, "Player 30");
    EXPECT_EQ(names.GetValue()[2].displayName, "Player 20");
    ASSERT_EQ(started.core.SentRequests().size(), 1u);
    const PeerRequest& sent = started.core.SentRequests()[0];
    ASSERT_EQ(sent.arguments.size(), 1u);
    EXPECT_TRUE(sent.arguments[0].first.empty()) << "given by position";

    const auto refused = OutboundRequest<BindingProperty>(
        Module(), RequestMethod::Post, "/kzo-summoner/v2/summoner-names", ids, Unregistered{});
    ASSERT_TRUE(refused.HasFailure());
    EXPECT_EQ(refused.GetFailure().Code(), 400);
    const std::string message(refused.GetFailure().Message());
    EXPECT_EQ(message.rfind("Request not sent: Error converting parameters for POST "
                            "/kzo-summoner/v2/summoner-names: ",
                            0),
              0u)
        << message;
    EXPECT_EQ(started.core.SentRequests().size(), 1u) << "nothing sent";
}

TEST_F(ClientFixture, TelemetryPostsItsNamedValuesAndReturnsAReadyFuture) {
    started.core.AddPeer("/telemetry/v1/events/*", [](const PeerRequest&) {
        return PeerAnswer::WithValue(BindingProperty(true));
    });
    ASSERT_NE(Module().Telemetry(), nullptr);
    const std::vector<TelemetryValue> data = {{"screen", BindingProperty(std::string("games"))},
                                              {"count", BindingProperty(int64_t{3})}};
    auto sent = Module().Telemetry()->Send("x", data);
    started.core.ClearWaitCalls();
    const MaybeType<Failure, BindingProperty> outcome = Module().Await(std::move(sent));
    EXPECT_TRUE(started.core.WaitCalls().empty()) << "a ready future makes no call to the core";
    ASSERT_TRUE(outcome.HasValue());
    EXPECT_TRUE(outcome.GetValue().GetBool());

    const PeerRequest& request = started.core.SentRequests().back();
    EXPECT_EQ(request.method, 6u);
    EXPECT_EQ(request.path, "/telemetry/v1/events/x");
    ASSERT_EQ(request.arguments.size(), 2u);
    EXPECT_EQ(request.arguments[0].first, "screen");
    EXPECT_EQ(request.arguments[1].second.GetSigned(), 3);

    static_cast<void>(Module().Await(Module().Telemetry()->Send("x/y z", {})));
    EXPECT_EQ(started.core.SentRequests().back().path, "/telemetry/v1/events/x/y z")
        << "the name is not escaped";

    started.core.AddPeer("/telemetry/v1/events/down", [](const PeerRequest&) {
        return PeerAnswer::WithError(503, "Telemetry is down");
    });
    const auto failure = Module().Await(Module().Telemetry()->Send("down", {}));
    ASSERT_TRUE(failure.HasFailure());
    EXPECT_EQ(failure.GetFailure().Code(), 503);
    EXPECT_EQ(failure.GetFailure().Message(),
              "Error response for POST /telemetry/v1/events/down: Telemetry is down");
}

}  // namespace
}  // namespace Nimbel
