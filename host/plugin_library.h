// A plug-in shared library loaded the way the platform core loads it: open the
// library, call its one export with the core's API version, check the answer,
// then Start, read memory statistics, Stop, and unload.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "abi/core_abi.h"

namespace KzoHost {

struct CoreVersion {
    uint32_t major = 18;
    uint32_t minor = 0;
    uint32_t patch = 0;
};

class PluginLibrary {
public:
    /// Opens the library at `path` and finds its export, named as
    /// ExportNameForPath says. Null with `error` set on failure, a file name
    /// of another form included.
    [[nodiscard]] static std::unique_ptr<PluginLibrary> Open(const std::string& path,
                                                             std::string& error);

    /// Stops the plug-in if it is still loaded (its module is destroyed only
    /// by Stop), then unloads the library.
    ~PluginLibrary();
    PluginLibrary(const PluginLibrary&) = delete;
    PluginLibrary& operator=(const PluginLibrary&) = delete;

    /// Calls the export. False (with `error`) when the plug-in left the record
    /// unanswered or answered it incompletely.
    [[nodiscard]] bool Load(const CoreVersion& core, std::string& error);
    [[nodiscard]] const PluginLoadRecord& Record() const noexcept { return record_; }
    [[nodiscard]] const std::string& ExportName() const noexcept { return exportName_; }

    /// Calls Start once; the context must outlive the plug-in's start.
    [[nodiscard]] bool Start(const CoreContext& context);
    /// Calls Stop once after a successful Load; later calls do nothing.
    void Stop();
    [[nodiscard]] bool IsStarted() const noexcept { return started_; }

    /// The plug-in's six counters and the trailing zero.
    [[nodiscard]] std::array<uint64_t, 7> MemoryStats() const;

private:
    PluginLibrary(void* handle, PluginLoadFn entry, std::string exportName);

    void* handle_;
    PluginLoadFn entry_;
    std::string exportName_;
    alignas(KzoWord) PluginLoadRecord record_{};  // packed: aligned here so its words are
    bool loaded_ = false;
    bool started_ = false;
};

/// The export the platform calls in the plug-in at `path`: "load_" + the short
/// name with "-" as "_", where the file name (after the last "/") is
/// "jvp-be-<short name>.so" ("jvp-be-hello.so" -> "load_hello"). The short
/// name is letters, digits, "-" and "_". None, with `error` saying why, for
/// any other file name.
[[nodiscard]] std::optional<std::string> ExportNameForPath(const std::string& path,
                                                           std::string& error);

}  // namespace KzoHost
