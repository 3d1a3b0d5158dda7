// The plug-in API version that the core and a plug-in exchange at load time,
// and the rule that decides whether they can work together.
#pragma once

#include <cstdint>
#include <string>

namespace Nimbel {

struct ApiVersion {
    uint32_t major = 0;
    uint32_t minor = 0;
    uint32_t patch = 0;
    std::string preRelease;  ///< empty unless set; takes no part in compatibility
    std::string build;       ///< empty unless set; takes no part in compatibility

    /// "major.minor.patch", then "-preRelease" and "+build" when not empty.
    [[nodiscard]] std::string ToText() const;
};

/// The version this framework implements.
[[nodiscard]] ApiVersion PluginApiVersion();

/// A core can host a plug-in when their majors are equal and the core's
/// minor is greater, or the minors are equal and the core's patch is not
/// lower. Pre-release and build texts are ignored.
[[nodiscard]] bool IsCoreCompatible(const ApiVersion& core, const ApiVersion& plugin) noexcept;

/// Messages print a version as its text.
[[nodiscard]] inline std::string ToFormatText(const ApiVersion& version) {
    return version.ToText();
}

}  // namespace Nimbel
