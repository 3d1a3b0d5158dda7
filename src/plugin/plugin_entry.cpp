#include "plugin/plugin_entry.h"

#include "diagnostics/assertion_report.h"
#include "diagnostics/caught_exception.h"
#include "diagnostics/trace_channel.h"

namespace Nimbel {
namespace {

ApiVersion CoreVersionOf(const PluginLoadRecord& record) {
    return ApiVersion{static_cast<uint32_t>(record.major),
                      static_cast<uint32_t>(record.minor),
                      static_cast<uint32_t>(record.patch),
                      {},
                      {}};
}

void RequireCompatibleCore(const ApiVersion& core, const ApiVersion& plugin,
                           const char* shortName) {
    if (IsCoreCompatible(core, plugin)) return;
    Trace("%s which supports plugin API %s is not compatible with core's plugin API %s", shortName,
          plugin.ToText().c_str(), core.ToText().c_str());
    Fatal(kAssertIncompatibleCore, "", "", 0, "");
}

void AnswerRecord(PluginLoadRecord& record, const ApiVersion& plugin, AppModule& module) {
    record.major = plugin.major;
    record.minor = plugin.minor;
    record.patch = plugin.patch;
    record.callbacks = module.Callbacks();
    record.module = &module;
    record.shortName = module.Name().shortName.c_str();
    record.apiDescription = module.ApiDescription();
}

}  // namespace

void LoadPlugin(PluginLoadRecord* record, const char* shortName, ModuleFactory factory) noexcept {
    if (record == nullptr) return;
    try {
        std::unique_ptr<AppModule> module = factory();
        const ApiVersion plugin = PluginApiVersion();
        const ApiVersion core = CoreVersionOf(*record);
        RequireCompatibleCore(core, plugin, shortName);
        module->SetCoreVersion(core);
        module->SetPluginName(GetFullNameFromShortNameAndType(shortName, BackendPluginType()));
        module->RegisterRuntimeTypes();
        module->RegisterEndpoints();
        static_cast<void>(module->BuildApiDescription());
        AnswerRecord(*record, plugin, *module);
        static_cast<void>(module.release());  // owned through the record until Stop
    } catch (...) {
        LogCaughtException("%s: load failed", shortName);
    }
}

}  // namespace Nimbel
