// Transparent hashing of texts, so that tables keyed by std::string are
// searched with a std::string_view without building a key.
#pragma once

#include <cstddef>
#include <functional>
#include <string_view>

namespace Nimbel::internal {

struct TextHash {
    using is_transparent = void;
    [[nodiscard]] size_t operator()(std::string_view text) const noexcept {
        return std::hash<std::string_view>{}(text);
    }
};

}  // namespace Nimbel::internal
