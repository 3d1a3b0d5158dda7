// Keys that all share one 32-bit FNV-1a hash, and random keys of the same
// length to compare them with. A table that buckets by that hash chains every
// colliding key in one bucket, and such keys are cheap to build: FNV-1a runs
// one state through the text, so two blocks that take one state to the same
// next state can be swapped for each other without changing the hash, and k
// stages of two such blocks give 2^k texts of one hash.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "diagnostics/fnv1a.h"

namespace Nimbel::testing {

/// 2^14 = 16,384 keys of 14 blocks of 4 bytes: 56 bytes each.
inline constexpr size_t kCollidingStages = 14;
inline constexpr size_t kBlockBytes = 4;
inline constexpr size_t kCollidingKeyBytes = kCollidingStages * kBlockBytes;

/// Blocks are spelt from these letters and digits. Lower-case letters alone
/// are too alike: their blocks, which differ only in the low five bits of each
/// byte, give no collision from the states met here.
inline constexpr std::string_view kBlockAlphabet =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

using Block = std::array<char, kBlockBytes>;

[[nodiscard]] inline Block NumberedBlock(uint32_t number) noexcept {
    Block block{};
    for (char& byte : block) {
        byte = kBlockAlphabet[number % kBlockAlphabet.size()];
        number /= static_cast<uint32_t>(kBlockAlphabet.size());
    }
    return block;
}

[[nodiscard]] inline uint32_t FnvAfter(uint32_t state, const Block& block) noexcept {
    for (const char byte : block) state = (state ^ static_cast<unsigned char>(byte)) * kFnv1aPrime;
    return state;
}

/// Two distinct blocks that take FNV-1a from one state to one next state.
struct CollidingPair {
    Block first;
    Block second;
    uint32_t next;
};

/// A birthday search over the numbered blocks: it records the state each
/// block leads to in an open-addressed table and stops at the first state met
/// twice (about 720,000 blocks in, from every state this meets).
[[nodiscard]] inline std::optional<CollidingPair> FindCollidingPair(uint32_t state) {
    constexpr int kSlotBits = 21;
    constexpr uint32_t kSlots = uint32_t{1} << kSlotBits;
    struct Seen {
        uint32_t next = 0;
        uint32_t number = 0;  // one more than the block's number; 0 when free
    };
    std::vector<Seen> seen(kSlots);
    const auto blocks = static_cast<uint32_t>(kBlockAlphabet.size() * kBlockAlphabet.size() *
                                              kBlockAlphabet.size() * kBlockAlphabet.size());
    for (uint32_t number = 0; number < blocks && number < kSlots / 2; ++number) {
        const Block block = NumberedBlock(number);
        const uint32_t next = FnvAfter(state, block);
        for (uint32_t slot = (next * 0x9E3779B1u) >> (32 - kSlotBits);;
             slot = (slot + 1) & (kSlots - 1)) {
            if (seen[slot].number == 0) {
                seen[slot] = {next, number + 1};
                break;
            }
            if (seen[slot].next == next)
                return CollidingPair{NumberedBlock(seen[slot].number - 1), block, next};
        }
    }
    return std::nullopt;
}

/// 2^kCollidingStages distinct keys of one FNV-1a hash; empty if a stage finds
/// no pair. A pair found at one stage often collides from the next state too,
/// so it is tried before a new search.
[[nodiscard]] inline std::vector<std::string> BuildFnvCollidingKeys() {
    std::vector<CollidingPair> stages;
    uint32_t state = kFnv1aOffsetBasis;
    while (stages.size() < kCollidingStages) {
        std::optional<CollidingPair> pair;
        if (!stages.empty() &&
            FnvAfter(state, stages.back().first) == FnvAfter(state, stages.back().second)) {
            pair = CollidingPair{stages.back().first, stages.back().second,
                                 FnvAfter(state, stages.back().first)};
        } else {
            pair = FindCollidingPair(state);
        }
        if (!pair) return {};
        stages.push_back(*pair);
        state = pair->next;
    }
    std::vector<std::string> keys;
    keys.reserve(size_t{1} << kCollidingStages);
    for (uint32_t choice = 0; choice < (uint32_t{1} << kCollidingStages); ++choice) {
        std::string key;
        for (size_t stage = 0; stage < kCollidingStages; ++stage) {
            const Block& block = (choice >> stage) & 1 ? stages[stage].second : stages[stage].first;
            key.append(block.data(), block.size());
        }
        keys.push_back(std::move(key));
    }
    return keys;
}

/// The keys of BuildFnvCollidingKeys, built once per test program: the search
/// takes a good part of a second.
[[nodiscard]] inline const std::vector<std::string>& FnvCollidingKeys() {
    static const std::vector<std::string> keys = BuildFnvCollidingKeys();
    return keys;
}

/// `count` keys of `length` bytes drawn from the block alphabet with a fixed
/// seed: the cost that colliding keys are held to.
[[nodiscard]] inline std::vector<std::string> RandomKeys(size_t count, size_t length) {
    std::mt19937 generator(2026);
    std::uniform_int_distribution<size_t> letter(0, kBlockAlphabet.size() - 1);
    std::vector<std::string> keys(count);
    for (std::string& key : keys) {
        for (size_t i = 0; i < length; ++i) key.push_back(kBlockAlphabet[letter(generator)]);
    }
    return keys;
}

}  // namespace Nimbel::testing
