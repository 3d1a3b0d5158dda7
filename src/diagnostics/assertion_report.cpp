#include "diagnostics/assertion_report.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "diagnostics/assertion_report_scope.h"
#include "diagnostics/c_locale.h"
#include "diagnostics/log_group_table.h"
#include "diagnostics/log_level.h"
#include "diagnostics/logger.h"

namespace Nimbel {
namespace {

constexpr size_t kDescriptionCapacity = 1024;

bool IsPresent(const char* text) {
    return text != nullptr && text[0] != '\0';
}

void LogReport(const AssertionReport& report) {
    Log(kLogError, LogGroups::DBG, "%s", report.Text().c_str());
}

}  // namespace

std::string AssertionReport::Text() const {
    std::string text = "Assertion failed!\n\n";
    if (IsPresent(file)) {
        text += "File: ";
        text += file;
        text += "\n";
    }
    if (line != 0) {
        text += "Line: ";
        text += std::to_string(line);
        text += "\n\n";
    }
    if (IsPresent(function)) {
        text += "Function: ";
        text += function;
        text += "\n\n";
    }
    if (IsPresent(expression)) {
        text += "Expression: ";
        text += expression;
    }
    if (IsPresent(description)) {
        text += "\n\nDescription: ";
        text += description;
    }
    return text;
}

void Report(const char* expression, const char* description, const char* file, int32_t line,
            const char* function) {
    if (!AssertionReportScope::ClaimFullReport(expression)) return;
    LogReport(AssertionReport{expression, description, file, line, function});
}

void ReportFormatted(const char* expression, const char* file, int32_t line, const char* function,
                     const char* descriptionFormat, ...) {
    if (!AssertionReportScope::ClaimFullReport(expression)) return;
    char description[kDescriptionCapacity] = "";
    if (descriptionFormat != nullptr) {
        va_list arguments;
        va_start(arguments, descriptionFormat);
        const CLocaleScope cLocale;
        if (std::vsnprintf(description, sizeof description, descriptionFormat, arguments) < 0) {
            description[0] = '\0';
        }
        va_end(arguments);
    }
    LogReport(AssertionReport{expression, description, file, line, function});
}

void Fatal(const char* expression, const char* description, const char* file, int32_t line,
           const char* function) {
    LogReport(AssertionReport{expression, description, file, line, function});
    std::abort();
}

}  // namespace Nimbel
