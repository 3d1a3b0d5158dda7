#include "diagnostics/internal/debugger_presence.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace Nimbel::internal {

bool StatusShowsTracer(const char* statusText) noexcept {
    if (statusText == nullptr) return false;
    static constexpr char kField[] = "TracerPid:";
    for (const char* line = statusText; *line != '\0';) {
        if (std::strncmp(line, kField, sizeof kField - 1) == 0) {
            return std::strtol(line + sizeof kField - 1, nullptr, 10) != 0;
        }
        const char* newline = std::strchr(line, '\n');
        if (newline == nullptr) break;
        line = newline + 1;
    }
    return false;
}

bool IsDebuggerAttached() noexcept {
    std::FILE* status = std::fopen("/proc/self/status", "r");
    if (status == nullptr) return false;
    // The whole file is a few kilobytes; TracerPid is among its first lines.
    std::array<char, 4096> text{};
    const size_t length = std::fread(text.data(), 1, text.size() - 1, status);
    std::fclose(status);
    text[length] = '\0';
    return StatusShowsTracer(text.data());
}

}  // namespace Nimbel::internal
