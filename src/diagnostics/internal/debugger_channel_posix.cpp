#include "diagnostics/internal/debugger_channel.h"
#include "diagnostics/internal/debugger_presence.h"

namespace Nimbel::internal {

bool DebuggerChannelOpen() noexcept {
    return IsDebuggerAttached();
}

void WriteToDebugger(std::FILE* stream, const char* line) noexcept {
    std::fputs(line, stream);
}

}  // namespace Nimbel::internal
