#include "api/builtins.h"

#include "api/binding_async.h"
#include "api/binding_help.h"
#include "binding/binding_type_registry.h"

namespace Nimbel {

void RegisterBuiltins(BindingTypeRegistry& registry) {
    RegisterHelpTypes(registry);
    RegisterAsyncBuiltins(registry);
    // CreateEvent refuses a name that exists, under the registry's mutex.
    if (BindingEventDescription* event =
            registry.CreateEvent("OnCallback", registry.FindNativeType<BindingCallbackEvent>())) {
        event->description = "Fired when a callback is invoked.";
        event->tags.Add("$builtin");
    }
    registry.MarkInitialised();
}

}  // namespace Nimbel
