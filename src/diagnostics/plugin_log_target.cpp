#include "diagnostics/plugin_log_target.h"

namespace Nimbel {

PluginLogTarget::PluginLogTarget(const CoreFunctions* core) : core_(core) {}

// Detached before its members go, so no dispatch reaches a half-destroyed
// target.
PluginLogTarget::~PluginLogTarget() {
    Close();
}

bool PluginLogTarget::Write(const LogEntry& entry) {
    if (core_ == nullptr || core_->log == nullptr) return true;
    // Levels are 0 to 3; the word carries them unchanged.
    core_->log(core_, static_cast<KzoWord>(entry.level), entry.message);
    return true;
}

}  // namespace Nimbel
