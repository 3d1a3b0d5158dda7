// plugin-host: the reference host. Loads a plug-in library the way the
// platform core does, plays the core and the peer plug-ins with sample data,
// and lets a person use the plug-in: over HTTP on localhost (serve), one
// request at a time (call), or by reading its API (describe, info).
#include <pthread.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "codecs/json_writer.h"
#include "diagnostics/log_level.h"
#include "host/api_documents.h"
#include "host/api_listing.h"
#include "host/default_locations.h"
#include "host/host_core.h"
#include "host/http_server.h"
#include "host/plugin_library.h"
#include "host/plugin_session.h"

namespace {

using KzoHost::HostCore;

constexpr const char* kUsage =
    "Usage: plugin-host COMMAND [options]\n"
    "\n"
    "Loads a plug-in library as the platform core does and plays the core and the\n"
    "peer plug-ins with sample data.\n"
    "\n"
    "Commands:\n"
    "  serve      serve the plug-in's endpoints over HTTP on 127.0.0.1\n"
    "  call PATH  send one request to the plug-in and print its JSON answer\n"
    "  describe   print the plug-in's API description as JSON\n"
    "  info       load, start and stop the plug-in, printing its API and memory\n"
    "\n"
    "Run 'plugin-host COMMAND --help' for a command's options.\n";

constexpr const char* kCommonOptions =
    "  --plugin PATH      the plug-in library, named jvp-be-NAME.so; its export is\n"
    "                     load_NAME with '-' as '_' (default: the match-history plug-in)\n"
    "  --data DIR         the match-history peers' sample data (default: the host's own)\n"
    "  --peers DIR        canned peer answers: DIR/METHOD/PATH.json, such as\n"
    "                     DIR/GET/greeting-peer/v1/greeting.json, holding\n"
    "                     {\"status\": 200, \"body\": ...}, answers METHOD PATH for the\n"
    "                     paths the match-history peers do not serve\n"
    "  --log-level LEVEL  show log lines from LEVEL up: okay, warn, error or always\n"
    "                     (default: %s)\n"
    "  --help             this text\n";

constexpr const char* kServeUsage =
    "Usage: plugin-host serve [--port N] [--address ADDR] [options]\n"
    "\n"
    "Serves the plug-in's endpoints, the peers' paths, GET /openapi.json and the\n"
    "match-history page at / (open it in a browser) over HTTP until interrupted\n"
    "(Ctrl-C, SIGTERM or SIGHUP): then it closes every connection, stops the\n"
    "plug-in and unloads it. A second Ctrl-C exits at once.\n"
    "PUT or DELETE /kzo-login/v1/session and\n"
    "/kzo-platform-config/v1/namespaces/NewMatchHistory change those resources and\n"
    "tell the plug-in.\n"
    "\n"
    "  --port N           the port (default 8080; 0 picks a free one)\n"
    "  --address ADDR     the address to listen on (default 127.0.0.1, this machine only;\n"
    "                     ::1 for IPv6)\n"
    "  --max-connections N\n"
    "                     connections open at once; one more is answered 503 (default 256)\n"
    "  --header-timeout S seconds a request's header, then its body, may take once\n"
    "                     begun; then the connection closes (default 10)\n"
    "  --idle-timeout S   seconds an idle keep-alive connection stays open (default 5)\n";

constexpr const char* kCallUsage =
    "Usage: plugin-host call PATH [--method M] [--body JSON] [options]\n"
    "\n"
    "Starts the plug-in, sends it one request, prints the JSON answer on standard\n"
    "output and the status on standard error, and stops it. Exits with 0 for a 2xx\n"
    "status, 1 otherwise.\n"
    "\n"
    "  --method M         the HTTP method (default GET)\n"
    "  --body JSON        the request body\n";

constexpr const char* kDescribeUsage =
    "Usage: plugin-host describe [--plugin PATH]\n"
    "\n"
    "Loads the plug-in and prints its API description as JSON: endpoints with\n"
    "method, path template and arguments; types with fields or enumerators; events.\n";

constexpr const char* kInfoUsage =
    "Usage: plugin-host info [--plugin PATH]\n"
    "\n"
    "Loads the plug-in, prints what it answered (its API included) and its memory\n"
    "counters, starts it, stops it and unloads it.\n";

struct Options {
    std::string command;
    std::string pluginPath;
    std::string dataFolder;
    std::string peersFolder;
    int logLevel = 0;
    int port = 8080;
    std::string address = KzoHost::HttpServer::kDefaultAddress;
    KzoHost::HttpServerLimits limits;
    std::string path;
    std::string method = "GET";
    std::string body;
};

[[nodiscard]] bool ParseLevel(std::string_view text, int& level) {
    static constexpr std::array<std::string_view, 4> kNames = {"okay", "warn", "error", "always"};
    for (size_t i = 0; i < kNames.size(); ++i) {
        if (text == kNames[i] || text == std::to_string(i)) {
            level = static_cast<int>(i);
            return true;
        }
    }
    return false;
}

[[nodiscard]] bool ParsePort(std::string_view text, int& port) {
    if (text.empty() || text.size() > 5) return false;
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    if (value > 65535) return false;
    port = value;
    return true;
}

/// A positive count of at most a million.
[[nodiscard]] bool ParseCount(std::string_view text, size_t& count) {
    if (text.empty() || text.size() > 7) return false;
    size_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<size_t>(c - '0');
    }
    if (value == 0 || value > 1'000'000) return false;
    count = value;
    return true;
}

/// Seconds, with up to three decimals ("10", "0.5"), above zero and at most a day.
[[nodiscard]] bool ParseSeconds(std::string_view text, std::chrono::milliseconds& duration) {
    const size_t point = text.find('.');
    const std::string_view whole = text.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    if (whole.empty() || whole.size() > 5 || fraction.size() > 3) return false;
    if (point != std::string_view::npos && fraction.empty()) return false;
    long long milliseconds = 0;
    for (const char c : whole) {
        if (c < '0' || c > '9') return false;
        milliseconds = milliseconds * 10 + (c - '0');
    }
    milliseconds *= 1000;
    long long scale = 100;
    for (const char c : fraction) {
        if (c < '0' || c > '9') return false;
        milliseconds += (c - '0') * scale;
        scale /= 10;
    }
    if (milliseconds <= 0 || milliseconds > 86'400'000) return false;
    duration = std::chrono::milliseconds(milliseconds);
    return true;
}

void PrintCommandUsage(const Options& options, std::FILE* out) {
    const bool serve = options.command == "serve";
    const bool call = options.command == "call";
    std::fputs(serve                           ? kServeUsage
               : call                          ? kCallUsage
               : options.command == "describe" ? kDescribeUsage
                                               : kInfoUsage,
               out);
    if (serve || call) std::fprintf(out, kCommonOptions, serve ? "okay" : "warn");
}

// Returns -1 when the options are good, else the exit code.
[[nodiscard]] int ParseOptions(int argc, char** argv, Options& options) {
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
        std::fputs(kUsage, argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    options.command = argv[1];
    if (options.command != "serve" && options.command != "call" && options.command != "describe" &&
        options.command != "info") {
        std::fprintf(stderr, "plugin-host: unknown command '%s'\n\n%s", argv[1], kUsage);
        return 2;
    }
    if (options.command == "call") options.logLevel = 1;
    const auto fail = [&](const std::string& message) {
        std::fprintf(stderr, "plugin-host %s: %s\n\n", options.command.c_str(), message.c_str());
        PrintCommandUsage(options, stderr);
        return 2;
    };
    for (int i = 2; i < argc; ++i) {
        const std::string_view arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            PrintCommandUsage(options, stdout);
            return 0;
        }
        if (arg == "--plugin" && hasValue) {
            options.pluginPath = argv[++i];
        } else if (arg == "--data" && hasValue) {
            options.dataFolder = argv[++i];
        } else if (arg == "--peers" && hasValue) {
            options.peersFolder = argv[++i];
        } else if (arg == "--log-level" && hasValue) {
            if (!ParseLevel(argv[++i], options.logLevel))
                return fail(std::string("unknown log level '") + argv[i] + "'");
        } else if (arg == "--port" && hasValue && options.command == "serve") {
            if (!ParsePort(argv[++i], options.port))
                return fail(std::string("'") + argv[i] + "' is not a port");
        } else if (arg == "--address" && hasValue && options.command == "serve") {
            options.address = argv[++i];
        } else if (arg == "--max-connections" && hasValue && options.command == "serve") {
            if (!ParseCount(argv[++i], options.limits.maxConnections))
                return fail(std::string("'") + argv[i] + "' is not a number of connections");
        } else if ((arg == "--header-timeout" || arg == "--idle-timeout") && hasValue &&
                   options.command == "serve") {
            auto& timeout = arg == "--header-timeout" ? options.limits.headerTimeout
                                                      : options.limits.idleTimeout;
            if (!ParseSeconds(argv[++i], timeout))
                return fail(std::string("'") + argv[i] + "' is not a number of seconds");
        } else if (arg == "--method" && hasValue && options.command == "call") {
            options.method = argv[++i];
        } else if (arg == "--body" && hasValue && options.command == "call") {
            options.body = argv[++i];
        } else if (options.command == "call" && options.path.empty() && !arg.starts_with("--")) {
            options.path = arg;
        } else {
            return fail("unknown argument '" + std::string(arg) + "'");
        }
    }
    if (options.command == "call" && options.path.empty()) return fail("PATH is missing");
    return -1;
}

/// Log lines go to standard error as "<LEVEL>| <text>", from the chosen level up.
[[nodiscard]] HostCore::LogSink StandardErrorSink(int minimumLevel) {
    return [minimumLevel](KzoWord level, const char* text) {
        if (static_cast<int>(level) < minimumLevel) return;
        std::fprintf(stderr, "%s| %s\n", Nimbel::LevelName(static_cast<int32_t>(level)), text);
    };
}

[[nodiscard]] std::unique_ptr<KzoHost::PluginSession> OpenSession(const Options& options) {
    KzoHost::SessionOptions session;
    session.pluginPath = options.pluginPath;
    session.dataFolder = options.dataFolder;
    session.peersFolder = options.peersFolder;
    session.logSink = StandardErrorSink(options.logLevel);
    std::string error;
    auto opened = KzoHost::PluginSession::Open(session, error);
    if (opened == nullptr) std::fprintf(stderr, "plugin-host: %s\n", error.c_str());
    return opened;
}

[[nodiscard]] KzoHost::HostRequest RequestOf(std::string_view target, std::string method,
                                             std::string body) {
    KzoHost::HostRequest request;
    request.method = std::move(method);
    const size_t query = target.find('?');
    request.path = std::string(target.substr(0, query));
    if (query != std::string_view::npos) request.query = std::string(target.substr(query + 1));
    request.body = std::move(body);
    if (!request.body.empty()) request.contentType = "application/json";
    return request;
}

// ---- Commands ----

int Serve(const Options& options) {
    // Ctrl-C, termination and hang-up are taken by one thread with sigwait,
    // so the server stops from ordinary code; every other thread has them
    // blocked. The first stops the server; a second exits at once.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // A log line written to a pipe whose reader has gone fails with EPIPE
    // instead of ending the process: serving goes on without its log.
    std::signal(SIGPIPE, SIG_IGN);

    auto session = OpenSession(options);
    if (session == nullptr) return 1;
    const HostCore::LogSink log = StandardErrorSink(options.logLevel);
    KzoHost::HttpServer server(*session, options.limits, [&log](const std::string& line) {
        log(0, ("host: " + line).c_str());
    });
    std::string error;
    if (!server.Bind(options.address, options.port, error)) {
        std::fprintf(stderr, "plugin-host: %s\n", error.c_str());
        return 1;
    }
    const std::string origin = server.Origin();
    std::fprintf(stderr, "plugin-host: serving %s on %s/ (Ctrl-C stops)\n",
                 options.pluginPath.c_str(), origin.c_str());
    // The hint names the plug-in's first GET endpoint that takes no path argument.
    const std::vector<KzoHost::ListedEndpoint>& endpoints = session->Listing().endpoints;
    const auto get = std::find_if(endpoints.begin(), endpoints.end(), [](const auto& endpoint) {
        return endpoint.method == 2 && endpoint.pathTemplate.find('{') == std::string::npos;
    });
    std::fprintf(stderr, "  open %s/ in a browser, or try: curl %s%s\n", origin.c_str(),
                 origin.c_str(),
                 get != endpoints.end() ? get->pathTemplate.c_str() : "/openapi.json");

    std::atomic<bool> finished{false};
    std::thread stopper([&server, &stopSignals, &finished] {
        int signal = 0;
        sigwait(&stopSignals, &signal);
        if (finished) return;
        std::fprintf(stderr, "plugin-host: closing connections (again to exit at once)\n");
        server.Stop();
        sigwait(&stopSignals, &signal);
        if (finished) return;
        std::fprintf(stderr, "plugin-host: exiting without stopping the plug-in\n");
        std::_Exit(128 + signal);
    });
    const bool served = server.Run();
    std::fprintf(stderr, "plugin-host: stopping the plug-in\n");
    session.reset();
    std::fprintf(stderr, "plugin-host: stopped and unloaded\n");
    // Wake the stopper, whether or not a signal came.
    finished = true;
    // Every thread blocks the stop signals and the stopper takes them with
    // sigwait, so this ends its wait and nothing else.
    pthread_kill(stopper.native_handle(), SIGTERM);  // NOLINT(bugprone-bad-signal-to-kill-thread)
    stopper.join();
    return served ? 0 : 1;
}

int Call(const Options& options) {
    auto session = OpenSession(options);
    if (session == nullptr) return 1;
    const KzoHost::HostAnswer answer =
        session->Handle(RequestOf(options.path, options.method, options.body));
    std::fprintf(stdout, "%s\n", answer.json.c_str());
    std::fprintf(stderr, "status: %d\n", answer.status);
    return answer.status >= 200 && answer.status < 300 ? 0 : 1;
}

[[nodiscard]] std::unique_ptr<KzoHost::PluginLibrary> LoadOnly(const Options& options) {
    std::string error;
    auto library = KzoHost::PluginLibrary::Open(options.pluginPath, error);
    if (library != nullptr && library->Load(KzoHost::CoreVersion{}, error)) return library;
    std::fprintf(stderr, "plugin-host: %s: %s\n", options.pluginPath.c_str(), error.c_str());
    return nullptr;
}

int Describe(const Options& options) {
    auto library = LoadOnly(options);
    if (library == nullptr) return 1;
    const KzoHost::ApiListing listing =
        KzoHost::ReadApiDescription(library->Record().apiDescription);
    std::printf("%s\n", Nimbel::ValueToJson(KzoHost::DescribeApi(listing), nullptr, "\n").c_str());
    library->Stop();
    return 0;
}

void PrintMemoryStats(const char* when, const std::array<uint64_t, 7>& s) {
    std::printf(
        "Memory %s: peak %llu bytes in %llu blocks; %llu allocations (%llu bytes), %llu frees "
        "(%llu bytes)\n",
        when, static_cast<unsigned long long>(s[0]), static_cast<unsigned long long>(s[1]),
        static_cast<unsigned long long>(s[3]), static_cast<unsigned long long>(s[2]),
        static_cast<unsigned long long>(s[5]), static_cast<unsigned long long>(s[4]));
}

int Info(const Options& options) {
    auto library = LoadOnly(options);
    if (library == nullptr) return 1;
    const PluginLoadRecord& record = library->Record();
    std::printf("Loaded %s through %s\n", options.pluginPath.c_str(),
                library->ExportName().c_str());
    std::printf("Plug-in \"%s\", plug-in API %u.%u.%u\n", record.shortName,
                static_cast<unsigned>(record.major), static_cast<unsigned>(record.minor),
                static_cast<unsigned>(record.patch));
    std::fputs(
        KzoHost::FormatApiListing(KzoHost::ReadApiDescription(record.apiDescription)).c_str(),
        stdout);
    PrintMemoryStats("after load", library->MemoryStats());

    HostCore core;
    const bool started = library->Start(*core.Context());
    std::printf("Start answered %s\n", started ? "true" : "false");
    PrintMemoryStats("after start", library->MemoryStats());
    library->Stop();
    library.reset();
    std::printf("Stopped and unloaded\n");
    return started ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    KzoHost::DefaultLocations defaults = KzoHost::DefaultLocationsOfThisHost();
    options.pluginPath = std::move(defaults.pluginPath);
    options.dataFolder = std::move(defaults.dataFolder);
    if (const int exitCode = ParseOptions(argc, argv, options); exitCode >= 0) return exitCode;
    if (options.command == "serve") return Serve(options);
    if (options.command == "call") return Call(options);
    if (options.command == "describe") return Describe(options);
    return Info(options);
}
