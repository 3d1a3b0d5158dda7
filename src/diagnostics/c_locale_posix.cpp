#include <locale.h>

#include <cstdlib>

#include "diagnostics/c_locale.h"

namespace Nimbel {
namespace {

// glibc hands out its static "C" locale for this request, so it allocates
// nothing, is never freed, and is the same object every time.
locale_t CLocale() noexcept {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return locale;
}

}  // namespace

CLocaleScope::CLocaleScope() noexcept : previous_(uselocale(CLocale())) {}

CLocaleScope::~CLocaleScope() {
    uselocale(static_cast<locale_t>(previous_));
}

double CLocaleStrtod(const char* text, char** end) noexcept {
    return strtod_l(text, end, CLocale());
}

long long CLocaleStrtoll(const char* text, char** end, int base) noexcept {
    return strtoll_l(text, end, base, CLocale());
}

unsigned long long CLocaleStrtoull(const char* text, char** end, int base) noexcept {
    return strtoull_l(text, end, base, CLocale());
}

}  // namespace Nimbel
