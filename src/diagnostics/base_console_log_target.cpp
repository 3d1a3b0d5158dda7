#include "diagnostics/base_console_log_target.h"

#include "diagnostics/log_line_format.h"

namespace Nimbel {

BaseConsoleLogTarget::BaseConsoleLogTarget(const LogTargetSettings& settings, std::FILE* stream)
    : LogTarget(settings), stream_(stream) {}

bool BaseConsoleLogTarget::Write(const LogEntry& entry) {
    const auto lock = LockTarget();
    if (stream_ == nullptr) return true;
    char line[kLogLineCapacity];
    FormatLine(line, sizeof line, FormatLocked().c_str(), entry);
    EmitLocked(stream_, line);
    return true;
}

void BaseConsoleLogTarget::RedirectTo(std::FILE* stream) {
    const auto lock = LockTarget();
    stream_ = stream;
}

void BaseConsoleLogTarget::Flush() {
    FlushStream();
}

void BaseConsoleLogTarget::EmitLocked(std::FILE* stream, const char* line) {
    std::fputs(line, stream);
    if (flushPolicy_.load() == FlushPolicy::AfterEachLine) std::fflush(stream);
}

void BaseConsoleLogTarget::FlushStream() {
    const auto lock = LockTarget();
    if (stream_ != nullptr) std::fflush(stream_);
}

}  // namespace Nimbel
