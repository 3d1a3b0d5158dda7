#include "diagnostics/c_locale.h"

namespace Nimbel {

locale_t CLocale() noexcept {
    static const locale_t locale = newlocale(LC_ALL_MASK, "C", locale_t{});
    return locale;
}

}  // namespace Nimbel
