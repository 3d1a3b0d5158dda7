// The shared empty entry of every intern table.
#include "binding/interned_string.h"

#include "diagnostics/fnv1a.h"

namespace Nimbel {

const InternedString& InternedString::Empty() noexcept {
    // Constant-initialised and trivially destructible: usable at any time,
    // including during static initialisation and process exit.
    static constinit const InternedString kEmpty{Fnv1a(""), 0};
    return kEmpty;
}

}  // namespace Nimbel
