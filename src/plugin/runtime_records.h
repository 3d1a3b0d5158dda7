// The records and events every plug-in's runtime registers at load: resource
// changes, LCDS messages and answers, service-proxy messages and the plug-in
// manager's state. Their identifiers are fixed, so every plug-in and the core
// name them alike.
#pragma once

#include <cstdint>
#include <string>

#include "binding/binding_property.h"
#include "binding/static_type.h"

namespace Nimbel {

class BindingTypeRegistry;

enum class PluginManagerState : int32_t { NotReady = 0, PluginsInitialized = 1 };

struct PluginManagerResource {
    PluginManagerState state = PluginManagerState::NotReady;
};

enum class PluginResourceEventType : int32_t { Create = 0, Update = 1, Delete = 2 };

/// A change of another plug-in's resource, as the resource handlers receive
/// it; registered as "PluginResourceEvent".
struct Resource {
    std::string uri;
    PluginResourceEventType eventType = PluginResourceEventType::Create;
    BindingProperty data;
};

struct PluginLcdsEvent {
    std::string clientId;
    std::string subtopic;
    std::string typeName;
    BindingProperty body;
};

/// What the login plug-in answers to an LCDS invoke: the class name of the
/// returned object and the object.
struct PluginLcdsResponse {
    std::string typeName;
    BindingProperty body;
};

struct PluginServiceProxyResponse {
    std::string uuid;
    std::string serviceName;
    std::string methodName;
    std::string payload;
    std::string status;
    std::string error;
};

template <>
inline constexpr uint32_t kStaticTypeFixedHash<PluginManagerState> = 0xF4E3B901;
template <>
inline constexpr uint32_t kStaticTypeFixedHash<PluginManagerResource> = 0xFA58397C;
template <>
inline constexpr uint32_t kStaticTypeFixedHash<PluginResourceEventType> = 0xDC24D2AD;
template <>
inline constexpr uint32_t kStaticTypeFixedHash<Resource> = 0xA54F35FD;
template <>
inline constexpr uint32_t kStaticTypeFixedHash<PluginLcdsEvent> = 0x739F2EF4;
template <>
inline constexpr uint32_t kStaticTypeFixedHash<PluginLcdsResponse> = 0xF4476A4F;
template <>
inline constexpr uint32_t kStaticTypeFixedHash<PluginServiceProxyResponse> = 0x2C5E7588;

/// The names of the runtime's events.
inline constexpr const char* kOnJsonApiEvent = "OnJsonApiEvent";
inline constexpr const char* kOnLcdsEvent = "OnLcdsEvent";
inline constexpr const char* kOnServiceProxyUuidEvent = "OnServiceProxyUuidEvent";
inline constexpr const char* kOnServiceProxyMethodEvent = "OnServiceProxyMethodEvent";
inline constexpr const char* kOnServiceProxyAsyncEvent = "OnServiceProxyAsyncEvent";

/// Registers the records above and the five runtime events, each tagged
/// "xclient". A name that exists already is left as it is, so a registry may
/// be given them twice.
void RegisterRuntimeTypes(BindingTypeRegistry& registry);

}  // namespace Nimbel
