#include "diagnostics/logger.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/codecs/comma_decimal_locale.h"
#include "tests/diagnostics/log_test_support.h"

namespace Nimbel {
namespace {

using testing::CapturedStream;
using testing::CaptureLogTarget;
using testing::ScopedFreshLogger;

bool DebuggerPresent() noexcept {
    return true;
}

// The three built-in targets with their default settings, each writing to a
// stream of its own; the standard-output target is attached too.
struct BuiltInCapture {
    CapturedStream stdErr;
    CapturedStream stdOut;
    CapturedStream debugger;
    ScopedFreshLogger logger;  // after the streams, so it goes before them

    BuiltInCapture() {
        Logger::StdErrTarget().RedirectTo(stdErr.File());
        Logger::StdOutTarget().RedirectTo(stdOut.File());
        Logger::DebuggerTarget().RedirectTo(debugger.File());
        Logger::DebuggerTarget().SetDebuggerProbe(DebuggerPresent);
        Logger::StdOutTarget().Attach();
    }
};

TEST(LoggerTest, BuiltInTargetsFilterByLevelAndGroups) {
    struct Case {
        const char* description;
        int32_t level;
        uint64_t groups;
        bool toStdErr;
        bool toStdOut;
        bool toDebugger;
    };
    const Case cases[] = {
        {"level 0 without groups reaches no target", kLogOkay, 0, false, false, false},
        {"XTR is dropped by the logger", kLogAlways, LogGroups::XTR, false, false, false},
        {"XTR with DBG is still dropped", kLogAlways, LogGroups::XTR | LogGroups::DBG, false, false,
         false},
        {"DBG reaches standard error and debugger", kLogWarn, LogGroups::DBG, true, false, true},
        {"GEN reaches standard output only", kLogWarn, LogGroups::GEN, false, true, false},
        {"ungrouped WARN reaches every target", kLogWarn, 0, true, true, true},
        {"PRF is in no target's included groups", kLogError, LogGroups::PRF, false, false, false},
        {"DBG with GEN: each target's exclusion wins", kLogWarn, LogGroups::DBG | LogGroups::GEN,
         false, false, true},
    };
    for (const Case& c : cases) {
        const BuiltInCapture capture;
        Log(c.level, c.groups, "message %d", 42);
        const auto wrote = [](const CapturedStream& s) {
            return s.Text().find("message 42") != std::string::npos;
        };
        EXPECT_EQ(wrote(capture.stdErr), c.toStdErr) << c.description;
        EXPECT_EQ(wrote(capture.stdOut), c.toStdOut) << c.description;
        EXPECT_EQ(wrote(capture.debugger), c.toDebugger) << c.description;
    }
}

TEST(LoggerTest, NumbersInLinesPrintAsInTheCLocaleUnderACommaDecimalLocale) {
    const testing::CommaDecimalLocale locale;
    if (!locale.Active()) GTEST_SKIP() << testing::kNoCommaDecimalLocale;
    const BuiltInCapture capture;
    Log(kLogError, 0, "took %.3f s", 0.25);
    EXPECT_EQ(capture.stdOut.Text(), "took 0.250 s\n");
}

TEST(LoggerTest, BuiltInLineFormats) {
    const BuiltInCapture capture;
    Log(kLogError, 0, "%s", "ready");
    const std::string consoleSuffix = "):  ERROR| ready\n";
    const std::string stdErr = capture.stdErr.Text();
    EXPECT_EQ(stdErr.rfind("kzo_tests(0x", 0), 0u) << stdErr;
    EXPECT_EQ(stdErr.substr(stdErr.size() - consoleSuffix.size()), consoleSuffix) << stdErr;
    EXPECT_EQ(capture.stdOut.Text(), "ready\n");
    EXPECT_EQ(capture.debugger.Text(), stdErr);
}

TEST(LoggerTest, LoggerLevelExclusionsAndDisableApplyBeforeAnyTarget) {
    struct Case {
        const char* description;
        void (*configure)();
        int32_t level;
        uint64_t groups;
        bool written;
    };
    const Case cases[] = {
        {"level 0 passes a logger at level 0", [] { Logger::SetLevel(kLogOkay); }, kLogOkay, 0,
         true},
        {"below the logger's level", [] { Logger::SetLevel(kLogError); }, kLogWarn, 0, false},
        {"excluded group", [] { Logger::SetExcludedGroups(LogGroups::NET); }, kLogAlways,
         LogGroups::NET | LogGroups::GEN, false},
        {"XTR passes once no longer excluded", [] { Logger::SetExcludedGroups(0); }, kLogWarn,
         LogGroups::XTR, true},
        {"disabled", [] { Logger::Disable(); }, kLogAlways, 0, false},
        {"enabled again",
         [] {
             Logger::Disable();
             Logger::Enable();
         },
         kLogAlways, 0, true},
    };
    for (const Case& c : cases) {
        const ScopedFreshLogger logger;
        CaptureLogTarget target;
        target.Configure(kLogOkay, 0, 0, "#M");
        c.configure();
        Log(c.level, c.groups, "x");
        EXPECT_EQ(target.Entries().size(), c.written ? 1u : 0u) << c.description;
    }
}

TEST(LoggerTest, TargetFiltersAreAppliedPerTarget) {
    const ScopedFreshLogger logger;
    CaptureLogTarget errorsOnly;
    errorsOnly.Configure(kLogError, 0, 0, nullptr);
    CaptureLogTarget netNotDsk;
    // The excluded group is taken out of the included ones.
    netNotDsk.Configure(kLogWarn, LogGroups::NET | LogGroups::DSK, LogGroups::DSK, nullptr);

    Log(kLogWarn, LogGroups::NET, "warn net");
    Log(kLogError, LogGroups::DSK, "error dsk");
    Log(kLogError, LogGroups::NET | LogGroups::DSK, "error net dsk");
    Log(kLogWarn, 0, "warn ungrouped");

    std::vector<std::string> errors;
    for (const auto& entry : errorsOnly.Entries()) errors.push_back(entry.message);
    std::vector<std::string> net;
    for (const auto& entry : netNotDsk.Entries()) net.push_back(entry.message);
    EXPECT_EQ(errors, (std::vector<std::string>{"error dsk", "error net dsk"}));
    EXPECT_EQ(net, (std::vector<std::string>{"warn net", "warn ungrouped"}));
}

TEST(LoggerTest, CountsWarningsAndErrorsThatPassTheLogger) {
    const ScopedFreshLogger logger;
    Logger::StdErrTarget().Detach();
    Logger::DebuggerTarget().Detach();
    Log(kLogWarn, 0, "counted although no target is attached");
    Log(kLogWarn, LogGroups::GEN, "w");
    Log(kLogError, LogGroups::DBG, "e");
    Log(kLogOkay, 0, "below the logger's level");
    Log(kLogAlways, 0, "neither WARN nor ERROR");
    Log(kLogError, LogGroups::XTR, "excluded");
    EXPECT_EQ(Logger::WarningCount(), 2u);
    EXPECT_EQ(Logger::ErrorCount(), 1u);
}

TEST(LoggerTest, LastReleaseDetachesTargetsLastAttachedFirstAndResetsSettings) {
    std::vector<std::string> journal;
    CaptureLogTarget first({}, &journal, "first");
    CaptureLogTarget second({}, &journal, "second");
    {
        const ScopedFreshLogger logger;
        first.Attach();
        second.Attach();
        Logger::SetLevel(kLogAlways);
        EXPECT_EQ(Logger::FindTarget("CaptureLogTarget"), &first);
    }
    EXPECT_EQ(journal, (std::vector<std::string>{"second", "first"}));
    EXPECT_FALSE(first.IsAttached());

    const LoggerReference fresh;
    EXPECT_EQ(Logger::FindTarget("CaptureLogTarget"), nullptr);
    EXPECT_EQ(Logger::GetLevel(), kLogWarn);
    EXPECT_EQ(Logger::GetExcludedGroups(), LogGroups::XTR);
    EXPECT_TRUE(Logger::StdErrTarget().IsAttached());
    EXPECT_FALSE(Logger::StdOutTarget().IsAttached());
    EXPECT_NE(Logger::FindTarget("DebuggerConsoleLogTarget"), nullptr);
}

TEST(LoggerTest, DestroyedTargetLeavesTheList) {
    const ScopedFreshLogger logger;
    {
        CaptureLogTarget target;
        target.Configure(kLogOkay, 0, 0, nullptr);
        target.Attach();
        EXPECT_NE(Logger::FindTarget("CaptureLogTarget"), nullptr);
    }
    EXPECT_EQ(Logger::FindTarget("CaptureLogTarget"), nullptr);
    Log(kLogAlways, 0, "dispatch must not reach the destroyed target");
}

TEST(LoggerTest, RemoveTargetTakesOutEveryOccurrence) {
    const ScopedFreshLogger logger;
    CaptureLogTarget target;
    target.SetLevel(kLogOkay);
    Logger::AddTarget(target);
    Logger::AddTarget(target);
    Log(kLogWarn, 0, "twice");
    EXPECT_EQ(target.Entries().size(), 2u);
    Logger::RemoveTarget(target);
    Log(kLogWarn, 0, "gone");
    EXPECT_EQ(target.Entries().size(), 2u);
}

TEST(LoggerTest, ReconfiguringWhileOtherThreadsLogNeitherDeadlocksNorLosesCounts) {
    const ScopedFreshLogger logger;
    Logger::StdErrTarget().Detach();
    Logger::DebuggerTarget().Detach();
    CaptureLogTarget target;
    target.Configure(kLogOkay, 0, 0, nullptr);
    constexpr int kThreads = 3;
    constexpr int kMessages = 2000;
    std::atomic<bool> done{false};
    std::thread reconfigure([&] {
        int32_t level = kLogOkay;
        while (!done.load()) {
            target.Configure(level, 0, 0, "#L| #M");
            level = level == kLogOkay ? kLogWarn : kLogOkay;
        }
    });
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([] {
            for (int i = 0; i < kMessages; ++i) Log(kLogWarn, 0, "message %d", i);
        });
    }
    for (std::thread& writer : writers) writer.join();
    done.store(true);
    reconfigure.join();
    EXPECT_EQ(Logger::WarningCount(), uint32_t{kThreads * kMessages});
    EXPECT_LE(target.Entries().size(), size_t{kThreads} * kMessages);
}

}  // namespace
}  // namespace Nimbel
