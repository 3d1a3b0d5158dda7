// Resource paths and the event names under which the core announces changes
// of the resources behind them.
#pragma once

#include <string>
#include <string_view>

namespace Nimbel {

/// "OnJsonApiEvent" joined by "_" with the path's first three non-empty
/// pieces, or its first five when the first piece is "kzo-platform-config":
/// "/kzo-login/v1/session" gives "OnJsonApiEvent_kzo-login_v1_session".
[[nodiscard]] std::string EventNameForPath(std::string_view path);

/// Whether `path` fits `pattern`, walking both together without backtracking:
/// a character other than "*" must equal the path's; a "*" takes path
/// characters while they are not "/", and is left behind when the path
/// reaches a "/" (not taking it) or when it takes the path's last character.
/// The pattern fits when both are used up together, so "/a/*" fits "/a/x" but
/// neither "/a/" nor "/a/x/y".
[[nodiscard]] bool WildcardPathMatches(std::string_view pattern, std::string_view path);

}  // namespace Nimbel
