// Base64 encoding, three bytes to four characters at a time.
#include "binding/internal/base64.h"

namespace Nimbel::internal {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

[[nodiscard]] char Digit(uint32_t group, int shift) noexcept {
    return kAlphabet[(group >> shift) & 0x3F];
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

}  // namespace Nimbel::internal
