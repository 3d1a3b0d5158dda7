#include <windows.h>

#include "diagnostics/internal/executable_name.h"

namespace Nimbel::internal {

// GetModuleFileNameA of no module names the process's executable, in the
// ANSI code page. A path it had to cut fills the whole buffer.
bool ReadExecutablePath(std::span<char> path) noexcept {
    if (path.empty()) return false;
    const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    return length > 0 && length < path.size();
}

bool IsFolderSeparator(char c) noexcept {
    return c == '/' || c == '\\';
}

}  // namespace Nimbel::internal
