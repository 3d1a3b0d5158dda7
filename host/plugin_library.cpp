#include "host/plugin_library.h"

#include <dlfcn.h>

#include <algorithm>
#include <string_view>

namespace KzoHost {

std::optional<std::string> ExportNameForPath(const std::string& path, std::string& error) {
    static constexpr std::string_view kPrefix = "jvp-be-";
    static constexpr std::string_view kSuffix = ".so";
    const std::string_view name = std::string_view(path).substr(path.find_last_of('/') + 1);
    const bool framed = name.size() > kPrefix.size() + kSuffix.size() &&
                        name.starts_with(kPrefix) && name.ends_with(kSuffix);
    const std::string_view shortName =
        framed ? name.substr(kPrefix.size(), name.size() - kPrefix.size() - kSuffix.size())
               : std::string_view();
    const bool plain = std::all_of(shortName.begin(), shortName.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               c == '-' || c == '_';
    });
    if (!framed || !plain) {
        error = "'" + std::string(name) +
                "' is not a plug-in file name: the platform loads jvp-be-<name>.so, whose "
                "<name> (letters, digits, '-' and '_') gives the export load_<name>";
        return std::nullopt;
    }
    std::string exportName = "load_" + std::string(shortName);
    std::replace(exportName.begin(), exportName.end(), '-', '_');
    return exportName;
}

namespace {

// The C++ runtime linked into a plug-in allocates an emergency exception pool
// when the library loads and never frees it. Under LeakSanitizer an unloaded
// library's pool becomes an unreachable block, so sanitizer builds keep
// plug-ins mapped after dlclose; everything else is released as usual.
#ifdef KZO_KEEP_PLUGINS_MAPPED
constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE;
#else
constexpr int kOpenFlags = RTLD_NOW | RTLD_LOCAL;
#endif

}  // namespace

std::unique_ptr<PluginLibrary> PluginLibrary::Open(const std::string& path, std::string& error) {
    const std::optional<std::string> exportName = ExportNameForPath(path, error);
    if (!exportName.has_value()) return nullptr;
    void* handle = dlopen(path.c_str(), kOpenFlags);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error = reason != nullptr ? reason : "cannot open " + path;
        return nullptr;
    }
    void* symbol = dlsym(handle, exportName->c_str());
    if (symbol == nullptr) {
        error = path + " has no export " + *exportName;
        dlclose(handle);
        return nullptr;
    }
    auto entry = reinterpret_cast<PluginLoadFn>(symbol);
    return std::unique_ptr<PluginLibrary>(new PluginLibrary(handle, entry, *exportName));
}

PluginLibrary::PluginLibrary(void* handle, PluginLoadFn entry, std::string exportName)
    : handle_(handle), entry_(entry), exportName_(std::move(exportName)) {}

PluginLibrary::~PluginLibrary() {
    Stop();
    dlclose(handle_);
}

bool PluginLibrary::Load(const CoreVersion& core, std::string& error) {
    record_ = PluginLoadRecord{};
    record_.major = core.major;
    record_.minor = core.minor;
    record_.patch = core.patch;
    entry_(&record_);
    if (record_.callbacks == nullptr || record_.module == nullptr || record_.shortName == nullptr) {
        error = "the plug-in did not answer the load record";
        return false;
    }
    const PluginCallbacks& callbacks = *record_.callbacks;
    if (callbacks.start == nullptr || callbacks.stop == nullptr ||
        callbacks.getMemoryStats == nullptr) {
        error = "the plug-in answered an incomplete callback table";
        return false;
    }
    loaded_ = true;
    return true;
}

bool PluginLibrary::Start(const CoreContext& context) {
    if (!loaded_ || started_) return false;
    started_ = true;  // Stop is owed even when Start answers false
    return record_.callbacks->start(record_.module, &context);
}

void PluginLibrary::Stop() {
    if (!loaded_) return;
    started_ = false;
    loaded_ = false;
    record_.callbacks->stop(record_.module);
}

std::array<uint64_t, 7> PluginLibrary::MemoryStats() const {
    std::array<uint64_t, 7> stats{};
    if (loaded_) record_.callbacks->getMemoryStats(record_.module, stats.data());
    return stats;
}

}  // namespace KzoHost
