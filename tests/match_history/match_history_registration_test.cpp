#include "match_history/match_history_registration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "binding/native_to_value.h"
#include "binding/value_to_native.h"
#include "match_history/match_history_records.h"

namespace Nimbel::Client::MatchHistory {
namespace {

const std::vector<std::string> kTags = {"Plugins", "Plugin kzo-match-history"};

struct Registered {
    BindingTypeRegistry registry;
    Registered() {
        RegisterApiRecords(registry, "KzoMatchHistory", kTags);
        RegisterLcdsRecords(registry);
    }
    const BindingTypeDescription& Type(const std::string& name) const {
        const BindingTypeDescription* type = registry.FindType(name);
        EXPECT_NE(type, nullptr) << name;
        return *type;
    }
};

std::vector<std::string> FieldNames(const BindingTypeDescription& type) {
    std::vector<std::string> names;
    for (const auto& field : type.fields) names.push_back(field.name);
    return names;
}

TEST(MatchHistoryRegistrationTest, ApiRecordsCarryThePrefixAndTagsLcdsRecordsNeither) {
    const Registered r;
    const char* apiRecords[] = {"MatchHistoryPosition",
                                "MatchHistoryEvent",
                                "MatchHistoryParticipantFrame",
                                "MatchHistoryTimelineFrame",
                                "MatchHistoryTimelineFrames",
                                "MatchHistoryTimeline",
                                "MatchHistoryParticipantStatistics",
                                "MatchHistoryRune",
                                "MatchHistoryMastery",
                                "MatchHistoryParticipantIdentityPlayer",
                                "MatchHistoryParticipantIdentities",
                                "MatchHistoryParticipant",
                                "MatchHistoryTeamBan",
                                "MatchHistoryTeam",
                                "MatchHistoryPlayerPlatformDelta",
                                "MatchHistoryPlayerLeagueDelta",
                                "MatchHistoryPlayerChampMasteryDelta",
                                "MatchHistoryPlayerGameDelta",
                                "MatchHistoryPlayerDelta",
                                "MatchHistoryGame",
                                "MatchHistoryGameList",
                                "MatchHistoryList",
                                "RecentlyPlayedSummoner",
                                "LoginSessionStates",
                                "LoginSession",
                                "SummonerIdAndName"};
    for (const char* name : apiRecords) {
        EXPECT_EQ(r.Type(std::string("KzoMatchHistory") + name).tags.Texts(), kTags) << name;
        EXPECT_EQ(r.registry.FindType(name), nullptr)
            << name << " is only registered with the prefix";
    }
    for (const LcdsClass& lcds : LcdsClasses()) {
        const BindingTypeDescription& type = r.Type(std::string(lcds.registeredName));
        EXPECT_EQ(type.tags.Size(), 0u) << lcds.registeredName;
        EXPECT_EQ(r.registry.FindType(*lcds.identity), &type) << lcds.registeredName;
    }
}

TEST(MatchHistoryRegistrationTest, NestedRecordsAreFoundBecauseTheyAreRegisteredFirst) {
    const Registered r;
    struct Case {
        const char* record;
        const char* field;
        const char* nested;
    };
    const Case cases[] = {
        {"KzoMatchHistoryMatchHistoryParticipant", "stats",
         "KzoMatchHistoryMatchHistoryParticipantStatistics"},
        {"KzoMatchHistoryMatchHistoryParticipant", "timeline",
         "KzoMatchHistoryMatchHistoryTimeline"},
        {"KzoMatchHistoryMatchHistoryGame", "participantIdentities",
         "KzoMatchHistoryMatchHistoryParticipantIdentities"},
        {"KzoMatchHistoryMatchHistoryTimelineFrame", "participantFrames",
         "KzoMatchHistoryMatchHistoryParticipantFrame"},
        {"KzoMatchHistoryMatchHistoryList", "games", "KzoMatchHistoryMatchHistoryGameList"},
        {"KzoMatchHistoryLoginSession", "state", "KzoMatchHistoryLoginSessionStates"},
        {"RecentGames", "gameStatistics", "PlayerGameStats"},
        {"PlayerGameStats", "fellowPlayers", "FellowPlayerInfo"},
    };
    for (const Case& c : cases) {
        const BindingTypeDescription& record = r.Type(c.record);
        const BindingFieldDescription* field = nullptr;
        for (const auto& f : record.fields) {
            if (f.name == c.field) field = &f;
        }
        ASSERT_NE(field, nullptr) << c.record << "." << c.field;
        ASSERT_NE(field->type.description, nullptr) << c.record << "." << c.field;
        EXPECT_EQ(field->type.description->name, c.nested);
    }
}

TEST(MatchHistoryRegistrationTest, StatisticsHave106FieldsInTheirOrder) {
    const Registered r;
    const auto names = FieldNames(r.Type("KzoMatchHistoryMatchHistoryParticipantStatistics"));
    ASSERT_EQ(names.size(), 106u);
    EXPECT_EQ(names[0], "participantId");
    EXPECT_EQ(names[1], "win");
    EXPECT_EQ(names[8], "item6");
    EXPECT_EQ(names[9], "kills");
    EXPECT_EQ(names[49], "wardsKilled");
    EXPECT_EQ(names[50], "firstBloodKill");
    EXPECT_EQ(names[60], "teamEarlySurrendered");
    EXPECT_EQ(names[61], "combatPlayerScore");
    EXPECT_EQ(names[105], "perk5Var3");
}

TEST(MatchHistoryRegistrationTest, LoginStatesKeepTheirValuesThoughRegisteredOutOfOrder) {
    const Registered r;
    const auto& identity = StaticType::Name<Api::LoginSessionStates>();
    struct Case {
        int32_t value;
        const char* name;
    };
    for (const Case c :
         {Case{0, "IN_PROGRESS"}, Case{1, "SUCCEEDED"}, Case{2, "LOGGING_OUT"}, Case{3, "ERROR"}}) {
        EXPECT_EQ(r.registry.EnumeratorName(identity, c.value),
                  std::optional<std::string_view>(c.name));
    }
}

TEST(MatchHistoryRegistrationTest, AGameWritesEveryMemberZerosIncluded) {
    const Registered r;
    Api::MatchHistoryGame game;
    game.teams.resize(1);
    game.participants.resize(1);
    BindingStatus status;
    NativeToValue(status, game, r.registry);
    ASSERT_TRUE(status.Ok()) << status.ErrorMessage();
    const BindingProperty& value = status.Value();
    EXPECT_EQ(value.Size(), 14u);
    EXPECT_EQ(value["gameId"].Kind(), BindingPropertyKind::Unsigned);
    EXPECT_EQ(value["platformId"].Kind(), BindingPropertyKind::String);
    EXPECT_EQ(value["participants"][size_t{0}]["stats"].Size(), 106u);
    EXPECT_EQ(value["teams"][size_t{0}]["firstDargon"].Kind(), BindingPropertyKind::Bool);
    EXPECT_EQ(value["teams"][size_t{0}]["bans"].Kind(), BindingPropertyKind::Collection);
    EXPECT_EQ(value.Members()[0].Name(), "gameCreation") << "members come in name order";
}

TEST(MatchHistoryRegistrationTest, MissingMembersLeaveFieldsAtTheirDefaults) {
    const Registered r;
    BindingProperty input;
    input["teamId"] = 100;
    input["firstDargon"] = true;
    Api::MatchHistoryTeam team;
    BindingStatus status;
    ValueToNative(status, team, input, "<value>", r.registry);
    ASSERT_TRUE(status.Ok()) << status.ErrorMessage();
    EXPECT_EQ(team.teamId, 100);
    EXPECT_TRUE(team.firstDargon);
    EXPECT_EQ(team.win, "");

    Api::MatchHistoryParticipantStatistics stats;
    ValueToNative(status, stats, input, "<value>", r.registry);
    ASSERT_TRUE(status.Ok()) << status.ErrorMessage();
    EXPECT_FALSE(stats.win);
}

}  // namespace
}  // namespace Nimbel::Client::MatchHistory
