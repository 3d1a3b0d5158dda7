// Severity levels of log messages and the names the #L code writes for them.
//
// A message passes a filter (the logger's or a target's) when its level is
// greater than or equal to the filter's level.
#pragma once

#include <cstdint>

namespace Nimbel {

inline constexpr int32_t kLogOkay = 0;
inline constexpr int32_t kLogWarn = 1;
inline constexpr int32_t kLogError = 2;
inline constexpr int32_t kLogAlways = 3;

/// The level's name, six characters wide and padded on the left ("  OKAY",
/// "  WARN", " ERROR", "ALWAYS"). A level outside 0 to 3 is named "   ???",
/// so that a stray value still yields a line of the usual shape.
[[nodiscard]] constexpr const char* LevelName(int32_t level) noexcept {
    switch (level) {
        case kLogOkay:
            return "  OKAY";
        case kLogWarn:
            return "  WARN";
        case kLogError:
            return " ERROR";
        case kLogAlways:
            return "ALWAYS";
        default:
            return "   ???";
    }
}

}  // namespace Nimbel
