// The library's one export. The platform loads jvp-be-hello.so and calls
// load_hello; kzo_add_plugin(NAME hello ...) exports this symbol and no other.
#include <memory>

#include "abi/core_abi.h"
#include "abi/plugin_entry_abi.h"
#include "hello_module.h"
#include "plugin/library_lifetime.h"
#include "plugin/plugin_entry.h"

namespace {

// Sets up the library's tracing and logging while it is loaded.
const Nimbel::LibraryLifetime g_library;

std::unique_ptr<Nimbel::AppModule> MakeModule() {
    return std::make_unique<Hello::HelloModule>();
}

}  // namespace

/// Called once by the core: answers the load record with the plug-in's name
/// ("hello"), version, callbacks, module and API description.
extern "C" KZO_PLUGIN_ENTRY void load_hello(PluginLoadRecord* record) {
    Nimbel::LoadPlugin(record, "hello", &MakeModule);
}
