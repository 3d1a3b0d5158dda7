// The states of asynchronous operations and the records of callback and
// asynchronous events, registered in every API registry as built-ins so that
// the core can deliver events of these shapes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "binding/binding_property.h"

namespace Nimbel {

class BindingTypeRegistry;

/// The state of an asynchronous operation; 32-bit.
enum class BindingAsyncState : int32_t {
    None = 0,
    Running = 1,
    Cancelling = 2,
    Cancelled = 3,
    Succeeded = 4,
    Failed = 5,
};

struct BindingGenericEvent {
    BindingProperty data;
};

struct BindingCallbackEvent {
    uint32_t id = 0;
    std::vector<BindingProperty> parameters;
};

struct BindingGenericAsyncEvent {
    uint32_t asyncToken = 0;
    BindingProperty data;
};

struct BindingAsyncFailureEvent {
    uint32_t asyncToken = 0;
    std::string error;
};

struct BindingAsyncCancelEvent {
    uint32_t asyncToken = 0;
};

/// Registers BindingAsyncState, BindingGenericEvent, BindingCallbackEvent,
/// BindingGenericAsyncEvent, BindingAsyncFailureEvent and
/// BindingAsyncCancelEvent, in that order, all tagged "$builtin"; the
/// enumeration and the three asynchronous records also "async".
void RegisterAsyncBuiltins(BindingTypeRegistry& registry);

}  // namespace Nimbel
