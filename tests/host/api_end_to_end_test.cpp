// The API description end to end: the real plug-in library read by the
// reference host as the core reads it, and a module with endpoints loaded
// through the plug-in entry, answering requests sent through its endpoint
// records' own callbacks.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "api/endpoint_result.h"
#include "binding/binding_type_builder.h"
#include "host/api_listing.h"
#include "host/endpoint_client.h"
#include "host/host_core.h"
#include "host/plugin_library.h"
#include "plugin/app_module.h"
#include "plugin/plugin_entry.h"
#include "tests/plugin/loaded_module.h"

namespace Nimbel {
namespace {

[[nodiscard]] const KzoHost::ListedType* FindListedType(const KzoHost::ApiListing& listing,
                                                        const std::string& name) {
    for (const auto& type : listing.types) {
        if (type.name == name) return &type;
    }
    return nullptr;
}

TEST(ApiEndToEndTest, TheRealLibraryDescribesItsApiAndAnswersThroughItsEndpoints) {
    std::string error;
    auto library = KzoHost::PluginLibrary::Open(KZO_PLUGIN_PATH, error);
    ASSERT_NE(library, nullptr) << error;
    ASSERT_TRUE(library->Load(KzoHost::CoreVersion{}, error)) << error;
    ASSERT_NE(library->Record().apiDescription, nullptr);
    const KzoHost::ApiListing listing =
        KzoHost::ReadApiDescription(library->Record().apiDescription);
    for (const char* name :
         {"BindingHelpFormat", "BindingFullApiHelp", "BindingAsyncState", "BindingCallbackEvent",
          "BindingAsyncCancelEvent", "KzoMatchHistoryMatchHistoryGame",
          "KzoMatchHistoryLoginSessionStates", "RecentGames"}) {
        EXPECT_NE(FindListedType(listing, name), nullptr) << name;
    }
    const KzoHost::ListedType* state = FindListedType(listing, "BindingAsyncState");
    ASSERT_NE(state, nullptr);
    ASSERT_EQ(state->enumerators.size(), 6u);
    EXPECT_EQ(state->enumerators[0].name, "Cancelled");
    EXPECT_EQ(state->tags, (std::vector<std::string>{"$builtin", "async"}));
    const KzoHost::ListedType* stats =
        FindListedType(listing, "KzoMatchHistoryMatchHistoryParticipantStatistics");
    ASSERT_NE(stats, nullptr);
    EXPECT_EQ(stats->fields.size(), 106u);
    EXPECT_EQ(stats->tags, (std::vector<std::string>{"Plugins", "Plugin kzo-match-history"}));
    std::map<std::string, std::string> events;
    for (const KzoHost::ListedEvent& event : listing.events) events[event.name] = event.typeName;
    const std::map<std::string, std::string> expectedEvents = {
        {"OnCallback", "BindingCallbackEvent"},
        {"OnJsonApiEvent", "PluginResourceEvent"},
        {"OnLcdsEvent", "PluginLcdsEvent"},
        {"OnServiceProxyAsyncEvent", "PluginServiceProxyResponse"},
        {"OnServiceProxyMethodEvent", "PluginServiceProxyResponse"},
        {"OnServiceProxyUuidEvent", "PluginServiceProxyResponse"},
    };
    EXPECT_EQ(events, expectedEvents);
    const KzoHost::ListedType* resourceEvent = FindListedType(listing, "PluginResourceEvent");
    ASSERT_NE(resourceEvent, nullptr);
    EXPECT_EQ(resourceEvent->tags, (std::vector<std::string>{"xclient"}));

    const std::vector<std::string> functions = {
        "GetKzoMatchHistoryV1Matchlist",
        "GetKzoMatchHistoryV1FriendMatchlistsByAccountId",
        "GetKzoMatchHistoryV1Delta",
        "GetKzoMatchHistoryV1GamesByGameId",
        "GetKzoMatchHistoryV1GameTimelinesByGameId",
        "GetKzoMatchHistoryV1RecentlyPlayedSummoners",
        "GetKzoMatchHistoryV1WebUrl",
    };
    ASSERT_EQ(listing.endpoints.size(), functions.size());
    for (size_t i = 0; i < functions.size(); ++i) {
        EXPECT_EQ(listing.endpoints[i].functionName, functions[i]);
        EXPECT_EQ(listing.endpoints[i].method, 2u);
    }
    EXPECT_EQ(listing.endpoints[3].arguments.size(), 1u);
    EXPECT_EQ(listing.endpoints[3].arguments[0].name, "gameId");
    KzoHost::EndpointCall call;
    call.path = "/kzo-match-history/v1/web-url";
    const KzoHost::EndpointReply reply =
        KzoHost::SendToEndpoint(library->Record().apiDescription, call);
    ASSERT_TRUE(reply.delivered);
    EXPECT_FALSE(reply.error.has_value());
    EXPECT_EQ(reply.json, R"("")") << "no configuration has set the address yet";

    call.path = "/kzo-match-history/v1/nothing-here";
    EXPECT_FALSE(KzoHost::SendToEndpoint(library->Record().apiDescription, call).delivered);
    library->Stop();
}

struct Season {
    uint32_t year = 0;
    std::vector<uint64_t> games;
};

class SeasonModule final : public AppModule {
public:
    void RegisterEndpoints() override {
        BindingTypeBuilder<Season>(Types(), TypeNamePrefix() + "Season")
            .Field("year", &Season::year)
            .Field("games", &Season::games)
            .Finish(ApiTags());
        RegisterEndpoint(RequestMethod::Get, "/kzo-match-history/v1/seasons/{year}",
                         &SeasonModule::GetSeason, {Arg("year", ArgLocation::Path)});
        RegisterEndpoint(RequestMethod::Get, "/kzo-match-history/v1/web-url/",
                         &SeasonModule::WebUrl);
        // Refused: a second function of the same name. Reported, not registered.
        RegisterEndpoint(RequestMethod::Get, "/kzo-match-history/v1/web-url",
                         &SeasonModule::WebUrl);
    }

private:
    EndpointResult<Season> GetSeason(uint32_t year) {
        if (year < 2000) return NotFound("No season " + std::to_string(year));
        return Season{year, {year * 10ull, year * 10ull + 1}};
    }
    std::string WebUrl() const { return "https://example.test/history"; }
};

TEST(ApiEndToEndTest, AModuleAnswersThroughItsEndpointRecords) {
    testing::LoadedModule loaded;
    loaded.record.major = 18;
    LoadPlugin(&loaded.record, "kzo-match-history",
               [] { return std::unique_ptr<AppModule>(std::make_unique<SeasonModule>()); });
    ASSERT_NE(loaded.record.module, nullptr);
    const ApiDescriptionRoot* root = loaded.record.apiDescription;
    ASSERT_NE(root, nullptr);

    const KzoHost::ApiListing listing = KzoHost::ReadApiDescription(root);
    ASSERT_EQ(listing.endpoints.size(), 2u);
    const KzoHost::ListedEndpoint& seasons = listing.endpoints[0];
    EXPECT_EQ(seasons.functionName, "GetKzoMatchHistoryV1SeasonsByYear");
    EXPECT_EQ(seasons.method, 2u);
    EXPECT_EQ(seasons.pathTemplate, "/kzo-match-history/v1/seasons/{year}");
    ASSERT_EQ(seasons.arguments.size(), 1u);
    EXPECT_EQ(seasons.arguments[0].name, "year");
    EXPECT_EQ(seasons.arguments[0].location, 2u);
    EXPECT_EQ(seasons.tags, (std::vector<std::string>{"Plugins", "Plugin kzo-match-history"}));
    EXPECT_EQ(listing.endpoints[1].pathTemplate, "/kzo-match-history/v1/web-url");
    const KzoHost::ListedType* season = FindListedType(listing, "KzoMatchHistorySeason");
    ASSERT_NE(season, nullptr);
    EXPECT_EQ(season->fields.size(), 2u);
    EXPECT_NE(FindListedType(listing, "BindingFullApiHelp"), nullptr);

    struct Case {
        const char* description;
        const char* path;
        KzoWord status;
        std::string shown;
    };
    const Case cases[] = {
        {"a record", "/kzo-match-history/v1/seasons/2024", 0,
         R"({"games":[20240,20241],"year":2024})"},
        {"an error answer", "/kzo-match-history/v1/seasons/1999", 404, "error: No season 1999"},
        {"an argument out of range", "/kzo-match-history/v1/seasons/4294967296", 400,
         "error: Value 4294967296 for 'year' of type uint32 is out of range"},
        {"a string", "/kzo-match-history/v1/web-url", 0, R"("https://example.test/history")"},
    };
    for (const Case& c : cases) {
        KzoHost::EndpointCall call;
        call.path = c.path;
        const KzoHost::EndpointReply reply = KzoHost::SendToEndpoint(root, call);
        ASSERT_TRUE(reply.delivered) << c.description;
        EXPECT_EQ(reply.status, c.status) << c.description;
        EXPECT_EQ(reply.error.has_value() ? "error: " + *reply.error : reply.json, c.shown)
            << c.description;
    }
}

}  // namespace
}  // namespace Nimbel
