// KeyedHash: the hash that decides where a text goes in a table whose keys
// come from outside, keyed once per process so that no input can be built to
// crowd one bucket.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace Nimbel {

/// SipHash-1-3 of the bytes of `text` (all of them, NUL bytes included) under
/// a 128-bit key drawn from std::random_device at the first call and kept for
/// the life of the process. Whoever does not know the key cannot predict the
/// result: texts built to share one FNV-1a hash, or any other unkeyed hash,
/// spread over the buckets of a table like random texts, so n of them cost
/// O(n) expected steps to insert, not O(n * n). Equal texts hash equally
/// within one process only: never store or send the result.
[[nodiscard]] uint64_t KeyedHash(std::string_view text) noexcept;

/// KeyedHash as a transparent hash for standard tables keyed by text (with
/// std::equal_to<>), so that a std::string_view finds a std::string key.
struct KeyedTextHash {
    using is_transparent = void;
    [[nodiscard]] size_t operator()(std::string_view text) const noexcept {
        return static_cast<size_t>(KeyedHash(text));
    }
};

}  // namespace Nimbel
