#include "plugin/resource_path.h"

#include <vector>

namespace Nimbel {

std::string EventNameForPath(std::string_view path) {
    std::vector<std::string_view> pieces;
    size_t start = 0;
    while (start <= path.size()) {
        const size_t slash = path.find('/', start);
        const size_t end = slash == std::string_view::npos ? path.size() : slash;
        if (end > start) pieces.push_back(path.substr(start, end - start));
        if (slash == std::string_view::npos) break;
        start = slash + 1;
    }
    const size_t kept = !pieces.empty() && pieces.front() == "kzo-platform-config" ? 5 : 3;
    std::string name = "OnJsonApiEvent";
    for (size_t i = 0; i < pieces.size() && i < kept; ++i) {
        name += '_';
        name += pieces[i];
    }
    return name;
}

bool WildcardPathMatches(std::string_view pattern, std::string_view path) {
    size_t p = 0;
    size_t q = 0;
    while (p < pattern.size() || q < path.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            if (q == path.size()) return false;
            // The star's segment ends before a '/' or at the end of the path.
            if (path[q] == '/' || ++q == path.size()) ++p;
            continue;
        }
        if (p == pattern.size() || q == path.size() || pattern[p] != path[q]) return false;
        ++p;
        ++q;
    }
    return true;
}

}  // namespace Nimbel
