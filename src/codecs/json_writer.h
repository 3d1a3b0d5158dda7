// Writing a generic value as JSON text: response bodies, request parameters
// and any value the framework hands on as JSON.
#pragma once

#include <string>

#include "binding/binding_property.h"
#include "binding/enum_name_lookup.h"

namespace Nimbel {

/// The JSON text of `value`; the empty text when the value itself is empty.
///
/// Layout: compact (no whitespace) when `lineBreak` is null or empty;
/// otherwise indented by four spaces per level with `lineBreak` ending each
/// line ("\r\n" gives Windows line ends and leaves no bare line feed).
///
/// Nodes: a nested empty value is null; bool, signed and unsigned integers as
/// themselves; a float in the shortest form that reads back as the same
/// double, and null when it is NaN or infinite, so the output is always valid
/// JSON; strings and member names with quotation mark, reverse solidus and
/// control characters escaped (\b \f \n \r \t or \u00XX), well-formed UTF-8
/// as it is and each ill-formed sequence (overlong, surrogate, beyond
/// U+10FFFF, cut short, stray byte) as U+FFFD, one per maximal subpart; blobs as
/// base64 strings; an enum as its enumerator's name when `typeContext` (may be
/// null) names it, else as its signed number; collections as arrays;
/// structures as objects, members in the structure's name order.
///
/// Never fails for a well-formed value; exhausted memory throws std::bad_alloc.
/// `typeContext` is only used during the call.
[[nodiscard]] std::string ValueToJson(const BindingProperty& value,
                                      const EnumNameLookup* typeContext, const char* lineBreak);

}  // namespace Nimbel
