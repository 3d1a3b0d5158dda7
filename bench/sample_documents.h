// The host's JSON sample data, read once with RapidJSON for the codec
// benchmarks, which convert it into the form they measure.
#pragma once

#include <rapidjson/document.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace Nimbel::bench {

/// The sample sets, each a folder of JSON documents below host/sample_data.
enum class SampleSet : int { Games = 0, Timelines = 1, MatchLists = 2 };

[[nodiscard]] inline const char* SampleFolder(SampleSet set) {
    switch (set) {
        case SampleSet::Games:
            return "games";
        case SampleSet::Timelines:
            return "gametimelines";
        case SampleSet::MatchLists:
            return "matchlists";
    }
    return "";
}

/// Every document of a set, parsed; aborts when the sample data is missing or
/// malformed, since no figure would mean anything then.
[[nodiscard]] inline std::vector<std::unique_ptr<rapidjson::Document>> LoadSampleSet(
    SampleSet set) {
    const std::filesystem::path folder =
        std::filesystem::path(KZO_SAMPLE_DATA_DIR) / SampleFolder(set);
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() == ".json") files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    std::vector<std::unique_ptr<rapidjson::Document>> documents;
    for (const auto& file : files) {
        std::ifstream stream(file, std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(stream)),
                               std::istreambuf_iterator<char>());
        auto document = std::make_unique<rapidjson::Document>();
        document->Parse<rapidjson::kParseFullPrecisionFlag>(text.c_str());
        if (document->HasParseError()) {
            std::fprintf(stderr, "sample %s is not valid JSON\n", file.c_str());
            std::abort();
        }
        documents.push_back(std::move(document));
    }
    if (documents.empty()) {
        std::fprintf(stderr, "no sample data in %s\n", folder.c_str());
        std::abort();
    }
    return documents;
}

}  // namespace Nimbel::bench
