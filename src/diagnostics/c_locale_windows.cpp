// The library's C runtime is msvcrt.dll, whose locale only its own callers
// set: the core and the other plug-ins of the platform bring runtimes of
// their own, and nothing in the library calls setlocale, so the runtime stays
// in the "C" locale it starts in. The scope therefore changes nothing, and
// the numbers are read by mingw-w64's own strtod, strtoll and strtoull.
#include <cstdlib>

#include "diagnostics/c_locale.h"

namespace Nimbel {

CLocaleScope::CLocaleScope() noexcept : previous_(nullptr) {}

CLocaleScope::~CLocaleScope() = default;

double CLocaleStrtod(const char* text, char** end) noexcept {
    return std::strtod(text, end);
}

long long CLocaleStrtoll(const char* text, char** end, int base) noexcept {
    return std::strtoll(text, end, base);
}

unsigned long long CLocaleStrtoull(const char* text, char** end, int base) noexcept {
    return std::strtoull(text, end, base);
}

}  // namespace Nimbel
