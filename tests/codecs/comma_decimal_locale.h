// A locale whose decimal point is a comma, made current on the calling thread,
// for the tests that numbers read the same under every locale a host process
// may set.
#pragma once

#include <langinfo.h>
#include <locale.h>

#include <string_view>

namespace Nimbel::testing {

/// Why a test that needs a comma-decimal locale skips.
inline constexpr const char* kNoCommaDecimalLocale =
    "no comma-decimal locale is installed; scripts/install-deps.sh generates de_DE.UTF-8";

/// While it lives, the calling thread reads and prints numbers in the first
/// installed locale whose decimal point is ",", when there is one; Active()
/// says whether there was.
class CommaDecimalLocale {
public:
    CommaDecimalLocale() {
        for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "es_ES.UTF-8", "it_IT.UTF-8",
                                 "ru_RU.UTF-8", "nl_NL.UTF-8", "pt_BR.UTF-8", "de_DE", "fr_FR"}) {
            const locale_t candidate = newlocale(LC_ALL_MASK, name, locale_t{});
            if (candidate == locale_t{}) continue;
            if (std::string_view(nl_langinfo_l(RADIXCHAR, candidate)) == ",") {
                locale_ = candidate;
                previous_ = uselocale(candidate);
                return;
            }
            freelocale(candidate);
        }
    }
    CommaDecimalLocale(const CommaDecimalLocale&) = delete;
    CommaDecimalLocale& operator=(const CommaDecimalLocale&) = delete;
    ~CommaDecimalLocale() {
        if (locale_ == locale_t{}) return;
        uselocale(previous_);
        freelocale(locale_);
    }

    [[nodiscard]] bool Active() const noexcept { return locale_ != locale_t{}; }

private:
    locale_t locale_{};
    locale_t previous_{};
};

}  // namespace Nimbel::testing
