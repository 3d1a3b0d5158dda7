#include "match_history/match_history_module.h"

#include <utility>

#include "api/request_method.h"
#include "diagnostics/text_format.h"
#include "match_history/game_data.h"
#include "match_history/match_history_registration.h"
#include "match_history/recently_played.h"
#include "plugin/lcds_call.h"
#include "plugin/outbound_request.h"

namespace Nimbel::Client::MatchHistory {
namespace {

constexpr const char* kSessionPath = "/kzo-login/v1/session";
constexpr const char* kConfigurationPath = "/kzo-platform-config/v1/namespaces/NewMatchHistory";
constexpr const char* kSummonerNamesPath = "/kzo-summoner/v2/summoner-names";

[[nodiscard]] bool IsKnownEventType(PluginResourceEventType type) {
    const auto value = static_cast<int32_t>(type);
    return value >= 0 && value <= 2;
}

[[nodiscard]] bool IsUsableSession(const Api::LoginSession& session) {
    return session.state == Api::LoginSessionStates::SUCCEEDED && session.accountId != 0 &&
           session.summonerId != 0;
}

/// The failure's bare message as a 500; "Internal server error" without one.
/// The message is the argument of "%1", never a format: a peer's "50%" or
/// "%s" reaches the caller as written.
[[nodiscard]] EndpointError FailureMessageError(const Failure& failure) {
    return InternalError(FormatMessage("%1", failure.Message()));
}

}  // namespace

MatchHistoryModule::MatchHistoryModule() = default;
MatchHistoryModule::~MatchHistoryModule() = default;

void MatchHistoryModule::RegisterEndpoints() {
    RegisterApiRecords(Types(), TypeNamePrefix(), ApiTags());
    RegisterLcdsRecords(Types());
    for (const LcdsClass& lcds : LcdsClasses())
        AddLcdsClass(lcds.registeredName, *lcds.identity, lcds.className);

    using M = MatchHistoryModule;
    const auto get = RequestMethod::Get;
    RegisterEndpoint(get, "/kzo-match-history/v1/matchlist", &M::GetMatchlist);
    RegisterEndpoint(get, "/kzo-match-history/v1/friend-matchlists/{accountId}",
                     &M::GetFriendMatchlist, {Arg("accountId", ArgLocation::Path)});
    RegisterEndpoint(get, "/kzo-match-history/v1/delta", &M::GetDelta);
    RegisterEndpoint(get, "/kzo-match-history/v1/games/{gameId}", &M::GetGame,
                     {Arg("gameId", ArgLocation::Path)});
    RegisterEndpoint(get, "/kzo-match-history/v1/game-timelines/{gameId}", &M::GetGameTimeline,
                     {Arg("gameId", ArgLocation::Path)});
    RegisterEndpoint(get, "/kzo-match-history/v1/recently-played-summoners",
                     &M::GetRecentlyPlayedSummoners);
    RegisterEndpoint(get, "/kzo-match-history/v1/web-url", &M::GetWebUrl);
}

bool MatchHistoryModule::OnStart() {
    ObserveResourceAs<Api::LoginSession>(
        kSessionPath, [this](const auto& session) { OnSessionChanged(session); });
    ObserveResourceAs<BindingProperty>(kConfigurationPath, [this](const auto& configuration) {
        OnConfigurationChanged(configuration);
    });
    return true;
}

// ---- State ----

bool MatchHistoryModule::IsEnabled() {
    const std::lock_guard lock(stateLock_);
    return configuration_.enabled;
}

bool MatchHistoryModule::LoggedInAccount(uint64_t& accountId) {
    const std::lock_guard lock(stateLock_);
    accountId = accountId_;
    return loggedIn_;
}

void MatchHistoryModule::OnSessionChanged(const TypedResource<Api::LoginSession>& session) {
    if (!IsKnownEventType(session.eventType)) return;
    const std::lock_guard lock(stateLock_);
    if (session.eventType == PluginResourceEventType::Delete) {
        accountId_ = 0;
        loggedIn_ = false;
        return;
    }
    const bool loggedIn = IsUsableSession(session.data);
    // The account is taken when the player logs in, and kept while they stay.
    if (loggedIn && !loggedIn_) accountId_ = session.data.accountId;
    loggedIn_ = loggedIn;
}

void MatchHistoryModule::OnConfigurationChanged(
    const TypedResource<BindingProperty>& configuration) {
    if (!IsKnownEventType(configuration.eventType)) return;
    Configuration next;
    if (configuration.eventType != PluginResourceEventType::Delete) {
        next.enabled = configuration.data["Enabled"].ToBool();
        next.webUrl = configuration.data["MatchHistoryWebURL"].ToString();
    }
    const std::lock_guard lock(stateLock_);
    configuration_ = std::move(next);
}

// ---- Game data ----

template <class T>
EndpointResult<T> MatchHistoryModule::FetchGameData(const std::string& path) {
    if (!IsEnabled()) return InternalError("New Match History is not enabled");
    MaybeType<Failure, T> answer = OutboundRequest<T>(*this, RequestMethod::Get, path);
    if (answer.HasFailure()) return UpstreamError(answer.GetFailure());
    return std::move(answer).GetValue();
}

EndpointResult<Api::MatchHistoryList> MatchHistoryModule::GetMatchlist() {
    return GetFriendMatchlist(0);
}

EndpointResult<Api::MatchHistoryList> MatchHistoryModule::GetFriendMatchlist(uint64_t accountId) {
    auto list =
        FetchGameData<Api::MatchHistoryList>(FormatMessage("/kzo-acs/v1/matchlists/%1", accountId));
    if (list.Ok()) FillCreationDates(list.Value());
    return list;
}

EndpointResult<Api::MatchHistoryPlayerDelta> MatchHistoryModule::GetDelta() {
    auto delta = FetchGameData<Api::MatchHistoryPlayerDelta>("/kzo-acs/v1/delta");
    if (delta.Ok()) CapDeltas(delta.Value());
    return delta;
}

EndpointResult<Api::MatchHistoryGame> MatchHistoryModule::GetGame(uint64_t gameId) {
    auto game = FetchGameData<Api::MatchHistoryGame>(FormatMessage("/kzo-acs/v1/games/%1", gameId));
    if (game.Ok()) FillCreationDate(game.Value());
    return game;
}

EndpointResult<Api::MatchHistoryTimelineFrames> MatchHistoryModule::GetGameTimeline(
    uint64_t gameId) {
    auto timeline = FetchGameData<Api::MatchHistoryTimelineFrames>(
        FormatMessage("/kzo-acs/v1/gametimelines/%1", gameId));
    if (timeline.Ok()) KeepKillEvents(timeline.Value());
    return timeline;
}

// ---- Recently played ----

EndpointResult<std::vector<Api::RecentlyPlayedSummoner>>
MatchHistoryModule::GetRecentlyPlayedSummoners() {
    uint64_t accountId = 0;
    if (!LoggedInAccount(accountId)) return EndpointError{409, "Player not logged in"};

    MaybeType<Failure, Lcds::RecentGames> games = Await(
        LcdsCall<Lcds::RecentGames>(*this, "playerStatsService", "getRecentGames", accountId));
    if (games.HasFailure()) return FailureMessageError(games.GetFailure());

    std::vector<Api::RecentlyPlayedSummoner> players = CollectRecentlyPlayed(games.GetValue());
    const auto names = OutboundRequest<std::vector<Api::SummonerIdAndName>>(
        *this, RequestMethod::Get, kSummonerNamesPath, SummonerIdsOf(players));
    if (names.HasFailure()) return FailureMessageError(names.GetFailure());
    if (names.GetValue().size() != players.size())
        return InternalError("Returned summoner names did not match recently played.");
    for (size_t i = 0; i < players.size(); ++i)
        players[i].summonerName = names.GetValue()[i].displayName;
    return players;
}

std::string MatchHistoryModule::GetWebUrl() {
    const std::lock_guard lock(stateLock_);
    return configuration_.webUrl;
}

}  // namespace Nimbel::Client::MatchHistory
