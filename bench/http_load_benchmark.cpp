// Load on the reference host's HTTP server: 10,000 requests for one game over
// 4 and over 64 keep-alive connections, each connection driven by its own
// client thread in this process. Reports requests per second, and splits the
// wall time per request into the plug-in's endpoints, the peers answering
// them, and the rest ("http": reading, routing and writing on both ends of
// the connection, and waiting for a turn). Live bytes of the plug-in must come
// back to where they started: a request leaves nothing behind in it.
#include <benchmark/benchmark.h>

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host/http_server.h"
#include "host/plugin_session.h"
#include "tests/host/loopback_client.h"

namespace {

constexpr int kRequests = 10'000;
constexpr const char* kGamePath = "/kzo-match-history/v1/games/3037071829";

[[nodiscard]] int64_t LiveBytes(const std::array<uint64_t, 7>& stats) {
    return static_cast<int64_t>(stats[2]) - static_cast<int64_t>(stats[4]);
}

[[nodiscard]] double MicrosecondsPerRequest(std::chrono::nanoseconds total, uint64_t requests) {
    return requests == 0 ? 0.0
                         : static_cast<double>(total.count()) / 1e3 / static_cast<double>(requests);
}

void BM_HttpGames(benchmark::State& state) {
    const int connections = static_cast<int>(state.range(0));
    KzoHost::SessionOptions options;
    options.pluginPath = KZO_PLUGIN_PATH;
    options.dataFolder = KZO_SAMPLE_DATA_DIR;
    options.logSink = [](KzoWord, const char*) {};
    std::string error;
    auto session = KzoHost::PluginSession::Open(options, error);
    if (session == nullptr) {
        state.SkipWithError(error.c_str());
        return;
    }
    KzoHost::HttpServer server(*session);
    if (!server.Bind(0, error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::thread serving([&server] { server.Run(); });

    // One warm-up request per connection, so first-use allocations (interned
    // names, arena pages, the logger) are not counted as growth.
    std::vector<std::unique_ptr<KzoHost::Testing::LoopbackClient>> clients;
    std::atomic<int> failures{0};
    for (int i = 0; i < connections; ++i) {
        clients.push_back(std::make_unique<KzoHost::Testing::LoopbackClient>(server.Port()));
        const auto reply = clients.back()->Request("GET", kGamePath);
        if (!reply || reply->status != 200) ++failures;
    }
    const auto before = session->MemoryStats();
    const KzoHost::SessionTimings timingsBefore = session->Timings();
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        std::vector<std::thread> workers;
        for (int c = 0; c < connections; ++c) {
            workers.emplace_back([&, c] {
                for (int i = 0; i < kRequests / connections; ++i) {
                    const auto reply = clients[static_cast<size_t>(c)]->Request("GET", kGamePath);
                    if (!reply || reply->status != 200) ++failures;
                }
            });
        }
        for (std::thread& worker : workers) worker.join();
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
    }
    const auto after = session->MemoryStats();
    const KzoHost::SessionTimings timingsAfter = session->Timings();
    clients.clear();
    server.Stop();
    serving.join();

    const uint64_t served = timingsAfter.requests - timingsBefore.requests;
    const double wall = seconds * 1e6 / static_cast<double>(served == 0 ? 1 : served);
    const double plugin =
        MicrosecondsPerRequest(timingsAfter.plugin - timingsBefore.plugin, served);
    const double peers = MicrosecondsPerRequest(timingsAfter.peers - timingsBefore.peers, served);
    state.counters["requests"] = static_cast<double>(served);
    state.counters["failures"] = failures.load();
    state.counters["requests_per_second"] = static_cast<double>(served) / seconds;
    state.counters["us_wall_per_request"] = wall;
    state.counters["us_plugin"] = plugin;
    state.counters["us_peers"] = peers;
    state.counters["us_http"] = wall - plugin - peers;
    state.counters["live_bytes_before"] = static_cast<double>(LiveBytes(before));
    state.counters["live_bytes_after"] = static_cast<double>(LiveBytes(after));
    state.counters["allocations_per_request"] =
        static_cast<double>(after[3] - before[3]) / static_cast<double>(served == 0 ? 1 : served);
}
BENCHMARK(BM_HttpGames)->Arg(4)->Arg(64)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

}  // namespace
