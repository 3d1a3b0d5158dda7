// Content-type tests shared by argument and body decoding.
#pragma once

#include <string_view>

namespace Nimbel::internal {

/// Whether `contentType` begins with `prefix`, ASCII letters compared without
/// regard to case.
[[nodiscard]] bool ContentTypeStartsWith(std::string_view contentType,
                                         std::string_view prefix) noexcept;

/// `text` without its leading blanks (space, tab, carriage return, line feed).
[[nodiscard]] std::string_view SkipLeadingBlanks(std::string_view text) noexcept;

}  // namespace Nimbel::internal
