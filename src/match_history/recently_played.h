// The players met in the recent games, as the recently-played endpoint lists
// them before their names are known.
#pragma once

#include <cstdint>
#include <vector>

#include "match_history/match_history_records.h"

namespace Nimbel::Client::MatchHistory {

/// One entry per player of `games`: the entry of the game with the latest
/// creation-date text, ordered by summonerId from largest to smallest.
/// summonerName is left empty. The player's own account is not filtered out.
[[nodiscard]] std::vector<Api::RecentlyPlayedSummoner> CollectRecentlyPlayed(
    const Lcds::RecentGames& games);

/// The entries' summoner ids, in the entries' order.
[[nodiscard]] std::vector<uint64_t> SummonerIdsOf(
    const std::vector<Api::RecentlyPlayedSummoner>& players);

}  // namespace Nimbel::Client::MatchHistory
