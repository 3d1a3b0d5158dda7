// Base64 encoding and decoding, three bytes to four characters at a time.
#include "binding/base64.h"

namespace Nimbel {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

[[nodiscard]] char Digit(uint32_t group, int shift) noexcept {
    return kAlphabet[(group >> shift) & 0x3F];
}

[[nodiscard]] bool IsAsciiLetterOrDigit(char c) noexcept {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
}

[[nodiscard]] uint32_t SextetOf(char c) noexcept {
    if (c >= 'A' && c <= 'Z') return static_cast<uint32_t>(c - 'A');
    if (c >= 'a' && c <= 'z') return static_cast<uint32_t>(c - 'a') + 26;
    if (c >= '0' && c <= '9') return static_cast<uint32_t>(c - '0') + 52;
    return c == '+' ? 62 : 63;
}

[[nodiscard]] std::string_view BeforeFill(std::string_view text) noexcept {
    return text.substr(0, text.find('='));
}

}  // namespace

std::string EncodeBase64(std::span<const uint8_t> bytes) {
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        const uint32_t group =
            uint32_t{bytes[i]} << 16 | uint32_t{bytes[i + 1]} << 8 | bytes[i + 2];
        text += {Digit(group, 18), Digit(group, 12), Digit(group, 6), Digit(group, 0)};
    }
    const size_t rest = bytes.size() - i;
    if (rest == 1) {
        const uint32_t group = uint32_t{bytes[i]} << 16;
        text += {Digit(group, 18), Digit(group, 12), '=', '='};
    } else if (rest == 2) {
        const uint32_t group = uint32_t{bytes[i]} << 16 | uint32_t{bytes[i + 1]} << 8;
        text += {Digit(group, 18), Digit(group, 12), Digit(group, 6), '='};
    }
    return text;
}

bool IsBase64Text(std::string_view text) noexcept {
    for (const char c : text) {
        if (!IsAsciiLetterOrDigit(c) && c != '+' && c != '/' && c != '=') return false;
    }
    return true;
}

size_t DecodedBase64Size(std::string_view text) noexcept {
    const size_t characters = BeforeFill(text).size();
    const size_t rest = characters % 4;
    return characters / 4 * 3 + (rest >= 2 ? rest - 1 : 0);
}

void DecodeBase64(std::string_view text, std::span<uint8_t> bytes) noexcept {
    const std::string_view digits = BeforeFill(text);
    size_t out = 0;
    uint32_t group = 0;
    int bits = 0;
    for (const char c : digits) {
        group = (group << 6 | SextetOf(c)) & 0xFFFFFF;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            if (out < bytes.size()) bytes[out++] = static_cast<uint8_t>(group >> bits);
        }
    }
}

}  // namespace Nimbel
