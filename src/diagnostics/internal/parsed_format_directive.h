// Reading one conversion directive, shared by
// the positional formatter and by PrepareTemplate, which passes
// conversion directives of a template through unchanged.
#pragma once

#include <cstddef>
#include <string_view>

#include "diagnostics/text_format.h"

namespace Nimbel::internal {

/// A conversion directive as read, before its arguments are looked at.
struct ParsedFormatDirective {
    /// The text (without position), flags, literal width and precision, length
    /// and conversion; a "*" leaves its width or precision at 0.
    FormatDirective directive;
    size_t textLength = 0;    ///< characters in directive.text
    bool bare = false;        ///< "%N": gets the kind's length text and default conversion
    size_t valueArg = 0;      ///< 1-based argument of the value (may exceed the count)
    size_t widthArg = 0;      ///< 1-based argument of a "*" width, 0 for none
    size_t precisionArg = 0;  ///< 1-based argument of a "*" precision, 0 for none
    size_t end = 0;           ///< offset just after the conversion directive

    /// Appends to directive.text; false when it would exceed FormatDirective::kMaxTextLength.
    bool Append(char c) noexcept;
};

/// Reads the conversion directive whose "%" is at text[start] (and is not "%%").
/// Positions are recognised against `count` (a number above it is not a
/// position) but not checked; arguments taken in sequence come from
/// `sequence`, which advances. Returns false when the conversion directive text
/// would exceed 60 characters or `text` ends before the conversion letter.
[[nodiscard]] bool ParseFormatDirective(std::string_view text, size_t start, size_t count,
                                        size_t& sequence, ParsedFormatDirective& parsed) noexcept;

}  // namespace Nimbel::internal
