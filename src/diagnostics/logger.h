// The process-wide logger: the entry point of every message of the library,
// its filters, and the list of targets the messages go to.
//
// There is at most one logger per process. It is created on first use (a
// message, a setting, an attach) and destroyed when the last LoggerReference
// is released; the next use creates a fresh one with the default settings.
// Every operation takes the logger's lock; dispatch calls each target's Write
// while holding it, so the lock order is logger, then target.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <memory>
#include <vector>

#include "diagnostics/debugger_console_log_target.h"
#include "diagnostics/log_entry.h"
#include "diagnostics/log_group_table.h"
#include "diagnostics/log_level.h"
#include "diagnostics/log_target_interface.h"
#include "diagnostics/std_err_log_target.h"
#include "diagnostics/std_out_log_target.h"

namespace Nimbel {

/// Expands `format` with the C library's printf rules into a
/// kLogMessageCapacity buffer (cut beyond it), stamps it with the local time
/// and hands it to every attached target whose filters accept it. Nothing
/// happens while the logger is disabled, below its level, for groups it
/// excludes, or for a null format.
void Log(int32_t level, uint64_t groups, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
/// Log with an argument list.
void LogV(int32_t level, uint64_t groups, const char* format, va_list arguments)
    __attribute__((format(printf, 3, 0)));

/// The process-wide logger. A new logger has level 1 and excludes XTR; it
/// embeds three built-in targets of level 1:
///   standard error: "#E(#T): #L| #M", includes DBG, excludes GEN, attached;
///   standard output: "#M", includes GEN, excludes DBG, buffered, not attached;
///   debugger: "#E(#T): #L| #M", includes DBG, attached.
/// The targets are reached through static functions, each of which creates
/// the logger when there is none.
class Logger {
    // Explicit, so that `{}` cannot stand in for it outside the class.
    struct ConstructionKey {
        explicit ConstructionKey() = default;
    };

public:
    /// Only the process-wide instance is ever made.
    explicit Logger(ConstructionKey);
    ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    /// Messages below `level` are dropped before any target sees them.
    static void SetLevel(int32_t level);
    [[nodiscard]] static int32_t GetLevel();
    /// Messages in any of these groups are dropped before any target sees them.
    static void SetExcludedGroups(uint64_t groups);
    [[nodiscard]] static uint64_t GetExcludedGroups();
    /// While disabled, every message is dropped.
    static void Disable();
    static void Enable();

    /// Appends `target` to the list (again, if it is there already), without
    /// touching its attached flag; targets normally use their own Attach.
    static void AddTarget(LogTargetInterface& target);
    /// Removes every occurrence of `target` from the list.
    static void RemoveTarget(LogTargetInterface& target);
    /// The first listed target whose Name equals `name`, or null. The pointer
    /// is valid while that target stays attached.
    [[nodiscard]] static LogTargetInterface* FindTarget(const char* name);

    /// The built-in targets, attached or not. The references are valid while
    /// the caller holds a LoggerReference.
    [[nodiscard]] static StdOutLogTarget& StdOutTarget();
    [[nodiscard]] static StdErrLogTarget& StdErrTarget();
    [[nodiscard]] static DebuggerConsoleLogTarget& DebuggerTarget();

    /// The executable's file name; "<unknown>" when it cannot be read. The text
    /// lives as long as the process.
    [[nodiscard]] static const char* ExecutableName() noexcept;

    /// Messages of level WARN and ERROR that passed the logger's own filters
    /// since this logger was created (whether or not a target wrote them).
    [[nodiscard]] static uint32_t WarningCount();
    [[nodiscard]] static uint64_t ErrorCount();

private:
    friend class LoggerReference;
    friend void LogV(int32_t, uint64_t, const char*, va_list);

    /// Adds a reference, creating the logger for the first.
    static void Acquire();
    /// Drops a reference; the last detaches every target, last attached first,
    /// and destroys the logger. A release without a reference does nothing.
    static void Release();

    [[nodiscard]] static Logger& InstanceLocked();
    void AttachBuiltInTargets();
    void DetachAllTargetsLocked();
    [[nodiscard]] bool AcceptsLocked(int32_t level, uint64_t groups) const noexcept;
    void DispatchLocked(const LogEntry& entry);

    std::vector<LogTargetInterface*> targets_;
    bool disabled_ = false;
    int32_t level_ = kLogWarn;
    uint64_t excludedGroups_ = LogGroups::XTR;
    StdErrLogTarget stdErr_;
    StdOutLogTarget stdOut_;
    DebuggerConsoleLogTarget debugger_;
    uint32_t warnings_ = 0;
    uint64_t errors_ = 0;

public:
    /// The lock, the instance and the reference count; opaque outside
    /// logger.cpp.
    struct ProcessState;
};

/// Holds a reference on the process-wide logger for its lifetime: constructing
/// it creates the logger when there is none, destroying the last one detaches
/// every target and destroys the logger.
class LoggerReference {
public:
    LoggerReference() { Logger::Acquire(); }
    ~LoggerReference() { Logger::Release(); }
    LoggerReference(const LoggerReference&) = delete;
    LoggerReference& operator=(const LoggerReference&) = delete;
};

}  // namespace Nimbel
