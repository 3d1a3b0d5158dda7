#include "binding/number_text.h"

#include <cerrno>
#include <cstdlib>
#include <string>

#include "diagnostics/c_locale.h"
#include "diagnostics/text_format.h"

namespace Nimbel {
namespace {

void FailFormat(BindingStatus& status, std::string_view text, const NumberTarget& target) {
    status.SetError(FormatMessage("Value %1 for '%2' of type %3 is in an incorrect format", text,
                                  target.name, target.typeName));
}

void FailRange(BindingStatus& status, std::string_view text, const NumberTarget& target) {
    status.SetError(FormatMessage("Value %1 for '%2' of type %3 is out of range", text, target.name,
                                  target.typeName));
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The C library needs a terminated text; texts of a value are cut at their
// first NUL, so a NUL inside `text` ends the number as it would for strtoll.
std::string Terminated(std::string_view text) {
    return std::string(text);
}

}  // namespace

int64_t TextToSigned(BindingStatus& status, std::string_view text, const NumberTarget& target,
                     int64_t minimum, int64_t maximum) {
    if (text.empty()) return 0;
    const std::string terminated = Terminated(text);
    char* end = nullptr;
    errno = 0;
    const long long value = CLocaleStrtoll(terminated.c_str(), &end, 0);
    if (*end != '\0') {
        FailFormat(status, text, target);
        return 0;
    }
    if (errno == ERANGE || value < minimum || value > maximum) {
        FailRange(status, text, target);
        return 0;
    }
    return value;
}

uint64_t TextToUnsigned(BindingStatus& status, std::string_view text, const NumberTarget& target,
                        uint64_t maximum) {
    if (text.empty()) return 0;
    const std::string terminated = Terminated(text);
    char* end = nullptr;
    errno = 0;
    const unsigned long long value = CLocaleStrtoull(terminated.c_str(), &end, 0);
    if (*end != '\0') {
        FailFormat(status, text, target);
        return 0;
    }
    size_t first = 0;
    while (first < terminated.size() && IsBlank(terminated[first])) ++first;
    const bool negative = first < terminated.size() && terminated[first] == '-';
    if (negative || errno == ERANGE || value > maximum) {
        FailRange(status, text, target);
        return 0;
    }
    return value;
}

double TextToDouble(BindingStatus& status, std::string_view text, const NumberTarget& target,
                    double minimum, double maximum) {
    if (text.empty()) return 0.0;
    const std::string terminated = Terminated(text);
    char* end = nullptr;
    errno = 0;
    const double value = CLocaleStrtod(terminated.c_str(), &end);
    if (*end != '\0') {
        FailFormat(status, text, target);
        return 0.0;
    }
    if (errno == ERANGE || value < minimum || value > maximum) {
        FailRange(status, text, target);
        return 0.0;
    }
    return value;
}

}  // namespace Nimbel
