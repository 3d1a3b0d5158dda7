// LCDS calls over the login plug-in's invoke endpoint, with the plug-in's own
// LCDS records, through a module started on the reference host.
#include "plugin/lcds_call.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codecs/json_reader.h"
#include "codecs/json_writer.h"
#include "match_history/match_history_records.h"
#include "match_history/match_history_registration.h"
#include "tests/plugin/loaded_module.h"

namespace Nimbel {
namespace {

using Client::MatchHistory::Lcds::PlayerGameStats;
using Client::MatchHistory::Lcds::RecentGames;
using KzoHost::PeerAnswer;
using KzoHost::PeerRequest;

constexpr const char* kInvokePath = "/kzo-login/v1/session/invoke";
constexpr const char* kRecentGamesClass = "com.nimbelworks.platform.statistics.RecentGames";
constexpr const char* kRecentGamesBody =
    R"({"userId":200000,"gameStatistics":[{"gameId":11,"createDate":1500,)"
    R"("fellowPlayers":[{"summonerId":5,"championId":6,"teamId":100}]}]})";

[[nodiscard]] BindingProperty Json(const char* text) {
    BindingStatus parsed = JsonToValue(text);
    EXPECT_TRUE(parsed.Ok()) << text;
    return std::move(parsed.Value());
}

[[nodiscard]] PeerAnswer LcdsAnswer(const char* typeName, const char* body) {
    BindingProperty answer;
    answer["typeName"] = typeName;
    if (body != nullptr) answer["body"] = Json(body);
    return PeerAnswer::WithValue(answer);
}

struct LcdsFixture : ::testing::Test {
    testing::StartedModule started;

    LcdsFixture() {
        Client::MatchHistory::RegisterLcdsRecords(started.Module().Types());
        for (const auto& lcds : Client::MatchHistory::LcdsClasses())
            started.Module().AddLcdsClass(lcds.registeredName, *lcds.identity, lcds.className);
        started.Start();
    }
    AppModule& Module() { return started.Module(); }
    void Answer(const PeerAnswer& answer) {
        started.core.AddPeer(kInvokePath, [answer](const PeerRequest&) { return answer; });
    }
    [[nodiscard]] MaybeType<Failure, RecentGames> RecentGamesOf(uint64_t accountId) {
        started.core.ClearWaitCalls();
        auto future =
            LcdsCall<RecentGames>(Module(), "playerStatsService", "getRecentGames", accountId);
        MaybeType<Failure, RecentGames> result = Module().Await(std::move(future));
        EXPECT_TRUE(started.core.WaitCalls().empty()) << "the future is ready when returned";
        return result;
    }
};

TEST_F(LcdsFixture, AnAnswerOfTheRegisteredClassBecomesTheRecord) {
    Answer(LcdsAnswer(kRecentGamesClass, kRecentGamesBody));
    const MaybeType<Failure, RecentGames> games = RecentGamesOf(200000);
    ASSERT_TRUE(games.HasValue()) << games.GetFailure().Message();
    ASSERT_EQ(games.GetValue().gameStatistics.size(), 1u);
    const PlayerGameStats& game = games.GetValue().gameStatistics[0];
    EXPECT_EQ(game.gameId, 11u);
    EXPECT_EQ(game.createDate, 1500u);
    ASSERT_EQ(game.fellowPlayers.size(), 1u);
    EXPECT_EQ(game.fellowPlayers[0].teamId, 100u);

    // One POST with the destination, the method and the argument list.
    ASSERT_EQ(started.core.SentRequests().size(), 1u);
    const PeerRequest& sent = started.core.SentRequests()[0];
    EXPECT_EQ(sent.method, 6u);
    EXPECT_EQ(sent.path, kInvokePath);
    ASSERT_EQ(sent.arguments.size(), 3u);
    EXPECT_EQ(sent.arguments[0].second.GetString(), "playerStatsService");
    EXPECT_EQ(sent.arguments[1].second.GetString(), "getRecentGames");
    EXPECT_EQ(ValueToJson(sent.arguments[2].second, nullptr, nullptr), "[200000]");
}

TEST_F(LcdsFixture, FailuresSayWhatWentWrong) {
    struct Case {
        const char* description;
        PeerAnswer answer;
        int32_t code;
        bool hasMessage;
        std::string message;
    };
    const std::string dtoPrefix = std::string("Couldn't convert LCDS DTO ") +
                                  StaticType::Name<RecentGames>().name + " to C++ from ";
    const Case cases[] = {
        {"another class", LcdsAnswer("com.nimbelworks.Other", kRecentGamesBody), 0, true,
         "Expected 'com.nimbelworks.platform.statistics.RecentGames' as LCDS response for "
         "playerStatsService.getRecentGames, but got 'com.nimbelworks.Other'"},
        {"an empty body", LcdsAnswer(kRecentGamesClass, nullptr), 0, false, ""},
        {"an error status", PeerAnswer::WithError(503, "LCDS is not connected"), 503, true,
         "Error response for POST /kzo-login/v1/session/invoke: LCDS is not connected"},
        {"a body of the wrong shape", LcdsAnswer(kRecentGamesClass, R"({"gameStatistics":7})"), 0,
         true, dtoPrefix + R"({"gameStatistics":7})"},
    };
    for (const Case& c : cases) {
        Answer(c.answer);
        const MaybeType<Failure, RecentGames> games = RecentGamesOf(200000);
        ASSERT_TRUE(games.HasFailure()) << c.description;
        EXPECT_EQ(games.GetFailure().Code(), c.code) << c.description;
        EXPECT_EQ(games.GetFailure().HasMessage(), c.hasMessage) << c.description;
        EXPECT_EQ(games.GetFailure().Message(), c.message) << c.description;
    }
}

TEST_F(LcdsFixture, RecordArgumentsAreMarkedWithTheirClassesDownToNestedRecords) {
    Answer(LcdsAnswer(kRecentGamesClass, kRecentGamesBody));
    RecentGames argument;
    argument.userId = 1;
    argument.gameStatistics.resize(1);
    argument.gameStatistics[0].fellowPlayers.resize(1);
    const std::vector<PlayerGameStats> list = argument.gameStatistics;
    auto future = LcdsCall<RecentGames>(Module(), "svc", "m", argument, list, std::string("text"));
    ASSERT_TRUE(Module().Await(std::move(future)).HasValue());

    const BindingProperty& sent = started.core.SentRequests().back().arguments.at(2).second;
    ASSERT_EQ(sent.Size(), 3u);
    EXPECT_EQ(sent[0]["__class"].GetString(), kRecentGamesClass);
    EXPECT_EQ(sent[0]["gameStatistics"][0]["__class"].GetString(),
              "com.nimbelworks.platform.statistics.PlayerGameStats");
    EXPECT_EQ(sent[0]["gameStatistics"][0]["fellowPlayers"][0]["__class"].GetString(),
              "com.nimbelworks.platform.statistics.FellowPlayerInfo");
    EXPECT_EQ(sent[1][0]["__class"].GetString(),
              "com.nimbelworks.platform.statistics.PlayerGameStats")
        << "a vector's records are marked too";
    EXPECT_EQ(sent[2].GetString(), "text");
}

TEST_F(LcdsFixture, AnArgumentThatDoesNotConvertSendsNothing) {
    struct Unregistered {
        int32_t value = 0;
    };
    auto future = LcdsCall<RecentGames>(Module(), "svc", "m", uint64_t{1}, Unregistered{});
    const MaybeType<Failure, RecentGames> result = Module().Await(std::move(future));
    ASSERT_TRUE(result.HasFailure());
    EXPECT_EQ(result.GetFailure().Code(), 0);
    EXPECT_EQ(std::string(result.GetFailure().Message())
                  .rfind("Couldn't convert LCDS call parameters: ", 0),
              0u)
        << result.GetFailure().Message();
    EXPECT_TRUE(started.core.SentRequests().empty());
}

}  // namespace
}  // namespace Nimbel
