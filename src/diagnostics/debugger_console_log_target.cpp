#include "diagnostics/debugger_console_log_target.h"

#include "diagnostics/internal/debugger_channel.h"

namespace Nimbel {
namespace {

DebuggerProbe ProbeOrSystem(DebuggerProbe probe) {
    return probe == nullptr ? internal::DebuggerChannelOpen : probe;
}

}  // namespace

DebuggerConsoleLogTarget::DebuggerConsoleLogTarget(const LogTargetSettings& settings,
                                                   std::FILE* stream, DebuggerProbe probe)
    : BaseConsoleLogTarget(settings, stream), probe_(ProbeOrSystem(probe)) {}

// Detached before its members go, so no dispatch reaches a half-destroyed
// target.
DebuggerConsoleLogTarget::~DebuggerConsoleLogTarget() {
    Close();
}

void DebuggerConsoleLogTarget::SetDebuggerProbe(DebuggerProbe probe) noexcept {
    probe_.store(ProbeOrSystem(probe));
}

void DebuggerConsoleLogTarget::EmitLocked(std::FILE* stream, const char* line) {
    if (probe_.load()()) internal::WriteToDebugger(stream, line);
}

}  // namespace Nimbel
