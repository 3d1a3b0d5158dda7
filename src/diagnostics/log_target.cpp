#include "diagnostics/log_target.h"

#include "diagnostics/internal/logger_lock.h"
#include "diagnostics/logger.h"

namespace Nimbel {
namespace {

const char* FormatOrDefault(const char* lineFormat) {
    return lineFormat == nullptr ? kDefaultLogLineFormat : lineFormat;
}

}  // namespace

LogTarget::LogTarget(const LogTargetSettings& settings)
    : level_(settings.level),
      included_(settings.included & ~settings.excluded),
      excluded_(settings.excluded),
      lineFormat_(FormatOrDefault(settings.lineFormat)) {}

LogTarget::~LogTarget() {
    LogTarget::Detach();
}

void LogTarget::Close() {
    Detach();
}

std::string LogTarget::Format() const {
    const auto lock = LockTarget();
    return lineFormat_;
}

void LogTarget::Configure(int32_t level, uint64_t included, uint64_t excluded,
                          const char* lineFormat) {
    Detach();
    SetLevel(level);
    SetGroups(included, excluded);
    {
        const auto lock = LockTarget();
        lineFormat_ = FormatOrDefault(lineFormat);
    }
    Attach();
}

void LogTarget::SetLevel(int32_t level) {
    const auto lock = LockTarget();
    level_ = level;
}

int32_t LogTarget::GetLevel() const {
    const auto lock = LockTarget();
    return level_;
}

void LogTarget::SetGroups(uint64_t included, uint64_t excluded) {
    const auto lock = LockTarget();
    included_ = included & ~excluded;
    excluded_ = excluded;
}

uint64_t LogTarget::GetIncluded() const {
    const auto lock = LockTarget();
    return included_;
}

uint64_t LogTarget::GetExcluded() const {
    const auto lock = LockTarget();
    return excluded_;
}

void LogTarget::Attach() {
    const std::lock_guard lock(internal::LoggerMutex());
    if (attached_.load()) return;
    attached_.store(true);
    Logger::AddTarget(*this);
}

void LogTarget::Detach() {
    const std::lock_guard lock(internal::LoggerMutex());
    if (!attached_.load()) return;
    attached_.store(false);
    Logger::RemoveTarget(*this);
}

bool LogTarget::IsAttached() const {
    return attached_.load();
}

std::unique_lock<std::mutex> LogTarget::LockTarget() const {
    return std::unique_lock<std::mutex>(mutex_);
}

}  // namespace Nimbel
