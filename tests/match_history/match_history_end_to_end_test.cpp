// The real plug-in library, loaded and started by the reference host with the
// sample peers, answering every endpoint as the front end calls them.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "codecs/json_reader.h"
#include "codecs/json_writer.h"
#include "host/endpoint_client.h"
#include "host/host_core.h"
#include "host/plugin_library.h"
#include "host/sample_peers.h"
#include "tests/host/sample_plugin_test.h"

namespace {

using KzoHost::PeerAnswer;
using KzoHost::PeerRequest;
using Nimbel::BindingProperty;

constexpr const char* kSampleGame = "3037071829";

[[nodiscard]] BindingProperty Json(std::string_view text) {
    Nimbel::BindingStatus parsed = Nimbel::JsonToValue(text.data(), text.size());
    EXPECT_TRUE(parsed.Ok()) << parsed.ErrorMessage();
    return std::move(parsed.Value());
}

[[nodiscard]] BindingProperty SampleFile(const std::string& name) {
    const std::string path = std::string(KZO_DEFAULT_DATA_DIR) + "/" + name;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    EXPECT_NE(file, nullptr) << path;
    if (file == nullptr) return {};
    std::string text;
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
    std::fclose(file);
    return Json(text);
}

[[nodiscard]] std::string ToJson(const BindingProperty& value) {
    return Nimbel::ValueToJson(value, nullptr, nullptr);
}

/// A game record as the game-data service sends it: the sample game with
/// another id and creation time.
[[nodiscard]] BindingProperty GameCreatedAt(uint64_t gameCreation) {
    BindingProperty game = SampleFile(std::string("games/") + kSampleGame + ".json");
    game["gameCreation"] = gameCreation;
    return game;
}

class MatchHistoryEndToEnd : public Nimbel::testing::SamplePluginTest {
protected:
    [[nodiscard]] KzoHost::EndpointReply Get(const std::string& path) {
        KzoHost::EndpointReply reply = Send(path);
        EXPECT_TRUE(reply.delivered) << path;
        return reply;
    }
    /// The answer's value; fails the test on an error answer.
    [[nodiscard]] BindingProperty GetValue(const std::string& path) {
        const KzoHost::EndpointReply reply = Get(path);
        EXPECT_FALSE(reply.error.has_value()) << path << ": " << reply.error.value_or("");
        return Json(reply.json);
    }
    void Serve(const std::string& path, const PeerAnswer& answer) {
        core_.AddPeer(path, [answer](const PeerRequest&) { return answer; });
    }
    [[nodiscard]] size_t RequestsUnder(std::string_view prefix) const {
        return std::count_if(core_.SentRequests().begin(), core_.SentRequests().end(),
                             [prefix](const PeerRequest& r) { return r.path.starts_with(prefix); });
    }
    /// The account id of the last LCDS invoke, or 0.
    [[nodiscard]] uint64_t LastInvokedAccount() const {
        for (auto r = core_.SentRequests().rbegin(); r != core_.SentRequests().rend(); ++r) {
            if (r->path == "/kzo-login/v1/session/invoke")
                return r->arguments.at(2).second[0].GetUnsigned();
        }
        return 0;
    }
};

TEST_F(MatchHistoryEndToEnd, AGameComesBackWholeWithItsCreationDate) {
    BindingProperty expected = SampleFile(std::string("games/") + kSampleGame + ".json");
    expected["gameCreationDate"] = "2023-10-31T01:40:02.232Z";
    const BindingProperty game =
        GetValue(std::string("/kzo-match-history/v1/games/") + kSampleGame);
    EXPECT_EQ(game["gameCreation"].GetUnsigned(), 1698716402232u);
    EXPECT_EQ(ToJson(game), ToJson(expected)) << "every member, zeros and empty texts included";

    const BindingProperty& stats = game["participants"][0]["stats"];
    EXPECT_EQ(stats.Size(), 106u);
    EXPECT_NE(game["teams"][0].FindMember("firstDargon"), nullptr);
    // Members come in name order.
    std::vector<std::string> names;
    for (const auto& member : stats.Members()) names.emplace_back(member.Name());
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
}

TEST_F(MatchHistoryEndToEnd, CreationDatesAreUtcTextsWithMilliseconds) {
    struct Case {
        uint64_t gameCreation;
        const char* text;
    };
    const Case cases[] = {
        {0, "1970-01-01T00:00:00.000Z"},
        {1500, "1970-01-01T00:00:01.500Z"},
        {951782400999, "2000-02-29T00:00:00.999Z"},
        {2147483647000, "2038-01-19T03:14:07.000Z"},
        {2147483648000, "2038-01-19T03:14:08.000Z"},
        {4294967296123, "2106-02-07T06:28:16.123Z"},
        {4102444800000, "2100-01-01T00:00:00.000Z"},
        {32535215999999, "3000-12-31T23:59:59.999Z"},
        {32535216000000, ""},
        {UINT64_MAX, ""},
    };
    for (const Case& c : cases) {
        Serve("/kzo-acs/v1/games/1", PeerAnswer::WithValue(GameCreatedAt(c.gameCreation)));
        logLines_.clear();
        const BindingProperty game = GetValue("/kzo-match-history/v1/games/1");
        EXPECT_EQ(game["gameCreationDate"].GetString(), c.text) << c.gameCreation;
        const bool reported = std::any_of(logLines_.begin(), logLines_.end(), [](const auto& line) {
            return line.find("ALE-8A14EBBK") != std::string::npos;
        });
        EXPECT_EQ(reported, *c.text == '\0') << c.gameCreation;
    }
}

TEST_F(MatchHistoryEndToEnd, DatesBeyondTheCalendarAreReportedOncePerRequestWithACount) {
    BindingProperty list = SampleFile("matchlists/0.json");
    BindingProperty& games = list["games"]["games"];
    ASSERT_EQ(games.Size(), 20u);
    for (size_t i = 0; i < games.Size(); ++i) games[i]["gameCreation"] = 32535216000000u + i;
    Serve("/kzo-acs/v1/matchlists/0", PeerAnswer::WithValue(list));
    for (const int request : {1, 2}) {
        logLines_.clear();
        const BindingProperty answer = GetValue("/kzo-match-history/v1/matchlist");
        EXPECT_EQ(answer["games"]["games"][19]["gameCreationDate"].GetString(), "");
        std::vector<std::string> reports;
        for (const std::string& line : logLines_) {
            if (line.find("ALE-8A14EBBK") != std::string::npos) reports.push_back(line);
        }
        ASSERT_EQ(reports.size(), 2u) << "request " << request;
        EXPECT_NE(reports[0].find("Assertion failed!"), std::string::npos) << reports[0];
        EXPECT_NE(reports[1].find("ALE-8A14EBBK repeated 19 more times"), std::string::npos)
            << reports[1];
    }
}

TEST_F(MatchHistoryEndToEnd, BothMatchListsMakeTheSameRequestAndGiveTheSameAnswer) {
    const KzoHost::EndpointReply own = Get("/kzo-match-history/v1/matchlist");
    const std::string ownRequest = core_.SentRequests().back().path;
    const KzoHost::EndpointReply friendZero = Get("/kzo-match-history/v1/friend-matchlists/0");
    EXPECT_EQ(ownRequest, "/kzo-acs/v1/matchlists/0");
    EXPECT_EQ(core_.SentRequests().back().path, ownRequest);
    EXPECT_EQ(own.json, friendZero.json);

    const BindingProperty list = Json(own.json);
    const BindingProperty& games = list["games"]["games"];
    ASSERT_EQ(games.Size(), 20u);
    for (const BindingProperty& game : games.Elements()) {
        const std::string date(game["gameCreationDate"].GetString());
        EXPECT_EQ(date.size(), 24u) << date;
        EXPECT_EQ(date.rfind("2023-", 0), 0u) << date;
    }
    const BindingProperty other = GetValue("/kzo-match-history/v1/friend-matchlists/200000");
    EXPECT_EQ(core_.SentRequests().back().path, "/kzo-acs/v1/matchlists/200000");
    EXPECT_EQ(other["accountId"].GetUnsigned(), 200000u);
}

/// Each frame as "<timestamp>:" followed by its events as " <type>@<timestamp>".
[[nodiscard]] std::vector<std::string> FrameOutlines(const BindingProperty& timeline,
                                                     bool killsOnly) {
    std::vector<std::string> outlines;
    for (const BindingProperty& frame : timeline["frames"].Elements()) {
        std::string outline = frame["timestamp"].ToString() + ":";
        for (const BindingProperty& event : frame["events"].Elements()) {
            const std::string_view type = event["type"].GetString();
            const bool kill =
                type == "CHAMPION_KILL" || type == "BUILDING_KILL" || type == "ELITE_MONSTER_KILL";
            if (kill || !killsOnly)
                outline += " " + std::string(type) + "@" + event["timestamp"].ToString();
        }
        outlines.push_back(outline);
    }
    return outlines;
}

TEST_F(MatchHistoryEndToEnd, TimelinesKeepOnlyKillEventsInOrder) {
    const BindingProperty sample =
        SampleFile(std::string("gametimelines/") + kSampleGame + ".json");
    const BindingProperty timeline =
        GetValue(std::string("/kzo-match-history/v1/game-timelines/") + kSampleGame);
    // The sample holds look-alikes (champion_kill, CHAMPION_KILL_SPECIAL) and
    // frames without kills, which stay.
    EXPECT_EQ(FrameOutlines(timeline, false), FrameOutlines(sample, true));
    size_t kills = 0;
    for (const BindingProperty& frame : timeline["frames"].Elements())
        kills += frame["events"].Size();
    EXPECT_EQ(kills, 150u);
    EXPECT_TRUE(timeline["frames"][5]["participantFrames"] ==
                sample["frames"][5]["participantFrames"]);
}

TEST_F(MatchHistoryEndToEnd, DeltasAreCappedAtTwenty) {
    const BindingProperty sample = SampleFile("delta.json");
    for (const size_t count : {size_t{0}, size_t{20}, size_t{21}, sample["deltas"].Size()}) {
        BindingProperty answer = sample;
        BindingProperty deltas;
        deltas.MakeCollection();
        for (size_t i = 0; i < count; ++i) deltas.Append() = sample["deltas"][i % 25];
        answer["deltas"] = deltas;
        Serve("/kzo-acs/v1/delta", PeerAnswer::WithValue(answer));
        const BindingProperty delta = GetValue("/kzo-match-history/v1/delta");
        ASSERT_EQ(delta["deltas"].Size(), std::min<size_t>(count, 20)) << count;
        for (size_t i = 0; i < delta["deltas"].Size(); ++i)
            EXPECT_EQ(delta["deltas"][i]["gameId"], sample["deltas"][i % 25]["gameId"]) << i;
        EXPECT_EQ(delta["originalAccountId"], sample["originalAccountId"]);
        EXPECT_EQ(delta["originalPlatformId"], sample["originalPlatformId"]);
    }
}

TEST_F(MatchHistoryEndToEnd, UpstreamFailuresBecomeTheEndpointsErrors) {
    Serve("/kzo-acs/v1/games/5", PeerAnswer::WithError(503, "Service unavailable"));
    struct Case {
        const char* path;
        KzoWord status;
        std::string message;
    };
    const Case cases[] = {
        {"/kzo-match-history/v1/games/999", 404, "Not found"},
        {"/kzo-match-history/v1/game-timelines/999", 404, "Not found"},
        {"/kzo-match-history/v1/friend-matchlists/12345", 404, "Not found"},
        {"/kzo-match-history/v1/games/5", 500,
         R"(Failed due to {"message":"Error response for GET /kzo-acs/v1/games/5: Service )"
         R"(unavailable","method":"GET","url":"/kzo-acs/v1/games/5","error":"Service )"
         R"(unavailable","errorCode_int":503})"},
    };
    for (const Case& c : cases) {
        const KzoHost::EndpointReply reply = Get(c.path);
        EXPECT_EQ(reply.status, c.status) << c.path;
        EXPECT_EQ(reply.error.value_or("<none>"), c.message) << c.path;
    }
}

// Each null participant would become a whole default participant of more
// than a hundred members: about a megabyte of input would make an answer of
// hundreds of megabytes. The conversion refuses it before making any.
TEST_F(MatchHistoryEndToEnd, AGameOfNullParticipantsIsRefusedWithoutGrowingTheMemory) {
    std::string game = R"({"gameId":1,"participants":[null)";
    for (int i = 1; i < 200'000; ++i) game += ",null";
    game += "]}";
    Serve("/kzo-acs/v1/games/1", PeerAnswer::WithStream(game));

    const auto before = library_->MemoryStats();
    const KzoHost::EndpointReply reply = Get("/kzo-match-history/v1/games/1");
    const auto after = library_->MemoryStats();
    EXPECT_EQ(reply.status, 500u);
    EXPECT_NE(reply.error.value_or("").find(
                  "Couldn't assign value to 'participants' because the conversion would write "
                  "more than 2000030 nodes from the 200003 nodes of its input."),
              std::string::npos)
        << reply.error.value_or("<none>");
    // The text and its tree of 200,000 elements take a few megabytes; the
    // default participants alone would take hundreds.
    EXPECT_LT(after[2] - before[2], uint64_t{64} << 20) << "bytes allocated while answering";
    EXPECT_EQ(after[2] - before[2], after[4] - before[4]) << "and all of them given back";
}

TEST_F(MatchHistoryEndToEnd, TheConfigurationSwitchesTheGameDataEndpoints) {
    const char* gameData[] = {"/kzo-match-history/v1/matchlist",
                              "/kzo-match-history/v1/friend-matchlists/7",
                              "/kzo-match-history/v1/delta", "/kzo-match-history/v1/games/1",
                              "/kzo-match-history/v1/game-timelines/1"};
    EXPECT_EQ(GetValue("/kzo-match-history/v1/web-url").GetString(),
              "http://localhost:8080/match-history/")
        << "read from the configuration when the plug-in started";

    for (const char* configuration :
         {R"({"Enabled":false,"MatchHistoryWebURL":"https://example.test/off"})",
          R"({"MatchHistoryWebURL":"https://example.test/off"})"}) {
        peers_->SetConfiguration(Json(configuration));
        const size_t requestsBefore = RequestsUnder("/kzo-acs/");
        for (const char* path : gameData) {
            const KzoHost::EndpointReply reply = Get(path);
            EXPECT_EQ(reply.status, 500u) << path;
            EXPECT_EQ(reply.error.value_or(""), "New Match History is not enabled") << path;
        }
        EXPECT_EQ(RequestsUnder("/kzo-acs/"), requestsBefore) << "no upstream request";
        EXPECT_EQ(GetValue("/kzo-match-history/v1/web-url").GetString(),
                  "https://example.test/off");
        EXPECT_FALSE(Get("/kzo-match-history/v1/recently-played-summoners").error.has_value())
            << "recently played does not depend on the switch";
    }

    peers_->DeleteConfiguration();
    EXPECT_FALSE(Get("/kzo-match-history/v1/delta").error.has_value());
    EXPECT_EQ(GetValue("/kzo-match-history/v1/web-url").GetString(), "");
}

TEST_F(MatchHistoryEndToEnd, SessionChangesDecideWhoseRecentGamesAreAsked) {
    struct Step {
        const char* description;
        const char* session;  // null: the session is deleted
        KzoWord status;
        uint64_t account;
    };
    const Step steps[] = {
        {"the sample session", R"({"state":"SUCCEEDED","summonerId":28034063,"accountId":200000})",
         0, 200000},
        {"another account while logged in", R"({"state":"SUCCEEDED","summonerId":9,"accountId":9})",
         0, 200000},
        {"no summoner id", R"({"state":"SUCCEEDED","summonerId":0,"accountId":9})", 409, 0},
        {"logging in again", R"({"state":"SUCCEEDED","summonerId":9,"accountId":9})", 0, 9},
        {"logging out", R"({"state":"LOGGING_OUT","summonerId":9,"accountId":9})", 409, 0},
        {"deleted", nullptr, 409, 0},
        {"in progress", R"({"state":"IN_PROGRESS","summonerId":5,"accountId":5})", 409, 0},
        {"created anew", R"({"state":"SUCCEEDED","summonerId":5,"accountId":5})", 0, 5},
        {"not a session", R"({"state":"NAPPING","summonerId":6,"accountId":6})", 0, 5},
    };
    for (const Step& step : steps) {
        if (step.session != nullptr) {
            peers_->SetSession(Json(step.session));
        } else {
            peers_->DeleteSession();
        }
        const KzoHost::EndpointReply reply = Get("/kzo-match-history/v1/recently-played-summoners");
        EXPECT_EQ(reply.status, step.status) << step.description;
        if (step.status == 409) {
            EXPECT_EQ(reply.error.value_or(""), "Player not logged in") << step.description;
        } else {
            EXPECT_EQ(LastInvokedAccount(), step.account) << step.description;
        }
    }
}

TEST_F(MatchHistoryEndToEnd, RecentlyPlayedListsEachPlayerOnceWithTheLatestGameAndName) {
    const BindingProperty recent = SampleFile("recent-games.json");
    const BindingProperty names = SampleFile("summoner-names.json");
    std::set<uint64_t> met;
    for (const BindingProperty& game : recent["gameStatistics"].Elements()) {
        for (const BindingProperty& fellow : game["fellowPlayers"].Elements())
            met.insert(fellow["summonerId"].GetUnsigned());
    }

    const BindingProperty players = GetValue("/kzo-match-history/v1/recently-played-summoners");
    ASSERT_EQ(players.Size(), met.size()) << "one entry per player";
    uint64_t previous = UINT64_MAX;
    for (const BindingProperty& player : players.Elements()) {
        const uint64_t id = player["summonerId"].GetUnsigned();
        EXPECT_LT(id, previous) << "largest id first, no repeats";
        previous = id;
        EXPECT_EQ(player["summonerName"].GetString(), names[std::to_string(id)].GetString());
        // The entry is that of the player's latest game.
        uint64_t latestCreation = 0;
        uint64_t latestGame = 0;
        for (const BindingProperty& game : recent["gameStatistics"].Elements()) {
            for (const BindingProperty& fellow : game["fellowPlayers"].Elements()) {
                if (fellow["summonerId"].GetUnsigned() == id &&
                    game["createDate"].GetUnsigned() >= latestCreation) {
                    latestCreation = game["createDate"].GetUnsigned();
                    latestGame = game["gameId"].GetUnsigned();
                }
            }
        }
        EXPECT_EQ(player["gameId"].GetUnsigned(), latestGame) << id;
    }
    const PeerRequest& namesRequest = core_.SentRequests().back();
    EXPECT_EQ(namesRequest.path, "/kzo-summoner/v2/summoner-names");
    EXPECT_EQ(namesRequest.arguments.at(0).second.Size(), players.Size());
}

TEST_F(MatchHistoryEndToEnd, RecentlyPlayedFailuresAnswerTheirMessage) {
    BindingProperty fewer;
    fewer.MakeCollection();
    fewer.Append()["displayName"] = "Only one";
    BindingProperty empty;
    empty.MakeCollection();
    BindingProperty noPlayers;
    noPlayers["typeName"] = "com.nimbelworks.platform.statistics.RecentGames";
    noPlayers["body"] =
        Json(R"({"userId":200000,"gameStatistics":[{"gameId":1,"fellowPlayers":[]}]})");
    BindingProperty otherClass = noPlayers;
    otherClass["typeName"] = "com.nimbelworks.Other";
    BindingProperty noBody;
    noBody["typeName"] = "com.nimbelworks.platform.statistics.RecentGames";

    struct Case {
        const char* description;
        const char* path;
        PeerAnswer answer;
        KzoWord status;
        std::string message;
        const char* json;
    };
    const Case cases[] = {
        {"one name fewer", "/kzo-summoner/v2/summoner-names", PeerAnswer::WithValue(fewer), 500,
         "Returned summoner names did not match recently played.", nullptr},
        {"names failing", "/kzo-summoner/v2/summoner-names",
         PeerAnswer::WithError(502, "No summoners"), 500,
         "Error response for GET /kzo-summoner/v2/summoner-names: No summoners", nullptr},
        {"LCDS failing", "/kzo-login/v1/session/invoke", PeerAnswer::WithError(503, "Offline"), 500,
         "Error response for POST /kzo-login/v1/session/invoke: Offline", nullptr},
        {"a percent sign in the names' failure", "/kzo-summoner/v2/summoner-names",
         PeerAnswer::WithError(503, "50% of shards down"), 500,
         "Error response for GET /kzo-summoner/v2/summoner-names: 50% of shards down", nullptr},
        {"a printf directive in the names' failure", "/kzo-summoner/v2/summoner-names",
         PeerAnswer::WithError(503, "%s%n%d"), 500,
         "Error response for GET /kzo-summoner/v2/summoner-names: %s%n%d", nullptr},
        {"a positional placeholder in the names' failure", "/kzo-summoner/v2/summoner-names",
         PeerAnswer::WithError(503, "%1 %2$s {0} {error}"), 500,
         "Error response for GET /kzo-summoner/v2/summoner-names: %1 %2$s {0} {error}", nullptr},
        {"a lone percent sign ending the names' failure", "/kzo-summoner/v2/summoner-names",
         PeerAnswer::WithError(503, "down 100%"), 500,
         "Error response for GET /kzo-summoner/v2/summoner-names: down 100%", nullptr},
        {"directives in the LCDS failure", "/kzo-login/v1/session/invoke",
         PeerAnswer::WithError(503, "%s at 5%"), 500,
         "Error response for POST /kzo-login/v1/session/invoke: %s at 5%", nullptr},
        {"another class", "/kzo-login/v1/session/invoke", PeerAnswer::WithValue(otherClass), 500,
         "Expected 'com.nimbelworks.platform.statistics.RecentGames' as LCDS response for "
         "playerStatsService.getRecentGames, but got 'com.nimbelworks.Other'",
         nullptr},
        {"an empty body", "/kzo-login/v1/session/invoke", PeerAnswer::WithValue(noBody), 500,
         "Internal server error", nullptr},
        {"no fellow players", "/kzo-login/v1/session/invoke", PeerAnswer::WithValue(noPlayers), 0,
         "", "[]"},
    };
    for (const Case& c : cases) {
        core_.ClearSentRequests();
        Serve(c.path, c.answer);
        const KzoHost::EndpointReply reply = Get("/kzo-match-history/v1/recently-played-summoners");
        EXPECT_EQ(reply.status, c.status) << c.description;
        if (c.json != nullptr) {
            EXPECT_EQ(reply.json, c.json) << c.description;
            EXPECT_EQ(core_.SentRequests().back().path, "/kzo-summoner/v2/summoner-names")
                << "the names are asked for even for no players";
        } else {
            EXPECT_EQ(reply.error.value_or(""), c.message) << c.description;
        }
        // Restore the sample peers for the next case.
        peers_ = nullptr;
        std::string error;
        peers_ = KzoHost::SamplePeers::Open(core_, KZO_DEFAULT_DATA_DIR, error);
    }
}

TEST_F(MatchHistoryEndToEnd, ReadersOnOtherThreadsSeeWholeConfigurations) {
    // The core may deliver events and requests on different threads: a reader
    // must see one configuration or the other, never a torn or freed text.
    const std::string first = "https://example.test/" + std::string(200, 'a');
    const std::string second = "https://example.test/" + std::string(300, 'b');
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 2000; ++i) {
            BindingProperty configuration;
            configuration["Enabled"] = true;
            configuration["MatchHistoryWebURL"] = (i % 2 == 0) ? first : second;
            peers_->SetConfiguration(configuration);
        }
        done = true;
    });
    size_t reads = 0;
    while (!done || reads < 100) {
        const std::string url(GetValue("/kzo-match-history/v1/web-url").GetString());
        if (url != "http://localhost:8080/match-history/") {
            ASSERT_TRUE(url == first || url == second) << url.size();
        }
        ++reads;
    }
    writer.join();
}

}  // namespace
