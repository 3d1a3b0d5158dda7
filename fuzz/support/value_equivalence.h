// Comparing two generic values for the round-trip fuzz targets: exactly, or
// up to what writing JSON and reading it back is known to lose.
#pragma once

#include "binding/binding_property.h"

namespace Nimbel::fuzz {

/// Same kinds, same payloads, same element order, same member names in the
/// same order; floats compare bit for bit except that NaN equals NaN.
[[nodiscard]] bool SameValue(const BindingProperty& left, const BindingProperty& right);

/// Whether `reread`, read back from the JSON written for `original` without a
/// type context, is what that JSON can carry of it. Accepted differences:
/// - a NaN or infinite float comes back empty (written as null);
/// - a blob comes back as the string of its base64 text;
/// - an enum comes back as its number, a signed one only when negative;
/// - a signed value that is not negative comes back unsigned;
/// - a string or member name comes back with each ill-formed UTF-8 sequence
///   as U+FFFD; members whose names become equal so read back as one.
/// A finite float comes back bit for bit.
[[nodiscard]] bool SameAfterJsonRoundTrip(const BindingProperty& original,
                                          const BindingProperty& reread);

}  // namespace Nimbel::fuzz
