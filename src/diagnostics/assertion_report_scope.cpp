#include "diagnostics/assertion_report_scope.h"

#include "diagnostics/log_group_table.h"
#include "diagnostics/log_level.h"
#include "diagnostics/logger.h"

namespace Nimbel {
namespace {

thread_local AssertionReportScope* t_innermost = nullptr;

}  // namespace

AssertionReportScope::AssertionReportScope() noexcept : outer_(t_innermost) {
    t_innermost = this;
}

AssertionReportScope::~AssertionReportScope() {
    t_innermost = outer_;
    try {
        for (const Folded& folded : reported_) {
            if (folded.repeats == 0) continue;
            const auto repeats = static_cast<unsigned long long>(folded.repeats);
            Log(kLogError, LogGroups::DBG, "%s repeated %llu more %s", folded.expression.c_str(),
                repeats, repeats == 1 ? "time" : "times");
        }
    } catch (...) {
        // A log target that fails takes the summary with it; the work is done.
    }
}

bool AssertionReportScope::ClaimFullReport(const char* expression) {
    AssertionReportScope* scope = t_innermost;
    if (scope == nullptr || expression == nullptr || expression[0] == '\0') return true;
    for (Folded& folded : scope->reported_) {
        if (folded.expression == expression) {
            ++folded.repeats;
            return false;
        }
    }
    scope->reported_.push_back(Folded{expression, 0});
    return true;
}

}  // namespace Nimbel
