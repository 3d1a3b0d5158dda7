// A game-shaped record set for the conversion benchmarks: one game with two
// teams and their bans, ten participants each with a statistics record of 106
// numbers and bools and a timeline of per-minute maps of doubles, and the
// participants' identities, registered as a match-history module registers
// its records, nested types first.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "binding/binding_type_builder.h"
#include "binding/binding_type_registry.h"

namespace Nimbel::bench {

struct MatchHistoryTeamBan {
    int32_t championId = 0;
    uint16_t pickTurn = 0;
};

struct MatchHistoryTeam {
    uint16_t teamId = 0;
    std::string win;
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

// The statistics fields in record order: 2 + 7 uint16 + 41 int64 + 11 bool + 45 int64.
#define KZO_BENCH_STATISTICS(UINT16, BOOL, INT64)                                              \
    UINT16(participantId) BOOL(win) UINT16(item0) UINT16(item1) UINT16(item2) UINT16(item3)    \
    UINT16(item4) UINT16(item5) UINT16(item6) INT64(kills) INT64(deaths) INT64(assists)        \
    INT64(largestKillingSpree) INT64(largestMultiKill) INT64(killingSprees)                    \
    INT64(longestTimeSpentLiving) INT64(doubleKills) INT64(tripleKills) INT64(quadraKills)     \
    INT64(pentaKills) INT64(unrealKills) INT64(totalDamageDealt) INT64(magicDamageDealt)       \
    INT64(physicalDamageDealt) INT64(trueDamageDealt) INT64(largestCriticalStrike)             \
    INT64(totalDamageDealtToChampions) INT64(magicDamageDealtToChampions)                      \
    INT64(physicalDamageDealtToChampions) INT64(trueDamageDealtToChampions) INT64(totalHeal)   \
    INT64(totalUnitsHealed) INT64(totalDamageTaken) INT64(magicalDamageTaken)                  \
    INT64(physicalDamageTaken) INT64(trueDamageTaken) INT64(goldEarned) INT64(goldSpent)       \
    INT64(turretKills) INT64(inhibitorKills) INT64(totalMinionsKilled)                         \
    INT64(neutralMinionsKilled) INT64(neutralMinionsKilledTeamJungle)                          \
    INT64(neutralMinionsKilledEnemyJungle) INT64(totalTimeCrowdControlDealt) INT64(champLevel) \
    INT64(visionWardsBoughtInGame) INT64(sightWardsBoughtInGame) INT64(wardsPlaced)            \
    INT64(wardsKilled) BOOL(firstBloodKill) BOOL(firstBloodAssist) BOOL(firstTowerKill)        \
    BOOL(firstTowerAssist) BOOL(firstInhibitorKill) BOOL(firstInhibitorAssist)                 \
    BOOL(gameEndedInEarlySurrender) BOOL(gameEndedInSurrender) BOOL(causedEarlySurrender)      \
    BOOL(earlySurrenderAccomplice) BOOL(teamEarlySurrendered) INT64(combatPlayerScore)         \
    INT64(objectivePlayerScore) INT64(totalPlayerScore) INT64(totalScoreRank)                  \
    INT64(damageSelfMitigated) INT64(damageDealtToObjectives) INT64(damageDealtToTurrets)      \
    INT64(visionScore) INT64(timeCCingOthers) INT64(playerScore0) INT64(playerScore1)          \
    INT64(playerScore2) INT64(playerScore3) INT64(playerScore4) INT64(playerScore5)            \
    INT64(playerScore6) INT64(playerScore7) INT64(playerScore8) INT64(playerScore9)            \
    INT64(perkPrimaryStyle) INT64(perkSubStyle) INT64(perk0) INT64(perk0Var1) INT64(perk0Var2) \
    INT64(perk0Var3) INT64(perk1) INT64(perk1Var1) INT64(perk1Var2) INT64(perk1Var3)           \
    INT64(perk2) INT64(perk2Var1) INT64(perk2Var2) INT64(perk2Var3) INT64(perk3)               \
    INT64(perk3Var1) INT64(perk3Var2) INT64(perk3Var3) INT64(perk4) INT64(perk4Var1)           \
    INT64(perk4Var2) INT64(perk4Var3) INT64(perk5) INT64(perk5Var1) INT64(perk5Var2)           \
    INT64(perk5Var3)

#define KZO_BENCH_DECLARE_UINT16(name) uint16_t name = 0;
#define KZO_BENCH_DECLARE_BOOL(name) bool name = false;
#define KZO_BENCH_DECLARE_INT64(name) int64_t name = 0;

struct MatchHistoryParticipantStatistics {
    KZO_BENCH_STATISTICS(KZO_BENCH_DECLARE_UINT16, KZO_BENCH_DECLARE_BOOL,
                         KZO_BENCH_DECLARE_INT64)
};

#define KZO_BENCH_COUNT_FIELD(name) +1
inline constexpr int kStatisticsFieldCount =
    0 KZO_BENCH_STATISTICS(KZO_BENCH_COUNT_FIELD, KZO_BENCH_COUNT_FIELD, KZO_BENCH_COUNT_FIELD);
static_assert(kStatisticsFieldCount == 106);

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

struct MatchHistoryParticipantIdentities {
    uint16_t participantId = 0;
    MatchHistoryParticipantIdentityPlayer player;
};

struct MatchHistoryGame {
    uint64_t gameId = 0;
    std::string platformId;
    uint64_t gameCreation = 0;
    std::string gameCreationDate;
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

inline void RegisterGameRecords(BindingTypeRegistry& registry) {
    const std::vector<std::string> tags = {"kzo-match-history"};
    BindingTypeBuilder<MatchHistoryTimeline>(registry, "KzoMatchHistoryMatchHistoryTimeline")
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

#define KZO_BENCH_REGISTER(name) .Field(#name, &MatchHistoryParticipantStatistics::name)
    BindingTypeBuilder<MatchHistoryParticipantStatistics>(
        registry, "KzoMatchHistoryMatchHistoryParticipantStatistics")
        KZO_BENCH_STATISTICS(KZO_BENCH_REGISTER, KZO_BENCH_REGISTER, KZO_BENCH_REGISTER)
            .Finish(tags);
#undef KZO_BENCH_REGISTER

    using Player = MatchHistoryParticipantIdentityPlayer;
    BindingTypeBuilder<Player>(registry, "KzoMatchHistoryMatchHistoryParticipantIdentityPlayer")
        .Field("platformId", &Player::platformId)
        .Field("accountId", &Player::accountId)
        .Field("summonerId", &Player::summonerId)
        .Field("summonerName", &Player::summonerName)
        .Field("currentPlatformId", &Player::currentPlatformId)
        .Field("currentAccountId", &Player::currentAccountId)
        .Field("matchHistoryUri", &Player::matchHistoryUri)
        .Field("profileIcon", &Player::profileIcon)
        .Finish(tags);
    using Identities = MatchHistoryParticipantIdentities;
    BindingTypeBuilder<Identities>(registry, "KzoMatchHistoryMatchHistoryParticipantIdentities")
        .Field("participantId", &Identities::participantId)
        .Field("player", &Identities::player)
        .Finish(tags);
    using Participant = MatchHistoryParticipant;
    BindingTypeBuilder<Participant>(registry, "KzoMatchHistoryMatchHistoryParticipant")
        .Field("participantId", &Participant::participantId)
        .Field("teamId", &Participant::teamId)
        .Field("championId", &Participant::championId)
        .Field("spell1Id", &Participant::spell1Id)
        .Field("spell2Id", &Participant::spell2Id)
        .Field("highestAchievedSeasonTier", &Participant::highestAchievedSeasonTier)
        .Field("stats", &Participant::stats)
        .Field("timeline", &Participant::timeline)
        .Finish(tags);
    BindingTypeBuilder<MatchHistoryTeamBan>(registry, "KzoMatchHistoryMatchHistoryTeamBan")
        .Field("championId", &MatchHistoryTeamBan::championId)
        .Field("pickTurn", &MatchHistoryTeamBan::pickTurn)
        .Finish(tags);
    using Team = MatchHistoryTeam;
    BindingTypeBuilder<Team>(registry, "KzoMatchHistoryMatchHistoryTeam")
        .Field("teamId", &Team::teamId)
        .Field("win", &Team::win)
        .Field("firstBlood", &Team::firstBlood)
        .Field("firstTower", &Team::firstTower)
        .Field("firstInhibitor", &Team::firstInhibitor)
        .Field("firstBaron", &Team::firstBaron)
        .Field("firstDargon", &Team::firstDargon)
        .Field("towerKills", &Team::towerKills)
        .Field("inhibitorKills", &Team::inhibitorKills)
        .Field("baronKills", &Team::baronKills)
        .Field("dragonKills", &Team::dragonKills)
        .Field("vilemawKills", &Team::vilemawKills)
        .Field("dominionVictoryScore", &Team::dominionVictoryScore)
        .Field("bans", &Team::bans)
        .Finish(tags);
    using Game = MatchHistoryGame;
    BindingTypeBuilder<Game>(registry, "KzoMatchHistoryMatchHistoryGame")
        .Field("gameId", &Game::gameId)
        .Field("platformId", &Game::platformId)
        .Field("gameCreation", &Game::gameCreation)
        .Field("gameCreationDate", &Game::gameCreationDate)
        .Field("gameDuration", &Game::gameDuration)
        .Field("queueId", &Game::queueId)
        .Field("mapId", &Game::mapId)
        .Field("seasonId", &Game::seasonId)
        .Field("gameVersion", &Game::gameVersion)
        .Field("gameMode", &Game::gameMode)
        .Field("gameType", &Game::gameType)
        .Field("teams", &Game::teams)
        .Field("participants", &Game::participants)
        .Field("participantIdentities", &Game::participantIdentities)
        .Finish(tags);
}

}  // namespace Nimbel::bench
