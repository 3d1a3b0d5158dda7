// The built-in entries every API registry carries next to the plug-in's own:
// the help records, the asynchronous and callback records, and the event
// "OnCallback", all tagged "$builtin" so that the core and dispatch can tell
// them from the plug-in's API.
#pragma once

namespace Nimbel {

class BindingTypeRegistry;

/// Registers the help records (RegisterHelpTypes), then the asynchronous
/// records (RegisterAsyncBuiltins), then the event "OnCallback" carrying a
/// BindingCallbackEvent unless an event of that name exists, and marks the
/// registry initialised. Entries registered already are left as they are.
void RegisterBuiltins(BindingTypeRegistry& registry);

}  // namespace Nimbel
