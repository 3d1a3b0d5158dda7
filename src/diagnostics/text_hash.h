// TextHash: the one transparent hash of texts, so that tables keyed by
// std::string are searched with a std::string_view without building a key.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

namespace Nimbel {

/// Hashes any text as its std::string_view: std::string, string_view and
/// C strings of equal content hash equally, so a table declared with
/// std::equal_to<> finds keys of each.
struct TextHash {
    using is_transparent = void;
    [[nodiscard]] size_t operator()(std::string_view text) const noexcept {
        return std::hash<std::string_view>{}(text);
    }
};

}  // namespace Nimbel
