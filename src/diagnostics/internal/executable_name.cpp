#include "diagnostics/internal/executable_name.h"

#include <limits.h>
#include <unistd.h>

#include <array>
#include <cstring>

#include "diagnostics/internal/bounded_text.h"

namespace Nimbel::internal {
namespace {

// A file name is at most NAME_MAX bytes; the array is trivially destructible,
// so the text stays valid even for lines logged during static destruction.
using NameBuffer = std::array<char, NAME_MAX + 1>;

NameBuffer ReadExecutableName() noexcept {
    NameBuffer name{};
    BoundedText text(name.data(), name.size());
    std::array<char, PATH_MAX> path{};
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length <= 0) {
        text.Append("<unknown>");
        return name;
    }
    path[static_cast<size_t>(length)] = '\0';
    text.Append(FileNamePart(path.data()));
    return name;
}

}  // namespace

const char* FileNamePart(const char* path) noexcept {
    if (path == nullptr) return "";
    const char* slash = std::strrchr(path, '/');
    return slash == nullptr ? path : slash + 1;
}

const char* ProcessExecutableName() noexcept {
    static const NameBuffer name = ReadExecutableName();
    return name.data();
}

}  // namespace Nimbel::internal
