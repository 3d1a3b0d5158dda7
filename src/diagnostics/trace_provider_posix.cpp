// The consumer is whatever the process exports under the three names: the
// library itself defines none of them.
#include <dlfcn.h>

#include "diagnostics/trace_provider.h"

namespace Nimbel {
namespace {

template <class Function>
Function LookUp(const char* name) {
    return reinterpret_cast<Function>(dlsym(RTLD_DEFAULT, name));
}

}  // namespace

TraceConsumer FindTraceConsumer() noexcept {
    TraceConsumer consumer{LookUp<KzoTraceRegisterFn>(KZO_TRACE_REGISTER_SYMBOL),
                           LookUp<KzoTraceWriteFn>(KZO_TRACE_WRITE_SYMBOL),
                           LookUp<KzoTraceUnregisterFn>(KZO_TRACE_UNREGISTER_SYMBOL)};
    return consumer.IsPresent() ? consumer : TraceConsumer{};
}

}  // namespace Nimbel
