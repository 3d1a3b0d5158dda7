// One game-data request through the plug-in's endpoint callback, as the core
// makes it: from the call of the endpoint record's callback, through the
// outbound request whose upstream answer the core gives as a core value
// record, the conversions into the native record and back, to the release of
// the response. The module runs in-process on a minimal core that answers the
// upstream request with a record prepared once, so the figures hold only the
// plug-in's own work. Beside each, RapidJSON parsing (full precision) and
// writing the same JSON, the yardstick the request is read against.
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>

#include "abi/core_abi.h"
#include "bench_support.h"
#include "binding/core_value.h"
#include "codecs/json_reader.h"
#include "match_history/match_history_module.h"
#include "plugin/plugin_entry.h"

namespace Nimbel {
namespace {

constexpr const char* kGameId = "3037071829";

[[nodiscard]] std::string SampleText(std::string_view folder) {
    const std::filesystem::path path =
        std::filesystem::path(KZO_SAMPLE_DATA_DIR) / folder / (std::string(kGameId) + ".json");
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

/// The one upstream answer the core gives, as a record read from a sample.
struct UpstreamAnswer {
    std::string path;
    CoreValue value{};
};

// The core's side of the boundary, reduced to what a game-data request needs:
// the upstream path it was set up for is answered with the prepared record,
// which the response borrows (its release leaves the record to this core);
// any other request is answered 404. Everything else does nothing.
class MinimalCore {
public:
    MinimalCore() : table_{Functions(), this}, context_{&table_.functions, 1} {}

    [[nodiscard]] const CoreContext* Context() const noexcept { return &context_; }
    void Serve(const UpstreamAnswer* answer) noexcept { answer_ = answer; }

private:
    struct Table {
        CoreFunctions functions;
        MinimalCore* owner;
    };

    static CoreFunctions Functions() {
        CoreFunctions functions{};
        functions.sendRequest = &SendRequest;
        functions.unnamed1 = [](const CoreFunctions*, KzoWord, KzoWord) -> KzoWord { return 0; };
        functions.unnamed2 = [](const CoreFunctions*, KzoWord) -> KzoWord { return 0; };
        functions.subscribe = [](const CoreFunctions*, const char*, KzoWord, CoreEventCallback,
                                 void*, KzoWord) -> KzoWord { return 0; };
        functions.unsubscribe = [](const CoreFunctions*, const char*, KzoWord) -> KzoWord {
            return 0;
        };
        functions.unnamed5 = [](const CoreFunctions*, KzoWord, KzoWord, KzoWord, uint64_t,
                                KzoWord) -> KzoWord { return 0; };
        functions.yield = [](const CoreFunctions*) -> KzoWord { return 0; };
        functions.beginWait = [](const CoreFunctions*, const char*, KzoWord) -> KzoWord {
            return 0;
        };
        functions.endWait = [](const CoreFunctions*) -> KzoWord { return 0; };
        functions.log = [](const CoreFunctions*, KzoWord, const char*) -> KzoWord { return 0; };
        return functions;
    }

    static void ReleaseBorrowed(CoreResponse* response) { *response = CoreResponse{}; }

    static KzoWord SendRequest(const CoreFunctions* table, CoreResponse* response,
                               const CoreRequest* request) {
        const MinimalCore& core = *reinterpret_cast<const Table*>(table)->owner;
        *response = CoreResponse{};
        response->text = "";
        response->release = &ReleaseBorrowed;
        const UpstreamAnswer* answer = core.answer_;
        if (answer == nullptr || request->path == nullptr || answer->path != request->path) {
            response->status = 404;
            response->errorText = "Not found";
            return 0;
        }
        response->status = 200;
        response->value = answer->value;
        return 0;
    }

    Table table_;
    CoreContext context_;
    const UpstreamAnswer* answer_ = nullptr;
};

std::unique_ptr<AppModule> MakeMatchHistoryModule() {
    return std::make_unique<Client::MatchHistory::MatchHistoryModule>();
}

/// The match-history module loaded and started on a MinimalCore, with one of
/// its endpoints chosen and a request for it ready.
class StartedPlugin {
public:
    StartedPlugin(const char* pathTemplate, std::string requestPath)
        : path_(std::move(requestPath)) {
        record_.major = 18;
        LoadPlugin(&record_, "kzo-match-history", &MakeMatchHistoryModule);
        if (record_.module == nullptr ||
            !record_.callbacks->start(record_.module, core_.Context())) {
            return;
        }
        started_ = true;
        const ApiDescriptionRoot* root = record_.apiDescription;
        for (const EndpointRecord* e = root->endpoints; e != nullptr;
             e = reinterpret_cast<const EndpointRecord*>(e->function.next)) {
            if (std::strcmp(e->pathTemplate, pathTemplate) == 0) endpoint_ = e;
        }
        if (endpoint_ == nullptr) return;
        request_.method = 2;
        request_.path = path_.c_str();
        request_.endpointContext = reinterpret_cast<void*>(endpoint_->function.reserved1);
        request_.contentType = "";
    }
    StartedPlugin(const StartedPlugin&) = delete;
    StartedPlugin& operator=(const StartedPlugin&) = delete;
    ~StartedPlugin() {
        if (record_.module != nullptr) record_.callbacks->stop(record_.module);
    }

    [[nodiscard]] bool Ready() const noexcept { return started_ && endpoint_ != nullptr; }
    void Serve(const UpstreamAnswer* answer) noexcept { core_.Serve(answer); }

    /// One request; false (with the error text kept) when it is answered
    /// with an error.
    [[nodiscard]] bool Request(std::string& error) const {
        alignas(KzoWord) CoreResponse response{};
        endpoint_->onRequest(&response, &request_);
        const bool ok = response.errorText == nullptr && response.value.kind == kCoreValueStructure;
        if (!ok && response.errorText != nullptr) error = response.errorText;
        benchmark::DoNotOptimize(response.value.a);
        if (response.release != nullptr) response.release(&response);
        return ok;
    }

private:
    MinimalCore core_;  // outlives the module, which calls into it until it stops
    alignas(KzoWord) PluginLoadRecord record_{};
    std::string path_;
    const EndpointRecord* endpoint_ = nullptr;
    alignas(KzoWord) CoreRequest request_{};
    bool started_ = false;
};

void ReportPerIteration(benchmark::State& state, const bench::HeapCalls& heap) {
    const auto iterations = static_cast<double>(state.iterations());
    state.counters["allocs/request"] = static_cast<double>(heap.Allocations()) / iterations;
    state.counters["frees/request"] = static_cast<double>(heap.Frees()) / iterations;
}

void RequestThroughEndpoint(benchmark::State& state, const char* pathTemplate,
                            std::string_view endpointPath, std::string_view upstreamPath,
                            std::string_view sampleFolder) {
    const std::string text = SampleText(sampleFolder);
    const BindingStatus parsed = JsonToValue(text.data(), text.size());
    if (!parsed.Ok()) {
        state.SkipWithError("the sample is not valid JSON");
        return;
    }
    UpstreamAnswer answer;
    answer.path = std::string(upstreamPath) + kGameId;
    PropertyToCoreValue(answer.value, parsed.Value(), nullptr);

    const bench::WarmPageSource warm;
    StartedPlugin plugin(pathTemplate, std::string(endpointPath) + kGameId);
    if (!plugin.Ready()) {
        state.SkipWithError("the plug-in did not start or has no such endpoint");
        CoreValueRelease(answer.value);
        return;
    }
    plugin.Serve(&answer);
    std::string error;
    bench::HeapCalls heap;
    for (auto _ : state) {
        if (!plugin.Request(error)) {
            state.SkipWithError(("the request failed: " + error).c_str());
            break;
        }
    }
    heap.Stop();
    ReportPerIteration(state, heap);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
    plugin.Serve(nullptr);
    CoreValueRelease(answer.value);
}

void BM_GamesRequestThroughEndpoint(benchmark::State& state) {
    RequestThroughEndpoint(state, "/kzo-match-history/v1/games/{gameId}",
                           "/kzo-match-history/v1/games/", "/kzo-acs/v1/games/", "games");
}
BENCHMARK(BM_GamesRequestThroughEndpoint);

void BM_TimelinesRequestThroughEndpoint(benchmark::State& state) {
    RequestThroughEndpoint(state, "/kzo-match-history/v1/game-timelines/{gameId}",
                           "/kzo-match-history/v1/game-timelines/", "/kzo-acs/v1/gametimelines/",
                           "gametimelines");
}
BENCHMARK(BM_TimelinesRequestThroughEndpoint);

// The yardstick: RapidJSON parsing the same JSON into a Document with full
// precision numbers, then writing it compact into a string buffer.
void BM_RapidJsonParseAndWrite(benchmark::State& state, std::string_view sampleFolder) {
    const std::string text = SampleText(sampleFolder);
    bench::HeapCalls heap;
    for (auto _ : state) {
        rapidjson::Document document;
        document.Parse<rapidjson::kParseFullPrecisionFlag>(text.c_str());
        if (document.HasParseError()) {
            state.SkipWithError("the sample is not valid JSON");
            break;
        }
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        document.Accept(writer);
        benchmark::DoNotOptimize(buffer.GetString());
    }
    heap.Stop();
    ReportPerIteration(state, heap);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}
BENCHMARK_CAPTURE(BM_RapidJsonParseAndWrite, games, "games");
BENCHMARK_CAPTURE(BM_RapidJsonParseAndWrite, timelines, "gametimelines");

}  // namespace
}  // namespace Nimbel
