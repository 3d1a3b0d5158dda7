// Standard base64 (RFC 4648 alphabet, '=' fill), the text form of blob values,
// in both directions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace Nimbel {

/// Four characters per three bytes; the last group is filled with '='.
[[nodiscard]] std::string EncodeBase64(std::span<const uint8_t> bytes);

/// Whether every byte of `text` is a letter A to Z or a to z, a digit, '+',
/// '/' or '='; bytes above 127 are not.
[[nodiscard]] bool IsBase64Text(std::string_view text) noexcept;

/// How many bytes DecodeBase64 writes for `text`: three per group of four
/// characters before the first '=', and one or two for a last group of two
/// or three (a lone last character gives none).
[[nodiscard]] size_t DecodedBase64Size(std::string_view text) noexcept;

/// Decodes the characters of `text` before its first '=' into `bytes`, whose
/// size must be DecodedBase64Size(text). `text` must pass IsBase64Text.
void DecodeBase64(std::string_view text, std::span<uint8_t> bytes) noexcept;

}  // namespace Nimbel
