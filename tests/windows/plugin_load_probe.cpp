// Loads a plug-in DLL the way the platform core does (LoadLibraryA, then
// GetProcAddress of its entry), answers nothing but the load record, and
// prints what the plug-in answered. Exits 0 when the answer is complete:
// a name, a callback table with all three callbacks, a module and an API
// description with endpoints, and memory counters that saw allocations.
//
//   plugin-load-probe [path-to-dll]     (default: jvp-be-kzo-match-history.dll)
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "abi/core_abi.h"

namespace {

constexpr const char* kDefaultPath = "jvp-be-kzo-match-history.dll";
constexpr const char* kEntryName = "load_kzo_match_history";
// The plug-in API version the core announces.
constexpr KzoWord kCoreMajor = 18;
constexpr KzoWord kCoreMinor = 0;
constexpr KzoWord kCorePatch = 0;

PluginLoadFn FindEntry(HMODULE library) {
    using Generic = void (*)();
    return reinterpret_cast<PluginLoadFn>(
        reinterpret_cast<Generic>(GetProcAddress(library, kEntryName)));
}

bool AnswerIsComplete(const PluginLoadRecord& record) {
    const PluginCallbacks* callbacks = record.callbacks;
    return callbacks != nullptr && callbacks->start != nullptr && callbacks->stop != nullptr &&
           callbacks->getMemoryStats != nullptr && record.module != nullptr &&
           record.shortName != nullptr && record.apiDescription != nullptr &&
           record.apiDescription->endpointCount > 0;
}

void PrintAnswer(const PluginLoadRecord& record) {
    std::printf("version: %u.%u.%u\n", static_cast<unsigned>(record.major),
                static_cast<unsigned>(record.minor), static_cast<unsigned>(record.patch));
    std::printf("name: %s\n", record.shortName != nullptr ? record.shortName : "(none)");
    if (const ApiDescriptionRoot* api = record.apiDescription) {
        std::printf("endpoints: %u, types: %u, events: %u\n",
                    static_cast<unsigned>(api->endpointCount),
                    static_cast<unsigned>(api->typeCount), static_cast<unsigned>(api->eventCount));
        for (KzoWord i = 0; api->endpoints != nullptr && i < api->endpointCount; ++i) {
            const char* path = api->endpoints[i].pathTemplate;
            std::printf("  %s\n", path != nullptr ? path : "(no path)");
        }
    }
}

// The counters of a plug-in that built its registry and description have
// seen allocations; a DLL whose operator new bypassed them would show none.
bool PrintMemoryStats(const PluginLoadRecord& record) {
    uint64_t stats[7] = {};
    record.callbacks->getMemoryStats(record.module, stats);
    std::printf("memory counters:");
    for (uint64_t value : stats) std::printf(" %llu", static_cast<unsigned long long>(value));
    std::printf("\n");
    return stats[3] > 0;
}

}  // namespace

int main(int argc, char** argv) {
    const char* path = argc > 1 ? argv[1] : kDefaultPath;
    const HMODULE library = LoadLibraryA(path);
    if (library == nullptr) {
        std::printf("cannot load %s (error %lu)\n", path, GetLastError());
        return 1;
    }
    const PluginLoadFn entry = FindEntry(library);
    if (entry == nullptr) {
        std::printf("%s has no export %s\n", path, kEntryName);
        FreeLibrary(library);
        return 1;
    }
    PluginLoadRecord record{};
    record.major = kCoreMajor;
    record.minor = kCoreMinor;
    record.patch = kCorePatch;
    entry(&record);
    PrintAnswer(record);
    const bool complete = AnswerIsComplete(record);
    const bool counted = complete && PrintMemoryStats(record);
    if (complete) record.callbacks->stop(record.module);
    FreeLibrary(library);
    std::printf("%s\n", complete && counted ? "answer complete" : "answer incomplete");
    return complete && counted ? 0 : 1;
}
