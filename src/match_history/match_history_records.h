// The records of the match-history API and of the LCDS statistics service, as
// native structures. Each is registered with the type registry (see
// match_history_registration.h), which converts it to and from the generic
// value and JSON: member names are the field names below, letter for letter
// (`firstDargon` included). Every field is written out, zeros and empty texts
// too; a member missing from the input leaves its field as it was. A
// default-constructed record has every number 0, every bool false, every text
// and container empty.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace Nimbel::Client::MatchHistory::Api {

struct MatchHistoryPosition {
    int16_t x = 0;
    int16_t y = 0;
};

/// One event of a timeline frame.
struct MatchHistoryEvent {
    std::string type;  ///< "CHAMPION_KILL", "BUILDING_KILL", "ELITE_MONSTER_KILL", ...
    uint64_t timestamp = 0;
    uint16_t participantId = 0;
    uint16_t teamId = 0;
    uint16_t itemId = 0;
    uint16_t killerId = 0;
    uint16_t victimId = 0;
    uint16_t skillSlot = 0;
    MatchHistoryPosition position;
    std::vector<uint16_t> assistingParticipantIds;
    std::string buildingType;
    std::string laneType;
    std::string towerType;
    std::string monsterType;
    std::string monsterSubType;
};

struct MatchHistoryParticipantFrame {
    uint16_t participantId = 0;
    MatchHistoryPosition position;
    int32_t currentGold = 0;
    int32_t totalGold = 0;
    uint16_t level = 0;
    uint32_t xp = 0;
    uint16_t minionsKilled = 0;
    uint16_t jungleMinionsKilled = 0;
    uint16_t dominionScore = 0;
    uint16_t teamScore = 0;
};

struct MatchHistoryTimelineFrame {
    std::unordered_map<std::string, MatchHistoryParticipantFrame> participantFrames;
    std::vector<MatchHistoryEvent> events;
    uint64_t timestamp = 0;
};

/// The answer of the game-timeline endpoint.
struct MatchHistoryTimelineFrames {
    std::vector<MatchHistoryTimelineFrame> frames;
};

/// Per participant, inside MatchHistoryParticipant.
struct MatchHistoryTimeline {
    uint16_t participantId = 0;
    std::string role;
    std::string lane;
    std::unordered_map<std::string, double> creepsPerMinDeltas;
    std::unordered_map<std::string, double> xpPerMinDeltas;
    std::unordered_map<std::string, double> goldPerMinDeltas;
    std::unordered_map<std::string, double> csDiffPerMinDeltas;
    std::unordered_map<std::string, double> xpDiffPerMinDeltas;
    std::unordered_map<std::string, double> damageTakenPerMinDeltas;
    std::unordered_map<std::string, double> damageTakenDiffPerMinDeltas;
};

// The 106 statistics of a participant, in their registered order: the one
// list both the structure and its registration are made from.
// clang-format off
#define KZO_PARTICIPANT_STATISTICS_FIELDS(FIELD)                                                  \
    FIELD(uint16_t, participantId)                                                                \
    FIELD(bool, win)                                                                              \
    FIELD(uint16_t, item0) FIELD(uint16_t, item1) FIELD(uint16_t, item2) FIELD(uint16_t, item3)   \
    FIELD(uint16_t, item4) FIELD(uint16_t, item5) FIELD(uint16_t, item6)                          \
    FIELD(int64_t, kills) FIELD(int64_t, deaths) FIELD(int64_t, assists)                          \
    FIELD(int64_t, largestKillingSpree) FIELD(int64_t, largestMultiKill)                          \
    FIELD(int64_t, killingSprees) FIELD(int64_t, longestTimeSpentLiving)                          \
    FIELD(int64_t, doubleKills) FIELD(int64_t, tripleKills) FIELD(int64_t, quadraKills)           \
    FIELD(int64_t, pentaKills) FIELD(int64_t, unrealKills) FIELD(int64_t, totalDamageDealt)       \
    FIELD(int64_t, magicDamageDealt) FIELD(int64_t, physicalDamageDealt)                          \
    FIELD(int64_t, trueDamageDealt) FIELD(int64_t, largestCriticalStrike)                         \
    FIELD(int64_t, totalDamageDealtToChampions) FIELD(int64_t, magicDamageDealtToChampions)       \
    FIELD(int64_t, physicalDamageDealtToChampions) FIELD(int64_t, trueDamageDealtToChampions)     \
    FIELD(int64_t, totalHeal) FIELD(int64_t, totalUnitsHealed) FIELD(int64_t, totalDamageTaken)   \
    FIELD(int64_t, magicalDamageTaken) FIELD(int64_t, physicalDamageTaken)                        \
    FIELD(int64_t, trueDamageTaken) FIELD(int64_t, goldEarned) FIELD(int64_t, goldSpent)          \
    FIELD(int64_t, turretKills) FIELD(int64_t, inhibitorKills) FIELD(int64_t, totalMinionsKilled) \
    FIELD(int64_t, neutralMinionsKilled) FIELD(int64_t, neutralMinionsKilledTeamJungle)           \
    FIELD(int64_t, neutralMinionsKilledEnemyJungle) FIELD(int64_t, totalTimeCrowdControlDealt)    \
    FIELD(int64_t, champLevel) FIELD(int64_t, visionWardsBoughtInGame)                            \
    FIELD(int64_t, sightWardsBoughtInGame) FIELD(int64_t, wardsPlaced) FIELD(int64_t, wardsKilled)\
    FIELD(bool, firstBloodKill) FIELD(bool, firstBloodAssist) FIELD(bool, firstTowerKill)         \
    FIELD(bool, firstTowerAssist) FIELD(bool, firstInhibitorKill) FIELD(bool, firstInhibitorAssist)\
    FIELD(bool, gameEndedInEarlySurrender) FIELD(bool, gameEndedInSurrender)                      \
    FIELD(bool, causedEarlySurrender) FIELD(bool, earlySurrenderAccomplice)                       \
    FIELD(bool, teamEarlySurrendered)                                                             \
    FIELD(int64_t, combatPlayerScore) FIELD(int64_t, objectivePlayerScore)                        \
    FIELD(int64_t, totalPlayerScore) FIELD(int64_t, totalScoreRank)                               \
    FIELD(int64_t, damageSelfMitigated) FIELD(int64_t, damageDealtToObjectives)                   \
    FIELD(int64_t, damageDealtToTurrets) FIELD(int64_t, visionScore)                              \
    FIELD(int64_t, timeCCingOthers)                                                               \
    FIELD(int64_t, playerScore0) FIELD(int64_t, playerScore1) FIELD(int64_t, playerScore2)        \
    FIELD(int64_t, playerScore3) FIELD(int64_t, playerScore4) FIELD(int64_t, playerScore5)        \
    FIELD(int64_t, playerScore6) FIELD(int64_t, playerScore7) FIELD(int64_t, playerScore8)        \
    FIELD(int64_t, playerScore9) FIELD(int64_t, perkPrimaryStyle) FIELD(int64_t, perkSubStyle)    \
    FIELD(int64_t, perk0) FIELD(int64_t, perk0Var1) FIELD(int64_t, perk0Var2)                     \
    FIELD(int64_t, perk0Var3) FIELD(int64_t, perk1) FIELD(int64_t, perk1Var1)                     \
    FIELD(int64_t, perk1Var2) FIELD(int64_t, perk1Var3) FIELD(int64_t, perk2)                     \
    FIELD(int64_t, perk2Var1) FIELD(int64_t, perk2Var2) FIELD(int64_t, perk2Var3)                 \
    FIELD(int64_t, perk3) FIELD(int64_t, perk3Var1) FIELD(int64_t, perk3Var2)                     \
    FIELD(int64_t, perk3Var3) FIELD(int64_t, perk4) FIELD(int64_t, perk4Var1)                     \
    FIELD(int64_t, perk4Var2) FIELD(int64_t, perk4Var3) FIELD(int64_t, perk5)                     \
    FIELD(int64_t, perk5Var1) FIELD(int64_t, perk5Var2) FIELD(int64_t, perk5Var3)
// clang-format on

/// The `stats` of a participant: 2 + 7 + 41 + 11 + 45 = 106 fields.
struct MatchHistoryParticipantStatistics {
#define KZO_DECLARE_STATISTIC(type, name) type name{};
    KZO_PARTICIPANT_STATISTICS_FIELDS(KZO_DECLARE_STATISTIC)
#undef KZO_DECLARE_STATISTIC
};

/// Registered, though no other record has a field of this type.
struct MatchHistoryRune {
    uint16_t runeId = 0;
    uint16_t rank = 0;
};

/// Registered, though no other record has a field of this type.
struct MatchHistoryMastery {
    uint16_t masteryId = 0;
    uint16_t rank = 0;
};

struct MatchHistoryParticipantIdentityPlayer {
    std::string platformId;
    uint64_t accountId = 0;
    uint64_t summonerId = 0;
    std::string summonerName;
    std::string currentPlatformId;
    uint64_t currentAccountId = 0;
    std::string matchHistoryUri;
    int32_t profileIcon = 0;
};

/// One entry of a game's identities (one participant, despite the plural).
struct MatchHistoryParticipantIdentities {
    uint16_t participantId = 0;
    MatchHistoryParticipantIdentityPlayer player;
};

struct MatchHistoryParticipant {
    uint16_t participantId = 0;
    uint16_t teamId = 0;
    int32_t championId = 0;
    uint16_t spell1Id = 0;
    uint16_t spell2Id = 0;
    std::string highestAchievedSeasonTier;
    MatchHistoryParticipantStatistics stats;
    MatchHistoryTimeline timeline;
};

struct MatchHistoryTeamBan {
    int32_t championId = 0;
    uint16_t pickTurn = 0;
};

struct MatchHistoryTeam {
    uint16_t teamId = 0;
    std::string win;  ///< a team's result is a text; a participant's `win` is a bool
    bool firstBlood = false;
    bool firstTower = false;
    bool firstInhibitor = false;
    bool firstBaron = false;
    bool firstDargon = false;
    uint32_t towerKills = 0;
    uint32_t inhibitorKills = 0;
    uint32_t baronKills = 0;
    uint32_t dragonKills = 0;
    uint32_t vilemawKills = 0;
    uint32_t dominionVictoryScore = 0;
    std::vector<MatchHistoryTeamBan> bans;
};

struct MatchHistoryPlayerPlatformDelta {
    uint64_t xpDelta = 0;
    uint64_t ipDelta = 0;
    bool compensationModeEnabled = false;
    uint64_t timestamp = 0;
};

struct MatchHistoryPlayerLeagueDelta {
    uint64_t leaguePointDelta = 0;  ///< unsigned, as registered
    std::string reason;
    std::vector<std::string> miniSeriesProgress;
    uint64_t timestamp = 0;
};

struct MatchHistoryPlayerChampMasteryDelta {
    std::string grade;
};

struct MatchHistoryPlayerGameDelta {
    std::string gamePlatformId;
    uint64_t gameId = 0;
    MatchHistoryPlayerPlatformDelta platformDelta;
    MatchHistoryPlayerLeagueDelta leagueDelta;
    MatchHistoryPlayerChampMasteryDelta champMastery;
};

/// The answer of the delta endpoint.
struct MatchHistoryPlayerDelta {
    uint64_t originalAccountId = 0;
    std::string originalPlatformId;
    std::vector<MatchHistoryPlayerGameDelta> deltas;
};

/// The answer of the game endpoint, and the element of a game list.
struct MatchHistoryGame {
    uint64_t gameId = 0;
    std::string platformId;
    uint64_t gameCreation = 0;     ///< milliseconds since the Unix epoch, UTC
    std::string gameCreationDate;  ///< filled in from gameCreation by the plug-in
    uint32_t gameDuration = 0;
    int32_t queueId = 0;
    uint16_t mapId = 0;
    uint16_t seasonId = 0;
    std::string gameVersion;
    std::string gameMode;
    std::string gameType;
    std::vector<MatchHistoryTeam> teams;
    std::vector<MatchHistoryParticipant> participants;
    std::vector<MatchHistoryParticipantIdentities> participantIdentities;
};

struct MatchHistoryGameList {
    uint64_t gameIndexBegin = 0;
    uint64_t gameIndexEnd = 0;
    std::string gameBeginDate;
    std::string gameEndDate;
    uint64_t gameCount = 0;
    std::vector<MatchHistoryGame> games;
};

/// The answer of the match-list endpoints; the games stand at games.games.
struct MatchHistoryList {
    std::string platformId;
    uint64_t accountId = 0;
    MatchHistoryGameList games;
};

/// The element of the recently-played answer.
struct RecentlyPlayedSummoner {
    uint64_t summonerId = 0;
    std::string summonerName;
    uint64_t gameId = 0;
    std::string gameCreationDate;
    uint64_t championId = 0;
    uint64_t teamId = 0;
};

/// Registered in the order IN_PROGRESS, ERROR, SUCCEEDED, LOGGING_OUT.
enum class LoginSessionStates : int32_t {
    IN_PROGRESS = 0,
    SUCCEEDED = 1,
    LOGGING_OUT = 2,
    ERROR = 3,
};

/// The login plug-in's session resource, as this plug-in reads it.
struct LoginSession {
    LoginSessionStates state = LoginSessionStates::IN_PROGRESS;
    uint64_t summonerId = 0;
    uint64_t accountId = 0;
};

/// The element of the summoner plug-in's name lookup (one field, despite the name).
struct SummonerIdAndName {
    std::string displayName;
};

}  // namespace Nimbel::Client::MatchHistory::Api

namespace Nimbel::Client::MatchHistory::Lcds {

/// "com.nimbelworks.platform.statistics.FellowPlayerInfo"
struct FellowPlayerInfo {
    uint64_t championId = 0;
    uint64_t summonerId = 0;
    uint64_t teamId = 0;
};

/// "com.nimbelworks.platform.statistics.PlayerGameStats"
struct PlayerGameStats {
    uint64_t userId = 0;
    uint64_t gameId = 0;
    uint64_t createDate = 0;  ///< milliseconds since the Unix epoch
    std::vector<FellowPlayerInfo> fellowPlayers;
};

/// "com.nimbelworks.platform.statistics.RecentGames": the answer of the
/// statistics service's "getRecentGames".
struct RecentGames {
    uint64_t userId = 0;
    std::vector<PlayerGameStats> gameStatistics;
};

}  // namespace Nimbel::Client::MatchHistory::Lcds
