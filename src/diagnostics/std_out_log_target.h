// The built-in target that writes log lines to standard output.
#pragma once

#include <cstdio>

#include "diagnostics/base_console_log_target.h"

namespace Nimbel {

/// Writes each line to its stream (standard output unless redirected),
/// buffered unless its flush policy says otherwise.
class StdOutLogTarget final : public BaseConsoleLogTarget {
public:
    explicit StdOutLogTarget(const LogTargetSettings& settings = {}, std::FILE* stream = stdout);
    ~StdOutLogTarget() override;

    [[nodiscard]] const char* Name() const override { return "StdOutLogTarget"; }
    /// Whether each line is flushed at once; buffered by default.
    using BaseConsoleLogTarget::SetFlushPolicy;
};

}  // namespace Nimbel
