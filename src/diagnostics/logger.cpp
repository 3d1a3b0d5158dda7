#include "diagnostics/logger.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <tuple>

#include "diagnostics/c_locale.h"
#include "diagnostics/internal/executable_name.h"
#include "diagnostics/internal/local_clock.h"
#include "diagnostics/internal/logger_lock.h"

namespace Nimbel {

struct Logger::ProcessState {
    std::recursive_mutex mutex;
    std::unique_ptr<Logger> logger;
    uint32_t references = 0;

    // At exit, a logger that nobody released (one created by a message, say)
    // lets its targets go before it is destroyed, so none of them is left
    // marked as attached to a logger that is gone.
    ~ProcessState() {
        const std::lock_guard lock(mutex);
        if (logger) logger->DetachAllTargetsLocked();
        logger.reset();
    }
};

namespace {

// Constant-initialised, so the lock exists before any static constructor of
// the library logs, and the logger is made only when something first uses it.
constinit Logger::ProcessState g_process;

constexpr const char* kConsoleLineFormat = "#E(#T): #L| #M";

LogTargetSettings StdErrSettings() {
    return LogTargetSettings{kLogWarn, LogGroups::DBG, LogGroups::GEN, kConsoleLineFormat};
}

LogTargetSettings StdOutSettings() {
    return LogTargetSettings{kLogWarn, LogGroups::GEN, LogGroups::DBG, "#M"};
}

LogTargetSettings DebuggerSettings() {
    return LogTargetSettings{kLogWarn, LogGroups::DBG, 0, kConsoleLineFormat};
}

bool TargetAccepts(const LogTargetInterface& target, const LogEntry& entry) {
    if (entry.level < target.GetLevel()) return false;
    if (entry.groups == 0) return true;
    if ((entry.groups & target.GetExcluded()) != 0) return false;
    const uint64_t included = target.GetIncluded();
    return included == 0 || (entry.groups & included) != 0;
}

}  // namespace

std::recursive_mutex& internal::LoggerMutex() noexcept {
    return g_process.mutex;
}

Logger::Logger(ConstructionKey)
    : stdErr_(StdErrSettings()), stdOut_(StdOutSettings()), debugger_(DebuggerSettings()) {}

Logger::~Logger() = default;

Logger& Logger::InstanceLocked() {
    if (!g_process.logger) {
        g_process.logger = std::make_unique<Logger>(ConstructionKey{});
        // Attaching goes through the instance, so it must be published first.
        g_process.logger->AttachBuiltInTargets();
    }
    return *g_process.logger;
}

void Logger::AttachBuiltInTargets() {
    stdErr_.Attach();
    debugger_.Attach();
}

void Logger::DetachAllTargetsLocked() {
    while (!targets_.empty()) {
        LogTargetInterface* last = targets_.back();
        last->Detach();
        // A target added with AddTarget is not marked attached, and its Detach
        // leaves it listed.
        std::erase(targets_, last);
    }
}

void Logger::Acquire() {
    const std::lock_guard lock(g_process.mutex);
    std::ignore = InstanceLocked();
    ++g_process.references;
}

void Logger::Release() {
    const std::lock_guard lock(g_process.mutex);
    if (g_process.references == 0) return;
    if (--g_process.references > 0) return;
    if (!g_process.logger) return;
    g_process.logger->DetachAllTargetsLocked();
    g_process.logger.reset();
}

void Logger::SetLevel(int32_t level) {
    const std::lock_guard lock(g_process.mutex);
    InstanceLocked().level_ = level;
}

int32_t Logger::GetLevel() {
    const std::lock_guard lock(g_process.mutex);
    return InstanceLocked().level_;
}

void Logger::SetExcludedGroups(uint64_t groups) {
    const std::lock_guard lock(g_process.mutex);
    InstanceLocked().excludedGroups_ = groups;
}

uint64_t Logger::GetExcludedGroups() {
    const std::lock_guard lock(g_process.mutex);
    return InstanceLocked().excludedGroups_;
}

void Logger::Disable() {
    const std::lock_guard lock(g_process.mutex);
    InstanceLocked().disabled_ = true;
}

void Logger::Enable() {
    const std::lock_guard lock(g_process.mutex);
    InstanceLocked().disabled_ = false;
}

void Logger::AddTarget(LogTargetInterface& target) {
    const std::lock_guard lock(g_process.mutex);
    InstanceLocked().targets_.push_back(&target);
}

void Logger::RemoveTarget(LogTargetInterface& target) {
    const std::lock_guard lock(g_process.mutex);
    if (g_process.logger) std::erase(g_process.logger->targets_, &target);
}

LogTargetInterface* Logger::FindTarget(const char* name) {
    if (name == nullptr) return nullptr;
    const std::lock_guard lock(g_process.mutex);
    for (LogTargetInterface* target : InstanceLocked().targets_) {
        if (std::strcmp(target->Name(), name) == 0) return target;
    }
    return nullptr;
}

StdOutLogTarget& Logger::StdOutTarget() {
    const std::lock_guard lock(g_process.mutex);
    return InstanceLocked().stdOut_;
}

StdErrLogTarget& Logger::StdErrTarget() {
    const std::lock_guard lock(g_process.mutex);
    return InstanceLocked().stdErr_;
}

DebuggerConsoleLogTarget& Logger::DebuggerTarget() {
    const std::lock_guard lock(g_process.mutex);
    return InstanceLocked().debugger_;
}

const char* Logger::ExecutableName() noexcept {
    return internal::ProcessExecutableName();
}

uint32_t Logger::WarningCount() {
    const std::lock_guard lock(g_process.mutex);
    return InstanceLocked().warnings_;
}

uint64_t Logger::ErrorCount() {
    const std::lock_guard lock(g_process.mutex);
    return InstanceLocked().errors_;
}

bool Logger::AcceptsLocked(int32_t level, uint64_t groups) const noexcept {
    return !disabled_ && level >= level_ && (groups & excludedGroups_) == 0;
}

void Logger::DispatchLocked(const LogEntry& entry) {
    if (entry.level == kLogWarn) ++warnings_;
    if (entry.level == kLogError) ++errors_;
    // By index: a target's Write may attach or detach targets (the lock is
    // re-entrant), which must not invalidate this walk.
    for (size_t i = 0; i < targets_.size(); ++i) {  // NOLINT(modernize-loop-convert)
        LogTargetInterface& target = *targets_[i];
        if (!TargetAccepts(target, entry)) continue;
        // A target's failure concerns it alone; the others still get the line.
        std::ignore = target.Write(entry);
    }
}

void LogV(int32_t level, uint64_t groups, const char* format, va_list arguments) {
    if (format == nullptr) return;
    {
        // Most filtered messages stop here, before any formatting.
        const std::lock_guard lock(g_process.mutex);
        if (!Logger::InstanceLocked().AcceptsLocked(level, groups)) return;
    }
    char message[kLogMessageCapacity];
    {
        const CLocaleScope cLocale;  // numbers in log lines read alike under every locale
        if (std::vsnprintf(message, sizeof message, format, arguments) < 0) message[0] = '\0';
    }
    const LogEntry entry{internal::ReadLocalClock(), level, groups, message};

    const std::lock_guard lock(g_process.mutex);
    Logger& logger = Logger::InstanceLocked();
    if (logger.AcceptsLocked(level, groups)) logger.DispatchLocked(entry);
}

void Log(int32_t level, uint64_t groups, const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    LogV(level, groups, format, arguments);
    va_end(arguments);
}

}  // namespace Nimbel
