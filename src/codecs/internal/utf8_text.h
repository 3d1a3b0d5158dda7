// Well-formed UTF-8, and the repair of texts that are not, for the JSON
// writers: a text that arrived from a peer may hold any bytes, while JSON text
// must be UTF-8.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Nimbel::internal {

/// The length of the longest prefix of `text` that is well-formed UTF-8
/// (`text.size()` for a valid text). Runs of ASCII are checked eight bytes at
/// a time.
[[nodiscard]] size_t ValidUtf8Length(std::string_view text) noexcept;

/// The length of the well-formed sequence at the start of `text` (1 to 4), or
/// 0 when the sequence there is ill-formed or `text` is empty.
[[nodiscard]] size_t Utf8SequenceLength(std::string_view text) noexcept;

/// `text` with every ill-formed sequence replaced by U+FFFD, one for each
/// maximal subpart: overlong forms, surrogates, code points above U+10FFFF,
/// stray continuation bytes, unused lead bytes and sequences cut short each
/// give one U+FFFD per byte that cannot begin or continue a valid sequence,
/// and a valid beginning cut short gives one for all its bytes. Well-formed
/// sequences are kept byte for byte.
[[nodiscard]] std::string ReplaceInvalidUtf8(std::string_view text);

}  // namespace Nimbel::internal
