// The floor under JsonToValue: RapidJSON's reader alone, with the flags and
// the handler interface JsonToValue uses, building nothing. What JsonToValue
// costs above it is the cost of the tree.
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <rapidjson/reader.h>

#include <fstream>
#include <iterator>
#include <string>

#include "codecs/internal/counted_json_allocator.h"

namespace Nimbel {
namespace {

std::string ReadSample(const char* relative) {
    std::ifstream file(std::string(KZO_SAMPLE_DATA_DIR) + "/" + relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

const std::string& FloorInput(int64_t input) {
    static const std::string texts[] = {
        ReadSample("games/3037071829.json"),
        ReadSample("gametimelines/3037071829.json"),
        ReadSample("matchlists/0.json"),
    };
    return texts[input];
}

// Accepts every event and keeps nothing.
struct NullHandler : rapidjson::BaseReaderHandler<rapidjson::UTF8<>, NullHandler> {
    bool Default() { return true; }
};

void BM_RapidJsonReaderAlone(benchmark::State& state) {
    const std::string& text = FloorInput(state.range(0));
    internal::CountedJsonAllocator allocator;
    for (auto _ : state) {
        rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>,
                                 internal::CountedJsonAllocator>
            reader(&allocator);
        rapidjson::StringStream stream(text.c_str());
        NullHandler handler;
        benchmark::DoNotOptimize(
            reader.Parse<rapidjson::kParseNumbersAsStringsFlag>(stream, handler));
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_RapidJsonReaderAlone)->ArgName("input")->DenseRange(0, 2);

void BM_RapidJsonDocumentParse_FullPrecision(benchmark::State& state) {
    const std::string& text = FloorInput(state.range(0));
    for (auto _ : state) {
        rapidjson::Document document;
        document.Parse<rapidjson::kParseFullPrecisionFlag>(text.c_str());
        benchmark::DoNotOptimize(document);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_RapidJsonDocumentParse_FullPrecision)->ArgName("input")->DenseRange(0, 2);

}  // namespace
}  // namespace Nimbel
