#include "match_history/game_data.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "diagnostics/text_format.h"
#include "match_history/creation_date.h"

namespace Nimbel::Client::MatchHistory {
namespace {

constexpr std::array<std::string_view, 3> kKillEventTypes = {"CHAMPION_KILL", "BUILDING_KILL",
                                                             "ELITE_MONSTER_KILL"};

[[nodiscard]] bool IsKillEvent(const Api::MatchHistoryEvent& event) {
    return std::find(kKillEventTypes.begin(), kKillEventTypes.end(), event.type) !=
           kKillEventTypes.end();
}

}  // namespace

EndpointError UpstreamError(const Failure& failure) {
    if (failure.Code() == 404) return NotFound("Not found");
    return InternalError(FormatMessage("Failed due to %1", failure));
}

void FillCreationDate(Api::MatchHistoryGame& game) {
    game.gameCreationDate = CreationDateText(game.gameCreation);
}

void FillCreationDates(Api::MatchHistoryList& list) {
    for (Api::MatchHistoryGame& game : list.games.games) FillCreationDate(game);
}

void KeepKillEvents(Api::MatchHistoryTimelineFrames& timeline) {
    for (Api::MatchHistoryTimelineFrame& frame : timeline.frames) {
        std::erase_if(frame.events, [](const auto& event) { return !IsKillEvent(event); });
    }
}

void CapDeltas(Api::MatchHistoryPlayerDelta& delta) {
    if (delta.deltas.size() > kMaxDeltas) delta.deltas.resize(kMaxDeltas);
}

}  // namespace Nimbel::Client::MatchHistory
