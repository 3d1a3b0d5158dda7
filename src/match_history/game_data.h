// How the game-data endpoints adjust what the game-data service answers, and
// how its failures become the endpoints' errors.
#pragma once

#include "api/endpoint_result.h"
#include "codecs/failure.h"
#include "match_history/match_history_records.h"

namespace Nimbel::Client::MatchHistory {

/// The most deltas the delta endpoint answers.
inline constexpr size_t kMaxDeltas = 20;

/// A 404 from upstream is 404 "Not found"; any other failure is 500
/// "Failed due to <the failure's text>" (a JSON object carrying its message,
/// its named fields and its code).
[[nodiscard]] EndpointError UpstreamError(const Failure& failure);

/// Sets each game's gameCreationDate from its gameCreation.
void FillCreationDates(Api::MatchHistoryList& list);
void FillCreationDate(Api::MatchHistoryGame& game);
/// Keeps, in each frame, only the kill events ("CHAMPION_KILL",
/// "BUILDING_KILL", "ELITE_MONSTER_KILL", compared exactly), in their order.
void KeepKillEvents(Api::MatchHistoryTimelineFrames& timeline);
/// Keeps the first kMaxDeltas deltas.
void CapDeltas(Api::MatchHistoryPlayerDelta& delta);

}  // namespace Nimbel::Client::MatchHistory
