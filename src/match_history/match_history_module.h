// The match-history plug-in's module: the seven read-only endpoints under
// "/kzo-match-history/v1/", and what it knows of the configuration and of the
// player's login session.
#pragma once

#include <cstdint>
#include <string>

#include "plugin/app_module.h"

namespace Nimbel::Client::MatchHistory {

class MatchHistoryModule final : public AppModule {
public:
    MatchHistoryModule();
    ~MatchHistoryModule() override;

private:
    // The configuration pair, replaced as a whole on every configuration event.
    bool m_enabled = true;
    std::string m_webUrl;
    // The session pair, replaced together.
    uint64_t m_accountId = 0;
    bool m_loggedIn = false;
};

} // namespace Nimbel::Client::MatchHistory
