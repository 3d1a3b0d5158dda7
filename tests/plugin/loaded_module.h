// A framework module loaded through the plug-in entry, for tests that drive
// a module the way the core does without a shared library in between.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "diagnostics/log_level.h"
#include "diagnostics/logger.h"
#include "host/host_core.h"
#include "plugin/app_module.h"
#include "plugin/plugin_entry.h"

namespace Nimbel::testing {

enum class StartBehaviour { Succeed, Refuse, Throw };

class TestModule final : public AppModule {
public:
    static inline StartBehaviour behaviour = StartBehaviour::Succeed;
    static inline int registerCalls = 0;

    void RegisterEndpoints() override { ++registerCalls; }
    bool OnStart() override {
        if (behaviour == StartBehaviour::Throw) throw std::runtime_error("boom");
        return behaviour == StartBehaviour::Succeed;
    }
};

inline std::unique_ptr<AppModule> MakeTestModule() {
    return std::make_unique<TestModule>();
}

struct LoadedModule {
    alignas(KzoWord) PluginLoadRecord record{};
    AppModule& Module() const { return *static_cast<AppModule*>(record.module); }
    bool Start(const CoreContext* context) const {
        return record.callbacks->start(record.module, context);
    }
    void Stop() {
        if (record.module != nullptr) record.callbacks->stop(record.module);
        record.module = nullptr;
    }
    ~LoadedModule() { Stop(); }
};

inline void Load(LoadedModule& loaded, KzoWord major = 18, KzoWord minor = 0, KzoWord patch = 0) {
    loaded.record.major = major;
    loaded.record.minor = minor;
    loaded.record.patch = patch;
    LoadPlugin(&loaded.record, "kzo-match-history", &MakeTestModule);
    ASSERT_NE(loaded.record.module, nullptr);
}

// Restores the console targets that a module's Start detaches, so later
// tests see the logger as a fresh process would.
struct ConsoleTargetsRestorer {
    ~ConsoleTargetsRestorer() {
        Logger::StdErrTarget().Attach();
        Logger::DebuggerTarget().Attach();
        Logger::SetLevel(kLogWarn);
    }
};

/// A test module loaded and started on a reference host core.
struct StartedModule {
    ConsoleTargetsRestorer restore;
    KzoHost::HostCore core;  // outlives the module, which unsubscribes when it stops
    LoadedModule loaded;

    // The core's log lines are dropped unless `echoLog`: then they go to
    // standard error, where death tests look for a fatal report.
    explicit StartedModule(bool echoLog = false) {
        Load(loaded);
        if (!echoLog) core.SetLogSink([](KzoWord, const char*) {});
    }
    /// Starts the module; peers and log sinks should be in place first, since
    /// a module may send requests while it starts.
    void Start() { EXPECT_TRUE(loaded.Start(core.Context())); }
    AppModule& Module() { return loaded.Module(); }
};

}  // namespace Nimbel::testing
