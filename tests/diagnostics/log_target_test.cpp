#include "diagnostics/log_target.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <tuple>
#include <vector>

#include "diagnostics/debugger_console_log_target.h"
#include "diagnostics/internal/debugger_presence.h"
#include "diagnostics/internal/executable_name.h"
#include "diagnostics/plugin_log_target.h"
#include "diagnostics/std_err_log_target.h"
#include "diagnostics/std_out_log_target.h"
#include "tests/diagnostics/log_test_support.h"

namespace Nimbel {
namespace {

using testing::CapturedStream;
using testing::ScopedFreshLogger;

struct CoreLogCall {
    KzoWord level;
    std::string text;
};

// A core whose `log` entry records its calls; the table is the first member,
// so the entry finds its recorder from the table's address.
struct FakeCore {
    CoreFunctions functions{};
    std::vector<CoreLogCall> calls;

    FakeCore() { functions.log = &FakeCore::RecordLog; }

    static KzoWord RecordLog(const CoreFunctions* table, KzoWord level, const char* text) {
        auto* core = reinterpret_cast<FakeCore*>(const_cast<CoreFunctions*>(table));
        core->calls.push_back({level, text});
        return 0;
    }
};

// What the plug-in's Start does to the logger before it hands lines to the
// core: console targets off, logger at level 0 without XTR, one plug-in target.
void SwitchToCore(PluginLogTarget& target) {
    Logger::StdOutTarget().Detach();
    Logger::StdErrTarget().Detach();
    Logger::DebuggerTarget().Detach();
    Logger::SetLevel(kLogOkay);
    Logger::SetExcludedGroups(LogGroups::XTR);
    target.Configure(Logger::GetLevel(), 0, 0, "#D| #L| #G| #M");
}

TEST(LogTargetTest, PluginTargetForwardsLevelAndUnformattedText) {
    struct Case {
        const char* description;
        int32_t level;
        uint64_t groups;
        const char* message;
        std::vector<std::string> expected;  // "<level>:<text>" per call
    };
    const Case cases[] = {
        {"level 0 without groups reaches the core", kLogOkay, 0, "okay", {"0:okay"}},
        {"ERROR in GEN", kLogError, LogGroups::GEN, "disk full", {"2:disk full"}},
        {"text is not formatted by the line format",
         kLogWarn,
         LogGroups::DBG,
         "#M ## 100%",
         {"1:#M ## 100%"}},
        {"XTR is still dropped by the logger", kLogAlways, LogGroups::XTR, "noise", {}},
    };
    for (const Case& c : cases) {
        const ScopedFreshLogger logger;
        FakeCore core;
        PluginLogTarget target(&core.functions);
        SwitchToCore(target);
        Log(c.level, c.groups, "%s", c.message);
        std::vector<std::string> calls;
        for (const CoreLogCall& call : core.calls) {
            calls.push_back(std::to_string(call.level) + ":" + call.text);
        }
        EXPECT_EQ(calls, c.expected) << c.description;
    }
}

TEST(LogTargetTest, PluginTargetIsFoundByNameUntilDestroyed) {
    const ScopedFreshLogger logger;
    FakeCore core;
    {
        PluginLogTarget target(&core.functions);
        SwitchToCore(target);
        EXPECT_EQ(Logger::FindTarget("PluginLogTarget"), &target);
    }
    EXPECT_EQ(Logger::FindTarget("PluginLogTarget"), nullptr);
    EXPECT_FALSE(Logger::StdErrTarget().IsAttached()) << "console targets stay detached";
}

TEST(LogTargetTest, PluginTargetWithoutACoreDropsLines) {
    const ScopedFreshLogger logger;
    const CoreFunctions noLog{};
    for (const CoreFunctions* core : {static_cast<const CoreFunctions*>(nullptr), &noLog}) {
        PluginLogTarget target(core);
        EXPECT_TRUE(target.Write(LogEntry{}));
    }
}

TEST(LogTargetTest, ConfigureAttachesAndReplacesSettings) {
    CapturedStream stream;
    const ScopedFreshLogger logger;
    Logger::SetLevel(kLogOkay);
    StdErrLogTarget target({}, stream.File());
    EXPECT_FALSE(target.IsAttached());
    // GEN is excluded, so it leaves the included groups.
    target.Configure(kLogOkay, LogGroups::DBG | LogGroups::GEN, LogGroups::GEN, "#L|#G|#M");
    EXPECT_TRUE(target.IsAttached());
    Log(kLogOkay, LogGroups::DBG, "kept");
    Log(kLogOkay, LogGroups::GEN, "excluded");
    EXPECT_EQ(stream.Text(), "  OKAY|DBG|kept\n");
}

TEST(LogTargetTest, StdOutFlushPolicyDecidesWhenLinesLeaveTheBuffer) {
    struct Case {
        const char* description;
        FlushPolicy policy;
        bool visibleBeforeFlush;
    };
    const Case cases[] = {
        {"buffered", FlushPolicy::Buffered, false},
        {"after each line", FlushPolicy::AfterEachLine, true},
    };
    for (const Case& c : cases) {
        CapturedStream stream;
        std::setvbuf(stream.File(), nullptr, _IOFBF, 1 << 16);
        StdOutLogTarget target({kLogOkay, 0, 0, "#M"}, stream.File());
        target.SetFlushPolicy(c.policy);
        std::ignore = target.Write(LogEntry{{}, kLogWarn, 0, "line"});
        struct stat status {};
        ASSERT_EQ(fstat(fileno(stream.File()), &status), 0);
        EXPECT_EQ(status.st_size > 0, c.visibleBeforeFlush) << c.description;
        target.Flush();
        ASSERT_EQ(fstat(fileno(stream.File()), &status), 0);
        EXPECT_EQ(status.st_size, 5) << c.description;
    }
}

TEST(LogTargetTest, DebuggerTargetWritesOnlyWhileADebuggerIsAttached) {
    struct Case {
        const char* description;
        DebuggerProbe probe;
        std::string expected;
    };
    const Case cases[] = {
        {"no debugger", []() noexcept { return false; }, ""},
        {"debugger attached", []() noexcept { return true; }, "line\n"},
    };
    for (const Case& c : cases) {
        CapturedStream stream;
        DebuggerConsoleLogTarget target({kLogOkay, 0, 0, "#M"}, stream.File(), c.probe);
        EXPECT_TRUE(target.Write(LogEntry{{}, kLogWarn, 0, "line"})) << c.description;
        EXPECT_EQ(stream.Text(), c.expected) << c.description;
    }
}

TEST(LogTargetTest, TracerPidInTheStatusTextMeansADebugger) {
    struct Case {
        const char* description;
        const char* status;
        bool expected;
    };
    const Case cases[] = {
        {"not traced", "Name:\thost\nTracerPid:\t0\nUid:\t0\n", false},
        {"traced", "Name:\thost\nTracerPid:\t4242\nUid:\t0\n", true},
        {"field first, no newline", "TracerPid:\t7", true},
        {"field missing", "Name:\thost\n", false},
        {"similar field name", "XTracerPid:\t9\n", false},
        {"null", nullptr, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(internal::StatusShowsTracer(c.status), c.expected) << c.description;
    }
}

TEST(LogTargetTest, ExecutableNameIsThePartAfterTheLastSlash) {
    struct Case {
        const char* description;
        const char* path;
        std::string expected;
    };
    const Case cases[] = {
        {"absolute path", "/usr/lib/core/host-core", "host-core"},
        {"bare name", "host-core", "host-core"},
        {"trailing slash", "/usr/lib/", ""},
        {"null", nullptr, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(internal::FileNamePart(c.path), c.expected) << c.description;
    }
    EXPECT_STREQ(Logger::ExecutableName(), "kzo_tests");
}

}  // namespace
}  // namespace Nimbel
