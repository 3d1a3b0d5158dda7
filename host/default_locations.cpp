#include "host/default_locations.h"

#include <system_error>

namespace KzoHost {
namespace {

namespace fs = std::filesystem;

[[nodiscard]] DefaultLocations BuildTreeLocations() {
    return {KZO_DEFAULT_PLUGIN_PATH, KZO_DEFAULT_DATA_DIR};
}

}  // namespace

DefaultLocations DefaultLocationsFor(const fs::path& executable) {
    const fs::path folder = executable.parent_path();
    std::error_code error;
    if (fs::equivalent(folder, KZO_BUILD_HOST_DIR, error)) return BuildTreeLocations();
    return {(folder / KZO_INSTALLED_PLUGIN_PATH).lexically_normal().string(),
            (folder / KZO_INSTALLED_DATA_DIR).lexically_normal().string()};
}

DefaultLocations DefaultLocationsOfThisHost() {
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    if (error) return BuildTreeLocations();
    return DefaultLocationsFor(executable);
}

}  // namespace KzoHost
