// The match-history plug-in's module: the read-only endpoints under
// "/kzo-match-history/v1/", and what it knows of the configuration and of the
// player's login session.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "plugin/app_module.h"

namespace Nimbel::Client::MatchHistory {

class MatchHistoryModule final : public AppModule {
public:
    MatchHistoryModule();
    ~MatchHistoryModule() override;

    /// Registers the API and LCDS records, then the endpoints.
    void RegisterEndpoints() override;

private:
    /// The module's configuration: the feature switch and the web page's
    /// address, always replaced together.
    struct Configuration {
        bool enabled = true;
        std::string webUrl;
    };

    /// A copy of the address of the match-history web page; empty until a
    /// configuration sets it.
    [[nodiscard]] std::string GetWebUrl();

    // Event handlers write these and endpoint handlers read them, possibly on
    // other threads of the core: each pair is read and replaced whole, under
    // the lock, so no reader ever sees half an update.
    std::mutex m_stateLock;
    Configuration m_configuration;
    uint64_t m_accountId = 0;
    bool m_loggedIn = false;
};

} // namespace Nimbel::Client::MatchHistory
