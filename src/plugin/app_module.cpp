#include "plugin/app_module.h"

#include "api/function_name.h"
#include "diagnostics/allocator.h"
#include "diagnostics/assertion_report.h"
#include "diagnostics/log_group_table.h"
#include "diagnostics/log_level.h"
#include "diagnostics/plugin_log_target.h"
#include "diagnostics/text_format.h"
#include "diagnostics/trace_channel.h"

namespace Nimbel {

namespace {

bool StartCallback(void* module, const CoreContext* context) {
    try {
        return static_cast<AppModule*>(module)->Start(context);
    } catch (...) {
        Log(kLogError, LogGroups::DBG, "Start failed with an exception");
        return false;
    }
}

void StopCallback(void* module) {
    std::unique_ptr<AppModule> owned(static_cast<AppModule*>(module));
    try {
        owned->Stop();
    } catch (...) {
        Log(kLogError, LogGroups::DBG, "Stop failed with an exception");
    }
    // The module is destroyed here whatever Stop did.
}

void MemoryStatsCallback(void*, uint64_t out[7]) {
    const MemoryStats stats = ReadMemoryStats();
    out[0] = stats.peakLiveBytes;
    out[1] = stats.liveBlocksAtPeak;
    out[2] = stats.bytesAllocated;
    out[3] = stats.allocations;
    out[4] = stats.bytesFreed;
    out[5] = stats.frees;
    out[6] = 0;
}

} // namespace

// ---- ResourceObserverBase / EventSubscriberBase ----

void ResourceObserverBase::Subscribe(const std::string&) {}
void ResourceObserverBase::Unsubscribe(const std::string&) {}

EventSubscriberBase::~EventSubscriberBase() = default;

void EventSubscriberBase::Shutdown() {}

void EventSubscriberBase::AttachToCore(KzoWord pluginHandle, const std::string& shortName,
                                       const ApiVersion& coreVersion) {
    m_pluginHandle = pluginHandle;
    m_shortName = shortName;
    m_userAgent = FormatMessage("NimbelClient/%1 (%2)", coreVersion, shortName);
}

// ---- AppModule ----

AppModule::AppModule()
    : m_callbacks{&StartCallback, &StopCallback, &MemoryStatsCallback} {}

AppModule::~AppModule() = default;

const CoreFunctions* AppModule::Functions() const noexcept {
    return m_coreContext != nullptr ? m_coreContext->functions : nullptr;
}

void AppModule::SendRequest(CoreResponse* response, const CoreRequest* request) {
    if (const CoreFunctions* f = Functions()) f->sendRequest(f, response, request);
}

void AppModule::ForwardUnnamed1(KzoWord a, KzoWord b) {
    if (const CoreFunctions* f = Functions()) f->unnamed1(f, a, b);
}

void AppModule::ForwardUnnamed2(KzoWord a) {
    if (const CoreFunctions* f = Functions()) f->unnamed2(f, a);
}

void AppModule::SubscribeEvent(const char* eventName, KzoWord handle, CoreEventCallback callback,
                               void* callbackContext, KzoWord flags) {
    if (const CoreFunctions* f = Functions())
        f->subscribe(f, eventName, handle, callback, callbackContext, flags);
}

void AppModule::UnsubscribeEvent(const char* eventName, KzoWord handle) {
    if (const CoreFunctions* f = Functions()) f->unsubscribe(f, eventName, handle);
}

void AppModule::ForwardUnnamed5(KzoWord a, KzoWord b, KzoWord c, uint64_t d, KzoWord e) {
    if (const CoreFunctions* f = Functions()) f->unnamed5(f, a, b, c, d, e);
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

bool AppModule::OnStart() { return true; }

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
    m_pluginName = std::move(name);
    m_typeNamePrefix = MakeFunctionName("", m_pluginName.shortName);
    m_apiTags = {"Plugins", "Plugin " + m_pluginName.shortName};
}

bool AppModule::Start(const CoreContext* context) {
    m_coreContext = context;
    RouteLogToCore(context->functions);
    AttachToCore(context->pluginHandle, m_pluginName.shortName, m_coreVersion);
    return OnStart();
}

void AppModule::Stop() {
    SetStopping();
    Shutdown();
}

const ApiDescriptionRoot* AppModule::BuildApiDescription() {
    m_apiDescription = m_api.BuildDescription();
    return m_apiDescription;
}

void AppModule::ReportRefusedEndpoint(RequestMethod method, std::string_view path) {
    const std::string description =
        FormatMessage("The endpoint %1 %2 was not registered: its function exists already or "
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
    m_logTarget = std::make_unique<PluginLogTarget>(functions);
    m_logTarget->Configure(Logger::GetLevel(), 0, 0, "#D| #L| #G| #M");
}

} // namespace Nimbel
