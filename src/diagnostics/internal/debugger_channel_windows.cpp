#include <windows.h>

#include "diagnostics/internal/debugger_channel.h"

namespace Nimbel::internal {

bool DebuggerChannelOpen() noexcept {
    return true;
}

void WriteToDebugger(std::FILE* stream, const char* line) noexcept {
    if (stream == stderr) {
        OutputDebugStringA(line);
    } else {
        std::fputs(line, stream);
    }
}

}  // namespace Nimbel::internal
