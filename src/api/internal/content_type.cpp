#include "api/internal/content_type.h"

namespace Nimbel::internal {
namespace {

[[nodiscard]] char LowerAscii(char c) noexcept {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool ContentTypeStartsWith(std::string_view contentType, std::string_view prefix) noexcept {
    if (contentType.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        if (LowerAscii(contentType[i]) != LowerAscii(prefix[i])) return false;
    }
    return true;
}

std::string_view SkipLeadingBlanks(std::string_view text) noexcept {
    const size_t first = text.find_first_not_of(" \t\r\n");
    return first == std::string_view::npos ? std::string_view{} : text.substr(first);
}

}  // namespace Nimbel::internal
