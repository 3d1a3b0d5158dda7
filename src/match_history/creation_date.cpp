#include "match_history/creation_date.h"

#include <array>
#include <cstdio>
#include <ctime>

#include "diagnostics/assertion_report.h"

namespace Nimbel::Client::MatchHistory {
namespace {

/// The last second the game client's calendar conversion accepts:
/// 3000-12-31T23:59:59Z. Later times are refused alike on every platform.
constexpr uint64_t kLastConvertibleSecond = 32535215999;

[[nodiscard]] bool ToUtcCalendar(uint64_t seconds, std::tm& calendar) {
    if (seconds > kLastConvertibleSecond) return false;
    const std::time_t time = static_cast<std::time_t>(seconds);
    return gmtime_r(&time, &calendar) != nullptr;
}

}  // namespace

std::string CreationDateText(uint64_t millisecondsSinceEpoch) {
    const uint64_t seconds = millisecondsSinceEpoch / 1000;
    const auto milliseconds = static_cast<unsigned>(millisecondsSinceEpoch % 1000);
    std::tm calendar{};
    if (!ToUtcCalendar(seconds, calendar)) {
        Report(kAssertTimeConversion, "", "", 0, "");
        return {};
    }
    std::array<char, 32> date{};
    const size_t length = std::strftime(date.data(), date.size(), "%Y-%m-%dT%H:%M:%S", &calendar);
    std::array<char, 8> fraction{};
    std::snprintf(fraction.data(), fraction.size(), ".%03u", milliseconds);
    std::string text(date.data(), length);
    text.append(fraction.data()).push_back('Z');
    return text;
}

}  // namespace Nimbel::Client::MatchHistory
