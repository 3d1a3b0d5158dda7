// Standard base64 (RFC 4648 alphabet, '=' fill), the text form of blob values.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace Nimbel::internal {

/// Four characters per three bytes; the last group is filled with '='.
[[nodiscard]] std::string EncodeBase64(std::span<const uint8_t> bytes);

}  // namespace Nimbel::internal
