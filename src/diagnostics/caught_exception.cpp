#include "diagnostics/caught_exception.h"

#include <cstdarg>
#include <cstdio>
#include <exception>

#include "diagnostics/c_locale.h"
#include "diagnostics/log_group_table.h"
#include "diagnostics/log_level.h"
#include "diagnostics/logger.h"

namespace Nimbel {

const char* CaughtExceptionText() noexcept {
    try {
        throw;
    } catch (const std::exception& error) {
        return error.what();
    } catch (...) {
        return "an exception that is not a std::exception";
    }
}

void LogCaughtException(const char* format, ...) noexcept {
    char context[512];
    va_list arguments;
    va_start(arguments, format);
    const CLocaleScope cLocale;
    if (std::vsnprintf(context, sizeof context, format, arguments) < 0) context[0] = '\0';
    va_end(arguments);
    try {
        Log(kLogError, LogGroups::DBG, "%s: %s", context, CaughtExceptionText());
    } catch (...) {
        // The logger itself failed (no memory for its first use): nothing is left to tell.
    }
}

}  // namespace Nimbel
