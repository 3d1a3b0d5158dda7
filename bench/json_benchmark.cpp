// JSON reading and writing on the host's sample data (a game, a timeline, a
// match list, and every timeline in one array) beside RapidJSON's own DOM:
// JsonToValue against Document::Parse and ValueToJson against RapidJSON's
// Writer over a Document, in MB/s of JSON text; and the memory a read value
// holds, against what a Document holds for the same text. RapidJSON always
// reads numbers with full precision, since JsonToValue gives every number its
// nearest double too.
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "bench_support.h"
#include "binding/binding_property.h"
#include "binding/binding_visitor.h"
#include "binding/internal/page_source.h"
#include "codecs/internal/counted_json_allocator.h"
#include "codecs/json_reader.h"
#include "codecs/json_writer.h"
#include "diagnostics/allocator.h"

namespace Nimbel {
namespace {

using bench::NodeCounter;
using bench::WarmPageSource;

// ---- Inputs -----------------------------------------------------------------

// The build names the sample folder, so the program runs from any directory.
std::filesystem::path SampleData() {
    return std::filesystem::path(KZO_SAMPLE_DATA_DIR);
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string AllTimelines() {
    std::vector<std::filesystem::path> paths;
    for (const auto& entry : std::filesystem::directory_iterator(SampleData() / "gametimelines")) {
        paths.push_back(entry.path());
    }
    std::sort(paths.begin(), paths.end());
    std::string text = "[";
    for (const auto& path : paths) {
        if (text.size() > 1) text += ",";
        text += ReadFile(path);
    }
    return text + "]";
}

enum Input : int64_t { kGame, kTimeline, kMatchList, kAllTimelines };

const std::string& InputText(int64_t input) {
    static const std::string texts[] = {
        ReadFile(SampleData() / "games" / "3037071829.json"),
        ReadFile(SampleData() / "gametimelines" / "3037071829.json"),
        ReadFile(SampleData() / "matchlists" / "0.json"),
        AllTimelines(),
    };
    return texts[input];
}

void NameInputs(benchmark::internal::Benchmark* benchmark) {
    benchmark->ArgName("input");
    for (const int64_t input : {kGame, kTimeline, kMatchList, kAllTimelines}) {
        benchmark->Arg(input);
    }
}

void Label(benchmark::State& state) {
    static const char* names[] = {"game", "timeline", "match list", "all timelines"};
    const std::string& text = InputText(state.range(0));
    state.SetLabel(std::string(names[state.range(0)]) + ", " + std::to_string(text.size()) +
                   " bytes");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}

// ---- Measuring --------------------------------------------------------------

// Bytes held from the counted heap and the page source since construction.
class HeldMemory {
public:
    HeldMemory() : heap_(ReadMemoryStats()), regions_(Regions()) {}

    [[nodiscard]] int64_t HeapBytes() const {
        const MemoryStats now = ReadMemoryStats();
        return static_cast<int64_t>(now.bytesAllocated - heap_.bytesAllocated) -
               static_cast<int64_t>(now.bytesFreed - heap_.bytesFreed);
    }
    [[nodiscard]] int64_t PageBytes() const {
        return (static_cast<int64_t>(Regions()) - static_cast<int64_t>(regions_)) *
               static_cast<int64_t>(internal::PageSource::kRegionBytes);
    }
    [[nodiscard]] uint64_t Allocations() const {
        return ReadMemoryStats().allocations - heap_.allocations;
    }

private:
    static size_t Regions() { return internal::PageSource::Instance().Counters().regionsMapped; }

    MemoryStats heap_;
    size_t regions_;
};

// RapidJSON's document over the counted heap, so its bytes show in the counters.
using CountedBaseAllocator = internal::CountedJsonAllocator;
using CountedDocument = rapidjson::GenericDocument<
    rapidjson::UTF8<>, rapidjson::MemoryPoolAllocator<CountedBaseAllocator>, CountedBaseAllocator>;

// ---- Reading ----------------------------------------------------------------

void BM_JsonToValue(benchmark::State& state) {
    const std::string& text = InputText(state.range(0));
    const WarmPageSource warm;
    for (auto _ : state) {
        BindingStatus status = JsonToValue(text.c_str());
        benchmark::DoNotOptimize(status);
    }
    Label(state);
}
BENCHMARK(BM_JsonToValue)->Apply(NameInputs);

// Each iteration also maps, touches and unmaps the page-source regions it needs.
void BM_JsonToValue_ColdPages(benchmark::State& state) {
    const std::string& text = InputText(state.range(0));
    for (auto _ : state) {
        BindingStatus status = JsonToValue(text.c_str());
        benchmark::DoNotOptimize(status);
    }
    Label(state);
}
BENCHMARK(BM_JsonToValue_ColdPages)->Apply(NameInputs);

void BM_RapidJsonDocumentParse(benchmark::State& state) {
    const std::string& text = InputText(state.range(0));
    for (auto _ : state) {
        rapidjson::Document document;
        document.Parse<rapidjson::kParseFullPrecisionFlag>(text.c_str());
        benchmark::DoNotOptimize(document);
    }
    Label(state);
}
BENCHMARK(BM_RapidJsonDocumentParse)->Apply(NameInputs);

// One object of `keys` members "k000000001"... valued 1, the names ascending or
// descending: structures must cost about the same whichever order their
// names arrive in.
std::string KeyedObject(int64_t keys, bool descending) {
    std::string text = "{";
    for (int64_t i = 0; i < keys; ++i) {
        const int64_t number = descending ? keys - i : i + 1;
        std::string digits = std::to_string(number);
        digits.insert(0, 9 - digits.size(), '0');
        if (i != 0) text += ',';
        text += "\"k" + digits + "\":1";
    }
    return text + "}";
}

void ReadKeyedObject(benchmark::State& state, bool descending) {
    const std::string text = KeyedObject(state.range(0), descending);
    const WarmPageSource warm;
    for (auto _ : state) {
        BindingStatus status = JsonToValue(text.c_str());
        // Reading the members in name order is part of the cost.
        benchmark::DoNotOptimize(status.Value().Members()[0]);
        benchmark::DoNotOptimize(status);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}

void BM_JsonToValue_AscendingKeys(benchmark::State& state) {
    ReadKeyedObject(state, false);
}
BENCHMARK(BM_JsonToValue_AscendingKeys)
    ->ArgName("keys")
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

void BM_JsonToValue_DescendingKeys(benchmark::State& state) {
    ReadKeyedObject(state, true);
}
BENCHMARK(BM_JsonToValue_DescendingKeys)
    ->ArgName("keys")
    ->Arg(10000)
    ->Arg(100000)
    ->Unit(benchmark::kMillisecond);

// ---- Writing ----------------------------------------------------------------

void BM_ValueToJson(benchmark::State& state) {
    const std::string& text = InputText(state.range(0));
    const BindingStatus status = JsonToValue(text.c_str());
    for (auto _ : state) {
        std::string json = ValueToJson(status.Value(), nullptr, nullptr);
        benchmark::DoNotOptimize(json);
    }
    Label(state);
}
BENCHMARK(BM_ValueToJson)->Apply(NameInputs);

void BM_ValueToJson_Indented(benchmark::State& state) {
    const std::string& text = InputText(state.range(0));
    const BindingStatus status = JsonToValue(text.c_str());
    for (auto _ : state) {
        std::string json = ValueToJson(status.Value(), nullptr, "\r\n");
        benchmark::DoNotOptimize(json);
    }
    Label(state);
}
BENCHMARK(BM_ValueToJson_Indented)->Apply(NameInputs);

void BM_RapidJsonWriter(benchmark::State& state) {
    const std::string& text = InputText(state.range(0));
    rapidjson::Document document;
    document.Parse<rapidjson::kParseFullPrecisionFlag>(text.c_str());
    for (auto _ : state) {
        rapidjson::StringBuffer buffer;
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        document.Accept(writer);
        benchmark::DoNotOptimize(buffer.GetString());
    }
    Label(state);
}
BENCHMARK(BM_RapidJsonWriter)->Apply(NameInputs);

// ---- Memory -----------------------------------------------------------------

// One read of every timeline in one array: what the value holds against what
// a Document holds, and heap allocations per node of the value.
void BM_HeldMemory_AllTimelines(benchmark::State& state) {
    const std::string& text = InputText(kAllTimelines);
    for (auto _ : state) {
        int64_t valueBytes = 0;
        uint64_t allocations = 0;
        size_t nodes = 0;
        {
            const HeldMemory held;
            const BindingStatus status = JsonToValue(text.c_str());
            valueBytes = held.HeapBytes() + held.PageBytes();
            allocations = held.Allocations();
            NodeCounter counter;
            status.Value().Visit(counter);
            nodes = counter.nodes;
            state.counters["value_heap_bytes"] = static_cast<double>(held.HeapBytes());
            state.counters["value_page_bytes"] = static_cast<double>(held.PageBytes());
        }
        int64_t documentBytes = 0;
        {
            const HeldMemory held;
            CountedDocument document;
            document.Parse<rapidjson::kParseFullPrecisionFlag>(text.c_str());
            documentBytes = held.HeapBytes();
        }
        state.counters["value_bytes"] = static_cast<double>(valueBytes);
        state.counters["document_bytes"] = static_cast<double>(documentBytes);
        state.counters["value/document"] =
            static_cast<double>(valueBytes) / static_cast<double>(documentBytes);
        state.counters["nodes"] = static_cast<double>(nodes);
        state.counters["allocs/node"] =
            static_cast<double>(allocations) / static_cast<double>(nodes);
    }
}
BENCHMARK(BM_HeldMemory_AllTimelines)->Iterations(1);

}  // namespace
}  // namespace Nimbel
