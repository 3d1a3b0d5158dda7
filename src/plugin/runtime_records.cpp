#include "plugin/runtime_records.h"

#include "binding/binding_type_builder.h"
#include "binding/binding_type_registry.h"

namespace Nimbel {
namespace {

constexpr const char* kRuntimeTag = "xclient";

void RegisterEvent(BindingTypeRegistry& registry, const char* name,
                   const BindingTypeDescription* payload, const char* description) {
    // CreateEvent refuses a name that exists, under the registry's mutex.
    if (BindingEventDescription* event = registry.CreateEvent(name, payload)) {
        event->description = description;
        event->tags.Add(kRuntimeTag);
    }
}

}  // namespace

void RegisterRuntimeTypes(BindingTypeRegistry& registry) {
    BindingTypeBuilder<PluginManagerState>(registry, "PluginManagerState")
        .Tag(kRuntimeTag)
        .Enumerator("NotReady", PluginManagerState::NotReady)
        .Enumerator("PluginsInitialized", PluginManagerState::PluginsInitialized)
        .Finish();
    BindingTypeBuilder<PluginManagerResource>(registry, "PluginManagerResource")
        .Tag(kRuntimeTag)
        .Field("state", &PluginManagerResource::state)
        .Finish();
    BindingTypeBuilder<PluginResourceEventType>(registry, "PluginResourceEventType")
        .Tag(kRuntimeTag)
        .Enumerator("Create", PluginResourceEventType::Create)
        .Enumerator("Update", PluginResourceEventType::Update)
        .Enumerator("Delete", PluginResourceEventType::Delete)
        .Finish();
    BindingTypeBuilder<Resource>(registry, "PluginResourceEvent")
        .Tag(kRuntimeTag)
        .Field("uri", &Resource::uri)
        .Field("eventType", &Resource::eventType)
        .Field("data", &Resource::data)
        .Finish();
    BindingTypeBuilder<PluginLcdsEvent>(registry, "PluginLcdsEvent")
        .Tag(kRuntimeTag)
        .Field("clientId", &PluginLcdsEvent::clientId)
        .Field("subtopic", &PluginLcdsEvent::subtopic)
        .Field("typeName", &PluginLcdsEvent::typeName)
        .Field("body", &PluginLcdsEvent::body)
        .Finish();
    BindingTypeBuilder<PluginLcdsResponse>(registry, "PluginLcdsResponse")
        .Tag(kRuntimeTag)
        .Field("typeName", &PluginLcdsResponse::typeName)
        .Field("body", &PluginLcdsResponse::body)
        .Finish();
    BindingTypeBuilder<PluginServiceProxyResponse>(registry, "PluginServiceProxyResponse")
        .Tag(kRuntimeTag)
        .Field("uuid", &PluginServiceProxyResponse::uuid)
        .Field("serviceName", &PluginServiceProxyResponse::serviceName)
        .Field("methodName", &PluginServiceProxyResponse::methodName)
        .Field("payload", &PluginServiceProxyResponse::payload)
        .Field("status", &PluginServiceProxyResponse::status)
        .Field("error", &PluginServiceProxyResponse::error)
        .Finish();

    const BindingTypeDescription* resourceEvent = registry.FindNativeType<Resource>();
    const BindingTypeDescription* serviceProxy =
        registry.FindNativeType<PluginServiceProxyResponse>();
    RegisterEvent(registry, kOnJsonApiEvent, resourceEvent, "Fired when a resource is changed.");
    RegisterEvent(registry, kOnLcdsEvent, registry.FindNativeType<PluginLcdsEvent>(),
                  "Fired when a message is received over the LCDS connection.");
    RegisterEvent(registry, kOnServiceProxyUuidEvent, serviceProxy,
                  "Fired when a uuid-based service proxy message is received.");
    RegisterEvent(registry, kOnServiceProxyMethodEvent, serviceProxy,
                  "Fired when a method-based service proxy message is received.");
    RegisterEvent(registry, kOnServiceProxyAsyncEvent, serviceProxy,
                  "Fired when an async service proxy message is received.");
}

}  // namespace Nimbel
