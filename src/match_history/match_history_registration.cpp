#include "match_history/match_history_registration.h"

#include <array>

#include "binding/binding_type_builder.h"
#include "match_history/match_history_records.h"

namespace Nimbel::Client::MatchHistory {
namespace {

using namespace Api;

#define KZO_COUNT_STATISTIC(type, name) +1  // NOLINT(bugprone-macro-parentheses): a term of a sum
static_assert(0 KZO_PARTICIPANT_STATISTICS_FIELDS(KZO_COUNT_STATISTIC) == 106,
              "a participant has 106 statistics");
#undef KZO_COUNT_STATISTIC

template <class T>
BindingTypeBuilder<T> Open(BindingTypeRegistry& registry, std::string_view prefix,
                           std::string_view name) {
    std::string registeredName(prefix);
    registeredName += name;
    return BindingTypeBuilder<T>(registry, registeredName);
}

void RegisterTimelineRecords(BindingTypeRegistry& r, std::string_view p,
                             std::span<const std::string> tags) {
    Open<MatchHistoryPosition>(r, p, "MatchHistoryPosition")
        .Field("x", &MatchHistoryPosition::x)
        .Field("y", &MatchHistoryPosition::y)
        .Finish(tags);
    Open<MatchHistoryEvent>(r, p, "MatchHistoryEvent")
        .Field("type", &MatchHistoryEvent::type)
        .Field("timestamp", &MatchHistoryEvent::timestamp)
        .Field("participantId", &MatchHistoryEvent::participantId)
        .Field("teamId", &MatchHistoryEvent::teamId)
        .Field("itemId", &MatchHistoryEvent::itemId)
        .Field("killerId", &MatchHistoryEvent::killerId)
        .Field("victimId", &MatchHistoryEvent::victimId)
        .Field("skillSlot", &MatchHistoryEvent::skillSlot)
        .Field("position", &MatchHistoryEvent::position)
        .Field("assistingParticipantIds", &MatchHistoryEvent::assistingParticipantIds)
        .Field("buildingType", &MatchHistoryEvent::buildingType)
        .Field("laneType", &MatchHistoryEvent::laneType)
        .Field("towerType", &MatchHistoryEvent::towerType)
        .Field("monsterType", &MatchHistoryEvent::monsterType)
        .Field("monsterSubType", &MatchHistoryEvent::monsterSubType)
        .Finish(tags);
    Open<MatchHistoryParticipantFrame>(r, p, "MatchHistoryParticipantFrame")
        .Field("participantId", &MatchHistoryParticipantFrame::participantId)
        .Field("position", &MatchHistoryParticipantFrame::position)
        .Field("currentGold", &MatchHistoryParticipantFrame::currentGold)
        .Field("totalGold", &MatchHistoryParticipantFrame::totalGold)
        .Field("level", &MatchHistoryParticipantFrame::level)
        .Field("xp", &MatchHistoryParticipantFrame::xp)
        .Field("minionsKilled", &MatchHistoryParticipantFrame::minionsKilled)
        .Field("jungleMinionsKilled", &MatchHistoryParticipantFrame::jungleMinionsKilled)
        .Field("dominionScore", &MatchHistoryParticipantFrame::dominionScore)
        .Field("teamScore", &MatchHistoryParticipantFrame::teamScore)
        .Finish(tags);
    Open<MatchHistoryTimelineFrame>(r, p, "MatchHistoryTimelineFrame")
        .Field("participantFrames", &MatchHistoryTimelineFrame::participantFrames)
        .Field("events", &MatchHistoryTimelineFrame::events)
        .Field("timestamp", &MatchHistoryTimelineFrame::timestamp)
        .Finish(tags);
    Open<MatchHistoryTimelineFrames>(r, p, "MatchHistoryTimelineFrames")
        .Field("frames", &MatchHistoryTimelineFrames::frames)
        .Finish(tags);
}

void RegisterParticipantRecords(BindingTypeRegistry& r, std::string_view p,
                                std::span<const std::string> tags) {
    Open<MatchHistoryTimeline>(r, p, "MatchHistoryTimeline")
        .Field("participantId", &MatchHistoryTimeline::participantId)
        .Field("role", &MatchHistoryTimeline::role)
        .Field("lane", &MatchHistoryTimeline::lane)
        .Field("creepsPerMinDeltas", &MatchHistoryTimeline::creepsPerMinDeltas)
        .Field("xpPerMinDeltas", &MatchHistoryTimeline::xpPerMinDeltas)
        .Field("goldPerMinDeltas", &MatchHistoryTimeline::goldPerMinDeltas)
        .Field("csDiffPerMinDeltas", &MatchHistoryTimeline::csDiffPerMinDeltas)
        .Field("xpDiffPerMinDeltas", &MatchHistoryTimeline::xpDiffPerMinDeltas)
        .Field("damageTakenPerMinDeltas", &MatchHistoryTimeline::damageTakenPerMinDeltas)
        .Field("damageTakenDiffPerMinDeltas", &MatchHistoryTimeline::damageTakenDiffPerMinDeltas)
        .Finish(tags);
    Open<MatchHistoryParticipantStatistics>(r, p, "MatchHistoryParticipantStatistics")
#define KZO_REGISTER_STATISTIC(type, name) .Field(#name, &MatchHistoryParticipantStatistics::name)
        KZO_PARTICIPANT_STATISTICS_FIELDS(KZO_REGISTER_STATISTIC)
#undef KZO_REGISTER_STATISTIC
            .Finish(tags);
    Open<MatchHistoryRune>(r, p, "MatchHistoryRune")
        .Field("runeId", &MatchHistoryRune::runeId)
        .Field("rank", &MatchHistoryRune::rank)
        .Finish(tags);
    Open<MatchHistoryMastery>(r, p, "MatchHistoryMastery")
        .Field("masteryId", &MatchHistoryMastery::masteryId)
        .Field("rank", &MatchHistoryMastery::rank)
        .Finish(tags);
    using Player = MatchHistoryParticipantIdentityPlayer;
    Open<Player>(r, p, "MatchHistoryParticipantIdentityPlayer")
        .Field("platformId", &Player::platformId)
        .Field("accountId", &Player::accountId)
        .Field("summonerId", &Player::summonerId)
        .Field("summonerName", &Player::summonerName)
        .Field("currentPlatformId", &Player::currentPlatformId)
        .Field("currentAccountId", &Player::currentAccountId)
        .Field("matchHistoryUri", &Player::matchHistoryUri)
        .Field("profileIcon", &Player::profileIcon)
        .Finish(tags);
    Open<MatchHistoryParticipantIdentities>(r, p, "MatchHistoryParticipantIdentities")
        .Field("participantId", &MatchHistoryParticipantIdentities::participantId)
        .Field("player", &MatchHistoryParticipantIdentities::player)
        .Finish(tags);
    Open<MatchHistoryParticipant>(r, p, "MatchHistoryParticipant")
        .Field("participantId", &MatchHistoryParticipant::participantId)
        .Field("teamId", &MatchHistoryParticipant::teamId)
        .Field("championId", &MatchHistoryParticipant::championId)
        .Field("spell1Id", &MatchHistoryParticipant::spell1Id)
        .Field("spell2Id", &MatchHistoryParticipant::spell2Id)
        .Field("highestAchievedSeasonTier", &MatchHistoryParticipant::highestAchievedSeasonTier)
        .Field("stats", &MatchHistoryParticipant::stats)
        .Field("timeline", &MatchHistoryParticipant::timeline)
        .Finish(tags);
}

void RegisterTeamAndDeltaRecords(BindingTypeRegistry& r, std::string_view p,
                                 std::span<const std::string> tags) {
    Open<MatchHistoryTeamBan>(r, p, "MatchHistoryTeamBan")
        .Field("championId", &MatchHistoryTeamBan::championId)
        .Field("pickTurn", &MatchHistoryTeamBan::pickTurn)
        .Finish(tags);
    Open<MatchHistoryTeam>(r, p, "MatchHistoryTeam")
        .Field("teamId", &MatchHistoryTeam::teamId)
        .Field("win", &MatchHistoryTeam::win)
        .Field("firstBlood", &MatchHistoryTeam::firstBlood)
        .Field("firstTower", &MatchHistoryTeam::firstTower)
        .Field("firstInhibitor", &MatchHistoryTeam::firstInhibitor)
        .Field("firstBaron", &MatchHistoryTeam::firstBaron)
        .Field("firstDargon", &MatchHistoryTeam::firstDargon)
        .Field("towerKills", &MatchHistoryTeam::towerKills)
        .Field("inhibitorKills", &MatchHistoryTeam::inhibitorKills)
        .Field("baronKills", &MatchHistoryTeam::baronKills)
        .Field("dragonKills", &MatchHistoryTeam::dragonKills)
        .Field("vilemawKills", &MatchHistoryTeam::vilemawKills)
        .Field("dominionVictoryScore", &MatchHistoryTeam::dominionVictoryScore)
        .Field("bans", &MatchHistoryTeam::bans)
        .Finish(tags);
    Open<MatchHistoryPlayerPlatformDelta>(r, p, "MatchHistoryPlayerPlatformDelta")
        .Field("xpDelta", &MatchHistoryPlayerPlatformDelta::xpDelta)
        .Field("ipDelta", &MatchHistoryPlayerPlatformDelta::ipDelta)
        .Field("compensationModeEnabled", &MatchHistoryPlayerPlatformDelta::compensationModeEnabled)
        .Field("timestamp", &MatchHistoryPlayerPlatformDelta::timestamp)
        .Finish(tags);
    Open<MatchHistoryPlayerLeagueDelta>(r, p, "MatchHistoryPlayerLeagueDelta")
        .Field("leaguePointDelta", &MatchHistoryPlayerLeagueDelta::leaguePointDelta)
        .Field("reason", &MatchHistoryPlayerLeagueDelta::reason)
        .Field("miniSeriesProgress", &MatchHistoryPlayerLeagueDelta::miniSeriesProgress)
        .Field("timestamp", &MatchHistoryPlayerLeagueDelta::timestamp)
        .Finish(tags);
    Open<MatchHistoryPlayerChampMasteryDelta>(r, p, "MatchHistoryPlayerChampMasteryDelta")
        .Field("grade", &MatchHistoryPlayerChampMasteryDelta::grade)
        .Finish(tags);
    Open<MatchHistoryPlayerGameDelta>(r, p, "MatchHistoryPlayerGameDelta")
        .Field("gamePlatformId", &MatchHistoryPlayerGameDelta::gamePlatformId)
        .Field("gameId", &MatchHistoryPlayerGameDelta::gameId)
        .Field("platformDelta", &MatchHistoryPlayerGameDelta::platformDelta)
        .Field("leagueDelta", &MatchHistoryPlayerGameDelta::leagueDelta)
        .Field("champMastery", &MatchHistoryPlayerGameDelta::champMastery)
        .Finish(tags);
    Open<MatchHistoryPlayerDelta>(r, p, "MatchHistoryPlayerDelta")
        .Field("originalAccountId", &MatchHistoryPlayerDelta::originalAccountId)
        .Field("originalPlatformId", &MatchHistoryPlayerDelta::originalPlatformId)
        .Field("deltas", &MatchHistoryPlayerDelta::deltas)
        .Finish(tags);
}

void RegisterGameRecords(BindingTypeRegistry& r, std::string_view p,
                         std::span<const std::string> tags) {
    Open<MatchHistoryGame>(r, p, "MatchHistoryGame")
        .Field("gameId", &MatchHistoryGame::gameId)
        .Field("platformId", &MatchHistoryGame::platformId)
        .Field("gameCreation", &MatchHistoryGame::gameCreation)
        .Field("gameCreationDate", &MatchHistoryGame::gameCreationDate)
        .Field("gameDuration", &MatchHistoryGame::gameDuration)
        .Field("queueId", &MatchHistoryGame::queueId)
        .Field("mapId", &MatchHistoryGame::mapId)
        .Field("seasonId", &MatchHistoryGame::seasonId)
        .Field("gameVersion", &MatchHistoryGame::gameVersion)
        .Field("gameMode", &MatchHistoryGame::gameMode)
        .Field("gameType", &MatchHistoryGame::gameType)
        .Field("teams", &MatchHistoryGame::teams)
        .Field("participants", &MatchHistoryGame::participants)
        .Field("participantIdentities", &MatchHistoryGame::participantIdentities)
        .Finish(tags);
    Open<MatchHistoryGameList>(r, p, "MatchHistoryGameList")
        .Field("gameIndexBegin", &MatchHistoryGameList::gameIndexBegin)
        .Field("gameIndexEnd", &MatchHistoryGameList::gameIndexEnd)
        .Field("gameBeginDate", &MatchHistoryGameList::gameBeginDate)
        .Field("gameEndDate", &MatchHistoryGameList::gameEndDate)
        .Field("gameCount", &MatchHistoryGameList::gameCount)
        .Field("games", &MatchHistoryGameList::games)
        .Finish(tags);
    Open<MatchHistoryList>(r, p, "MatchHistoryList")
        .Field("platformId", &MatchHistoryList::platformId)
        .Field("accountId", &MatchHistoryList::accountId)
        .Field("games", &MatchHistoryList::games)
        .Finish(tags);
}

void RegisterSessionRecords(BindingTypeRegistry& r, std::string_view p,
                            std::span<const std::string> tags) {
    Open<RecentlyPlayedSummoner>(r, p, "RecentlyPlayedSummoner")
        .Field("summonerId", &RecentlyPlayedSummoner::summonerId)
        .Field("summonerName", &RecentlyPlayedSummoner::summonerName)
        .Field("gameId", &RecentlyPlayedSummoner::gameId)
        .Field("gameCreationDate", &RecentlyPlayedSummoner::gameCreationDate)
        .Field("championId", &RecentlyPlayedSummoner::championId)
        .Field("teamId", &RecentlyPlayedSummoner::teamId)
        .Finish(tags);
    Open<LoginSessionStates>(r, p, "LoginSessionStates")
        .Enumerator("IN_PROGRESS", LoginSessionStates::IN_PROGRESS)
        .Enumerator("ERROR", LoginSessionStates::ERROR)
        .Enumerator("SUCCEEDED", LoginSessionStates::SUCCEEDED)
        .Enumerator("LOGGING_OUT", LoginSessionStates::LOGGING_OUT)
        .Finish(tags);
    Open<LoginSession>(r, p, "LoginSession")
        .Field("state", &LoginSession::state)
        .Field("summonerId", &LoginSession::summonerId)
        .Field("accountId", &LoginSession::accountId)
        .Finish(tags);
    Open<SummonerIdAndName>(r, p, "SummonerIdAndName")
        .Field("displayName", &SummonerIdAndName::displayName)
        .Finish(tags);
}

}  // namespace

void RegisterApiRecords(BindingTypeRegistry& registry, std::string_view prefix,
                        std::span<const std::string> tags) {
    RegisterTimelineRecords(registry, prefix, tags);
    RegisterParticipantRecords(registry, prefix, tags);
    RegisterTeamAndDeltaRecords(registry, prefix, tags);
    RegisterGameRecords(registry, prefix, tags);
    RegisterSessionRecords(registry, prefix, tags);
}

std::span<const LcdsClass> LcdsClasses() {
    static const std::array<LcdsClass, 3> kClasses = {{
        {"FellowPlayerInfo", &StaticType::Name<Lcds::FellowPlayerInfo>(),
         "com.nimbelworks.platform.statistics.FellowPlayerInfo"},
        {"PlayerGameStats", &StaticType::Name<Lcds::PlayerGameStats>(),
         "com.nimbelworks.platform.statistics.PlayerGameStats"},
        {"RecentGames", &StaticType::Name<Lcds::RecentGames>(),
         "com.nimbelworks.platform.statistics.RecentGames"},
    }};
    return kClasses;
}

void RegisterLcdsRecords(BindingTypeRegistry& registry) {
    using namespace Lcds;
    BindingTypeBuilder<FellowPlayerInfo>(registry, "FellowPlayerInfo")
        .Field("championId", &FellowPlayerInfo::championId)
        .Field("summonerId", &FellowPlayerInfo::summonerId)
        .Field("teamId", &FellowPlayerInfo::teamId)
        .Finish();
    BindingTypeBuilder<PlayerGameStats>(registry, "PlayerGameStats")
        .Field("userId", &PlayerGameStats::userId)
        .Field("gameId", &PlayerGameStats::gameId)
        .Field("createDate", &PlayerGameStats::createDate)
        .Field("fellowPlayers", &PlayerGameStats::fellowPlayers)
        .Finish();
    BindingTypeBuilder<RecentGames>(registry, "RecentGames")
        .Field("userId", &RecentGames::userId)
        .Field("gameStatistics", &RecentGames::gameStatistics)
        .Finish();
}

}  // namespace Nimbel::Client::MatchHistory
