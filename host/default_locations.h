// Where plugin-host finds the match-history plug-in and the sample peers' data
// when the command line does not say: the build tree's, for the host built
// there, and otherwise those installed beside it, at the same places relative
// to its own folder as `cmake --install` puts them (bin/ to
// lib/kzo-plugin-framework/ and share/kzo-plugin-framework/sample_data/), so
// an installed host works under any prefix and after the prefix is moved.
#pragma once

#include <filesystem>
#include <string>

namespace KzoHost {

struct DefaultLocations {
    std::string pluginPath;
    std::string dataFolder;
};

/// The defaults of a host whose executable is `executable` (an absolute path).
[[nodiscard]] DefaultLocations DefaultLocationsFor(const std::filesystem::path& executable);

/// The defaults of this process, from /proc/self/exe; the build tree's when
/// the executable's path cannot be read.
[[nodiscard]] DefaultLocations DefaultLocationsOfThisHost();

}  // namespace KzoHost
