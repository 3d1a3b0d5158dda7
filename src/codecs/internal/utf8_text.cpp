// UTF-8 checks by the table of well-formed byte sequences: a lead byte fixes
// the length and the range of the second byte, every later byte is 80..BF.
#include "codecs/internal/utf8_text.h"

#include <cstdint>
#include <cstring>

namespace Nimbel::internal {
namespace {

constexpr uint64_t kHighBits = 0x8080808080808080u;
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// The sequence at the start of text[0..size), size > 0: its length when it
// is well-formed, else the length of its maximal subpart (at least 1).
struct Sequence {
    size_t length;
    bool valid;
};

[[nodiscard]] Sequence NextSequence(const unsigned char* text, size_t size) noexcept {
    const unsigned lead = text[0];
    if (lead < 0x80) return {1, true};
    size_t length = 0;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // below: overlong
        if (lead == 0xED) high = 0x9F;  // above: surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // below: overlong
        if (lead == 0xF4) high = 0x8F;  // above: beyond U+10FFFF
    } else {
        return {1, false};  // a continuation byte, C0, C1 or F5..FF
    }
    if (size < 2 || text[1] < low || text[1] > high) return {1, false};
    for (size_t i = 2; i < length; ++i) {
        if (i == size || text[i] < 0x80 || text[i] > 0xBF) return {i, false};
    }
    return {length, true};
}

}  // namespace

size_t ValidUtf8Length(std::string_view text) noexcept {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.data());
    const size_t size = text.size();
    size_t i = 0;
    while (i < size) {
        if (size - i >= sizeof(uint64_t)) {
            uint64_t word = 0;
            std::memcpy(&word, bytes + i, sizeof word);
            if ((word & kHighBits) == 0) {
                i += sizeof word;
                continue;
            }
        }
        const Sequence sequence = NextSequence(bytes + i, size - i);
        if (!sequence.valid) return i;
        i += sequence.length;
    }
    return size;
}

size_t Utf8SequenceLength(std::string_view text) noexcept {
    if (text.empty()) return 0;
    const Sequence sequence =
        NextSequence(reinterpret_cast<const unsigned char*>(text.data()), text.size());
    return sequence.valid ? sequence.length : 0;
}

std::string ReplaceInvalidUtf8(std::string_view text) {
    std::string repaired;
    repaired.reserve(text.size() + text.size() / 2);
    while (!text.empty()) {
        const size_t valid = ValidUtf8Length(text);
        repaired.append(text.substr(0, valid));
        text.remove_prefix(valid);
        if (text.empty()) break;
        const Sequence bad =
            NextSequence(reinterpret_cast<const unsigned char*>(text.data()), text.size());
        repaired.append(kReplacement);
        text.remove_prefix(bad.length);
    }
    return repaired;
}

}  // namespace Nimbel::internal
