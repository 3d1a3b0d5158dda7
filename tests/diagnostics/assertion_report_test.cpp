#include "diagnostics/assertion_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "diagnostics/assertion_report_scope.h"
#include "diagnostics/log_group_table.h"
#include "diagnostics/log_level.h"
#include "tests/diagnostics/log_test_support.h"

namespace Nimbel {
namespace {

using testing::CaptureLogTarget;
using testing::ScopedFreshLogger;

TEST(AssertionReportTest, TextHasOnlyThePartsThatArePresent) {
    struct Case {
        const char* description;
        AssertionReport report;
        std::string expected;
    };
    const Case cases[] = {
        {"code only",
         {kAssertIncompatibleCore, "", "", 0, ""},
         "Assertion failed!\n\nExpression: ALE-EECF0606"},
        {"description only",
         {"", "the future broke", "", 0, ""},
         "Assertion failed!\n\n\n\nDescription: the future broke"},
        {"every part",
         {"count > 0", "no games", "match_list.cpp", 12, "Load"},
         "Assertion failed!\n\nFile: match_list.cpp\nLine: 12\n\nFunction: Load\n\n"
         "Expression: count > 0\n\nDescription: no games"},
        {"negative line, no file",
         {"x", "", "", -3, ""},
         "Assertion failed!\n\nLine: -3\n\nExpression: x"},
        {"line 0 and empty file write neither line",
         {"x", "", "", 0, "Run"},
         "Assertion failed!\n\nFunction: Run\n\nExpression: x"},
        {"null texts count as empty",
         {nullptr, nullptr, nullptr, 0, nullptr},
         "Assertion failed!\n\n"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.report.Text(), c.expected) << c.description;
    }
}

TEST(AssertionReportTest, ReportLogsItsTextLiterallyAtErrorInDbg) {
    const ScopedFreshLogger logger;
    CaptureLogTarget target;
    target.Configure(kLogOkay, 0, 0, nullptr);
    Report("100%s done", "", "", 0, "");
    const auto entries = target.Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].level, kLogError);
    EXPECT_EQ(entries[0].groups, LogGroups::DBG);
    EXPECT_EQ(entries[0].message, "Assertion failed!\n\nExpression: 100%s done");
}

TEST(AssertionReportTest, FormattedDescriptionIsExpandedAndCutAt1023Characters) {
    const ScopedFreshLogger logger;
    CaptureLogTarget target;
    target.Configure(kLogOkay, 0, 0, nullptr);
    const std::string longText(2000, 'd');
    ReportFormatted(kAssertTimeConversion, "", 0, "", "%d ms", -5);
    ReportFormatted("", "", 0, "", "%s", longText.c_str());
    const auto entries = target.Entries();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].message,
              "Assertion failed!\n\nExpression: ALE-8A14EBBK\n\nDescription: -5 ms");
    EXPECT_EQ(entries[1].message,
              "Assertion failed!\n\n\n\nDescription: " + std::string(1023, 'd'));
}

/// The messages a target captured, reports shortened to "full <expression>".
[[nodiscard]] std::vector<std::string> Outline(const CaptureLogTarget& target) {
    const std::string reportHead = "Assertion failed!\n\nExpression: ";
    std::vector<std::string> lines;
    for (const auto& entry : target.Entries()) {
        EXPECT_EQ(entry.level, kLogError) << entry.message;
        EXPECT_EQ(entry.groups, LogGroups::DBG) << entry.message;
        lines.push_back(entry.message.starts_with(reportHead)
                            ? "full " + entry.message.substr(reportHead.size())
                            : entry.message);
    }
    return lines;
}

TEST(AssertionReportTest, AScopeFoldsRepeatedExpressionsIntoOneCountWhenItCloses) {
    struct Case {
        const char* description;
        std::vector<const char*> reported;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"one report", {"A"}, {"full A"}},
        {"a repeat", {"A", "A"}, {"full A", "A repeated 1 more time"}},
        {"many repeats", {"A", "A", "A", "A", "A"}, {"full A", "A repeated 4 more times"}},
        {"two expressions, counted apart, in order of first report",
         {"B", "A", "B", "A", "B"},
         {"full B", "full A", "B repeated 2 more times", "A repeated 1 more time"}},
        {"an empty expression is never folded",
         {"", ""},
         {"Assertion failed!\n\n", "Assertion failed!\n\n"}},
        {"a text that looks like a directive is kept as written",
         {"50%s", "50%s"},
         {"full 50%s", "50%s repeated 1 more time"}},
    };
    for (const Case& c : cases) {
        const ScopedFreshLogger logger;
        CaptureLogTarget target;
        target.Configure(kLogOkay, 0, 0, nullptr);
        {
            const AssertionReportScope scope;
            for (const char* expression : c.reported) Report(expression, "", "", 0, "");
        }
        EXPECT_EQ(Outline(target), c.expected) << c.description;
    }
}

TEST(AssertionReportTest, OnlyTheInnermostScopeFoldsAndNoScopeFoldsNothing) {
    const ScopedFreshLogger logger;
    CaptureLogTarget target;
    target.Configure(kLogOkay, 0, 0, nullptr);
    Report("A", "", "", 0, "");
    Report("A", "", "", 0, "");
    {
        const AssertionReportScope request;
        Report("A", "", "", 0, "");
        {
            const AssertionReportScope nested;
            ReportFormatted("A", "", 0, "", "%d", 1);
            ReportFormatted("A", "", 0, "", "%d", 2);
        }
        Report("A", "", "", 0, "");
    }
    const std::vector<std::string> expected = {
        "full A",
        "full A",                    // outside every scope
        "full A",                    // the request's first
        "full A\n\nDescription: 1",  // the nested scope's first
        "A repeated 1 more time",    // the nested scope closes
        "A repeated 1 more time",    // the request closes
    };
    EXPECT_EQ(Outline(target), expected);
}

TEST(AssertionReportDeathTest, AFatalReportIsWrittenInFullEvenWhenItsCodeWasFolded) {
    EXPECT_DEATH(
        {
            const ScopedFreshLogger logger;
            Logger::StdErrTarget().RedirectTo(stderr);
            const AssertionReportScope scope;
            Report(kAssertFutureError, "", "", 0, "");
            Fatal(kAssertFutureError, "", "", 0, "");
        },
        "Expression: ALE-6D828C10.*ERROR\\| Assertion failed!\n\nExpression: ALE-6D828C10");
}

TEST(AssertionReportDeathTest, FatalLogsTheReportThenAborts) {
    EXPECT_DEATH(
        {
            const ScopedFreshLogger logger;
            Logger::StdErrTarget().RedirectTo(stderr);
            Fatal(kAssertFutureError, "", "", 0, "");
        },
        "ERROR\\| Assertion failed!\n\nExpression: ALE-6D828C10");
}

}  // namespace
}  // namespace Nimbel
