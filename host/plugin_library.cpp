#include "host/plugin_library.h"

#include <dlfcn.h>

#include <algorithm>

namespace KzoHost {

std::string ExportNameForPath(const std::string& path) {
    std::string name = path.substr(path.find_last_of('/') + 1);
    if (name.size() > 3 && name.compare(name.size() - 3, 3, ".so") == 0)
        name.resize(name.size() - 3);
    if (name.size() > 7 && name.compare(0, 4, "jvp-") == 0 && name[6] == '-') name.erase(0, 7);
    std::replace(name.begin(), name.end(), '-', '_');
    return "load_" + name;
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
    void* handle = dlopen(path.c_str(), kOpenFlags);
    if (handle == nullptr) {
        const char* reason = dlerror();
        error = reason != nullptr ? reason : "cannot open " + path;
        return nullptr;
    }
    const std::string exportName = ExportNameForPath(path);
    void* symbol = dlsym(handle, exportName.c_str());
    if (symbol == nullptr) {
        error = path + " has no export " + exportName;
        dlclose(handle);
        return nullptr;
    }
    auto entry = reinterpret_cast<PluginLoadFn>(symbol);
    return std::unique_ptr<PluginLibrary>(new PluginLibrary(handle, entry, exportName));
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
