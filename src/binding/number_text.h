// Numbers written as text, read with the C library's rules (strtoll, strtoull
// and strtod) in the "C" locale and refused with the system's own messages.
// Used wherever a number may arrive as text: argument texts, YAML tags and
// plain scalars, conversions into native records.
#pragma once

#include <cstdint>
#include <string_view>

#include "binding/binding_status.h"
// CLocaleStrtod, CLocaleStrtoll and CLocaleStrtoull, the readers below.
#include "diagnostics/c_locale.h"

namespace Nimbel {

/// Where a conversion's messages name what failed.
struct NumberTarget {
    std::string_view name;      ///< '%2' of the messages: an argument, field or root name
    std::string_view typeName;  ///< %3 of the messages: "int32", "uint64", "int64_t", ...
};

/// Parses `text` with CLocaleStrtoll in base 0 (leading blanks and a sign allowed; "0x" selects
/// hexadecimal, a leading "0" octal). The empty text is 0. Characters left
/// after the number fail with "Value %1 for '%2' of type %3 is in an
/// incorrect format"; a number outside [minimum, maximum] or beyond 64 bits
/// with "Value %1 for '%2' of type %3 is out of range" (%1 the text). On
/// failure the status is failed and 0 is returned.
[[nodiscard]] int64_t TextToSigned(BindingStatus& status, std::string_view text,
                                   const NumberTarget& target, int64_t minimum, int64_t maximum);

/// As TextToSigned, in [0, maximum]. A text whose first non-blank character
/// is "-" is out of range (the C library would wrap it around).
[[nodiscard]] uint64_t TextToUnsigned(BindingStatus& status, std::string_view text,
                                      const NumberTarget& target, uint64_t maximum);

/// Parses `text` with CLocaleStrtod. The empty text is 0; leftover characters give
/// the incorrect-format message; a result outside [minimum, maximum] or a
/// range error of the library gives out of range. NaN passes the bounds.
[[nodiscard]] double TextToDouble(BindingStatus& status, std::string_view text,
                                  const NumberTarget& target, double minimum, double maximum);

}  // namespace Nimbel
