#include "plugin/library_lifetime.h"

#include "diagnostics/log_group_table.h"
#include "diagnostics/trace_provider.h"

namespace Nimbel {

LibraryLifetime::LibraryLifetime() noexcept {
    RegisterTraceProviders();
    WriteMainThreadEvent();
    static_cast<void>(GroupFromName("LOC"));
}

LibraryLifetime::~LibraryLifetime() {
    UnregisterTraceProviders();
}

}  // namespace Nimbel
