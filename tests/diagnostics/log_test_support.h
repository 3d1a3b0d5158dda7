// Helpers shared by the logging and formatting tests: a target that records
// what reaches it, a stdio stream whose text can be read back, a fresh
// process-wide logger, and a record that messages print through ToFormatText.
#pragma once

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "diagnostics/log_target.h"
#include "diagnostics/logger.h"

namespace Nimbel::testing {

/// A record printed through ToFormatText, standing in for the failure record.
struct TestFailure {
    int32_t code;
    std::string message;
};
inline std::string ToFormatText(const TestFailure& failure) {
    return "Failure " + std::to_string(failure.code) + ": " + failure.message;
}

struct CapturedEntry {
    int32_t level = 0;
    uint64_t groups = 0;
    std::string message;
};

/// Records every entry written to it; optionally records its detaches in a
/// shared journal under a label, to observe the order of detaching.
class CaptureLogTarget final : public LogTarget {
public:
    explicit CaptureLogTarget(const LogTargetSettings& settings = {},
                              std::vector<std::string>* detachJournal = nullptr,
                              std::string label = "")
        : LogTarget(settings), journal_(detachJournal), label_(std::move(label)) {}
    ~CaptureLogTarget() override { Close(); }

    [[nodiscard]] const char* Name() const override { return "CaptureLogTarget"; }
    [[nodiscard]] bool Write(const LogEntry& entry) override {
        const std::lock_guard lock(mutex_);
        entries_.push_back({entry.level, entry.groups, entry.message});
        return true;
    }
    void Detach() override {
        if (IsAttached() && journal_ != nullptr) journal_->push_back(label_);
        LogTarget::Detach();
    }

    [[nodiscard]] std::vector<CapturedEntry> Entries() const {
        const std::lock_guard lock(mutex_);
        return entries_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<CapturedEntry> entries_;
    std::vector<std::string>* journal_;
    std::string label_;
};

/// A temporary file to hand to a console target as its stream.
class CapturedStream {
public:
    CapturedStream() : file_(std::tmpfile()) {}
    ~CapturedStream() { std::fclose(file_); }
    CapturedStream(const CapturedStream&) = delete;
    CapturedStream& operator=(const CapturedStream&) = delete;

    [[nodiscard]] std::FILE* File() const { return file_; }
    /// Everything written so far, after flushing the stream's buffer.
    [[nodiscard]] std::string Text() const {
        std::fflush(file_);
        const long end = std::ftell(file_);
        std::string text(static_cast<size_t>(end), '\0');
        std::rewind(file_);
        const size_t read = std::fread(text.data(), 1, text.size(), file_);
        text.resize(read);
        std::fseek(file_, 0, SEEK_END);
        return text;
    }

private:
    std::FILE* file_;
};

/// Drops a logger left by an earlier test (one created by a message holds no
/// reference, so acquiring and releasing destroys it), then holds a fresh one
/// with the default settings for the life of this object. The built-in
/// console targets discard their lines unless a test redirects them.
class ScopedFreshLogger {
public:
    ScopedFreshLogger() {
        Logger::StdErrTarget().RedirectTo(nullptr);
        Logger::StdOutTarget().RedirectTo(nullptr);
        Logger::DebuggerTarget().RedirectTo(nullptr);
    }

private:
    struct DropLeftover {
        DropLeftover() { const LoggerReference leftover; }
    };
    DropLeftover drop_;
    LoggerReference reference_;
};

}  // namespace Nimbel::testing
