// Reading YAML into the generic value, beside the floor set by libyaml alone
// (its bare event loop over the same text, which every libyaml-based reader
// pays) and beside yaml-cpp's YAML::Load (the library a user would otherwise
// pick). The texts are the host's JSON samples written as block-style YAML at
// start-up; each iteration reads every document of a set.
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>
#include <yaml-cpp/yaml.h>
#include <yaml.h>

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/yaml_reader.h"
#include "sample_documents.h"

namespace Nimbel {
namespace {

// ---- A small block-style emitter ---------------------------------------------

[[nodiscard]] bool IsPlainKey(std::string_view key) {
    if (key.empty()) return false;
    for (const char c : key) {
        const bool word =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
        if (!word) return false;
    }
    return true;
}

// Double-quoted, so that no text is read back as a number, bool or null.
void WriteQuoted(std::string_view text, std::string& out) {
    out += '"';
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += c;
        }
    }
    out += '"';
}

[[nodiscard]] bool IsNonEmptyContainer(const rapidjson::Value& value) {
    return (value.IsObject() && value.MemberCount() > 0) || (value.IsArray() && !value.Empty());
}

void WriteScalar(const rapidjson::Value& value, std::string& out) {
    char number[32];
    if (value.IsNull()) {
        out += '~';
    } else if (value.IsBool()) {
        out += value.GetBool() ? "true" : "false";
    } else if (value.IsString()) {
        WriteQuoted({value.GetString(), value.GetStringLength()}, out);
    } else if (value.IsUint64()) {
        std::snprintf(number, sizeof number, "%llu",
                      static_cast<unsigned long long>(value.GetUint64()));
        out += number;
    } else if (value.IsInt64()) {
        std::snprintf(number, sizeof number, "%lld", static_cast<long long>(value.GetInt64()));
        out += number;
    } else if (value.IsDouble()) {
        std::snprintf(number, sizeof number, "%.17g", value.GetDouble());
        out += number;
    } else {
        out += value.IsArray() ? "[]" : "{}";
    }
}

void WriteBlock(const rapidjson::Value& value, size_t indent, std::string& out);

// After "key:" or "-": a scalar on the same line, a container on the next lines.
void WriteEntryValue(const rapidjson::Value& value, size_t indent, std::string& out) {
    if (IsNonEmptyContainer(value)) {
        out += '\n';
        WriteBlock(value, indent + 2, out);
    } else {
        out += ' ';
        WriteScalar(value, out);
        out += '\n';
    }
}

void WriteBlock(const rapidjson::Value& value, size_t indent, std::string& out) {
    if (value.IsObject()) {
        for (const auto& member : value.GetObject()) {
            out.append(indent, ' ');
            const std::string_view key(member.name.GetString(), member.name.GetStringLength());
            if (IsPlainKey(key)) {
                out += key;
            } else {
                WriteQuoted(key, out);
            }
            out += ':';
            WriteEntryValue(member.value, indent, out);
        }
    } else if (value.IsArray()) {
        for (const rapidjson::Value& element : value.GetArray()) {
            out.append(indent, ' ');
            out += '-';
            WriteEntryValue(element, indent, out);
        }
    }
}

struct YamlSet {
    std::vector<std::string> documents;
    size_t bytes = 0;
};

const YamlSet& Texts(bench::SampleSet set) {
    static YamlSet sets[3];
    YamlSet& texts = sets[static_cast<int>(set)];
    if (!texts.documents.empty()) return texts;
    for (const auto& document : bench::LoadSampleSet(set)) {
        std::string text;
        WriteBlock(*document, 0, text);
        texts.bytes += text.size();
        texts.documents.push_back(std::move(text));
    }
    return texts;
}

void ReportThroughput(benchmark::State& state, const YamlSet& texts) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(texts.bytes));
    state.SetLabel(bench::SampleFolder(static_cast<bench::SampleSet>(state.range(0))));
}

// ---- Readers -------------------------------------------------------------------

void BM_YamlToValue(benchmark::State& state) {
    const YamlSet& texts = Texts(static_cast<bench::SampleSet>(state.range(0)));
    for (auto _ : state) {
        for (const std::string& text : texts.documents) {
            const BindingStatus status = YamlToValue(text.data(), text.size());
            if (!status.Ok()) {
                state.SkipWithError(std::string(status.ErrorMessage()).c_str());
                return;
            }
            benchmark::DoNotOptimize(status.Value().Size());
        }
    }
    ReportThroughput(state, texts);
}

// Every event parsed and released, nothing built.
[[nodiscard]] size_t CountLibyamlEvents(const std::string& text) {
    yaml_parser_t parser;
    yaml_parser_initialize(&parser);
    yaml_parser_set_encoding(&parser, YAML_UTF8_ENCODING);
    yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(text.data()),
                                 text.size());
    size_t events = 0;
    yaml_event_t event;
    bool more = true;
    while (more && yaml_parser_parse(&parser, &event) != 0) {
        more = event.type != YAML_STREAM_END_EVENT;
        yaml_event_delete(&event);
        ++events;
    }
    yaml_parser_delete(&parser);
    return events;
}

void BM_LibyamlEventLoop(benchmark::State& state) {
    const YamlSet& texts = Texts(static_cast<bench::SampleSet>(state.range(0)));
    for (auto _ : state) {
        for (const std::string& text : texts.documents) {
            benchmark::DoNotOptimize(CountLibyamlEvents(text));
        }
    }
    ReportThroughput(state, texts);
}

void BM_YamlCppLoad(benchmark::State& state) {
    const YamlSet& texts = Texts(static_cast<bench::SampleSet>(state.range(0)));
    for (auto _ : state) {
        for (const std::string& text : texts.documents) {
            const YAML::Node node = YAML::Load(text);
            benchmark::DoNotOptimize(node.size());
        }
    }
    ReportThroughput(state, texts);
}

BENCHMARK(BM_YamlToValue)->DenseRange(0, 2);
BENCHMARK(BM_LibyamlEventLoop)->DenseRange(0, 2);
BENCHMARK(BM_YamlCppLoad)->DenseRange(0, 2);

}  // namespace
}  // namespace Nimbel
