// The target that hands log messages to the platform core, which writes them
// into its own log; a started plug-in uses it in place of the console targets.
#pragma once

#include "abi/core_abi.h"
#include "diagnostics/log_target.h"

namespace Nimbel {

/// Calls the core's `log` entry with each accepted entry's level and its
/// message text, unformatted: the core stamps and formats lines itself. The
/// function table is borrowed and must outlive the target; with a null table
/// or a null `log` entry the messages are dropped.
class PluginLogTarget final : public LogTarget {
public:
    explicit PluginLogTarget(const CoreFunctions* core);
    ~PluginLogTarget() override;

    [[nodiscard]] const char* Name() const override { return "PluginLogTarget"; }
    /// Always returns true; the core's result is ignored.
    [[nodiscard]] bool Write(const LogEntry& entry) override;

private:
    const CoreFunctions* core_;
};

}  // namespace Nimbel
