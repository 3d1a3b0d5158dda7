// Reading one conversion specification, shared by
// the positional formatter and by PrepareTemplate, which passes
// conversion specifications of a template through unchanged.
#pragma once

#include <cstddef>
#include <string_view>

#include "diagnostics/text_format.h"

namespace Nimbel::internal {

/// A conversion specification as read, before its arguments are looked at.
struct ParsedFormatSpec {
    /// The text (without position), flags, literal width and precision, length
    /// and conversion; a "*" leaves its width or precision at 0.
    FormatSpec specifier;
    size_t textLength = 0;   ///< characters in specifier.text
    bool bare = false;       ///< "%N": gets the kind's length text and default conversion
    size_t valueArg = 0;     ///< 1-based argument of the value (may exceed the count)
    size_t widthArg = 0;     ///< 1-based argument of a "*" width, 0 for none
    size_t precisionArg = 0; ///< 1-based argument of a "*" precision, 0 for none
    size_t end = 0;          ///< offset just after the conversion specification

    /// Appends to specifier.text; false when it would exceed FormatSpec::kMaxTextLength.
    bool Append(char c) noexcept;
};

/// Reads the conversion specification whose "%" is at text[start] (and is not "%%").
/// Positions are recognised against `count` (a number above it is not a
/// position) but not checked; arguments taken in sequence come from
/// `sequence`, which advances. Returns false when the conversion specification text
/// would exceed 60 characters or `text` ends before the conversion letter.
[[nodiscard]] bool ParseFormatSpec(std::string_view text, size_t start, size_t count,
                                   size_t& sequence, ParsedFormatSpec& parsed) noexcept;

} // namespace Nimbel::internal
