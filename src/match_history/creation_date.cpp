#include "match_history/creation_date.h"

#include <array>
#include <chrono>
#include <cstdio>

#include "diagnostics/assertion_report.h"

namespace Nimbel::Client::MatchHistory {
namespace {

/// The last second the game client's calendar conversion accepts:
/// 3000-12-31T23:59:59Z. Later times are refused alike on every platform.
constexpr uint64_t kLastConvertibleSecond = 32535215999;

constexpr uint64_t kSecondsPerDay = 86400;

}  // namespace

// The calendar comes from whole days since the epoch, never through time_t,
// which holds only 32 bits on a 32-bit platform and would wrap after 2038.
std::string CreationDateText(uint64_t millisecondsSinceEpoch) {
    const uint64_t seconds = millisecondsSinceEpoch / 1000;
    if (seconds > kLastConvertibleSecond) {
        Report(kAssertTimeConversion, "", "", 0, "");
        return {};
    }
    const auto milliseconds = static_cast<unsigned>(millisecondsSinceEpoch % 1000);
    const auto days = static_cast<int>(seconds / kSecondsPerDay);
    const auto secondOfDay = static_cast<unsigned>(seconds % kSecondsPerDay);
    const std::chrono::year_month_day date{std::chrono::sys_days{std::chrono::days{days}}};
    std::array<char, 32> text{};
    const int length =
        std::snprintf(text.data(), text.size(), "%04d-%02u-%02uT%02u:%02u:%02u.%03uZ",
                      int{date.year()}, unsigned{date.month()}, unsigned{date.day()},
                      secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60, milliseconds);
    return std::string(text.data(), static_cast<size_t>(length));
}

}  // namespace Nimbel::Client::MatchHistory
