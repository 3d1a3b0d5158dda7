// The built-in target that writes log lines to standard output.
#pragma once

#include <atomic>
#include <cstdio>

#include "diagnostics/base_console_log_target.h"

namespace Nimbel {

/// Whether the standard-output target flushes its stream after every line.
enum class FlushPolicy { Buffered, AfterEachLine };

/// Writes each line to its stream (standard output unless redirected),
/// buffered by default.
class StdOutLogTarget final : public BaseConsoleLogTarget {
public:
    explicit StdOutLogTarget(const LogTargetSettings& settings = {}, std::FILE* stream = stdout);
    ~StdOutLogTarget() override;

    [[nodiscard]] const char* Name() const override { return "StdOutLogTarget"; }
    void Flush() override;
    void SetFlushPolicy(FlushPolicy policy) noexcept { flushPolicy_.store(policy); }

private:
    void EmitLocked(std::FILE* stream, const char* line) override;

    std::atomic<FlushPolicy> flushPolicy_{FlushPolicy::Buffered};
};

}  // namespace Nimbel
