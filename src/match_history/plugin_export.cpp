// The plug-in library's one export.
#include "abi/core_abi.h"
#include "abi/plugin_entry_abi.h"
#include "match_history/match_history_module.h"
#include "plugin/library_lifetime.h"
#include "plugin/plugin_entry.h"

namespace {

const Nimbel::LibraryLifetime g_library;

std::unique_ptr<Nimbel::AppModule> MakeModule() {
    return std::make_unique<Nimbel::Client::MatchHistory::MatchHistoryModule>();
}

}  // namespace

/// Called once by the core with its plug-in API version; answers the record
/// with this plug-in's version, callbacks, module, name and API description.
extern "C" KZO_PLUGIN_ENTRY void load_kzo_match_history(PluginLoadRecord* record) {
    Nimbel::LoadPlugin(record, "kzo-match-history", &MakeModule);
}
