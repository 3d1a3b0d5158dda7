#include "diagnostics/std_out_log_target.h"

namespace Nimbel {

StdOutLogTarget::StdOutLogTarget(const LogTargetSettings& settings, std::FILE* stream)
    : BaseConsoleLogTarget(settings, stream) {}

// Detached before its members go, so no dispatch reaches a half-destroyed
// target.
StdOutLogTarget::~StdOutLogTarget() {
    Close();
}

}  // namespace Nimbel
