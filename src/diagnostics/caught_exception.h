// Reporting an exception caught where it must go no further: at the functions
// the core calls, which no exception may leave.
#pragma once

namespace Nimbel {

/// The text of the exception being handled: what() of a std::exception, else
/// a fixed text. Valid until the handling catch block ends; call it only
/// inside one.
[[nodiscard]] const char* CaughtExceptionText() noexcept;

/// Inside a catch block: logs at level ERROR in group DBG the expansion of the
/// printf `format`, then ": " and CaughtExceptionText(). Never throws: a line
/// that cannot be logged is dropped.
void LogCaughtException(const char* format, ...) noexcept __attribute__((format(printf, 1, 2)));

}  // namespace Nimbel
