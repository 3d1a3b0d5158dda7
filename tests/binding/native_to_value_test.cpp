// Native-to-value conversion: the result kind of every native type, records
// with and without FieldSkipEmpty, map order, enumerator widths, records of
// unregistered types and failing converters, and round trips through both
// conversions.
#include "binding/native_to_value.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "binding/value_to_native.h"
#include "conversion_test_support.h"

namespace Nimbel {
namespace {

using namespace conversion_test;
using K = BindingTypeKind;

template <class T>
std::string DescribeConverted(const T& value) {
    BindingStatus status;
    NativeToValue(status, value, Registry());
    if (!status.Ok()) return "failed: " + std::string(status.ErrorMessage());
    return Describe(status.Value());
}

TEST(NativeToValueTest, ResultKindOfEveryNativeType) {
    struct Case {
        const char* description;
        std::string actual;
        const char* expected;
    };
    const Case cases[] = {
        {"bool", DescribeConverted(true), "true"},
        {"int8 sign-extended", DescribeConverted(int8_t{-1}), "-1"},
        {"uint8", DescribeConverted(uint8_t{255}), "255u"},
        {"int16", DescribeConverted(int16_t{-32768}), "-32768"},
        {"uint16", DescribeConverted(uint16_t{65535}), "65535u"},
        {"int32", DescribeConverted(int32_t{-5}), "-5"},
        {"uint32", DescribeConverted(uint32_t{4294967295u}), "4294967295u"},
        {"int64", DescribeConverted(std::numeric_limits<int64_t>::min()), "-9223372036854775808"},
        {"uint64", DescribeConverted(std::numeric_limits<uint64_t>::max()),
         "18446744073709551615u"},
        {"float widened", DescribeConverted(1.5f), "1.5f"},
        {"double", DescribeConverted(-0.25), "-0.25f"},
        {"text", DescribeConverted(std::string("Ahri")), "\"Ahri\""},
        {"bytes", DescribeConverted(BindingBytes{1, 2, 3}), "blob(3)"},
        {"generic value", DescribeConverted(Struct({{"b", Signed(1)}, {"a", BindingProperty()}})),
         "{a:null,b:1}"},
        {"enumerator", DescribeConverted(Lane::Jungle), "enum(2)"},
        {"vector of uint16", DescribeConverted(std::vector<uint16_t>{1, 2}), "[1u,2u]"},
        {"vector of int8", DescribeConverted(std::vector<int8_t>{-1}), "[-1]"},
        {"vector of bool", DescribeConverted(std::vector<bool>{true, false}), "[true,false]"},
        {"empty vector", DescribeConverted(std::vector<std::string>{}), "[]"},
        {"map in name order",
         DescribeConverted(std::unordered_map<std::string, double>{{"b", 2}, {"a", 1}}),
         "{a:1f,b:2f}"},
        {"vector of maps of records",
         DescribeConverted(
             std::vector<std::unordered_map<std::string, Position>>{{{"p", Position{1, 2}}}}),
         "[{p:{x:1,y:2}}]"},
        {"record", DescribeConverted(Position{3, -4}), "{x:3,y:-4}"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected) << c.description;
}

TEST(NativeToValueTest, EnumeratorsAreReadInTheirNativeWidth) {
    struct Case {
        const char* description;
        std::string actual;
        const char* expected;
    };
    const auto fromBytes = [](auto enumerator, std::initializer_list<uint8_t> bytes) {
        std::memcpy(&enumerator, bytes.begin(), sizeof enumerator);
        return DescribeConverted(enumerator);
    };
    const Case cases[] = {
        {"1 byte 0xFF sign-extends", fromBytes(Width1{}, {0xFF}), "enum(-1)"},
        {"2 bytes 0xFFFF sign-extends", fromBytes(Width2{}, {0xFF, 0xFF}), "enum(-1)"},
        {"4 bytes", fromBytes(Width4{}, {0xFE, 0xFF, 0xFF, 0xFF}), "enum(-2)"},
        {"8 bytes keep the low 32 bits",
         fromBytes(Width8{}, {0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00}), "enum(2)"},
        {"8 bytes minus one", DescribeConverted(Width8::Minus), "enum(-1)"},
        {"value without an enumerator", DescribeConverted(static_cast<Lane>(9)), "enum(9)"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.actual, c.expected) << c.description;

    BindingStatus status;
    NativeToValue(status, Width1::Minus, Registry());
    EXPECT_EQ(*status.Value().GetEnum().type, StaticType::Name<Width1>());
    EXPECT_EQ(Registry().EnumeratorName(*status.Value().GetEnum().type, -1), "MINUS");
}

// Every kind once, each field registered with FieldSkipEmpty.
struct Skippy {
    bool flag = false;
    int32_t number = 0;
    uint64_t count = 0;
    double ratio = 0;
    std::string text;
    BindingBytes bytes;
    BindingProperty any;
    Lane lane = static_cast<Lane>(0);
    std::vector<int32_t> numbers;
    std::unordered_map<std::string, double> deltas;
    Position position;
};

struct Empty {};

const BindingTypeRegistry& SkippyRegistry() {
    static const BindingTypeRegistry* registry = [] {
        static BindingTypeRegistry instance;
        RegisterTestTypes(instance);
        BindingTypeBuilder<Empty>(instance, "Empty").Finish();
        const BindingFieldOptions skip{.flags = FieldSkipEmpty};
        BindingTypeBuilder<Skippy>(instance, "Skippy")
            .Field("flag", &Skippy::flag, skip)
            .Field("number", &Skippy::number, skip)
            .Field("count", &Skippy::count, skip)
            .Field("ratio", &Skippy::ratio, skip)
            .Field("text", &Skippy::text, skip)
            .Field("bytes", &Skippy::bytes, skip)
            .Field("any", &Skippy::any, skip)
            .Field("lane", &Skippy::lane, skip)
            .Field("numbers", &Skippy::numbers, skip)
            .Field("deltas", &Skippy::deltas, skip)
            .Field("position", &Skippy::position, skip)
            .Finish();
        return &instance;
    }();
    return *registry;
}

TEST(NativeToValueTest, SkipEmptyLeavesOutEmptyAndZeroMembers) {
    struct Case {
        const char* description;
        void (*change)(Skippy&);
        const char* expected;
    };
    // A default Skippy still has its position: a structure of two members.
    const Case cases[] = {
        {"defaults", [](Skippy&) {}, "{position:{x:0,y:0}}"},
        {"true", [](Skippy& s) { s.flag = true; }, "{flag:true,position:{x:0,y:0}}"},
        {"number", [](Skippy& s) { s.number = -1; }, "{number:-1,position:{x:0,y:0}}"},
        {"count", [](Skippy& s) { s.count = 1; }, "{count:1u,position:{x:0,y:0}}"},
        {"NaN is kept", [](Skippy& s) { s.ratio = std::numeric_limits<double>::quiet_NaN(); },
         "{position:{x:0,y:0},ratio:nanf}"},
        {"negative zero is zero", [](Skippy& s) { s.ratio = -0.0; }, "{position:{x:0,y:0}}"},
        {"text", [](Skippy& s) { s.text = "t"; }, "{position:{x:0,y:0},text:\"t\"}"},
        {"bytes", [](Skippy& s) { s.bytes = {0}; }, "{bytes:blob(1),position:{x:0,y:0}}"},
        {"value holding 0", [](Skippy& s) { s.any = int64_t{0}; }, "{position:{x:0,y:0}}"},
        {"value holding a structure", [](Skippy& s) { s.any["a"] = int64_t{0}; },
         "{any:{a:0},position:{x:0,y:0}}"},
        {"enumerator", [](Skippy& s) { s.lane = Lane::Top; }, "{lane:enum(1),position:{x:0,y:0}}"},
        {"vector holding 0", [](Skippy& s) { s.numbers = {0}; },
         "{numbers:[0],position:{x:0,y:0}}"},
        {"map",
         [](Skippy& s) {
             s.deltas = {{"a", 0}};
         },
         "{deltas:{a:0f},position:{x:0,y:0}}"},
    };
    for (const Case& c : cases) {
        Skippy skippy;
        c.change(skippy);
        BindingStatus status;
        NativeToValue(status, skippy, SkippyRegistry());
        ASSERT_TRUE(status.Ok()) << c.description;
        EXPECT_EQ(Describe(status.Value()), c.expected) << c.description;
    }

    // A record without members is left out like any empty structure.
    struct Holder {
        Empty empty;
        int32_t number = 0;
    };
    BindingTypeRegistry registry;
    BindingTypeBuilder<Empty>(registry, "Empty").Finish();
    BindingTypeBuilder<Holder>(registry, "Holder")
        .Field("empty", &Holder::empty, {.flags = FieldSkipEmpty})
        .Field("number", &Holder::number)
        .Finish();
    BindingStatus status;
    NativeToValue(status, Holder{}, registry);
    EXPECT_EQ(Describe(status.Value()), "{number:0}");
}

TEST(NativeToValueTest, FieldsWithoutSkipEmptyAlwaysGiveTheirMember) {
    EXPECT_EQ(DescribeConverted(Session{}), "{accountId:0u,name:\"\",state:enum(1),summonerId:0u}");
    Everything everything;
    EXPECT_EQ(DescribeConverted(everything),
              "{any:null,bytes:blob(0),deltas:{},f32:0f,f64:0f,flag:false,flags:[],frames:{},"
              "grid:[],i16:0,i32:0,i64:0,i8:0,lane:enum(1),lanes:[],numbers:[],"
              "position:{x:0,y:0},positions:[],text:\"\",texts:[],u16:0u,u32:0u,u64:0u,u8:0u}");
}

struct Unregistered {
    int32_t value = 0;
};
struct Inner {
    int32_t value = 0;
};
struct Outer {
    int32_t before = 1;
    Inner inner;
    std::vector<Inner> inners;
};

TEST(NativeToValueTest, UnregisteredRecordsFailWithoutPartialMembers) {
    const std::string message =
        "Couldn't convert native value because it's an unregistered "
        "structure.";
    BindingTypeRegistry registry;
    BindingTypeBuilder<Outer>(registry, "Outer")
        .Field("before", &Outer::before)
        .Field("inner", &Outer::inner)
        .Finish();
    BindingTypeBuilder<Inner>(registry, "Inner").Field("value", &Inner::value).Finish();

    struct Case {
        const char* description;
        BindingStatus status;
    };
    Case cases[] = {{"unregistered record", {}},
                    {"nested record registered too late", {}},
                    {"vector of unregistered records", {}}};
    NativeToValue(cases[0].status, Unregistered{}, registry);
    NativeToValue(cases[1].status, Outer{}, registry);
    NativeToValue(cases[2].status, std::vector<Unregistered>(1), registry);
    for (const Case& c : cases) {
        EXPECT_FALSE(c.status.Ok()) << c.description;
        EXPECT_EQ(c.status.ErrorMessage(), message) << c.description;
        EXPECT_EQ(c.status.Value().Size(), 1u) << c.description;
        EXPECT_EQ(Describe(c.status.Value()), "{error:\"" + message + "\"}") << c.description;
    }
}

// Fails for every value, as a converter of a foreign kind may.
class FailingConverter final : public BindingFieldConverter {
public:
    explicit FailingConverter(std::string message = "cannot write")
        : message_(std::move(message)) {}
    void FromValue(BindingStatus& status, void*, const BindingProperty&, std::string_view name,
                   const BindingTypeDescription*, const BindingTypeRegistry&) const override {
        status.SetError("cannot read " + std::string(name));
    }
    void ToValue(BindingStatus& status, BindingProperty&, const void*,
                 const BindingTypeDescription*, const BindingTypeRegistry&) const override {
        status.SetError(message_);
    }
    void Destroy() noexcept override {}

private:
    std::string message_;
};

struct Handle {
    int32_t before = 3;
    uint64_t callback = 0;
    int32_t after = 4;
};

// Handle's callback field goes through `converter`, with or without FieldSkipEmpty.
void RegisterHandle(BindingTypeRegistry& registry, BindingFieldConverter& converter,
                    uint32_t flags) {
    BindingTypeBuilder<Handle> builder(registry, "Handle");
    builder.Field("before", &Handle::before);
    BindingFieldDescription field;
    field.name = "callback";
    field.position = offsetof(Handle, callback);
    field.type.kind = K::Callback;
    field.flags = flags;
    field.converter = BindingFieldConverterPtr(&converter);
    builder.AddField(std::move(field));
    builder.Field("after", &Handle::after).Finish();
}

TEST(NativeToValueTest, ConverterFailuresEndTheConversionInBothDirections) {
    static FailingConverter failing;
    for (const uint32_t flags : {0u, uint32_t{FieldSkipEmpty}}) {
        BindingTypeRegistry registry;
        RegisterHandle(registry, failing, flags);

        BindingStatus written;
        NativeToValue(written, Handle{}, registry);
        EXPECT_EQ(written.ErrorMessage(), "cannot write") << "flags " << flags;
        EXPECT_EQ(written.Value().Size(), 1u) << "flags " << flags;

        Handle read;
        BindingStatus readStatus;
        ValueToNative(
            readStatus, read,
            Struct({{"before", Signed(7)}, {"callback", Signed(1)}, {"after", Signed(8)}}),
            "handle", registry);
        EXPECT_EQ(readStatus.ErrorMessage(), "cannot read callback") << "flags " << flags;
        EXPECT_EQ(read.before, 7) << "flags " << flags;
        EXPECT_EQ(read.after, 4) << "flags " << flags;
    }
}

TEST(NativeToValueTest, TheFirstFailingFieldInRegistrationOrderIsReported) {
    static FailingConverter zeta("zeta fails");
    static FailingConverter alpha("alpha fails");
    struct Pair {
        uint64_t zeta = 0;
        uint64_t alpha = 0;
    };
    BindingTypeRegistry registry;
    BindingTypeBuilderBase builder(registry, "Pair", sizeof(Pair), StaticType::Name<Pair>(),
                                   K::Struct);
    for (auto [name, converter] : {std::pair{"zeta", &zeta}, std::pair{"alpha", &alpha}}) {
        BindingFieldDescription field;
        field.name = name;
        field.type.kind = K::Callback;
        field.converter = BindingFieldConverterPtr(converter);
        builder.AddField(std::move(field));
    }
    builder.Finish();
    BindingStatus status;
    NativeToValue(status, std::vector<Pair>(2), registry);
    EXPECT_EQ(status.ErrorMessage(), "zeta fails");
    EXPECT_EQ(status.Value().Size(), 1u);
}

TEST(NativeToValueTest, FieldsWithoutAConverterFailInsteadOfCrashing) {
    struct Holder {
        uint64_t callback = 0;
    };
    BindingTypeRegistry registry;
    BindingTypeBuilderBase builder(registry, "Holder", sizeof(Holder), StaticType::Name<Holder>(),
                                   K::Struct);
    BindingFieldDescription field;
    field.name = "callback";
    field.type.kind = K::Callback;
    builder.AddField(std::move(field));
    builder.Finish();

    BindingStatus written;
    NativeToValue(written, Holder{}, registry);
    EXPECT_EQ(written.ErrorMessage(),
              "Couldn't convert native value because it's an unregistered structure.");
    Holder read;
    BindingStatus readStatus;
    ValueToNative(readStatus, read, Struct({{"callback", Signed(1)}}), "holder", registry);
    EXPECT_EQ(readStatus.ErrorMessage(),
              "Couldn't assign value to 'callback' because the input is an unregistered "
              "structure or not a structure at all.");
}

TEST(NativeToValueTest, RecordsRoundTripThroughBothConversions) {
    Everything original;
    original.flag = true;
    original.i8 = -128;
    original.u8 = 255;
    original.i16 = -2;
    original.u16 = 65535;
    original.i32 = -2147483647 - 1;
    original.u32 = 4294967295u;
    original.i64 = std::numeric_limits<int64_t>::min();
    original.u64 = std::numeric_limits<uint64_t>::max();
    original.f32 = 0.1f;
    original.f64 = 1e300;
    original.text = "Ahri";
    original.any["k"] = "v";
    original.bytes = {0, 255, 7};
    original.lane = Lane::Minus;
    original.position = {-1, 1};
    original.numbers = {1, -2};
    original.flags = {false, true};
    original.texts = {"", "x"};
    original.positions = {{1, 2}, {3, 4}};
    original.lanes = {Lane::Bottom, Lane::Top};
    original.grid = {{{5, 6}}, {}};
    original.deltas = {{"0-10", 0.5}, {"10-20", -1}};
    original.frames = {{"2", {7, 8}}};

    BindingStatus written;
    NativeToValue(written, original, Registry());
    ASSERT_TRUE(written.Ok()) << written.ErrorMessage();
    Everything copy;
    BindingStatus read;
    ValueToNative(read, copy, written.Value(), "everything", Registry());
    ASSERT_TRUE(read.Ok()) << read.ErrorMessage();
    EXPECT_EQ(copy.f32, original.f32);
    EXPECT_EQ(DescribeConverted(copy), Describe(written.Value()));
}

}  // namespace
}  // namespace Nimbel
