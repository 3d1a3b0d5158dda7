#include "plugin/app_module.h"

#include "api/function_name.h"
#include "diagnostics/allocator.h"
#include "diagnostics/assertion_report.h"
#include "diagnostics/caught_exception.h"
#include "diagnostics/log_group_table.h"
#include "diagnostics/log_level.h"
#include "diagnostics/plugin_log_target.h"
#include "diagnostics/text_format.h"
#include "diagnostics/trace_channel.h"
#include "plugin/outbound_request.h"
#include "plugin/telemetry_sender.h"

namespace Nimbel {

namespace {

// The callbacks the core is given. No exception leaves them: Start answers
// failure, Stop still destroys the module, and both log what they caught.
bool StartCallback(void* module, const CoreContext* context) noexcept {
    if (module == nullptr) return false;
    try {
        return static_cast<AppModule*>(module)->Start(context);
    } catch (...) {
        LogCaughtException("Start failed with an exception");
        return false;
    }
}

void StopCallback(void* module) noexcept {
    std::unique_ptr<AppModule> owned(static_cast<AppModule*>(module));
    if (owned == nullptr) return;
    try {
        owned->Stop();
    } catch (...) {
        LogCaughtException("Stop failed with an exception");
    }
    // The module is destroyed here whatever Stop did.
}

void MemoryStatsCallback(void*, uint64_t out[7]) noexcept {
    if (out == nullptr) return;
    const MemoryStats stats = ReadMemoryStats();
    out[0] = stats.peakLiveBytes;
    out[1] = stats.liveBlocksAtPeak;
    out[2] = stats.bytesAllocated;
    out[3] = stats.allocations;
    out[4] = stats.bytesFreed;
    out[5] = stats.frees;
    out[6] = 0;
}

}  // namespace

// ---- AppModule ----

AppModule::AppModule() : callbacks_{&StartCallback, &StopCallback, &MemoryStatsCallback} {
    SetTypeRegistry(&api_.Types());
}

AppModule::~AppModule() = default;

void AppModule::RegisterRuntimeTypes() {
    Nimbel::RegisterRuntimeTypes(api_.Types());
    SetTypeRegistry(&api_.Types());
}

void AppModule::ObserveResource(const std::string& path, ResourceHandler handler) {
    const bool wildcard = path.find('*') != std::string::npos;
    // The first read goes to this handler alone, not to every handler of
    // the path, so it needs a copy when it is also registered.
    ResourceHandler firstRead = wildcard ? ResourceHandler{} : handler;
    AddResourceHandler(path, std::move(handler));
    Subscribe(path);
    if (wildcard) return;
    MaybeType<Failure, BindingProperty> current =
        OutboundRequest<BindingProperty>(*this, RequestMethod::Get, path);
    if (current.HasFailure()) return;
    firstRead(Resource{path, PluginResourceEventType::Create, std::move(current).GetValue()});
}

void AppModule::AddLcdsClass(std::string_view registeredName, const StaticTypeId& identity,
                             std::string_view className) {
    lcdsClassesByName_.insert_or_assign(std::string(registeredName), std::string(className));
    lcdsClassesByIdentity_.insert_or_assign(identity.hash, std::string(className));
}

const std::string* AppModule::LcdsClassOfType(std::string_view registeredName) const {
    const auto found = lcdsClassesByName_.find(std::string(registeredName));
    return found != lcdsClassesByName_.end() ? &found->second : nullptr;
}

const std::string* AppModule::LcdsClassOfNative(uint32_t identityHash) const {
    const auto found = lcdsClassesByIdentity_.find(identityHash);
    return found != lcdsClassesByIdentity_.end() ? &found->second : nullptr;
}

const CoreFunctions* AppModule::Functions() const noexcept {
    return coreContext_ != nullptr ? coreContext_->functions : nullptr;
}

void AppModule::SendRequest(CoreResponse* response, const CoreRequest* request) {
    if (const CoreFunctions* f = Functions()) f->sendRequest(f, response, request);
}

void AppModule::SubscribeEvent(const char* eventName, KzoWord handle, CoreEventCallback callback,
                               void* callbackContext, KzoWord flags) {
    if (const CoreFunctions* f = Functions())
        f->subscribe(f, eventName, handle, callback, callbackContext, flags);
}

void AppModule::UnsubscribeEvent(const char* eventName, KzoWord handle) {
    if (const CoreFunctions* f = Functions()) f->unsubscribe(f, eventName, handle);
}

void AppModule::YieldToCore() {
    if (const CoreFunctions* f = Functions()) f->yield(f);
}

void AppModule::BeginWait(const char* label, KzoWord zero) {
    if (const CoreFunctions* f = Functions()) f->beginWait(f, label, zero);
}

void AppModule::EndWait() {
    if (const CoreFunctions* f = Functions()) f->endWait(f);
}

void AppModule::RegisterEndpoints() {}

bool AppModule::OnStart() {
    return true;
}

void AppModule::Yield() {
    BeginWait("Wait: yield", 0);
    YieldToCore();
    EndWait();
}

void AppModule::FailAwait(const std::future_error& error) {
    Trace("Caught std::future_error in AppModule::Await: (%d) %s", error.code().value(),
          error.what());
    Fatal(kAssertFutureError, "", "", 0, "");
}

void AppModule::SetPluginName(PluginName name) {
    pluginName_ = std::move(name);
    typeNamePrefix_ = MakeFunctionName("", pluginName_.shortName);
    apiTags_ = {"Plugins", "Plugin " + pluginName_.shortName};
}

bool AppModule::Start(const CoreContext* context) {
    if (context == nullptr || context->functions == nullptr) return false;
    coreContext_ = context;
    RouteLogToCore(context->functions);
    AttachToCore(context->pluginHandle, pluginName_.shortName, coreVersion_);
    telemetry_ = std::make_unique<TelemetrySender>(*this);
    return OnStart();
}

void AppModule::Stop() {
    SetStopping();
    Shutdown();
}

const ApiDescriptionRoot* AppModule::BuildApiDescription() {
    apiDescription_ = api_.BuildDescription();
    return apiDescription_;
}

void AppModule::ReportRefusedEndpoint(RequestMethod method, std::string_view path) {
    const std::string description = FormatMessage(
        "The endpoint %1 %2 was not registered: its function exists already or "
        "its arguments do not name every parameter of its handler",
        MethodWord(method), path);
    Report("RegisterEndpoint", description.c_str(), __FILE__, __LINE__, __func__);
}

// Once running inside the core, log lines go to the core alone: the console
// targets are detached and the core's target takes every level (but XTR). A
// target already attached under the plug-in target's name (another module of
// the same process) is left as it is.
void AppModule::RouteLogToCore(const CoreFunctions* functions) {
    if (Logger::FindTarget("PluginLogTarget") != nullptr) return;
    Logger::StdOutTarget().Detach();
    Logger::StdErrTarget().Detach();
    Logger::DebuggerTarget().Detach();
    Logger::SetLevel(kLogOkay);
    Logger::SetExcludedGroups(LogGroups::XTR);
    logTarget_ = std::make_unique<PluginLogTarget>(functions);
    logTarget_->Configure(Logger::GetLevel(), 0, 0, "#D| #L| #G| #M");
}

}  // namespace Nimbel
