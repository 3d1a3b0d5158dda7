// The operations through which the logger reaches a log target, so that
// targets made elsewhere (another library, a test) can be attached as well as
// the framework's own.
#pragma once

#include <cstdint>
#include <string>

#include "diagnostics/log_entry.h"

namespace Nimbel {

/// A destination of log lines with its own level and group filters.
///
/// The logger calls GetLevel, GetIncluded, GetExcluded and Write while it
/// holds its own lock; an implementation may take a lock of its own inside
/// them (the order is always logger, then target) but must never take the
/// logger's lock while it holds its own.
class LogTargetInterface {
public:
    virtual ~LogTargetInterface() = default;

    /// The version of this table of operations: 1.
    [[nodiscard]] virtual int32_t InterfaceVersion() const noexcept = 0;
    /// Lines below `level` are not written.
    virtual void SetLevel(int32_t level) = 0;
    [[nodiscard]] virtual int32_t GetLevel() const = 0;
    /// Stores `included & ~excluded` as the included groups and `excluded` as
    /// the excluded groups. An empty included mask admits every group that is
    /// not excluded; a message without groups passes both masks.
    virtual void SetGroups(uint64_t included, uint64_t excluded) = 0;
    [[nodiscard]] virtual uint64_t GetIncluded() const = 0;
    [[nodiscard]] virtual uint64_t GetExcluded() const = 0;
    /// The target's class name; a text that lives as long as the program.
    [[nodiscard]] virtual const char* Name() const = 0;
    /// A copy of the line format (#-codes, see log_line_format.h).
    [[nodiscard]] virtual std::string Format() const = 0;
    /// Appends the target to the logger's list, once, creating the logger if
    /// there is none. The target must stay alive until it is detached.
    virtual void Attach() = 0;
    /// Removes every occurrence of the target from the logger's list; does
    /// nothing when it is not attached.
    virtual void Detach() = 0;
    [[nodiscard]] virtual bool IsAttached() const = 0;
    /// Writes one accepted entry. Returns whether the target took the line; the
    /// logger goes on with the other targets either way.
    [[nodiscard]] virtual bool Write(const LogEntry& entry) = 0;
};

}  // namespace Nimbel
