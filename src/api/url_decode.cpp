#include "api/url_decode.h"

namespace Nimbel {
namespace {

unsigned HexValue(char c) {
    if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
    return 16;
}

}  // namespace

std::string UrlDecode(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            decoded += ' ';
        } else if (c != '%') {
            decoded += c;
        } else if (i + 2 < text.size()) {
            const unsigned high = (HexValue(text[i + 1]) * 16) & 0xFFu;
            decoded += static_cast<char>(high | HexValue(text[i + 2]));
            i += 2;
        }
        // A "%" near the end is dropped; what follows it is copied as it is.
    }
    return decoded;
}

}  // namespace Nimbel
