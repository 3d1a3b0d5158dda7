// Folding the repeated assertion reports of one unit of work, such as one
// request, so that a condition met once per item of a large answer writes one
// report, not thousands.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Nimbel {

/// While a scope is open on a thread, a soft report (Report, ReportFormatted)
/// whose expression was already reported in that scope is counted instead of
/// logged. When the scope closes, each expression reported more than once
/// logs one line at level ERROR in group DBG, in the order the expressions
/// were first reported: "<expression> repeated <N> more times" ("... 1 more
/// time" for one).
///
/// Scopes nest (a request that yields may run another on the same thread):
/// only the innermost open scope folds. Reports with an empty expression,
/// reports outside every scope and fatal reports are always logged in full.
/// A scope belongs to the thread that opened it and must close there, in
/// reverse order of opening.
class AssertionReportScope {
public:
    AssertionReportScope() noexcept;
    ~AssertionReportScope();
    AssertionReportScope(const AssertionReportScope&) = delete;
    AssertionReportScope& operator=(const AssertionReportScope&) = delete;

    /// Whether the report of `expression` is to be logged in full; when false,
    /// it has been counted by the innermost open scope of this thread.
    [[nodiscard]] static bool ClaimFullReport(const char* expression);

private:
    struct Folded {
        std::string expression;
        uint64_t repeats = 0;
    };

    std::vector<Folded> reported_;  // in the order of first report
    AssertionReportScope* outer_;
};

}  // namespace Nimbel
