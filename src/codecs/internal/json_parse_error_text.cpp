// The reader's error texts. They are kept here rather than taken from
// RapidJSON's own table because messages must read the same whichever RapidJSON
// release is installed, and releases have reworded code 2.
#include "codecs/internal/json_parse_error_text.h"

#include <array>

namespace Nimbel::internal {
namespace {

constexpr std::array<const char*, 18> kTexts = {
    "No error.",
    "The document is empty.",
    "The document root must not follow by other values.",
    "Invalid value.",
    "Missing a name for object member.",
    "Missing a colon after a name of object member.",
    "Missing a comma or '}' after an object member.",
    "Missing a comma or ']' after an array element.",
    "Incorrect hex digit after \\u escape in string.",
    "The surrogate pair in string is invalid.",
    "Invalid escape character in string.",
    "Missing a closing quotation mark in string.",
    "Invalid encoding in string.",
    "Number too big to be stored in double.",
    "Miss fraction part in number.",
    "Miss exponent in number.",
    "Terminate parsing due to Handler error.",
    "Unspecific syntax error.",
};

}  // namespace

const char* JsonParseErrorText(unsigned code) noexcept {
    return code < kTexts.size() ? kTexts[code] : "Unknown error.";
}

}  // namespace Nimbel::internal
