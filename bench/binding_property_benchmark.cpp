// Cost of building, copying and clearing BindingProperty trees: time per node
// and heap allocations per node (from the library's allocator counters),
// beside RapidJSON's pooled document, the dynamic value a user would
// otherwise pick, given a base allocator that goes through the same counters.
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>

#include <cstdint>
#include <string>
#include <vector>

#include "bench_support.h"
#include "binding/binding_property.h"
#include "binding/binding_visitor.h"
#include "binding/internal/page_source.h"
#include "codecs/internal/counted_json_allocator.h"
#include "diagnostics/allocator.h"

namespace Nimbel {
namespace {

using bench::HeapCalls;
using bench::NodeCounter;
using bench::WarmPageSource;

// ---- Measuring --------------------------------------------------------------

void ReportPerNode(benchmark::State& state, size_t nodesPerIteration, const HeapCalls& heap) {
    const auto nodes = static_cast<double>(nodesPerIteration);
    const auto totalNodes = nodes * static_cast<double>(state.iterations());
    state.counters["nodes"] = nodes;
    // Seconds per node; printed with an SI prefix ("n" is nanoseconds).
    state.counters["time/node"] = benchmark::Counter(
        nodes, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["allocs/node"] = static_cast<double>(heap.Allocations()) / totalNodes;
    state.counters["frees/node"] = static_cast<double>(heap.Frees()) / totalNodes;
}

size_t CountNodes(const BindingProperty& value) {
    NodeCounter counter;
    value.Visit(counter);
    return counter.nodes;
}

// ---- RapidJSON through the counted allocator --------------------------------

using CountedBaseAllocator = internal::CountedJsonAllocator;

using PoolAllocator = rapidjson::MemoryPoolAllocator<CountedBaseAllocator>;
using JsonDocument =
    rapidjson::GenericDocument<rapidjson::UTF8<>, PoolAllocator, CountedBaseAllocator>;
using JsonValue = rapidjson::GenericValue<rapidjson::UTF8<>, PoolAllocator>;

// ---- Inputs -----------------------------------------------------------------

std::vector<std::string> MemberNames(size_t count, const char* prefix) {
    std::vector<std::string> names;
    for (size_t i = 0; i < count; ++i) names.push_back(prefix + std::to_string(i));
    return names;
}

// The numeric statistics of one participant: 106 members, as in a game record.
const std::vector<std::string>& StatNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> list = {"assists",
                                         "champLevel",
                                         "combatPlayerScore",
                                         "damageDealtToObjectives",
                                         "damageDealtToTurrets",
                                         "damageSelfMitigated",
                                         "deaths",
                                         "doubleKills",
                                         "firstBloodAssist",
                                         "firstBloodKill",
                                         "goldEarned",
                                         "goldSpent",
                                         "inhibitorKills",
                                         "item0",
                                         "item1",
                                         "item2",
                                         "item3",
                                         "item4",
                                         "item5",
                                         "item6",
                                         "killingSprees",
                                         "kills",
                                         "largestCriticalStrike",
                                         "largestKillingSpree",
                                         "largestMultiKill",
                                         "longestTimeSpentLiving",
                                         "magicDamageDealt",
                                         "magicDamageDealtToChampions",
                                         "magicalDamageTaken",
                                         "neutralMinionsKilled",
                                         "neutralMinionsKilledEnemyJungle",
                                         "neutralMinionsKilledTeamJungle",
                                         "objectivePlayerScore",
                                         "participantId",
                                         "pentaKills",
                                         "physicalDamageDealt",
                                         "physicalDamageDealtToChampions",
                                         "physicalDamageTaken",
                                         "quadraKills",
                                         "sightWardsBoughtInGame",
                                         "timeCCingOthers",
                                         "totalDamageDealt",
                                         "totalDamageDealtToChampions",
                                         "totalDamageTaken",
                                         "totalHeal",
                                         "totalMinionsKilled",
                                         "totalPlayerScore",
                                         "totalScoreRank",
                                         "totalTimeCrowdControlDealt",
                                         "totalUnitsHealed",
                                         "tripleKills",
                                         "trueDamageDealt",
                                         "trueDamageDealtToChampions",
                                         "trueDamageTaken",
                                         "turretKills",
                                         "unrealKills",
                                         "visionScore",
                                         "visionWardsBoughtInGame",
                                         "wardsKilled",
                                         "wardsPlaced"};
        for (int perk = 0; list.size() < 106; ++perk) {
            list.push_back("perk" + std::to_string(perk / 4) + "Var" + std::to_string(perk % 4));
        }
        return list;
    }();
    return names;
}

void AddDeltas(BindingProperty& record) {
    for (const char* name : {"0-10", "10-20", "20-30", "30-end"}) record[name] = 3.25;
}

// A game record: teams with bans, ten participants each with 106 numeric
// statistics, a timeline with per-minute deltas, runes and masteries, and the
// participants' identities. About two thousand nodes.
BindingProperty GameTree() {
    BindingProperty game;
    game["gameId"] = uint64_t{4242424242};
    game["platformId"] = "EUW1";
    game["gameCreation"] = uint64_t{1700000000000};
    game["gameDuration"] = int64_t{1834};
    game["queueId"] = int64_t{420};
    game["mapId"] = int64_t{11};
    game["seasonId"] = int64_t{13};
    game["gameVersion"] = "13.21.541.7741";
    game["gameMode"] = "CLASSIC";
    game["gameType"] = "MATCHED_GAME";
    for (int t = 0; t < 2; ++t) {
        BindingProperty& team = game["teams"].Append();
        team["teamId"] = int64_t{100 * (t + 1)};
        team["win"] = t == 0 ? "Win" : "Fail";
        for (const char* flag : {"firstBlood", "firstTower", "firstInhibitor", "firstBaron",
                                 "firstDragon", "firstRiftHerald"}) {
            team[flag] = t == 0;
        }
        for (const char* count : {"towerKills", "inhibitorKills", "baronKills", "dragonKills",
                                  "vilemawKills", "riftHeraldKills", "dominionVictoryScore"}) {
            team[count] = int64_t{t + 2};
        }
        for (int b = 0; b < 5; ++b) {
            BindingProperty& ban = team["bans"].Append();
            ban["championId"] = int64_t{b * 7 + t};
            ban["pickTurn"] = int64_t{b + 1};
        }
    }
    for (int p = 0; p < 10; ++p) {
        BindingProperty& participant = game["participants"].Append();
        participant["participantId"] = int64_t{p + 1};
        participant["teamId"] = int64_t{p < 5 ? 100 : 200};
        participant["championId"] = int64_t{p * 11};
        participant["spell1Id"] = int64_t{4};
        participant["spell2Id"] = int64_t{14};
        participant["highestAchievedSeasonTier"] = "GOLD";
        BindingProperty& stats = participant["stats"];
        int64_t value = p;
        for (const std::string& name : StatNames()) stats[name] = value++;
        BindingProperty& timeline = participant["timeline"];
        timeline["participantId"] = int64_t{p + 1};
        timeline["role"] = "SOLO";
        timeline["lane"] = "TOP";
        AddDeltas(timeline["creepsPerMinDeltas"]);
        AddDeltas(timeline["xpPerMinDeltas"]);
        AddDeltas(timeline["goldPerMinDeltas"]);
        AddDeltas(timeline["damageTakenPerMinDeltas"]);
        for (int r = 0; r < 6; ++r) {
            BindingProperty& rune = participant["runes"].Append();
            rune["runeId"] = int64_t{5000 + r};
            rune["rank"] = int64_t{1};
        }
        for (int m = 0; m < 10; ++m) {
            BindingProperty& mastery = participant["masteries"].Append();
            mastery["masteryId"] = int64_t{6000 + m};
            mastery["rank"] = int64_t{m % 5};
        }
        BindingProperty& identity = game["participantIdentities"].Append();
        identity["participantId"] = int64_t{p + 1};
        BindingProperty& player = identity["player"];
        player["platformId"] = "EUW1";
        player["accountId"] = uint64_t{200000000 + static_cast<uint64_t>(p)};
        player["summonerName"] = "Summoner " + std::to_string(p);
        player["summonerId"] = uint64_t{300000000 + static_cast<uint64_t>(p)};
        player["currentPlatformId"] = "EUW1";
        player["currentAccountId"] = uint64_t{200000000 + static_cast<uint64_t>(p)};
        player["matchHistoryUri"] = "/v1/stats/player_history/EUW1/" + std::to_string(p);
        player["profileIcon"] = int64_t{3000 + p};
    }
    return game;
}

void ToRapidJson(const BindingProperty& value, JsonValue& out, PoolAllocator& allocator) {
    switch (value.Kind()) {
        case BindingPropertyKind::Bool:
            out.SetBool(value.GetBool());
            return;
        case BindingPropertyKind::Signed:
            out.SetInt64(value.GetSigned());
            return;
        case BindingPropertyKind::Unsigned:
            out.SetUint64(value.GetUnsigned());
            return;
        case BindingPropertyKind::Float:
            out.SetDouble(value.GetDouble());
            return;
        case BindingPropertyKind::String: {
            const std::string_view text = value.GetString();
            out.SetString(text.data(), static_cast<rapidjson::SizeType>(text.size()), allocator);
            return;
        }
        case BindingPropertyKind::Collection:
            out.SetArray();
            for (const BindingProperty& element : value.Elements()) {
                JsonValue converted;
                ToRapidJson(element, converted, allocator);
                out.PushBack(converted, allocator);
            }
            return;
        case BindingPropertyKind::Structure:
            out.SetObject();
            for (const BindingMember& member : value.Members()) {
                JsonValue name(member.Name().data(),
                               static_cast<rapidjson::SizeType>(member.Name().size()), allocator);
                JsonValue converted;
                ToRapidJson(member.Value(), converted, allocator);
                out.AddMember(name, converted, allocator);
            }
            return;
        default:
            out.SetNull();
            return;
    }
}

// ---- Building ---------------------------------------------------------------

void BM_BuildStructureOf100Members(benchmark::State& state) {
    const WarmPageSource warm(state);
    const std::vector<std::string> names = MemberNames(100, "member");
    HeapCalls heap;
    for (auto _ : state) {
        BindingProperty value;
        int64_t n = 0;
        for (const std::string& name : names) value[name] = n++;
        benchmark::DoNotOptimize(value);
    }
    heap.Stop();
    ReportPerNode(state, 101, heap);
}
BENCHMARK(BM_BuildStructureOf100Members)->ArgName("warm")->Arg(0)->Arg(1);

void BM_BuildStructureOf100Members_RapidJson(benchmark::State& state) {
    const std::vector<std::string> names = MemberNames(100, "member");
    HeapCalls heap;
    for (auto _ : state) {
        JsonDocument document;
        document.SetObject();
        int64_t n = 0;
        for (const std::string& name : names) {
            JsonValue key(name.data(), static_cast<rapidjson::SizeType>(name.size()),
                          document.GetAllocator());
            document.AddMember(key, JsonValue(n++), document.GetAllocator());
        }
        benchmark::DoNotOptimize(document);
    }
    heap.Stop();
    ReportPerNode(state, 101, heap);
}
BENCHMARK(BM_BuildStructureOf100Members_RapidJson);

void BM_BuildCollectionOf10000Values(benchmark::State& state) {
    HeapCalls heap;
    for (auto _ : state) {
        BindingProperty value;
        for (int64_t i = 0; i < 10000; ++i) value.Append() = i;
        benchmark::DoNotOptimize(value);
    }
    heap.Stop();
    ReportPerNode(state, 10001, heap);
}
BENCHMARK(BM_BuildCollectionOf10000Values);

void BM_BuildCollectionOf10000Values_Reserved(benchmark::State& state) {
    HeapCalls heap;
    for (auto _ : state) {
        BindingProperty value;
        value.MakeCollection();
        value.Reserve(10000);
        for (int64_t i = 0; i < 10000; ++i) value.Append() = i;
        benchmark::DoNotOptimize(value);
    }
    heap.Stop();
    ReportPerNode(state, 10001, heap);
}
BENCHMARK(BM_BuildCollectionOf10000Values_Reserved);

void BM_BuildCollectionOf10000Values_RapidJson(benchmark::State& state) {
    HeapCalls heap;
    for (auto _ : state) {
        JsonDocument document;
        document.SetArray();
        for (int64_t i = 0; i < 10000; ++i)
            document.PushBack(JsonValue(i), document.GetAllocator());
        benchmark::DoNotOptimize(document);
    }
    heap.Stop();
    ReportPerNode(state, 10001, heap);
}
BENCHMARK(BM_BuildCollectionOf10000Values_RapidJson);

// 100 records that repeat the same 20 member names: after the first record
// every name is a hit in the intern table.
void BM_InternRepeatedMemberNames(benchmark::State& state) {
    const WarmPageSource warm(state);
    const std::vector<std::string> names = MemberNames(20, "repeatedMemberName");
    HeapCalls heap;
    for (auto _ : state) {
        BindingProperty value;
        for (size_t record = 0; record < 100; ++record) {
            BindingProperty& element = value[record];
            for (const std::string& name : names) element[name] = true;
        }
        benchmark::DoNotOptimize(value);
    }
    heap.Stop();
    ReportPerNode(state, 1 + 100 * 21, heap);
}
BENCHMARK(BM_InternRepeatedMemberNames)->ArgName("warm")->Arg(0)->Arg(1);

void BM_BuildGameTree(benchmark::State& state) {
    const WarmPageSource warm(state);
    const size_t nodes = CountNodes(GameTree());
    HeapCalls heap;
    for (auto _ : state) {
        BindingProperty game = GameTree();
        benchmark::DoNotOptimize(game);
    }
    heap.Stop();
    ReportPerNode(state, nodes, heap);
}
BENCHMARK(BM_BuildGameTree)->ArgName("warm")->Arg(0)->Arg(1);

// ---- Copying and clearing ---------------------------------------------------

void BM_DeepCopyGameTree(benchmark::State& state) {
    const WarmPageSource warm(state);
    const BindingProperty game = GameTree();
    const size_t nodes = CountNodes(game);
    HeapCalls heap;
    for (auto _ : state) {
        BindingProperty copy = game;
        benchmark::DoNotOptimize(copy);
    }
    heap.Stop();
    ReportPerNode(state, nodes, heap);
}
BENCHMARK(BM_DeepCopyGameTree)->ArgName("warm")->Arg(0)->Arg(1);

void BM_DeepCopyGameTree_RapidJson(benchmark::State& state) {
    JsonDocument source;
    ToRapidJson(GameTree(), source, source.GetAllocator());
    const size_t nodes = CountNodes(GameTree());
    HeapCalls heap;
    for (auto _ : state) {
        JsonDocument copy;
        copy.CopyFrom(source, copy.GetAllocator());
        benchmark::DoNotOptimize(copy);
    }
    heap.Stop();
    ReportPerNode(state, nodes, heap);
}
BENCHMARK(BM_DeepCopyGameTree_RapidJson);

// Only the clearing is timed and counted; each copy is made while paused.
void BM_ClearGameTree(benchmark::State& state) {
    const WarmPageSource warm(state);
    const BindingProperty game = GameTree();
    const size_t nodes = CountNodes(game);
    HeapCalls heap;
    heap.Pause();
    for (auto _ : state) {
        state.PauseTiming();
        BindingProperty copy = game;
        heap.Resume();
        state.ResumeTiming();
        copy.Clear();
        heap.Pause();
    }
    ReportPerNode(state, nodes, heap);
}
BENCHMARK(BM_ClearGameTree)->ArgName("warm")->Arg(0)->Arg(1);

}  // namespace
}  // namespace Nimbel
