// How a plug-in is named: its type (backend or frontend) and the full name
// derived from its short name.
#pragma once

#include <string>

namespace Nimbel {

struct PluginType {
    std::string name;
    std::string qualifier;
};

[[nodiscard]] PluginType BackendPluginType();
[[nodiscard]] PluginType FrontendPluginType();

/// Messages print a plug-in type as "name:qualifier".
[[nodiscard]] std::string ToFormatText(const PluginType& type);

struct PluginName {
    std::string fullName;
    std::string shortName;
    std::string typeName;
    std::string typeQualifier;
};

/// Full name = "jvp-be-" (type "backend"), "jvp-fe-" (type "frontend") or,
/// after an ERROR log line, "jvp-xx-" (any other type; the comparison is
/// exact and case-sensitive), followed by the short name.
[[nodiscard]] PluginName GetFullNameFromShortNameAndType(const std::string& shortName,
                                                         const PluginType& type);

}  // namespace Nimbel
