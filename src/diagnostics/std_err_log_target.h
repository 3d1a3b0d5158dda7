// The built-in target that writes log lines to standard error.
#pragma once

#include <cstdio>

#include "diagnostics/base_console_log_target.h"

namespace Nimbel {

/// Writes each line to its stream (standard error unless redirected).
class StdErrLogTarget final : public BaseConsoleLogTarget {
public:
    explicit StdErrLogTarget(const LogTargetSettings& settings = {}, std::FILE* stream = stderr);
    ~StdErrLogTarget() override;

    [[nodiscard]] const char* Name() const override { return "StdErrLogTarget"; }
};

}  // namespace Nimbel
