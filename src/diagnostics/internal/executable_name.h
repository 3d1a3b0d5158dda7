// The file name of the running program, written by the #E code of log lines.
#pragma once

#include <span>

namespace Nimbel::internal {

/// The part of `path` after its last folder separator ('/', and on Windows
/// also '\'), or the whole path when it has none. Points into `path`; null
/// yields "".
[[nodiscard]] const char* FileNamePart(const char* path) noexcept;

/// The file name of the process's executable, read once from the system;
/// "<unknown>" when it cannot be read. The text lives as long as the process.
[[nodiscard]] const char* ProcessExecutableName() noexcept;

// The platform's part, one file per platform.

/// Writes the full path of the process's executable, NUL-terminated, into
/// `path` (/proc/self/exe on Linux, GetModuleFileNameA on Windows). False
/// when the system cannot tell or the path does not fit.
[[nodiscard]] bool ReadExecutablePath(std::span<char> path) noexcept;

/// Whether `c` separates folders in a path of this platform.
[[nodiscard]] bool IsFolderSeparator(char c) noexcept;

}  // namespace Nimbel::internal
