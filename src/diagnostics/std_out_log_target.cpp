#include "diagnostics/std_out_log_target.h"

namespace Nimbel {

StdOutLogTarget::StdOutLogTarget(const LogTargetSettings& settings, std::FILE* stream)
    : BaseConsoleLogTarget(settings, stream) {}

// Detached before its members go, so no dispatch reaches a half-destroyed
// target.
StdOutLogTarget::~StdOutLogTarget() {
    Close();
}

void StdOutLogTarget::Flush() {
    FlushStream();
}

void StdOutLogTarget::EmitLocked(std::FILE* stream, const char* line) {
    std::fputs(line, stream);
    if (flushPolicy_.load() == FlushPolicy::AfterEachLine) std::fflush(stream);
}

}  // namespace Nimbel
