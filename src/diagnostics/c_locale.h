// The "C" locale for number texts that must read and print alike whatever
// locale the host process sets: a plug-in shares its process with the core,
// which may well call setlocale. One file per platform.
#pragma once

namespace Nimbel {

/// While it lives, the calling thread's locale is the "C" locale, so that the
/// printf family writes numbers with a '.' and without grouping; the thread's
/// previous locale comes back when it ends. Scopes nest.
class CLocaleScope {
public:
    CLocaleScope() noexcept;
    ~CLocaleScope();
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    void* previous_;  // the thread's locale before the scope, if the platform keeps one
};

/// strtod, strtoll and strtoull exactly as the "C" locale reads them, whatever
/// locale the host process or the calling thread has set: '.' is the only
/// decimal point, the blanks skipped before the number are " \t\n\v\f\r", and
/// no grouping is accepted. Otherwise as the C library's functions: hexadecimal
/// forms, "inf", "infinity" and "nan" in any case, `end` and errno alike.
[[nodiscard]] double CLocaleStrtod(const char* text, char** end) noexcept;
[[nodiscard]] long long CLocaleStrtoll(const char* text, char** end, int base) noexcept;
[[nodiscard]] unsigned long long CLocaleStrtoull(const char* text, char** end, int base) noexcept;

}  // namespace Nimbel
