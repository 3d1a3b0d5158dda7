#include "plugin/api_version.h"

#include "diagnostics/text_format.h"

namespace Nimbel {

std::string ApiVersion::ToText() const {
    std::string text = FormatMessage("%1.%2.%3", major, minor, patch);
    if (!preRelease.empty()) text += "-" + preRelease;
    if (!build.empty()) text += "+" + build;
    return text;
}

ApiVersion PluginApiVersion() {
    return ApiVersion{18, 0, 0, {}, {}};
}

bool IsCoreCompatible(const ApiVersion& core, const ApiVersion& plugin) noexcept {
    if (core.major != plugin.major) return false;
    if (core.minor != plugin.minor) return core.minor > plugin.minor;
    return core.patch >= plugin.patch;
}

}  // namespace Nimbel
