#include <unistd.h>

#include "diagnostics/internal/executable_name.h"

namespace Nimbel::internal {

bool ReadExecutablePath(std::span<char> path) noexcept {
    if (path.empty()) return false;
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0) return false;
    path[static_cast<size_t>(length)] = '\0';
    return true;
}

bool IsFolderSeparator(char c) noexcept {
    return c == '/';
}

}  // namespace Nimbel::internal
