// Identifiers derived from a method word and a path, such as the function name
// of an endpoint ("GET" and "/kzo-match-history/v1/games/{gameId}" give
// GetKzoMatchHistoryV1GamesByGameId) and a plug-in's type-name prefix.
#pragma once

#include <string>
#include <string_view>

namespace Nimbel {

/// Starts with the word (first character kept, the rest lower-cased, then
/// "/") unless it is empty, appends the path, then drops each of "!+-./_"
/// and upper-cases the character after it, turns "{" into "By" (upper-casing
/// what follows) and drops "}". The first character is upper-cased too.
[[nodiscard]] std::string MakeFunctionName(std::string_view word, std::string_view path);

}  // namespace Nimbel
