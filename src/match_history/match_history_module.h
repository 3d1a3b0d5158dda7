// The match-history plug-in's module: the read-only endpoints under
// "/kzo-match-history/v1/", and what it knows of the configuration and of the
// player's login session.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "api/endpoint_result.h"
#include "match_history/match_history_records.h"
#include "plugin/app_module.h"

namespace Nimbel::Client::MatchHistory {

class MatchHistoryModule final : public AppModule {
public:
    MatchHistoryModule();
    ~MatchHistoryModule() override;

    /// Registers the API and LCDS records, then the seven endpoints.
    void RegisterEndpoints() override;
    /// Observes the login session and the configuration namespace.
    [[nodiscard]] bool OnStart() override;

private:
    /// The module's configuration: the feature switch and the web page's
    /// address, always replaced together.
    struct Configuration {
        bool enabled = true;
        std::string webUrl;
    };

    // ---- Endpoints ----
    [[nodiscard]] EndpointResult<Api::MatchHistoryList> GetMatchlist();
    [[nodiscard]] EndpointResult<Api::MatchHistoryList> GetFriendMatchlist(uint64_t accountId);
    [[nodiscard]] EndpointResult<Api::MatchHistoryPlayerDelta> GetDelta();
    [[nodiscard]] EndpointResult<Api::MatchHistoryGame> GetGame(uint64_t gameId);
    [[nodiscard]] EndpointResult<Api::MatchHistoryTimelineFrames> GetGameTimeline(uint64_t gameId);
    [[nodiscard]] EndpointResult<std::vector<Api::RecentlyPlayedSummoner>>
    GetRecentlyPlayedSummoners();
    /// A copy of the address of the match-history web page; empty until a
    /// configuration sets it.
    [[nodiscard]] std::string GetWebUrl();

    /// GETs `path` from the game-data service as a T, unless the feature is
    /// switched off; failures become the endpoints' errors.
    template <class T>
    [[nodiscard]] EndpointResult<T> FetchGameData(const std::string& path);

    // ---- Resource handlers ----
    void OnSessionChanged(const TypedResource<Api::LoginSession>& session);
    void OnConfigurationChanged(const TypedResource<BindingProperty>& configuration);

    [[nodiscard]] bool IsEnabled();
    /// The account id while a player is logged in; none otherwise.
    [[nodiscard]] bool LoggedInAccount(uint64_t& accountId);

    // Event handlers write these and endpoint handlers read them, possibly on
    // other threads of the core: each pair is read and replaced whole, under
    // the lock, so no reader ever sees half an update.
    std::mutex stateLock_;
    Configuration configuration_;
    uint64_t accountId_ = 0;
    bool loggedIn_ = false;
};

}  // namespace Nimbel::Client::MatchHistory
