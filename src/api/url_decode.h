// Decoding of percent-encoded path parameters and query texts.
#pragma once

#include <string>
#include <string_view>

namespace Nimbel {

/// "+" becomes a space; "%" and two more characters become one byte, each
/// character a hex digit of either case or, when it is not one, the value 16
/// (the byte is (high * 16, kept to 8 bits) OR low); a "%" with fewer than two
/// characters after it is dropped; every other byte is copied.
[[nodiscard]] std::string UrlDecode(std::string_view text);

}  // namespace Nimbel
