// The "C" locale as an object of its own, for number texts that must read and
// print alike whatever locale the host process sets: a plug-in shares its
// process with the core, which may well call setlocale.
#pragma once

#include <locale.h>

namespace Nimbel {

/// The "C" locale. glibc hands out its static "C" locale for this request, so
/// it allocates nothing, is never freed, and is the same object every time.
[[nodiscard]] locale_t CLocale() noexcept;

/// While it lives, the calling thread's locale is the "C" locale, so that the
/// printf family writes numbers with a '.' and without grouping; the thread's
/// previous locale comes back when it ends. Scopes nest.
class CLocaleScope {
public:
    CLocaleScope() noexcept : previous_(uselocale(CLocale())) {}
    ~CLocaleScope() { uselocale(previous_); }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t previous_;
};

}  // namespace Nimbel
