// The base of every plug-in module: the plug-in's identity, its connection to
// the core and the operations the core's callbacks reach.
//
// Life: created by the entry export, `Start`ed once by the core, then serving
// requests and events on the core's threads, then `Stop`ped once, which
// destroys it. Every virtual operation below keeps its slot order; a concrete
// module overrides only the destructor, `RegisterEndpoints` and `OnStart`.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "abi/core_abi.h"
#include "api/api_registry.h"
#include "api/typed_endpoint_handler.h"
#include "binding/binding_status.h"
#include "binding/static_type.h"
#include "binding/value_to_native.h"
#include "diagnostics/logger.h"
#include "diagnostics/text_format.h"
#include "plugin/api_version.h"
#include "plugin/event_subscriber_base.h"
#include "plugin/plugin_name.h"
#include "plugin/runtime_records.h"

namespace Nimbel {

class PluginLogTarget;
class TelemetrySender;

/// A resource change whose data has been converted into the record T.
template <class T>
struct TypedResource {
    std::string uri;
    PluginResourceEventType eventType = PluginResourceEventType::Create;
    T data{};
};

/// The framework's module base.
class AppModule : public EventSubscriberBase {
public:
    AppModule();
    ~AppModule() override;

    // Forwards to the core's functions, each called with the table first.
    void SendRequest(CoreResponse* response, const CoreRequest* request) override;
    void SubscribeEvent(const char* eventName, KzoWord handle, CoreEventCallback callback,
                        void* callbackContext, KzoWord flags) override;
    void UnsubscribeEvent(const char* eventName, KzoWord handle) override;
    void YieldToCore() override;
    void BeginWait(const char* label, KzoWord zero) override;
    void EndWait() override;

    /// Registers the module's records and endpoints; nothing here.
    virtual void RegisterEndpoints();
    /// Starts the module's work once the core is attached; true here.
    [[nodiscard]] virtual bool OnStart();

    /// Gives control to the core once inside the wait "Wait: yield".
    void Yield();

    // ---- Resources of other plug-ins ----

    /// Registers `handler` for the resource `path` (a path with "*" is a
    /// wildcard pattern) and subscribes to its changes. A path without "*" is
    /// also read once at once: when that GET succeeds, `handler` gets it as a
    /// Create of `path`; when it fails, nothing is called.
    void ObserveResource(const std::string& path, ResourceHandler handler);
    /// The same, with the data of each Create and Update converted into T
    /// (the root named "<value>"); a change whose data does not convert is
    /// dropped. Other event types reach `handler` with `data` left at T{}.
    template <class T>
    void ObserveResourceAs(const std::string& path,
                           std::function<void(const TypedResource<T>&)> handler);

    // ---- LCDS ----

    /// Records that the registered record `registeredName`, of native
    /// identity `identity`, is the LCDS class `className`.
    void AddLcdsClass(std::string_view registeredName, const StaticTypeId& identity,
                      std::string_view className);
    /// The LCDS class of a registered record's name, or null.
    [[nodiscard]] const std::string* LcdsClassOfType(std::string_view registeredName) const;
    /// The LCDS class of a native record's identity hash, or null.
    [[nodiscard]] const std::string* LcdsClassOfNative(uint32_t identityHash) const;

    /// The telemetry sender; null before Start.
    [[nodiscard]] TelemetrySender* Telemetry() const noexcept { return telemetry_.get(); }

    /// Registers `member` of the concrete module as the endpoint for `method`
    /// and `path`, tagged with the module's API tags; `arguments` names each of
    /// its parameters in order:
    ///   RegisterEndpoint(RequestMethod::Get, "/kzo-match-history/v1/games/{gameId}",
    ///                    &MatchHistoryModule::GetGame, {Arg("gameId", ArgLocation::Path)});
    /// A registration that cannot be made (a function of that name exists, or
    /// the arguments do not name every parameter) is a programming error: it
    /// is reported as a failed assertion and nothing is registered.
    template <class Method>
    void RegisterEndpoint(RequestMethod method, std::string_view path, Method member,
                          std::initializer_list<EndpointArgument> arguments = {},
                          std::string_view description = {}) {
        using Module = typename internal::MemberFunctionTraits<Method>::Object;
        static_assert(std::is_base_of_v<AppModule, Module>, "register members of this module");
        const Endpoint* endpoint = api_.AddTypedEndpoint(method, path, static_cast<Module&>(*this),
                                                         member, arguments, apiTags_, description);
        if (endpoint == nullptr) ReportRefusedEndpoint(method, path);
    }

    /// The module's API: its types, functions, events and endpoints.
    [[nodiscard]] ApiRegistry& Api() noexcept { return api_; }
    [[nodiscard]] const ApiRegistry& Api() const noexcept { return api_; }
    /// The registry of the module's types (the API registry's).
    [[nodiscard]] BindingTypeRegistry& Types() noexcept { return api_.Types(); }

    /// Waits for `future` by yielding to the core until it is ready. An
    /// already-ready future makes no call to the core; otherwise exactly one
    /// labelled wait surrounds the yields. A future without a shared state or
    /// with a broken promise is a broken invariant: a fatal report ends the
    /// process.
    template <class T>
    [[nodiscard]] T Await(std::future<T> future);

    // ---- Load and life cycle, driven by the entry (plugin_entry.h) ----
    void SetCoreVersion(ApiVersion version) { coreVersion_ = std::move(version); }
    void SetPluginName(PluginName name);
    /// Registers the runtime's records and events in the API registry, which
    /// becomes the module's type registry.
    void RegisterRuntimeTypes();
    /// Keeps the core context, routes the log to the core, attaches to the
    /// core and runs OnStart, whose answer it returns.
    [[nodiscard]] bool Start(const CoreContext* context);
    /// Sets the stopping flag and shuts down; the caller then destroys the module.
    void Stop();
    /// Builds the API description from the registry; the root stays valid
    /// until the next build or until the module is destroyed.
    [[nodiscard]] const ApiDescriptionRoot* BuildApiDescription();
    /// The description last built; null before the first build.
    [[nodiscard]] const ApiDescriptionRoot* ApiDescription() const noexcept {
        return apiDescription_;
    }

    [[nodiscard]] const ApiVersion& CoreVersion() const noexcept { return coreVersion_; }
    [[nodiscard]] const PluginName& Name() const noexcept { return pluginName_; }
    [[nodiscard]] const std::string& TypeNamePrefix() const noexcept { return typeNamePrefix_; }
    [[nodiscard]] const std::vector<std::string>& ApiTags() const noexcept { return apiTags_; }
    [[nodiscard]] const CoreContext* Core() const noexcept { return coreContext_; }
    [[nodiscard]] const PluginCallbacks* Callbacks() const noexcept { return &callbacks_; }

private:
    void RouteLogToCore(const CoreFunctions* functions);
    static void ReportRefusedEndpoint(RequestMethod method, std::string_view path);
    [[nodiscard]] const CoreFunctions* Functions() const noexcept;
    [[noreturn]] static void FailAwait(const std::future_error& error);
    template <class T>
    [[nodiscard]] static std::string AwaitLabel();

    LoggerReference logger_;
    std::unique_ptr<TelemetrySender> telemetry_;
    std::unordered_map<std::string, std::string> lcdsClassesByName_;
    std::unordered_map<uint32_t, std::string> lcdsClassesByIdentity_;
    ApiVersion coreVersion_;
    std::unique_ptr<PluginLogTarget> logTarget_;
    PluginName pluginName_;
    std::string typeNamePrefix_;
    std::vector<std::string> apiTags_;
    ApiRegistry api_;
    const CoreContext* coreContext_ = nullptr;
    PluginCallbacks callbacks_;
    const ApiDescriptionRoot* apiDescription_ = nullptr;
};

template <class T>
std::string AppModule::AwaitLabel() {
    return FormatMessage("Wait: future<%1>", StaticType::Name<T>().name);
}

template <class T>
void AppModule::ObserveResourceAs(const std::string& path,
                                  std::function<void(const TypedResource<T>&)> handler) {
    ObserveResource(path, [this, handler = std::move(handler)](const Resource& resource) {
        TypedResource<T> typed{resource.uri, resource.eventType, T{}};
        const bool carriesData = resource.eventType == PluginResourceEventType::Create ||
                                 resource.eventType == PluginResourceEventType::Update;
        if (carriesData) {
            BindingStatus status;
            ValueToNative(status, typed.data, resource.data, "<value>", Types());
            if (!status.Ok()) return;
        }
        handler(typed);
    });
}

template <class T>
T AppModule::Await(std::future<T> future) {
    try {
        if (!future.valid()) throw std::future_error(std::future_errc::no_state);
        bool waiting = false;
        // A deferred future is ready for the taking: get() runs it.
        while (future.wait_for(std::chrono::seconds(0)) == std::future_status::timeout) {
            if (!waiting) {
                waiting = true;
                BeginWait(AwaitLabel<T>().c_str(), 0);
            }
            YieldToCore();
        }
        if (waiting) EndWait();
        return future.get();
    } catch (const std::future_error& error) {
        FailAwait(error);
    }
}

}  // namespace Nimbel
