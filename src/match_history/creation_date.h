// The text form of a game's creation time.
#pragma once

#include <cstdint>
#include <string>

namespace Nimbel::Client::MatchHistory {

/// Milliseconds since the Unix epoch as UTC "YYYY-MM-DDTHH:MM:SS.mmmZ":
/// 0 gives "1970-01-01T00:00:00.000Z", 1500 gives "1970-01-01T00:00:01.500Z".
/// A time the calendar conversion does not cover (after
/// 3000-12-31T23:59:59Z) is reported as the soft assertion "ALE-8A14EBBK"
/// and gives the empty text.
[[nodiscard]] std::string CreationDateText(uint64_t millisecondsSinceEpoch);

}  // namespace Nimbel::Client::MatchHistory
