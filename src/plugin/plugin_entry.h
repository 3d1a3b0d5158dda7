// The work behind a plug-in's one export: create the module, check the core's
// API version, name the plug-in, register its API and answer the load record.
#pragma once

#include <memory>

#include "abi/core_abi.h"
#include "plugin/app_module.h"

namespace Nimbel {

using ModuleFactory = std::unique_ptr<AppModule> (*)();

/// Answers `record` for the plug-in named `shortName` whose module `factory`
/// makes. An incompatible core ends the process with the fatal report
/// "ALE-EECF0606" and the record untouched; a module that cannot be made
/// (out of memory, a throwing constructor) leaves the record untouched, so the
/// load fails. Ownership of the module passes to the core's handle (record
/// word 4) until `Stop` destroys it. Never throws.
void LoadPlugin(PluginLoadRecord* record, const char* shortName, ModuleFactory factory) noexcept;

}  // namespace Nimbel
