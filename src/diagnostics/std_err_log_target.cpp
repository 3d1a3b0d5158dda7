#include "diagnostics/std_err_log_target.h"

namespace Nimbel {

StdErrLogTarget::StdErrLogTarget(const LogTargetSettings& settings, std::FILE* stream)
    : BaseConsoleLogTarget(settings, stream) {}

// Detached before its members go, so no dispatch reaches a half-destroyed
// target.
StdErrLogTarget::~StdErrLogTarget() {
    Close();
}

}  // namespace Nimbel
