// SipHash-1-3: one compression round per 8-byte word and three finalisation
// rounds, the strength that tables of untrusted keys need at a cost close to
// FNV-1a's for short texts and below it for long ones.
#include "diagnostics/keyed_hash.h"

#include <bit>
#include <chrono>
#include <cstring>
#include <random>

namespace Nimbel {
namespace {

struct HashKey {
    uint64_t first = 0;
    uint64_t second = 0;
};

// Falls back on the clock and an address that varies with each run (where
// addresses are randomised) if the device cannot be opened: weaker, but still
// unknown to whoever writes the input.
[[nodiscard]] HashKey DrawHashKey() noexcept {
    try {
        std::random_device device;
        const auto word = [&device] { return (uint64_t{device()} << 32) ^ uint64_t { device() }; };
        const uint64_t first = word();
        return {first, word()};
    } catch (...) {
        HashKey fallback;
        const auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
        fallback.first = static_cast<uint64_t>(ticks) * 0x9E3779B97F4A7C15u;
        fallback.second = reinterpret_cast<uintptr_t>(&fallback) * 0xC2B2AE3D27D4EB4Fu;
        return fallback;
    }
}

// Drawn at the first hash rather than at start-up, so that no process pays
// for it before a table needs it.
[[nodiscard]] const HashKey& ProcessHashKey() noexcept {
    static const HashKey key = DrawHashKey();
    return key;
}

struct SipState {
    uint64_t v0;
    uint64_t v1;
    uint64_t v2;
    uint64_t v3;

    void Round() noexcept {
        v0 += v1;
        v1 = std::rotl(v1, 13);
        v1 ^= v0;
        v0 = std::rotl(v0, 32);
        v2 += v3;
        v3 = std::rotl(v3, 16);
        v3 ^= v2;
        v0 += v3;
        v3 = std::rotl(v3, 21);
        v3 ^= v0;
        v2 += v1;
        v1 = std::rotl(v1, 17);
        v1 ^= v2;
        v2 = std::rotl(v2, 32);
    }

    void Absorb(uint64_t word) noexcept {
        v3 ^= word;
        Round();
        v0 ^= word;
    }
};

// The words are read in the machine's byte order: the hash never leaves the
// process, so it need not agree between machines.
[[nodiscard]] uint64_t LoadWord(const char* bytes) noexcept {
    uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return word;
}

}  // namespace

uint64_t KeyedHash(std::string_view text) noexcept {
    const HashKey& key = ProcessHashKey();
    SipState state{key.first ^ 0x736F6D6570736575u, key.second ^ 0x646F72616E646F6Du,
                   key.first ^ 0x6C7967656E657261u, key.second ^ 0x7465646279746573u};
    const char* bytes = text.data();
    const size_t wholeWords = text.size() / 8;
    for (size_t i = 0; i < wholeWords; ++i, bytes += 8) state.Absorb(LoadWord(bytes));
    // The last word holds the remaining bytes, little end first, under the
    // length's low byte.
    uint64_t last = uint64_t{static_cast<unsigned char>(text.size())} << 56;
    for (size_t i = 0; i < text.size() % 8; ++i) {
        last |= uint64_t{static_cast<unsigned char>(bytes[i])} << (8 * i);
    }
    state.Absorb(last);
    state.v2 ^= 0xFF;
    state.Round();
    state.Round();
    state.Round();
    return state.v0 ^ state.v1 ^ state.v2 ^ state.v3;
}

}  // namespace Nimbel
