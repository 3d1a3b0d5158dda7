// The base of the targets that write formatted lines to a stdio stream.
#pragma once

#include <cstdio>

#include "diagnostics/log_target.h"

namespace Nimbel {

/// Formats each accepted entry by the target's line format into a
/// kLogLineCapacity buffer and hands the line to the derived target, all under
/// the target's lock, so lines of concurrent messages never interleave.
/// The stream is borrowed; a null stream discards the lines.
class BaseConsoleLogTarget : public LogTarget {
public:
    [[nodiscard]] const char* Name() const override { return "BaseConsoleLogTarget"; }
    /// Always returns true: a console line that cannot be written is lost, and
    /// there is nowhere to report that.
    [[nodiscard]] bool Write(const LogEntry& entry) final;
    /// Pushes out whatever the stream still buffers.
    virtual void Flush() = 0;

    /// Sends later lines to `stream` instead (not owned; it must outlive the
    /// target or be replaced first). Lets a host or a test capture the output.
    void RedirectTo(std::FILE* stream);

protected:
    BaseConsoleLogTarget(const LogTargetSettings& settings, std::FILE* stream);

    /// Writes one formatted line (ending with its newline) to `stream`, which
    /// is not null. Called with the target's lock held.
    virtual void EmitLocked(std::FILE* stream, const char* line) = 0;
    /// Flushes the stream under the target's lock.
    void FlushStream();

private:
    std::FILE* stream_;
};

}  // namespace Nimbel
