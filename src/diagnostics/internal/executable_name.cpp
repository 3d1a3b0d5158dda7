#include "diagnostics/internal/executable_name.h"

#include <array>

#include "diagnostics/internal/bounded_text.h"

namespace Nimbel::internal {
namespace {

// A file name is at most 255 bytes on the file systems the library meets
// (longer ones are cut); the array is trivially destructible, so the text
// stays valid even for lines logged during static destruction.
using NameBuffer = std::array<char, 256>;
// Linux's PATH_MAX; far beyond Windows' MAX_PATH.
using PathBuffer = std::array<char, 4096>;

NameBuffer ReadExecutableName() noexcept {
    NameBuffer name{};
    BoundedText text(name.data(), name.size());
    PathBuffer path{};
    text.Append(ReadExecutablePath(path) ? FileNamePart(path.data()) : "<unknown>");
    return name;
}

}  // namespace

const char* FileNamePart(const char* path) noexcept {
    if (path == nullptr) return "";
    const char* name = path;
    for (const char* c = path; *c != '\0'; ++c) {
        if (IsFolderSeparator(*c)) name = c + 1;
    }
    return name;
}

const char* ProcessExecutableName() noexcept {
    static const NameBuffer name = ReadExecutableName();
    return name.data();
}

}  // namespace Nimbel::internal
