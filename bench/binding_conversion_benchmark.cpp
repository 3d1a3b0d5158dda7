// Cost of converting one game record (2 teams with bans, 10 participants each
// with 106 statistics and a timeline of per-minute maps, 10 identities)
// between its native records and the generic value, in both directions: time
// per game and heap calls per game (from the library's allocator counters,
// which see every operator new of this program). Beside them, the same game
// converted by hand-written code to and from a RapidJSON document, what a
// user without a registry would otherwise write.
//
// Argument "warm" 1: a page of each of four regions of the value arenas' page
// source stays taken throughout, as the long-lived values of a running plug-in
// keep theirs, so values draw pages from regions that stay mapped. With 0 each
// iteration also maps and unmaps the regions its values use.
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "bench_support.h"
#include "binding/binding_status.h"
#include "binding/binding_type_registry.h"
#include "binding/internal/page_source.h"
#include "binding/native_to_value.h"
#include "binding/value_to_native.h"
#include "codecs/internal/counted_json_allocator.h"
#include "diagnostics/allocator.h"
#include "match_history/match_history_records.h"
#include "match_history/match_history_registration.h"

namespace Nimbel::bench {
namespace {

using namespace Client::MatchHistory::Api;

// ---- Measuring --------------------------------------------------------------

void ReportPerGame(benchmark::State& state, const HeapCalls& heap) {
    const auto games = static_cast<double>(state.iterations());
    state.counters["allocs/game"] = static_cast<double>(heap.Allocations()) / games;
    state.counters["frees/game"] = static_cast<double>(heap.Frees()) / games;
}

// ---- The game ---------------------------------------------------------------

void FillDeltas(std::unordered_map<std::string, double>& deltas, double base) {
    deltas = {{"0-10", base}, {"10-20", base + 1.5}, {"20-30", base + 2.25}, {"30-end", base + 3}};
}

void Fill(uint16_t& field, int64_t n) {
    field = static_cast<uint16_t>(n % 60000);
}
void Fill(bool& field, int64_t n) {
    field = (n % 3) == 0;
}
void Fill(int64_t& field, int64_t n) {
    field = n * 37;
}

MatchHistoryParticipantStatistics Statistics(int participant) {
    MatchHistoryParticipantStatistics stats;
    int64_t next = participant * 1000;
#define KZO_BENCH_FILL(type, name) Fill(stats.name, next++);
    KZO_PARTICIPANT_STATISTICS_FIELDS(KZO_BENCH_FILL)
#undef KZO_BENCH_FILL
    return stats;
}

MatchHistoryGame MakeGame() {
    MatchHistoryGame game;
    game.gameId = 3037071829;
    game.platformId = "EUW1";
    game.gameCreation = 1700000000000;
    game.gameCreationDate = "2023-11-14T22:13:20.000Z";
    game.gameDuration = 1834;
    game.queueId = 420;
    game.mapId = 11;
    game.seasonId = 13;
    game.gameVersion = "13.21.541.7741";
    game.gameMode = "CLASSIC";
    game.gameType = "MATCHED_GAME";
    for (uint16_t t = 0; t < 2; ++t) {
        MatchHistoryTeam& team = game.teams.emplace_back();
        team.teamId = static_cast<uint16_t>(100 * (t + 1));
        team.win = t == 0 ? "Win" : "Fail";
        team.firstBlood = team.firstTower = team.firstDargon = t == 0;
        team.towerKills = 7u + t;
        team.dragonKills = 2u + t;
        for (uint16_t b = 0; b < 5; ++b) {
            team.bans.push_back({b * 7 + t, static_cast<uint16_t>(b + 1)});
        }
    }
    for (int p = 0; p < 10; ++p) {
        MatchHistoryParticipant& participant = game.participants.emplace_back();
        participant.participantId = static_cast<uint16_t>(p + 1);
        participant.teamId = p < 5 ? 100 : 200;
        participant.championId = p * 11;
        participant.spell1Id = 4;
        participant.spell2Id = 14;
        participant.highestAchievedSeasonTier = "GOLD";
        participant.stats = Statistics(p);
        MatchHistoryTimeline& timeline = participant.timeline;
        timeline.participantId = participant.participantId;
        timeline.role = "SOLO";
        timeline.lane = "TOP";
        FillDeltas(timeline.creepsPerMinDeltas, p);
        FillDeltas(timeline.xpPerMinDeltas, p * 10.0);
        FillDeltas(timeline.goldPerMinDeltas, p * 20.0);
        FillDeltas(timeline.damageTakenPerMinDeltas, p * 30.0);
        MatchHistoryParticipantIdentities& identity = game.participantIdentities.emplace_back();
        identity.participantId = participant.participantId;
        MatchHistoryParticipantIdentityPlayer& player = identity.player;
        player.platformId = "EUW1";
        player.accountId = 200000000u + static_cast<uint64_t>(p);
        player.summonerId = 300000000u + static_cast<uint64_t>(p);
        player.summonerName = "Summoner " + std::to_string(p);
        player.currentPlatformId = "EUW1";
        player.currentAccountId = player.accountId;
        player.matchHistoryUri = "/v1/stats/player_history/EUW1/" + std::to_string(p);
        player.profileIcon = 3000 + p;
    }
    return game;
}

const BindingTypeRegistry& GameRegistry() {
    static const BindingTypeRegistry* registry = [] {
        static BindingTypeRegistry instance;
        const std::vector<std::string> tags = {"Plugins", "Plugin kzo-match-history"};
        Client::MatchHistory::RegisterApiRecords(instance, "KzoMatchHistory", tags);
        return &instance;
    }();
    return *registry;
}

BindingProperty GameValue(const MatchHistoryGame& game) {
    BindingStatus status;
    NativeToValue(status, game, GameRegistry());
    if (!status.Ok()) std::abort();
    return std::move(status.Value());
}

// ---- Through the registry ---------------------------------------------------

void BM_GameValueToNative(benchmark::State& state) {
    const WarmPageSource warm(state);
    const BindingProperty value = GameValue(MakeGame());
    HeapCalls heap;
    for (auto _ : state) {
        MatchHistoryGame game;
        BindingStatus status;
        ValueToNative(status, game, value, "<result>", GameRegistry());
        benchmark::DoNotOptimize(game);
        if (!status.Ok()) state.SkipWithError("conversion failed");
    }
    heap.Stop();
    ReportPerGame(state, heap);
}
BENCHMARK(BM_GameValueToNative)->Unit(benchmark::kMicrosecond)->ArgName("warm")->Arg(0)->Arg(1);

void BM_GameNativeToValue(benchmark::State& state) {
    const WarmPageSource warm(state);
    const MatchHistoryGame game = MakeGame();
    HeapCalls heap;
    for (auto _ : state) {
        BindingStatus status;
        NativeToValue(status, game, GameRegistry());
        benchmark::DoNotOptimize(status.Value());
        if (!status.Ok()) state.SkipWithError("conversion failed");
    }
    heap.Stop();
    ReportPerGame(state, heap);
}
BENCHMARK(BM_GameNativeToValue)->Unit(benchmark::kMicrosecond)->ArgName("warm")->Arg(0)->Arg(1);

// ---- By hand, with RapidJSON ------------------------------------------------

using CountedBaseAllocator = internal::CountedJsonAllocator;

using PoolAllocator = rapidjson::MemoryPoolAllocator<CountedBaseAllocator>;
using JsonDocument =
    rapidjson::GenericDocument<rapidjson::UTF8<>, PoolAllocator, CountedBaseAllocator>;
using JsonValue = rapidjson::GenericValue<rapidjson::UTF8<>, PoolAllocator>;

// Writing: member names are static texts, passed by reference; texts are copied.
class JsonWriter {
public:
    explicit JsonWriter(PoolAllocator& allocator) : allocator_(allocator) {}

    void Add(JsonValue& object, const char* name, JsonValue value) {
        object.AddMember(rapidjson::StringRef(name), value, allocator_);
    }
    void Add(JsonValue& object, const char* name, int64_t value) {
        Add(object, name, JsonValue(value));
    }
    void Add(JsonValue& object, const char* name, uint64_t value) {
        Add(object, name, JsonValue(value));
    }
    void Add(JsonValue& object, const char* name, bool value) {
        Add(object, name, JsonValue(value));
    }
    void Add(JsonValue& object, const char* name, const std::string& value) {
        Add(object, name, Text(value));
    }
    void Add(JsonValue& object, const char* name,
             const std::unordered_map<std::string, double>& deltas) {
        JsonValue map(rapidjson::kObjectType);
        for (const auto& [key, delta] : deltas)
            map.AddMember(Text(key), JsonValue(delta), allocator_);
        Add(object, name, std::move(map));
    }
    [[nodiscard]] JsonValue Text(const std::string& text) {
        return JsonValue(text.data(), static_cast<rapidjson::SizeType>(text.size()), allocator_);
    }
    [[nodiscard]] PoolAllocator& Allocator() { return allocator_; }

private:
    PoolAllocator& allocator_;
};

uint64_t Widened(uint16_t value) {
    return value;
}
bool Widened(bool value) {
    return value;
}
int64_t Widened(int64_t value) {
    return value;
}

JsonValue StatisticsToJson(JsonWriter& writer, const MatchHistoryParticipantStatistics& stats) {
    JsonValue object(rapidjson::kObjectType);
#define KZO_BENCH_WRITE(type, name) writer.Add(object, #name, Widened(stats.name));
    KZO_PARTICIPANT_STATISTICS_FIELDS(KZO_BENCH_WRITE)
#undef KZO_BENCH_WRITE
    return object;
}

void GameToJson(JsonWriter& writer, const MatchHistoryGame& game, JsonValue& out) {
    out.SetObject();
    writer.Add(out, "gameId", game.gameId);
    writer.Add(out, "platformId", game.platformId);
    writer.Add(out, "gameCreation", game.gameCreation);
    writer.Add(out, "gameCreationDate", game.gameCreationDate);
    writer.Add(out, "gameDuration", uint64_t{game.gameDuration});
    writer.Add(out, "queueId", int64_t{game.queueId});
    writer.Add(out, "mapId", uint64_t{game.mapId});
    writer.Add(out, "seasonId", uint64_t{game.seasonId});
    writer.Add(out, "gameVersion", game.gameVersion);
    writer.Add(out, "gameMode", game.gameMode);
    writer.Add(out, "gameType", game.gameType);
    JsonValue teams(rapidjson::kArrayType);
    for (const MatchHistoryTeam& team : game.teams) {
        JsonValue object(rapidjson::kObjectType);
        writer.Add(object, "teamId", uint64_t{team.teamId});
        writer.Add(object, "win", team.win);
        writer.Add(object, "firstBlood", team.firstBlood);
        writer.Add(object, "firstTower", team.firstTower);
        writer.Add(object, "firstInhibitor", team.firstInhibitor);
        writer.Add(object, "firstBaron", team.firstBaron);
        writer.Add(object, "firstDargon", team.firstDargon);
        writer.Add(object, "towerKills", uint64_t{team.towerKills});
        writer.Add(object, "inhibitorKills", uint64_t{team.inhibitorKills});
        writer.Add(object, "baronKills", uint64_t{team.baronKills});
        writer.Add(object, "dragonKills", uint64_t{team.dragonKills});
        writer.Add(object, "vilemawKills", uint64_t{team.vilemawKills});
        writer.Add(object, "dominionVictoryScore", uint64_t{team.dominionVictoryScore});
        JsonValue bans(rapidjson::kArrayType);
        for (const MatchHistoryTeamBan& ban : team.bans) {
            JsonValue entry(rapidjson::kObjectType);
            writer.Add(entry, "championId", int64_t{ban.championId});
            writer.Add(entry, "pickTurn", uint64_t{ban.pickTurn});
            bans.PushBack(entry, writer.Allocator());
        }
        writer.Add(object, "bans", std::move(bans));
        teams.PushBack(object, writer.Allocator());
    }
    writer.Add(out, "teams", std::move(teams));
    JsonValue participants(rapidjson::kArrayType);
    for (const MatchHistoryParticipant& participant : game.participants) {
        JsonValue object(rapidjson::kObjectType);
        writer.Add(object, "participantId", uint64_t{participant.participantId});
        writer.Add(object, "teamId", uint64_t{participant.teamId});
        writer.Add(object, "championId", int64_t{participant.championId});
        writer.Add(object, "spell1Id", uint64_t{participant.spell1Id});
        writer.Add(object, "spell2Id", uint64_t{participant.spell2Id});
        writer.Add(object, "highestAchievedSeasonTier", participant.highestAchievedSeasonTier);
        writer.Add(object, "stats", StatisticsToJson(writer, participant.stats));
        const MatchHistoryTimeline& timeline = participant.timeline;
        JsonValue line(rapidjson::kObjectType);
        writer.Add(line, "participantId", uint64_t{timeline.participantId});
        writer.Add(line, "role", timeline.role);
        writer.Add(line, "lane", timeline.lane);
        writer.Add(line, "creepsPerMinDeltas", timeline.creepsPerMinDeltas);
        writer.Add(line, "xpPerMinDeltas", timeline.xpPerMinDeltas);
        writer.Add(line, "goldPerMinDeltas", timeline.goldPerMinDeltas);
        writer.Add(line, "csDiffPerMinDeltas", timeline.csDiffPerMinDeltas);
        writer.Add(line, "xpDiffPerMinDeltas", timeline.xpDiffPerMinDeltas);
        writer.Add(line, "damageTakenPerMinDeltas", timeline.damageTakenPerMinDeltas);
        writer.Add(line, "damageTakenDiffPerMinDeltas", timeline.damageTakenDiffPerMinDeltas);
        writer.Add(object, "timeline", std::move(line));
        participants.PushBack(object, writer.Allocator());
    }
    writer.Add(out, "participants", std::move(participants));
    JsonValue identities(rapidjson::kArrayType);
    for (const MatchHistoryParticipantIdentities& identity : game.participantIdentities) {
        JsonValue object(rapidjson::kObjectType);
        writer.Add(object, "participantId", uint64_t{identity.participantId});
        const MatchHistoryParticipantIdentityPlayer& player = identity.player;
        JsonValue entry(rapidjson::kObjectType);
        writer.Add(entry, "platformId", player.platformId);
        writer.Add(entry, "accountId", player.accountId);
        writer.Add(entry, "summonerId", player.summonerId);
        writer.Add(entry, "summonerName", player.summonerName);
        writer.Add(entry, "currentPlatformId", player.currentPlatformId);
        writer.Add(entry, "currentAccountId", player.currentAccountId);
        writer.Add(entry, "matchHistoryUri", player.matchHistoryUri);
        writer.Add(entry, "profileIcon", int64_t{player.profileIcon});
        writer.Add(object, "player", std::move(entry));
        identities.PushBack(object, writer.Allocator());
    }
    writer.Add(out, "participantIdentities", std::move(identities));
}

// Reading: a missing member or one of another type leaves the field alone;
// integers are range-checked, as the registry's conversion does.
template <class Int>
bool ReadInteger(const JsonValue& object, const char* name, Int& target) {
    const auto member = object.FindMember(name);
    if (member == object.MemberEnd() || member->value.IsNull()) return true;
    if (member->value.IsInt64()) {
        const int64_t value = member->value.GetInt64();
        if (!std::in_range<Int>(value)) return false;
        target = static_cast<Int>(value);
        return true;
    }
    if (!member->value.IsUint64() || !std::in_range<Int>(member->value.GetUint64())) return false;
    target = static_cast<Int>(member->value.GetUint64());
    return true;
}

bool ReadBool(const JsonValue& object, const char* name, bool& target) {
    const auto member = object.FindMember(name);
    if (member == object.MemberEnd() || member->value.IsNull()) return true;
    if (!member->value.IsBool()) return false;
    target = member->value.GetBool();
    return true;
}

bool ReadText(const JsonValue& object, const char* name, std::string& target) {
    const auto member = object.FindMember(name);
    if (member == object.MemberEnd() || member->value.IsNull()) return true;
    if (!member->value.IsString()) return false;
    target.assign(member->value.GetString(), member->value.GetStringLength());
    return true;
}

bool ReadDeltas(const JsonValue& object, const char* name,
                std::unordered_map<std::string, double>& target) {
    target.clear();
    const auto member = object.FindMember(name);
    if (member == object.MemberEnd() || !member->value.IsObject()) return false;
    for (const auto& entry : member->value.GetObject()) {
        if (!entry.value.IsNumber()) return false;
        target.emplace(std::string(entry.name.GetString(), entry.name.GetStringLength()),
                       entry.value.GetDouble());
    }
    return true;
}

const JsonValue* ReadArray(const JsonValue& object, const char* name) {
    const auto member = object.FindMember(name);
    if (member == object.MemberEnd() || !member->value.IsArray()) return nullptr;
    return &member->value;
}

template <class Int>
bool ReadField(const JsonValue& object, const char* name, Int& target) {
    return ReadInteger(object, name, target);
}
bool ReadField(const JsonValue& object, const char* name, bool& target) {
    return ReadBool(object, name, target);
}

bool StatisticsFromJson(const JsonValue& object, MatchHistoryParticipantStatistics& stats) {
    bool ok = object.IsObject();
#define KZO_BENCH_READ(type, name) ok = ok && ReadField(object, #name, stats.name);
    KZO_PARTICIPANT_STATISTICS_FIELDS(KZO_BENCH_READ)
#undef KZO_BENCH_READ
    return ok;
}

bool TeamFromJson(const JsonValue& object, MatchHistoryTeam& team) {
    bool ok = object.IsObject() && ReadInteger(object, "teamId", team.teamId) &&
              ReadText(object, "win", team.win) &&
              ReadBool(object, "firstBlood", team.firstBlood) &&
              ReadBool(object, "firstTower", team.firstTower) &&
              ReadBool(object, "firstInhibitor", team.firstInhibitor) &&
              ReadBool(object, "firstBaron", team.firstBaron) &&
              ReadBool(object, "firstDargon", team.firstDargon) &&
              ReadInteger(object, "towerKills", team.towerKills) &&
              ReadInteger(object, "inhibitorKills", team.inhibitorKills) &&
              ReadInteger(object, "baronKills", team.baronKills) &&
              ReadInteger(object, "dragonKills", team.dragonKills) &&
              ReadInteger(object, "vilemawKills", team.vilemawKills) &&
              ReadInteger(object, "dominionVictoryScore", team.dominionVictoryScore);
    const JsonValue* bans = ReadArray(object, "bans");
    if (!ok || bans == nullptr) return false;
    team.bans.resize(bans->Size());
    for (rapidjson::SizeType i = 0; ok && i < bans->Size(); ++i) {
        const JsonValue& ban = (*bans)[i];
        ok = ban.IsObject() && ReadInteger(ban, "championId", team.bans[i].championId) &&
             ReadInteger(ban, "pickTurn", team.bans[i].pickTurn);
    }
    return ok;
}

bool ParticipantFromJson(const JsonValue& object, MatchHistoryParticipant& participant) {
    if (!object.IsObject()) return false;
    const auto timelineMember = object.FindMember("timeline");
    const auto statsMember = object.FindMember("stats");
    if (timelineMember == object.MemberEnd() || statsMember == object.MemberEnd()) return false;
    const JsonValue& line = timelineMember->value;
    MatchHistoryTimeline& timeline = participant.timeline;
    return ReadInteger(object, "participantId", participant.participantId) &&
           ReadInteger(object, "teamId", participant.teamId) &&
           ReadInteger(object, "championId", participant.championId) &&
           ReadInteger(object, "spell1Id", participant.spell1Id) &&
           ReadInteger(object, "spell2Id", participant.spell2Id) &&
           ReadText(object, "highestAchievedSeasonTier", participant.highestAchievedSeasonTier) &&
           StatisticsFromJson(statsMember->value, participant.stats) && line.IsObject() &&
           ReadInteger(line, "participantId", timeline.participantId) &&
           ReadText(line, "role", timeline.role) && ReadText(line, "lane", timeline.lane) &&
           ReadDeltas(line, "creepsPerMinDeltas", timeline.creepsPerMinDeltas) &&
           ReadDeltas(line, "xpPerMinDeltas", timeline.xpPerMinDeltas) &&
           ReadDeltas(line, "goldPerMinDeltas", timeline.goldPerMinDeltas) &&
           ReadDeltas(line, "csDiffPerMinDeltas", timeline.csDiffPerMinDeltas) &&
           ReadDeltas(line, "xpDiffPerMinDeltas", timeline.xpDiffPerMinDeltas) &&
           ReadDeltas(line, "damageTakenPerMinDeltas", timeline.damageTakenPerMinDeltas) &&
           ReadDeltas(line, "damageTakenDiffPerMinDeltas", timeline.damageTakenDiffPerMinDeltas);
}

bool IdentityFromJson(const JsonValue& object, MatchHistoryParticipantIdentities& identity) {
    if (!object.IsObject()) return false;
    const auto playerMember = object.FindMember("player");
    if (playerMember == object.MemberEnd() || !playerMember->value.IsObject()) return false;
    const JsonValue& entry = playerMember->value;
    MatchHistoryParticipantIdentityPlayer& player = identity.player;
    return ReadInteger(object, "participantId", identity.participantId) &&
           ReadText(entry, "platformId", player.platformId) &&
           ReadInteger(entry, "accountId", player.accountId) &&
           ReadInteger(entry, "summonerId", player.summonerId) &&
           ReadText(entry, "summonerName", player.summonerName) &&
           ReadText(entry, "currentPlatformId", player.currentPlatformId) &&
           ReadInteger(entry, "currentAccountId", player.currentAccountId) &&
           ReadText(entry, "matchHistoryUri", player.matchHistoryUri) &&
           ReadInteger(entry, "profileIcon", player.profileIcon);
}

template <class Record, class Reader>
bool ReadRecords(const JsonValue& object, const char* name, std::vector<Record>& target,
                 Reader read) {
    const JsonValue* array = ReadArray(object, name);
    if (array == nullptr) return false;
    target.resize(array->Size());
    for (rapidjson::SizeType i = 0; i < array->Size(); ++i) {
        if (!read((*array)[i], target[i])) return false;
    }
    return true;
}

bool GameFromJson(const JsonValue& object, MatchHistoryGame& game) {
    return object.IsObject() && ReadInteger(object, "gameId", game.gameId) &&
           ReadText(object, "platformId", game.platformId) &&
           ReadInteger(object, "gameCreation", game.gameCreation) &&
           ReadText(object, "gameCreationDate", game.gameCreationDate) &&
           ReadInteger(object, "gameDuration", game.gameDuration) &&
           ReadInteger(object, "queueId", game.queueId) &&
           ReadInteger(object, "mapId", game.mapId) &&
           ReadInteger(object, "seasonId", game.seasonId) &&
           ReadText(object, "gameVersion", game.gameVersion) &&
           ReadText(object, "gameMode", game.gameMode) &&
           ReadText(object, "gameType", game.gameType) &&
           ReadRecords(object, "teams", game.teams, TeamFromJson) &&
           ReadRecords(object, "participants", game.participants, ParticipantFromJson) &&
           ReadRecords(object, "participantIdentities", game.participantIdentities,
                       IdentityFromJson);
}

void BM_GameValueToNative_RapidJsonByHand(benchmark::State& state) {
    JsonDocument document;
    JsonWriter writer(document.GetAllocator());
    GameToJson(writer, MakeGame(), document);
    HeapCalls heap;
    for (auto _ : state) {
        MatchHistoryGame game;
        const bool ok = GameFromJson(document, game);
        benchmark::DoNotOptimize(game);
        if (!ok) state.SkipWithError("conversion failed");
    }
    heap.Stop();
    ReportPerGame(state, heap);
}
BENCHMARK(BM_GameValueToNative_RapidJsonByHand)->Unit(benchmark::kMicrosecond);

void BM_GameNativeToValue_RapidJsonByHand(benchmark::State& state) {
    const MatchHistoryGame game = MakeGame();
    HeapCalls heap;
    for (auto _ : state) {
        JsonDocument document;
        JsonWriter writer(document.GetAllocator());
        GameToJson(writer, game, document);
        benchmark::DoNotOptimize(document);
    }
    heap.Stop();
    ReportPerGame(state, heap);
}
BENCHMARK(BM_GameNativeToValue_RapidJsonByHand)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace Nimbel::bench
