// The base of the targets that write formatted lines to a stdio stream.
#pragma once

#include <atomic>
#include <cstdio>

#include "diagnostics/log_target.h"

namespace Nimbel {

/// Whether a console target flushes its stream after every line.
enum class FlushPolicy { Buffered, AfterEachLine };

/// Formats each accepted entry by the target's line format into a
/// kLogLineCapacity buffer and hands the line to the derived target, all under
/// the target's lock, so lines of concurrent messages never interleave.
/// The stream is borrowed; a null stream discards the lines. Unless a derived
/// target decides otherwise, each line is written to the stream as it is, and
/// flushed at once under FlushPolicy::AfterEachLine.
class BaseConsoleLogTarget : public LogTarget {
public:
    [[nodiscard]] const char* Name() const override { return "BaseConsoleLogTarget"; }
    /// Always returns true: a console line that cannot be written is lost, and
    /// there is nowhere to report that.
    [[nodiscard]] bool Write(const LogEntry& entry) final;
    /// Pushes out whatever the stream still buffers.
    virtual void Flush();

    /// Sends later lines to `stream` instead (not owned; it must outlive the
    /// target or be replaced first). Lets a host or a test capture the output.
    void RedirectTo(std::FILE* stream);

protected:
    BaseConsoleLogTarget(const LogTargetSettings& settings, std::FILE* stream);

    /// Writes one formatted line (ending with its newline) to `stream`, which
    /// is not null, flushing it as the flush policy says. Called with the
    /// target's lock held.
    virtual void EmitLocked(std::FILE* stream, const char* line);
    /// Flushes the stream under the target's lock.
    void FlushStream();
    void SetFlushPolicy(FlushPolicy policy) noexcept { flushPolicy_.store(policy); }

private:
    std::FILE* stream_;
    std::atomic<FlushPolicy> flushPolicy_{FlushPolicy::Buffered};
};

}  // namespace Nimbel
