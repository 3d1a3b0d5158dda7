// Reports of broken invariants. A failed assertion logs a fixed multi-line
// report at level ERROR in group DBG; a soft assertion then lets the caller go
// on, a fatal one ends the process at once.
#pragma once

#include <cstdint>
#include <string>

namespace Nimbel {

/// Codes of the system's assertion sites, passed as the report's expression.
/// The core's plug-in API version is not compatible (fatal).
inline constexpr const char* kAssertIncompatibleCore = "ALE-EECF0606";
/// Awaiting a future raised a future error (fatal).
inline constexpr const char* kAssertFutureError = "ALE-6D828C10";
/// Milliseconds could not be converted to a UTC calendar time (soft).
inline constexpr const char* kAssertTimeConversion = "ALE-8A14EBBK";

/// What a report says. Empty texts (or null pointers) and a line of 0 are
/// absent and leave their part out of the text. The texts are borrowed.
struct AssertionReport {
    const char* expression = "";
    const char* description = "";
    const char* file = "";
    int32_t line = 0;
    const char* function = "";

    /// The report's text:
    ///   "Assertion failed!\n\n"
    ///   "File: <file>\n"                      when the file is not empty
    ///   "Line: <line>\n\n"                    when the line is not 0
    ///   "Function: <function>\n\n"            when the function is not empty
    ///   "Expression: <expression>"            when the expression is not empty
    ///   "\n\nDescription: <description>"      when the description is not empty
    [[nodiscard]] std::string Text() const;
};

/// Logs the report's text literally at level ERROR in group DBG, and returns.
/// Inside an AssertionReportScope, an expression already reported there is
/// counted instead (see AssertionReportScope).
void Report(const char* expression, const char* description, const char* file, int32_t line,
            const char* function);

/// Report with the description expanded by the C library's printf into a
/// 1024-byte buffer (cut beyond 1023 characters).
void ReportFormatted(const char* expression, const char* file, int32_t line, const char* function,
                     const char* descriptionFormat, ...) __attribute__((format(printf, 5, 6)));

/// Logs the report in full (never folded by a scope), then ends the process
/// abnormally with std::abort, without unwinding and without running exit
/// handlers. Logging first lets the report reach every attached target, the
/// core's included.
[[noreturn]] void Fatal(const char* expression, const char* description, const char* file,
                        int32_t line, const char* function);

}  // namespace Nimbel
