#include "plugin/plugin_name.h"

#include "diagnostics/log_group_table.h"
#include "diagnostics/log_level.h"
#include "diagnostics/logger.h"
#include "diagnostics/text_format.h"

namespace Nimbel {

PluginType BackendPluginType() {
    return PluginType{"backend", ""};
}
PluginType FrontendPluginType() {
    return PluginType{"frontend", ""};
}

std::string ToFormatText(const PluginType& type) {
    return type.name + ":" + type.qualifier;
}

namespace {

std::string FullNamePrefix(const std::string& shortName, const PluginType& type) {
    if (type.name == "backend") return "jvp-be-";
    if (type.name == "frontend") return "jvp-fe-";
    const std::string message =
        FormatMessage("GetFullNameFromShortNameAndType(\"%1\", \"%2\") called with an unknown type",
                      shortName, type.name);
    Log(kLogError, 0, "            Plugin Manager| %s", message.c_str());
    return "jvp-xx-";
}

}  // namespace

PluginName GetFullNameFromShortNameAndType(const std::string& shortName, const PluginType& type) {
    return PluginName{FullNamePrefix(shortName, type) + shortName, shortName, type.name,
                      type.qualifier};
}

}  // namespace Nimbel
