// Reading JSON text into a generic value: request bodies, the answers of
// other plug-ins and any other JSON the framework receives.
#pragma once

#include <cstddef>

#include "binding/binding_status.h"

namespace Nimbel {

/// Reads one JSON document (UTF-8, strict: no comments, trailing commas, NaN
/// or Infinity) from `text`, up to its first NUL.
///
/// An empty text, or one of blanks only (space, tab, line feed, carriage
/// return), gives an empty value and success; so does a null pointer. Each
/// JSON value becomes one node: null leaves its node empty; true and false
/// become bool; strings become string (cut at a decoded "\u0000", as every
/// text of the value is; other bytes, invalid UTF-8 included, pass unchanged);
/// integers without a minus sign become unsigned up to 18446744073709551615,
/// with one become signed down to -9223372036854775808; numbers with a
/// fraction or an exponent, or beyond 64 bits, become float, the double
/// nearest to the number written (ties to even), so that the text ValueToJson
/// writes for any finite double reads back as that very double; arrays become
/// collections and objects structures. A repeated key names the same member:
/// a later scalar replaces it, null leaves it, and a later array or object
/// extends a collection or structure already there.
///
/// Failure: the status is not ok and its message is
/// "Error: <text> at offset <n>." with the reader's error text and the byte
/// offset, from the start of `text`, at which reading stopped. A document
/// nested deeper than 1,000 containers stops at the container that would open
/// the 1,001st level, with the "Terminate parsing due to Handler error." text;
/// a number whose magnitude rounds past the largest double fails with
/// "Number too big to be stored in double." at the number's start. Never
/// throws for bad input; exhausted memory throws std::bad_alloc.
[[nodiscard]] BindingStatus JsonToValue(const char* text);

/// The same for text[0..length), which need not be NUL-terminated; reading
/// still ends at a NUL inside it.
[[nodiscard]] BindingStatus JsonToValue(const char* text, size_t length);

}  // namespace Nimbel
