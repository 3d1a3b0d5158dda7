// Records, enumerations and helpers shared by the registry, builder and
// conversion tests: a record with a field of every kind, enumerations of every
// width, and a compact text form of values to compare trees in one assertion.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "binding/binding_property.h"
#include "binding/binding_type_builder.h"
#include "binding/binding_type_registry.h"
#include "binding/binding_visitor.h"

namespace Nimbel::conversion_test {

enum class Lane : int32_t { Top = 1, Jungle = 2, Bottom = 3, Minus = -1 };
enum class Width1 : int8_t { Minus = -1, One = 1 };
enum class Width2 : int16_t { Minus = -1, One = 1 };
enum class Width4 : int32_t { Minus = -1, One = 1 };
enum class Width8 : int64_t { Minus = -1, One = 1 };

struct Position {
    int16_t x = 0;
    int16_t y = 0;
};

struct Everything {
    bool flag = false;
    int8_t i8 = 0;
    uint8_t u8 = 0;
    int16_t i16 = 0;
    uint16_t u16 = 0;
    int32_t i32 = 0;
    uint32_t u32 = 0;
    int64_t i64 = 0;
    uint64_t u64 = 0;
    float f32 = 0;
    double f64 = 0;
    std::string text;
    BindingProperty any;
    BindingBytes bytes;
    Lane lane = Lane::Top;
    Position position;
    std::vector<int32_t> numbers;
    std::vector<bool> flags;
    std::vector<std::string> texts;
    std::vector<Position> positions;
    std::vector<Lane> lanes;
    std::vector<std::vector<Position>> grid;
    std::unordered_map<std::string, double> deltas;
    std::unordered_map<std::string, Position> frames;
};

/// A record with one required field, for the record rules.
struct Session {
    Lane state = Lane::Top;
    uint64_t summonerId = 0;
    uint64_t accountId = 0;
    std::string name;
};

inline constexpr const char* kPositionName = "KzoTestPosition";
inline constexpr const char* kLaneName = "KzoTestLane";
inline constexpr const char* kEverythingName = "KzoTestEverything";
inline constexpr const char* kSessionName = "KzoTestSession";

/// Registers every type above, nested types first.
inline void RegisterTestTypes(BindingTypeRegistry& registry) {
    BindingTypeBuilder<Position>(registry, kPositionName)
        .Field("x", &Position::x)
        .Field("y", &Position::y)
        .Finish();
    BindingTypeBuilder<Lane>(registry, kLaneName)
        .Enumerator("TOP", Lane::Top)
        .Enumerator("JUNGLE", Lane::Jungle)
        .Enumerator("BOTTOM", Lane::Bottom)
        .Enumerator("MINUS", Lane::Minus)
        .Finish();
    BindingTypeBuilder<Width1>(registry, "KzoTestWidth1")
        .Enumerator("MINUS", Width1::Minus)
        .Enumerator("ONE", Width1::One)
        .Finish();
    BindingTypeBuilder<Width2>(registry, "KzoTestWidth2")
        .Enumerator("MINUS", Width2::Minus)
        .Enumerator("ONE", Width2::One)
        .Finish();
    BindingTypeBuilder<Width4>(registry, "KzoTestWidth4")
        .Enumerator("MINUS", Width4::Minus)
        .Enumerator("ONE", Width4::One)
        .Finish();
    BindingTypeBuilder<Width8>(registry, "KzoTestWidth8")
        .Enumerator("MINUS", Width8::Minus)
        .Enumerator("ONE", Width8::One)
        .Finish();
    BindingTypeBuilder<Everything>(registry, kEverythingName)
        .Field("flag", &Everything::flag)
        .Field("i8", &Everything::i8)
        .Field("u8", &Everything::u8)
        .Field("i16", &Everything::i16)
        .Field("u16", &Everything::u16)
        .Field("i32", &Everything::i32)
        .Field("u32", &Everything::u32)
        .Field("i64", &Everything::i64)
        .Field("u64", &Everything::u64)
        .Field("f32", &Everything::f32)
        .Field("f64", &Everything::f64)
        .Field("text", &Everything::text)
        .Field("any", &Everything::any)
        .Field("bytes", &Everything::bytes)
        .Field("lane", &Everything::lane)
        .Field("position", &Everything::position)
        .Field("numbers", &Everything::numbers)
        .Field("flags", &Everything::flags)
        .Field("texts", &Everything::texts)
        .Field("positions", &Everything::positions)
        .Field("lanes", &Everything::lanes)
        .Field("grid", &Everything::grid)
        .Field("deltas", &Everything::deltas)
        .Field("frames", &Everything::frames)
        .Finish();
    BindingTypeBuilder<Session>(registry, kSessionName)
        .Field("state", &Session::state)
        .Field("summonerId", &Session::summonerId)
        .Field("accountId", &Session::accountId, {.flags = FieldRequired})
        .Field("name", &Session::name)
        .Finish();
}

/// One registry of the types above for the whole test program, made on first
/// use and kept until the program ends, so descriptions stay valid in every
/// test.
inline const BindingTypeRegistry& Registry() {
    static const BindingTypeRegistry* registry = [] {
        static BindingTypeRegistry instance;
        RegisterTestTypes(instance);
        return &instance;
    }();
    return *registry;
}

// ---- Building values --------------------------------------------------------

inline BindingProperty Signed(int64_t value) {
    return BindingProperty(value);
}
inline BindingProperty Unsigned(uint64_t value) {
    return BindingProperty(value);
}
inline BindingProperty Float(double value) {
    return BindingProperty(value);
}
inline BindingProperty Text(const char* text) {
    return BindingProperty(text);
}
inline BindingProperty Blob(std::initializer_list<uint8_t> bytes) {
    return BindingProperty(BindingBytes(bytes));
}
template <class E>
BindingProperty EnumOf(int32_t value) {
    return BindingProperty(BindingEnum{value, &StaticType::Name<E>()});
}
inline BindingProperty List(std::initializer_list<BindingProperty> elements) {
    BindingProperty list;
    list.MakeCollection();
    for (const BindingProperty& element : elements) list.Append() = element;
    return list;
}
inline BindingProperty Struct(
    std::initializer_list<std::pair<const char*, BindingProperty>> members) {
    BindingProperty structure;
    structure.MakeStructure();
    for (const auto& [name, value] : members) structure[name] = value;
    return structure;
}

// ---- Describing values ------------------------------------------------------

/// One text per tree: null, true, -1 (signed), 1u (unsigned), 1.5f (float,
/// printed with %g), "text", blob(n), enum(v), [a,b], {name:a,name:b}.
class DescribingVisitor final : public BindingVisitor {
public:
    std::string text;

    bool Empty() override { return Add("null"); }
    bool Bool(bool value) override { return Add(value ? "true" : "false"); }
    bool Signed(int64_t value) override { return Add(std::to_string(value)); }
    bool Unsigned(uint64_t value) override { return Add(std::to_string(value) + "u"); }
    bool Float(double value) override {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, "%gf", value);
        return Add(buffer);
    }
    bool String(std::string_view value) override { return Add("\"" + std::string(value) + "\""); }
    bool Blob(std::span<const uint8_t> bytes) override {
        return Add("blob(" + std::to_string(bytes.size()) + ")");
    }
    bool Enum(const BindingEnum& pair) override {
        return Add("enum(" + std::to_string(pair.value) + ")");
    }
    bool BeginCollection(size_t) override { return Add("["); }
    bool BeginElement(size_t index) override { return Add(index == 0 ? "" : ","); }
    bool EndElement(size_t) override { return true; }
    bool EndCollection() override { return Add("]"); }
    bool BeginStructure(size_t) override {
        first_ = true;
        return Add("{");
    }
    bool MemberName(std::string_view name) override {
        Add(first_ ? "" : ",");
        first_ = false;
        return Add(std::string(name) + ":");
    }
    bool EndMember() override { return true; }
    bool EndStructure() override {
        first_ = false;
        return Add("}");
    }

private:
    bool Add(const std::string& part) {
        text += part;
        return true;
    }
    bool first_ = true;
};

inline std::string Describe(const BindingProperty& value) {
    DescribingVisitor visitor;
    value.Visit(visitor);
    return visitor.text;
}

}  // namespace Nimbel::conversion_test
