// plugin-host: the reference host. Loads a plug-in library the way the
// platform core does, starts it with a core that prints its log lines, shows
// what the plug-in answered (its API description included) and its memory
// counters, then stops and unloads it.
#include <cstdio>
#include <cstring>
#include <string>

#include "host/api_listing.h"
#include "host/host_core.h"
#include "host/plugin_library.h"

namespace {

constexpr const char* kUsage =
    "Usage: plugin-host [--plugin PATH]\n"
    "\n"
    "Loads a plug-in library as the platform core does, starts it, prints what it\n"
    "answered and its memory counters, then stops it and unloads it.\n"
    "\n"
    "  --plugin PATH   the plug-in library (default: the built match-history plug-in)\n"
    "  --help          this text\n";

struct Options {
    std::string pluginPath = KZO_DEFAULT_PLUGIN_PATH;
};

bool ParseOptions(int argc, char** argv, Options& options, int& exitCode) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            exitCode = 0;
            return false;
        }
        if (arg == "--plugin" && i + 1 < argc) {
            options.pluginPath = argv[++i];
            continue;
        }
        std::fprintf(stderr, "plugin-host: unknown argument '%s'\n\n%s", arg.c_str(), kUsage);
        exitCode = 2;
        return false;
    }
    return true;
}

void PrintMemoryStats(const char* when, const std::array<uint64_t, 7>& s) {
    std::printf(
        "Memory %s: peak %llu bytes in %llu blocks; %llu allocations (%llu bytes), %llu frees "
        "(%llu bytes)\n",
        when, static_cast<unsigned long long>(s[0]), static_cast<unsigned long long>(s[1]),
        static_cast<unsigned long long>(s[3]), static_cast<unsigned long long>(s[2]),
        static_cast<unsigned long long>(s[5]), static_cast<unsigned long long>(s[4]));
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    int exitCode = 0;
    if (!ParseOptions(argc, argv, options, exitCode)) return exitCode;

    std::string error;
    auto library = KzoHost::PluginLibrary::Open(options.pluginPath, error);
    if (!library) {
        std::fprintf(stderr, "plugin-host: %s\n", error.c_str());
        return 1;
    }
    if (!library->Load(KzoHost::CoreVersion{}, error)) {
        std::fprintf(stderr, "plugin-host: %s: %s\n", options.pluginPath.c_str(), error.c_str());
        return 1;
    }
    const PluginLoadRecord& record = library->Record();
    std::printf("Loaded %s through %s\n", options.pluginPath.c_str(), library->ExportName().c_str());
    std::printf("Plug-in \"%s\", plug-in API %u.%u.%u\n", record.shortName,
                static_cast<unsigned>(record.major), static_cast<unsigned>(record.minor),
                static_cast<unsigned>(record.patch));
    std::fputs(KzoHost::FormatApiListing(KzoHost::ReadApiDescription(record.apiDescription)).c_str(),
               stdout);
    PrintMemoryStats("after load", library->MemoryStats());

    KzoHost::HostCore core;
    const bool started = library->Start(*core.Context());
    std::printf("Start answered %s\n", started ? "true" : "false");
    PrintMemoryStats("after start", library->MemoryStats());

    library->Stop();
    library.reset();
    std::printf("Stopped and unloaded\n");
    return started ? 0 : 1;
}
