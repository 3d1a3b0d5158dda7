// The built-in target meant for a debugger's console.
#pragma once

#include <atomic>
#include <cstdio>

#include "diagnostics/base_console_log_target.h"

namespace Nimbel {

/// Tells whether a debugger listens to the process right now.
using DebuggerProbe = bool (*)() noexcept;

/// Hands each line to the debugger while the probe says one listens, and
/// discards it otherwise. On Linux the line is written to the target's stream
/// (standard error unless redirected), and the system's probe asks for an
/// attached tracer, so a run without a debugger does not see the debugger's
/// lines twice on standard error. On Windows the line goes to
/// OutputDebugStringA unless the target was redirected to another stream, and
/// the system's probe always says yes.
class DebuggerConsoleLogTarget final : public BaseConsoleLogTarget {
public:
    /// A null probe asks the system (on Linux a non-zero TracerPid in
    /// /proc/self/status).
    explicit DebuggerConsoleLogTarget(const LogTargetSettings& settings = {},
                                      std::FILE* stream = stderr, DebuggerProbe probe = nullptr);
    ~DebuggerConsoleLogTarget() override;

    [[nodiscard]] const char* Name() const override { return "DebuggerConsoleLogTarget"; }
    /// Nothing: the debugger's console has no buffer of ours.
    void Flush() override {}
    /// Replaces the probe (null: the system's), for hosts and tests that decide
    /// themselves whether a debugger is listening.
    void SetDebuggerProbe(DebuggerProbe probe) noexcept;

private:
    void EmitLocked(std::FILE* stream, const char* line) override;

    std::atomic<DebuggerProbe> probe_;
};

}  // namespace Nimbel
