#include "match_history/match_history_module.h"

#include "api/request_method.h"
#include "match_history/match_history_registration.h"

namespace Nimbel::Client::MatchHistory {

MatchHistoryModule::MatchHistoryModule() = default;
MatchHistoryModule::~MatchHistoryModule() = default;

void MatchHistoryModule::RegisterEndpoints() {
    RegisterApiRecords(Types(), TypeNamePrefix(), ApiTags());
    RegisterLcdsRecords(Types());
    RegisterEndpoint(RequestMethod::Get, "/kzo-match-history/v1/web-url",
                     &MatchHistoryModule::GetWebUrl);
}

std::string MatchHistoryModule::GetWebUrl() {
    const std::lock_guard lock(m_stateLock);
    return m_configuration.webUrl;
}

} // namespace Nimbel::Client::MatchHistory
