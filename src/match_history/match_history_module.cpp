#include "match_history/match_history_module.h"

namespace Nimbel::Client::MatchHistory {

MatchHistoryModule::MatchHistoryModule() = default;
MatchHistoryModule::~MatchHistoryModule() = default;

} // namespace Nimbel::Client::MatchHistory
