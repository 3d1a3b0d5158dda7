#include "plugin/app_module.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "diagnostics/allocator.h"
#include "diagnostics/log_group_table.h"
#include "diagnostics/log_level.h"
#include "diagnostics/logger.h"
#include "host/host_core.h"
#include "plugin/plugin_entry.h"
#include "tests/diagnostics/log_test_support.h"
#include "tests/plugin/loaded_module.h"

namespace Nimbel {
namespace {

TEST(AppModuleTest, LoadAnswersTheRecordAndNamesThePlugin) {
    testing::TestModule::registerCalls = 0;
    testing::LoadedModule loaded;
    testing::Load(loaded, 18, 3, 1);
    EXPECT_EQ(loaded.record.major, 18u);
    EXPECT_EQ(loaded.record.minor, 0u);
    EXPECT_EQ(loaded.record.patch, 0u);
    EXPECT_STREQ(loaded.record.shortName, "kzo-match-history");
    const AppModule& module = loaded.Module();
    EXPECT_EQ(module.Name().fullName, "jvp-be-kzo-match-history");
    EXPECT_EQ(module.Name().typeName, "backend");
    EXPECT_EQ(module.TypeNamePrefix(), "KzoMatchHistory");
    EXPECT_EQ(module.ApiTags(), (std::vector<std::string>{"Plugins", "Plugin kzo-match-history"}));
    EXPECT_EQ(module.CoreVersion().ToText(), "18.3.1");
    EXPECT_EQ(testing::TestModule::registerCalls, 1);
}

TEST(AppModuleTest, StartRoutesTheLogToTheCoreAlone) {
    testing::ScopedFreshLogger logger;
    testing::ConsoleTargetsRestorer restore;
    KzoHost::HostCore core;  // outlives the module, which unsubscribes when it stops
    testing::LoadedModule loaded;
    testing::Load(loaded, 18, 0, 7);
    std::vector<std::pair<KzoWord, std::string>> lines;
    core.SetLogSink([&](KzoWord level, const char* text) { lines.emplace_back(level, text); });

    ASSERT_TRUE(loaded.Start(core.Context()));
    EXPECT_FALSE(Logger::StdErrTarget().IsAttached());
    EXPECT_FALSE(Logger::StdOutTarget().IsAttached());
    EXPECT_FALSE(Logger::DebuggerTarget().IsAttached());
    EXPECT_NE(Logger::FindTarget("PluginLogTarget"), nullptr);
    EXPECT_EQ(loaded.Module().UserAgent(), "NimbelClient/18.0.7 (kzo-match-history)");
    EXPECT_EQ(loaded.Module().PluginHandle(), core.Context()->pluginHandle);

    Log(kLogOkay, 0, "okay %d", 1);
    Log(kLogError, LogGroups::DBG, "error %s", "two");
    Log(kLogAlways, LogGroups::XTR, "never: XTR is excluded by the logger");
    const std::vector<std::pair<KzoWord, std::string>> expected = {{0, "okay 1"}, {2, "error two"}};
    EXPECT_EQ(lines, expected);

    loaded.Stop();
    EXPECT_EQ(Logger::FindTarget("PluginLogTarget"), nullptr)
        << "destroying the module detaches it";
    Log(kLogError, 0, "after stop");
    EXPECT_EQ(lines.size(), 2u);
}

TEST(AppModuleTest, AStartFindingAPluginTargetKeepsTheLoggerAsItIs) {
    testing::ScopedFreshLogger logger;
    testing::ConsoleTargetsRestorer restore;
    KzoHost::HostCore firstCore;  // the cores outlive the modules, which unsubscribe when they stop
    KzoHost::HostCore secondCore;
    testing::LoadedModule first;
    testing::LoadedModule second;
    testing::Load(first);
    testing::Load(second);
    int firstLines = 0;
    int secondLines = 0;
    firstCore.SetLogSink([&](KzoWord, const char*) { ++firstLines; });
    secondCore.SetLogSink([&](KzoWord, const char*) { ++secondLines; });

    ASSERT_TRUE(first.Start(firstCore.Context()));
    Logger::SetLevel(kLogWarn);
    ASSERT_TRUE(second.Start(secondCore.Context()));
    EXPECT_EQ(Logger::GetLevel(), kLogWarn) << "the second Start changes nothing";
    Log(kLogError, 0, "once");
    EXPECT_EQ(firstLines, 1);
    EXPECT_EQ(secondLines, 0);
}

TEST(AppModuleTest, StartAnswersWhatOnStartAnswersAndSurvivesItsExceptions) {
    struct Case {
        testing::StartBehaviour behaviour;
        bool started;
    };
    for (const Case c : {Case{testing::StartBehaviour::Succeed, true},
                         Case{testing::StartBehaviour::Refuse, false},
                         Case{testing::StartBehaviour::Throw, false}}) {
        testing::ScopedFreshLogger logger;
        testing::ConsoleTargetsRestorer restore;
        testing::TestModule::behaviour = c.behaviour;
        KzoHost::HostCore core;
        testing::LoadedModule loaded;
        testing::Load(loaded);
        std::vector<std::string> errors;
        core.SetLogSink([&errors](KzoWord level, const char* text) {
            if (level == kLogError) errors.emplace_back(text);
        });
        EXPECT_EQ(loaded.Start(core.Context()), c.started) << static_cast<int>(c.behaviour);
        if (c.behaviour == testing::StartBehaviour::Throw) {
            EXPECT_EQ(errors, std::vector<std::string>{"Start failed with an exception: boom"});
        } else {
            EXPECT_TRUE(errors.empty()) << static_cast<int>(c.behaviour);
        }
    }
    testing::TestModule::behaviour = testing::StartBehaviour::Succeed;
}

// A module that cannot be made or set up fails the load: the record is left
// as the core filled it, and the exception is logged.
TEST(AppModuleTest, ALoadThatThrowsLeavesTheRecordUntouchedAndLogsWhatItCaught) {
    struct ThrowsWhileRegistering final : AppModule {
        void RegisterEndpoints() override { throw std::runtime_error("no endpoints"); }
    };
    struct Case {
        const char* description;
        ModuleFactory factory;
        const char* logged;
    };
    const Case cases[] = {
        {"the module's constructor",
         []() -> std::unique_ptr<AppModule> { throw std::runtime_error("no module"); },
         "kzo-match-history: load failed: no module"},
        {"exhausted memory", []() -> std::unique_ptr<AppModule> { throw std::bad_alloc(); },
         "kzo-match-history: load failed: std::bad_alloc"},
        {"not a standard exception", []() -> std::unique_ptr<AppModule> { throw 7; },
         "kzo-match-history: load failed: an exception that is not a std::exception"},
        {"registering the endpoints",
         []() -> std::unique_ptr<AppModule> { return std::make_unique<ThrowsWhileRegistering>(); },
         "kzo-match-history: load failed: no endpoints"},
    };
    for (const Case& c : cases) {
        testing::ScopedFreshLogger logger;
        testing::CaptureLogTarget capture;
        capture.Configure(kLogOkay, 0, 0, "#M");
        alignas(KzoWord) PluginLoadRecord record{};
        record.major = 18;
        record.minor = 2;
        EXPECT_NO_THROW(LoadPlugin(&record, "kzo-match-history", c.factory)) << c.description;
        EXPECT_EQ(record.minor, 2u) << c.description << ": the version is not answered";
        EXPECT_EQ(record.callbacks, nullptr) << c.description;
        EXPECT_EQ(record.module, nullptr) << c.description;
        const auto entries = capture.Entries();
        ASSERT_EQ(entries.size(), 1u) << c.description;
        EXPECT_EQ(entries[0].level, kLogError) << c.description;
        EXPECT_EQ(entries[0].message, c.logged) << c.description;
    }
    LoadPlugin(nullptr, "kzo-match-history", &testing::MakeTestModule);  // no record: nothing
}

TEST(AppModuleTest, CallbacksGivenNullArgumentsDoNothing) {
    testing::ConsoleTargetsRestorer restore;
    testing::LoadedModule loaded;
    testing::Load(loaded);
    const PluginCallbacks& callbacks = *loaded.record.callbacks;
    EXPECT_FALSE(callbacks.start(loaded.record.module, nullptr)) << "no context";
    const CoreContext withoutFunctions{nullptr, 1};
    EXPECT_FALSE(callbacks.start(loaded.record.module, &withoutFunctions)) << "no function table";
    EXPECT_FALSE(callbacks.start(nullptr, &withoutFunctions)) << "no module";
    callbacks.getMemoryStats(loaded.record.module, nullptr);
    callbacks.stop(nullptr);
}

// The core reads seven 64-bit numbers whatever its word size. Blocks of 256
// MiB obtained and freed (address space only, never touched) take the byte
// totals past 2^32, so a number cut to a 32-bit word would show.
TEST(AppModuleTest, MemoryStatsAreSevenWholeSixtyFourBitNumbers) {
    constexpr size_t kBlockBytes = size_t{256} << 20;
    for (int i = 0; i < 17; ++i) {
        void* block = Allocate(kBlockBytes);
        ASSERT_NE(block, nullptr) << "block " << i;
        Free(block);
    }
    testing::LoadedModule loaded;
    testing::Load(loaded);
    constexpr uint64_t kUnwritten = 0xA5A5A5A5A5A5A5A5u;
    uint64_t out[8];
    std::fill(std::begin(out), std::end(out), kUnwritten);
    loaded.record.callbacks->getMemoryStats(loaded.record.module, out);
    const MemoryStats stats = ReadMemoryStats();

    struct Case {
        const char* description;
        uint64_t expected;
    };
    const Case cases[] = {
        {"peak live bytes", stats.peakLiveBytes},
        {"live blocks at the peak", stats.liveBlocksAtPeak},
        {"bytes allocated", stats.bytesAllocated},
        {"allocations", stats.allocations},
        {"bytes freed", stats.bytesFreed},
        {"frees", stats.frees},
        {"the closing zero", 0},
        {"the word after the seven, not written", kUnwritten},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(out[i], cases[i].expected) << cases[i].description;
    }
    EXPECT_GT(out[2], uint64_t{1} << 32) << "bytes allocated past 32 bits";
    EXPECT_GT(out[4], uint64_t{1} << 32) << "bytes freed past 32 bits";
    EXPECT_GE(out[0], uint64_t{kBlockBytes}) << "the peak held a whole block";
}

TEST(AppModuleTest, YieldWrapsOneYieldInItsOwnWait) {
    testing::ConsoleTargetsRestorer restore;
    KzoHost::HostCore core;
    testing::LoadedModule loaded;
    testing::Load(loaded);
    core.SetLogSink([](KzoWord, const char*) {});
    ASSERT_TRUE(loaded.Start(core.Context()));
    loaded.Module().Yield();
    using Kind = KzoHost::HostCore::WaitCall::Kind;
    ASSERT_EQ(core.WaitCalls().size(), 3u);
    EXPECT_EQ(core.WaitCalls()[0].kind, Kind::Begin);
    EXPECT_EQ(core.WaitCalls()[0].label, "Wait: yield");
    EXPECT_EQ(core.WaitCalls()[1].kind, Kind::Yield);
    EXPECT_EQ(core.WaitCalls()[2].kind, Kind::End);
}

TEST(PluginNameTest, FullNamesByPluginType) {
    struct Case {
        const char* typeName;
        const char* fullName;
        bool logsError;
    };
    const Case cases[] = {
        {"backend", "jvp-be-kzo-match-history", false},
        {"frontend", "jvp-fe-kzo-match-history", false},
        {"Backend", "jvp-xx-kzo-match-history", true},  // exact, case-sensitive
        {"", "jvp-xx-kzo-match-history", true},
    };
    for (const Case& c : cases) {
        testing::ScopedFreshLogger logger;
        testing::CaptureLogTarget capture;
        capture.Configure(kLogOkay, 0, 0, "#M");
        const PluginName name =
            GetFullNameFromShortNameAndType("kzo-match-history", {c.typeName, "q"});
        EXPECT_EQ(name.fullName, c.fullName) << c.typeName;
        EXPECT_EQ(name.shortName, "kzo-match-history");
        EXPECT_EQ(name.typeName, c.typeName);
        EXPECT_EQ(name.typeQualifier, "q");
        const auto entries = capture.Entries();
        if (c.logsError) {
            ASSERT_EQ(entries.size(), 1u) << c.typeName;
            EXPECT_EQ(entries[0].level, kLogError);
            EXPECT_EQ(entries[0].message,
                      std::string("            Plugin Manager| GetFullNameFromShortNameAndType("
                                  "\"kzo-match-history\", \"") +
                          c.typeName + "\") called with an unknown type");
        } else {
            EXPECT_TRUE(entries.empty()) << c.typeName;
        }
    }
}

}  // namespace
}  // namespace Nimbel
