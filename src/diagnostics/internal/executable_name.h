// The file name of the running program, written by the #E code of log lines.
#pragma once

namespace Nimbel::internal {

/// The part of `path` after its last '/', or the whole path when it has none.
/// Points into `path`; null yields "".
[[nodiscard]] const char* FileNamePart(const char* path) noexcept;

/// The file name of the process's executable, read once from /proc/self/exe;
/// "<unknown>" when it cannot be read. The text lives as long as the process.
[[nodiscard]] const char* ProcessExecutableName() noexcept;

}  // namespace Nimbel::internal
