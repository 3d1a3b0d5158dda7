// The base of the framework's log targets: the filters, the line format, the
// target's own lock, and attaching to the process-wide logger.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "diagnostics/log_level.h"
#include "diagnostics/log_target_interface.h"

namespace Nimbel {

inline constexpr const char* kDefaultLogLineFormat = "#D| #L| #G| #M";

/// How a target starts out; it is not attached until Attach or Configure.
struct LogTargetSettings {
    int32_t level = kLogWarn;                        ///< lowest level written
    uint64_t included = 0;                           ///< groups written; 0 admits all not excluded
    uint64_t excluded = 0;                           ///< groups never written
    const char* lineFormat = kDefaultLogLineFormat;  ///< #-codes; null counts as the default
};

/// A log target. Its settings and its output are guarded by its own lock; its
/// attached flag changes only under the logger's lock. Destroying a target
/// detaches it first, so the logger never holds a destroyed target.
class LogTarget : public LogTargetInterface {
public:
    ~LogTarget() override;
    LogTarget(const LogTarget&) = delete;
    LogTarget& operator=(const LogTarget&) = delete;

    /// Detaches the target from the logger.
    virtual void Close();
    [[nodiscard]] const char* Name() const override { return "LogTarget"; }
    [[nodiscard]] std::string Format() const override;
    [[nodiscard]] bool Write(const LogEntry& entry) override = 0;

    /// Detaches the target, stores the level, the groups (through SetGroups)
    /// and the line format (null: the default), and attaches it again. Never
    /// holds the target's lock while it takes the logger's.
    void Configure(int32_t level, uint64_t included, uint64_t excluded, const char* lineFormat);

    [[nodiscard]] int32_t InterfaceVersion() const noexcept override { return 1; }
    void SetLevel(int32_t level) override;
    [[nodiscard]] int32_t GetLevel() const override;
    void SetGroups(uint64_t included, uint64_t excluded) override;
    [[nodiscard]] uint64_t GetIncluded() const override;
    [[nodiscard]] uint64_t GetExcluded() const override;
    void Attach() override;
    void Detach() override;
    [[nodiscard]] bool IsAttached() const override;

protected:
    LogTarget() : LogTarget(LogTargetSettings{}) {}
    explicit LogTarget(const LogTargetSettings& settings);

    /// Holds the target's lock; derived targets write their output under it.
    [[nodiscard]] std::unique_lock<std::mutex> LockTarget() const;
    /// The line format; read it only while LockTarget's lock is held.
    [[nodiscard]] const std::string& FormatLocked() const noexcept { return lineFormat_; }

private:
    mutable std::mutex mutex_;
    std::atomic<bool> attached_{false};
    int32_t level_;
    uint64_t included_;
    uint64_t excluded_;
    std::string lineFormat_;
};

}  // namespace Nimbel
