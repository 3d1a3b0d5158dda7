// Load on the reference host's HTTP server: 10,000 requests for one game over
// four keep-alive connections, with the plug-in's memory counters before and
// after. Live bytes must come back to where they started: a request leaves
// nothing behind in the plug-in.
#include <benchmark/benchmark.h>
#include <httplib.h>

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host/http_server.h"
#include "host/plugin_session.h"

namespace {

constexpr int kConnections = 4;
constexpr int kRequests = 10'000;
constexpr const char* kGamePath = "/kzo-match-history/v1/games/3037071829";

[[nodiscard]] int64_t LiveBytes(const std::array<uint64_t, 7>& stats) {
    return static_cast<int64_t>(stats[2]) - static_cast<int64_t>(stats[4]);
}

void BM_HttpGamesOverFourConnections(benchmark::State& state) {
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
    std::vector<std::unique_ptr<httplib::Client>> clients;
    for (int i = 0; i < kConnections; ++i) {
        clients.push_back(std::make_unique<httplib::Client>("127.0.0.1", server.Port()));
        clients.back()->set_keep_alive(true);
        clients.back()->set_tcp_nodelay(true);
        static_cast<void>(clients.back()->Get(kGamePath));
    }
    const auto before = session->MemoryStats();
    std::atomic<int> failures{0};
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        std::vector<std::thread> workers;
        for (int c = 0; c < kConnections; ++c) {
            workers.emplace_back([&, c] {
                for (int i = 0; i < kRequests / kConnections; ++i) {
                    const auto result = clients[c]->Get(kGamePath);
                    if (!result || result->status != 200) ++failures;
                }
            });
        }
        for (std::thread& worker : workers) worker.join();
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        state.SetIterationTime(seconds);
    }
    const auto after = session->MemoryStats();
    server.Stop();
    serving.join();

    state.counters["requests"] = kRequests;
    state.counters["failures"] = failures.load();
    state.counters["requests_per_second"] = kRequests / seconds;
    state.counters["live_bytes_before"] = static_cast<double>(LiveBytes(before));
    state.counters["live_bytes_after"] = static_cast<double>(LiveBytes(after));
    state.counters["allocations_per_request"] =
        static_cast<double>(after[3] - before[3]) / kRequests;
    state.counters["peak_live_bytes"] = static_cast<double>(after[0]);
}
BENCHMARK(BM_HttpGamesOverFourConnections)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kSecond);

}  // namespace
