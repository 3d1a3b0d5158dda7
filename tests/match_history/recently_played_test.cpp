#include "match_history/recently_played.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Nimbel::Client::MatchHistory {
namespace {

using Lcds::FellowPlayerInfo;
using Lcds::PlayerGameStats;

[[nodiscard]] PlayerGameStats Game(uint64_t gameId, uint64_t createDate,
                                   const std::vector<uint64_t>& fellows) {
    PlayerGameStats game;
    game.gameId = gameId;
    game.createDate = createDate;
    for (const uint64_t id : fellows) game.fellowPlayers.push_back({gameId % 100, id, 100});
    return game;
}

/// "<summonerId>:<gameId>" per entry.
[[nodiscard]] std::vector<std::string> Outline(
    const std::vector<Api::RecentlyPlayedSummoner>& list) {
    std::vector<std::string> outline;
    for (const auto& entry : list)
        outline.push_back(std::to_string(entry.summonerId) + ":" + std::to_string(entry.gameId));
    return outline;
}

TEST(RecentlyPlayedTest, OneEntryPerPlayerFromTheLatestGameLargestIdFirst) {
    struct Case {
        const char* description;
        std::vector<PlayerGameStats> games;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"no games", {}, {}},
        {"games without fellows", {Game(1, 1000, {}), Game(2, 2000, {})}, {}},
        {"one player in three games: the latest wins, wherever it is listed",
         {Game(1, 5000, {7}), Game(2, 9000, {7}), Game(3, 1000, {7})},
         {"7:2"}},
        {"ordered by id, not by date",
         {Game(1, 9000, {3}), Game(2, 1000, {30, 4}), Game(3, 5000, {12})},
         {"30:2", "12:3", "4:2", "3:1"}},
        {"dates compare as their texts, to the millisecond",
         {Game(1, 1999, {5}), Game(2, 2000, {5}), Game(3, 1001, {5})},
         {"5:2"}},
    };
    for (const Case& c : cases) {
        Lcds::RecentGames recent;
        recent.gameStatistics = c.games;
        const auto players = CollectRecentlyPlayed(recent);
        EXPECT_EQ(Outline(players), c.expected) << c.description;
        for (const auto& player : players) {
            EXPECT_TRUE(player.summonerName.empty()) << c.description;
            EXPECT_EQ(player.championId, player.gameId % 100) << "taken from that game";
        }
    }
}

TEST(RecentlyPlayedTest, PlayersOfTheSameDateKeepOneEntry) {
    Lcds::RecentGames recent;
    recent.gameStatistics = {Game(1, 4000, {8}), Game(2, 4000, {8})};
    const auto players = CollectRecentlyPlayed(recent);
    ASSERT_EQ(players.size(), 1u);
    EXPECT_EQ(players[0].gameCreationDate, "1970-01-01T00:00:04.000Z");
    EXPECT_EQ(SummonerIdsOf(players), std::vector<uint64_t>{8});
}

}  // namespace
}  // namespace Nimbel::Client::MatchHistory
