#include "api/binding_async.h"

#include "binding/binding_type_builder.h"

namespace Nimbel {
namespace {

constexpr const char* kBuiltinTag = "$builtin";
constexpr const char* kAsyncTag = "async";
constexpr const char* kAsyncTokenText = "Asynchronous operation token";
constexpr const char* kEventDataText = "Event data";

[[nodiscard]] BindingFieldOptions Described(const char* text) noexcept {
    BindingFieldOptions options;
    options.description = text;
    return options;
}

}  // namespace

void RegisterAsyncBuiltins(BindingTypeRegistry& registry) {
    using State = BindingAsyncState;
    BindingTypeBuilder<State>(registry, "BindingAsyncState")
        .Describe("Possible states of an asynchronous operation.")
        .Tag(kBuiltinTag)
        .Tag(kAsyncTag)
        .Enumerator("None", State::None, "Invalid state")
        .Enumerator("Running", State::Running, "The operation is in flight")
        .Enumerator("Cancelling", State::Cancelling,
                    "A request to cancel the operation has been made")
        .Enumerator("Cancelled", State::Cancelled, "The operation was cancelled")
        .Enumerator("Succeeded", State::Succeeded, "The operation completed successfully")
        .Enumerator("Failed", State::Failed, "The operation encountered an error")
        .Finish();

    BindingTypeBuilder<BindingGenericEvent>(registry, "BindingGenericEvent")
        .Describe("Represents generic data for an event.")
        .Tag(kBuiltinTag)
        .Field("data", &BindingGenericEvent::data, Described(kEventDataText))
        .Finish();

    BindingTypeBuilder<BindingCallbackEvent>(registry, "BindingCallbackEvent")
        .Describe("Represents the parameters of a call to a provided callback.")
        .Tag(kBuiltinTag)
        .Field("id", &BindingCallbackEvent::id, Described("ID of the callback being invoked"))
        .Field("parameters", &BindingCallbackEvent::parameters, Described("Callback parameters"))
        .Finish();

    BindingTypeBuilder<BindingGenericAsyncEvent>(registry, "BindingGenericAsyncEvent")
        .Describe("Represents generic data for an asynchronous event.")
        .Tag(kBuiltinTag)
        .Tag(kAsyncTag)
        .Field("asyncToken", &BindingGenericAsyncEvent::asyncToken, Described(kAsyncTokenText))
        .Field("data", &BindingGenericAsyncEvent::data, Described(kEventDataText))
        .Finish();

    BindingTypeBuilder<BindingAsyncFailureEvent>(registry, "BindingAsyncFailureEvent")
        .Describe("Represents a failed asynchronous operation.")
        .Tag(kBuiltinTag)
        .Tag(kAsyncTag)
        .Field("asyncToken", &BindingAsyncFailureEvent::asyncToken, Described(kAsyncTokenText))
        .Field("error", &BindingAsyncFailureEvent::error, Described("Error message"))
        .Finish();

    BindingTypeBuilder<BindingAsyncCancelEvent>(registry, "BindingAsyncCancelEvent")
        .Describe("Represents a cancelled asynchronous operation.")
        .Tag(kBuiltinTag)
        .Tag(kAsyncTag)
        .Field("asyncToken", &BindingAsyncCancelEvent::asyncToken, Described(kAsyncTokenText))
        .Finish();
}

}  // namespace Nimbel
