#include "match_history/recently_played.h"

#include <algorithm>

#include "match_history/creation_date.h"

namespace Nimbel::Client::MatchHistory {
namespace {

[[nodiscard]] bool ComesFirst(const Api::RecentlyPlayedSummoner& left,
                              const Api::RecentlyPlayedSummoner& right) {
    if (left.summonerId != right.summonerId) return left.summonerId > right.summonerId;
    return left.gameCreationDate > right.gameCreationDate;
}

[[nodiscard]] bool SamePlayer(const Api::RecentlyPlayedSummoner& left,
                              const Api::RecentlyPlayedSummoner& right) {
    return left.summonerId == right.summonerId;
}

}  // namespace

std::vector<Api::RecentlyPlayedSummoner> CollectRecentlyPlayed(const Lcds::RecentGames& games) {
    std::vector<Api::RecentlyPlayedSummoner> players;
    for (const Lcds::PlayerGameStats& game : games.gameStatistics) {
        const std::string creationDate = CreationDateText(game.createDate);
        for (const Lcds::FellowPlayerInfo& fellow : game.fellowPlayers) {
            players.push_back(Api::RecentlyPlayedSummoner{fellow.summonerId,
                                                          {},
                                                          game.gameId,
                                                          creationDate,
                                                          fellow.championId,
                                                          fellow.teamId});
        }
    }
    std::sort(players.begin(), players.end(), &ComesFirst);
    players.erase(std::unique(players.begin(), players.end(), &SamePlayer), players.end());
    return players;
}

std::vector<uint64_t> SummonerIdsOf(const std::vector<Api::RecentlyPlayedSummoner>& players) {
    std::vector<uint64_t> ids;
    ids.reserve(players.size());
    for (const Api::RecentlyPlayedSummoner& player : players) ids.push_back(player.summonerId);
    return ids;
}

}  // namespace Nimbel::Client::MatchHistory
