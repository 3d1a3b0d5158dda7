// Reading MessagePack into the generic value, beside msgpack-c unpacking the
// same bytes into its own object tree (the library a user would otherwise
// pick), alone and followed by the conversion of that tree into the generic
// value (what the framework would pay if it used msgpack-c). The bytes are the
// host's JSON samples packed with msgpack-c at start-up; each iteration reads
// every document of a set and destroys the result.
#include <benchmark/benchmark.h>
#include <rapidjson/document.h>

#include <cstdio>
#include <cstdlib>
#include <msgpack.hpp>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/message_pack_reader.h"
#include "sample_documents.h"

namespace Nimbel {
namespace {

using Packer = msgpack::packer<msgpack::sbuffer>;

// Integers take msgpack-c's smallest form, as any MessagePack writer would.
void Pack(const rapidjson::Value& value, Packer& packer) {
    switch (value.GetType()) {
        case rapidjson::kNullType:
            packer.pack_nil();
            return;
        case rapidjson::kFalseType:
            packer.pack_false();
            return;
        case rapidjson::kTrueType:
            packer.pack_true();
            return;
        case rapidjson::kStringType:
            packer.pack_str(value.GetStringLength());
            packer.pack_str_body(value.GetString(), value.GetStringLength());
            return;
        case rapidjson::kNumberType:
            if (value.IsUint64()) {
                packer.pack_uint64(value.GetUint64());
            } else if (value.IsInt64()) {
                packer.pack_int64(value.GetInt64());
            } else {
                packer.pack_double(value.GetDouble());
            }
            return;
        case rapidjson::kArrayType:
            packer.pack_array(value.Size());
            for (const rapidjson::Value& element : value.GetArray()) Pack(element, packer);
            return;
        case rapidjson::kObjectType:
            packer.pack_map(value.MemberCount());
            for (const auto& member : value.GetObject()) {
                Pack(member.name, packer);
                Pack(member.value, packer);
            }
            return;
    }
}

struct PackedSet {
    std::vector<std::string> documents;
    size_t bytes = 0;
};

const PackedSet& Packed(bench::SampleSet set) {
    static PackedSet sets[3];
    PackedSet& packed = sets[static_cast<int>(set)];
    if (!packed.documents.empty()) return packed;
    for (const auto& document : bench::LoadSampleSet(set)) {
        msgpack::sbuffer buffer;
        Packer packer(buffer);
        Pack(*document, packer);
        packed.documents.emplace_back(buffer.data(), buffer.size());
        packed.bytes += buffer.size();
    }
    return packed;
}

void ReportThroughput(benchmark::State& state, const PackedSet& packed) {
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(packed.bytes));
    state.SetLabel(bench::SampleFolder(static_cast<bench::SampleSet>(state.range(0))));
}

void BM_MessagePackToValue(benchmark::State& state) {
    const PackedSet& packed = Packed(static_cast<bench::SampleSet>(state.range(0)));
    for (auto _ : state) {
        for (const std::string& document : packed.documents) {
            size_t consumed = 0;
            const BindingStatus status = MessagePackToValue(
                reinterpret_cast<const uint8_t*>(document.data()), document.size(), consumed);
            if (!status.Ok() || consumed != document.size()) {
                state.SkipWithError("a sample did not read back");
                return;
            }
            benchmark::DoNotOptimize(status.Value().Size());
        }
    }
    ReportThroughput(state, packed);
}

void BM_MsgpackCUnpack(benchmark::State& state) {
    const PackedSet& packed = Packed(static_cast<bench::SampleSet>(state.range(0)));
    for (auto _ : state) {
        for (const std::string& document : packed.documents) {
            const msgpack::object_handle handle = msgpack::unpack(document.data(), document.size());
            benchmark::DoNotOptimize(handle.get().via.map.size);
        }
    }
    ReportThroughput(state, packed);
}

// msgpack-c's tree into a generic value, the way the reader fills it.
void Convert(const msgpack::object& object, BindingProperty& target) {
    switch (object.type) {
        case msgpack::type::NIL:
            return;
        case msgpack::type::BOOLEAN:
            target = object.via.boolean;
            return;
        case msgpack::type::POSITIVE_INTEGER:
            target = object.via.u64;
            return;
        case msgpack::type::NEGATIVE_INTEGER:
            target = object.via.i64;
            return;
        case msgpack::type::FLOAT32:
        case msgpack::type::FLOAT64:
            target = object.via.f64;
            return;
        case msgpack::type::STR:
            target = std::string_view(object.via.str.ptr, object.via.str.size);
            return;
        case msgpack::type::BIN:
            target = BindingBytes(object.via.bin.ptr, object.via.bin.ptr + object.via.bin.size);
            return;
        case msgpack::type::ARRAY:
            target.MakeCollection();
            target.Reserve(object.via.array.size);
            for (const msgpack::object& element :
                 std::span(object.via.array.ptr, object.via.array.size)) {
                Convert(element, target.Append());
            }
            return;
        case msgpack::type::MAP:
            target.MakeStructure();
            for (const msgpack::object_kv& pair :
                 std::span(object.via.map.ptr, object.via.map.size)) {
                Convert(pair.val,
                        target[std::string_view(pair.key.via.str.ptr, pair.key.via.str.size)]);
            }
            return;
        default:
            return;
    }
}

void BM_MsgpackCUnpackIntoValue(benchmark::State& state) {
    const PackedSet& packed = Packed(static_cast<bench::SampleSet>(state.range(0)));
    for (auto _ : state) {
        for (const std::string& document : packed.documents) {
            const msgpack::object_handle handle = msgpack::unpack(document.data(), document.size());
            BindingProperty value;
            Convert(handle.get(), value);
            benchmark::DoNotOptimize(value.Size());
        }
    }
    ReportThroughput(state, packed);
}

BENCHMARK(BM_MessagePackToValue)->DenseRange(0, 2);
BENCHMARK(BM_MsgpackCUnpack)->DenseRange(0, 2);
BENCHMARK(BM_MsgpackCUnpackIntoValue)->DenseRange(0, 2);

}  // namespace
}  // namespace Nimbel
