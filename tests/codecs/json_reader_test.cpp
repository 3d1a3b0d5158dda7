// JsonToValue: which value each JSON construct becomes, repeated keys, the
// blank and trailing-text rules, every reachable error with its offset, the
// nesting limit on a small stack, numbers that overflow a double, NUL ends.
#include "codecs/json_reader.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "binding/internal/page_source.h"
#include "codecs/json_writer.h"
#include "diagnostics/allocator.h"
#include "tests/codecs/small_stack.h"

namespace Nimbel {
namespace {

using namespace std::string_literals;

// One canonical line per value: "kind:payload", containers in brackets.
std::string Describe(const BindingProperty& value) {
    switch (value.Kind()) {
        case BindingPropertyKind::Empty:
            return "empty";
        case BindingPropertyKind::Bool:
            return value.GetBool() ? "bool:true" : "bool:false";
        case BindingPropertyKind::Signed:
            return "signed:" + std::to_string(value.GetSigned());
        case BindingPropertyKind::Unsigned:
            return "unsigned:" + std::to_string(value.GetUnsigned());
        case BindingPropertyKind::Float: {
            char text[40];
            std::snprintf(text, sizeof text, "float:%.17g", value.GetDouble());
            return text;
        }
        case BindingPropertyKind::String:
            return "string:" + std::string(value.GetString());
        case BindingPropertyKind::Collection: {
            std::string text = "[";
            for (const BindingProperty& element : value.Elements()) {
                if (text.size() > 1) text += ",";
                text += Describe(element);
            }
            return text + "]";
        }
        case BindingPropertyKind::Structure: {
            std::string text = "{";
            for (const BindingMember& member : value.Members()) {
                if (text.size() > 1) text += ",";
                text += std::string(member.Name()) + "=" + Describe(member.Value());
            }
            return text + "}";
        }
        default:
            return "unexpected kind " + std::string(value.KindName());
    }
}

struct ReadCase {
    const char* description;
    std::string input;
    std::string expected;  // Describe() of the value read
};

void ExpectReads(const std::vector<ReadCase>& cases) {
    for (const ReadCase& c : cases) {
        const BindingStatus status = JsonToValue(c.input.c_str());
        ASSERT_TRUE(status.Ok()) << c.description << ": " << status.ErrorMessage();
        EXPECT_EQ(Describe(status.Value()), c.expected) << c.description;
    }
}

TEST(JsonReaderTest, BlankBodiesAreEmptySuccesses) {
    const ReadCase cases[] = {
        {"empty text", "", "empty"},
        {"one space", " ", "empty"},
        {"every blank", " \t\r\n\t ", "empty"},
        {"top-level null", "null", "empty"},
        {"null between blanks", "\n null \r\n", "empty"},
    };
    ExpectReads({std::begin(cases), std::end(cases)});
    EXPECT_TRUE(JsonToValue(nullptr).Ok());
    EXPECT_TRUE(JsonToValue(nullptr, 0).Ok());
}

TEST(JsonReaderTest, NumbersTakeTheirKindFromSignAndSize) {
    ExpectReads({
        {"small", "5", "unsigned:5"},
        {"zero", "0", "unsigned:0"},
        {"negative", "-5", "signed:-5"},
        {"negative zero integer keeps its sign's kind", "-0", "signed:0"},
        {"negative zero float", "-0.0", "float:-0"},
        {"fraction", "5.0", "float:5"},
        {"exponent", "1e2", "float:100"},
        {"upper-case exponent with sign", "25E-1", "float:2.5"},
        {"largest 32-bit unsigned", "4294967295", "unsigned:4294967295"},
        {"past 32 bits", "4294967296", "unsigned:4294967296"},
        {"smallest 32-bit signed", "-2147483648", "signed:-2147483648"},
        {"below 32 bits", "-2147483649", "signed:-2147483649"},
        {"largest 64-bit unsigned", "18446744073709551615", "unsigned:18446744073709551615"},
        {"one past 64 bits", "18446744073709551616", "float:1.8446744073709552e+19"},
        {"smallest 64-bit signed", "-9223372036854775808", "signed:-9223372036854775808"},
        {"one below 64 bits", "-9223372036854775809", "float:-9.2233720368547758e+18"},
        {"largest double", "1.7976931348623157e308", "float:1.7976931348623157e+308"},
        {"smallest subnormal", "5e-324", "float:4.9406564584124654e-324"},
        {"underflow to zero", "1e-400", "float:0"},
    });
}

// Expected values are written as hexadecimal doubles, which are exact.
TEST(JsonReaderTest, NumbersReadAsTheNearestDouble) {
    struct Case {
        const char* description;
        const char* input;
        double expected;
    };
    const Case cases[] = {
        {"shortest text of a double, read back", "468.77937713024286", 0x1.d4c7854275a4bp+8},
        {"one tenth", "0.1", 0x1.999999999999ap-4},
        {"1e23 lies near a tie", "1e23", 0x1.52d02c7e14af6p+76},
        {"20 digits just below a tie", "3.5906419270306405886e-41", 0x1.905eb546f16cbp-135},
        {"20 digits, tiny exponent", "3.5845168622285814447e-289", 0x1.bf21f8ce891e4p-959},
        {"23 digits", "3.5449159268294026897658e-70", 0x1.392a8d11210efp-231},
        {"23 digits, another", "1.3678000568252326859202e-152", 0x1.6ec8b4cfd3f84p-505},
        {"largest subnormal", "2.2250738585072011e-308", 0x0.fffffffffffffp-1022},
        {"smallest normal", "2.2250738585072012e-308", 0x1p-1022},
        {"just above half the smallest subnormal", "2.4703282292062328e-324",
         0x0.0000000000001p-1022},
        {"just below half the smallest subnormal", "2.4703282292062327e-324", 0.0},
        {"rounds down to the largest double", "1.7976931348623158e308", 0x1.fffffffffffffp+1023},
        {"integer beyond 64 bits", "123456789012345678901234567890", 0x1.8ee90ff6c373ep+96},
        {"2^64 + 1 rounds to 2^64", "18446744073709551617", 0x1p+64},
        {"negative beyond 64 bits", "-9223372036854775809", -0x1p+63},
        {"negative underflow keeps its sign", "-1e-400", -0.0},
    };
    for (const Case& c : cases) {
        const BindingStatus status = JsonToValue(c.input);
        ASSERT_TRUE(status.Ok()) << c.description << ": " << status.ErrorMessage();
        EXPECT_EQ(status.Value().Kind(), BindingPropertyKind::Float) << c.description;
        EXPECT_EQ(std::bit_cast<uint64_t>(status.Value().GetDouble(0.5)),
                  std::bit_cast<uint64_t>(c.expected))
            << c.description << ": read " << Describe(status.Value());
    }
}

// Any finite double, of any exponent, subnormals included, that the writer
// writes reads back as that very double.
TEST(JsonReaderTest, WrittenDoublesReadBackBitForBit) {
    std::mt19937_64 random(20240601);
    BindingProperty values;
    values.MakeCollection();
    constexpr size_t kCount = 1'000'000;
    values.Reserve(kCount);
    for (const double edge : {0.0, -0.0, 0x1p-1074, 0x0.fffffffffffffp-1022, 0x1p-1022,
                              0x1.fffffffffffffp+1023, 0x1p+53, 0x1.0000000000001p+53}) {
        values.Append() = edge;
    }
    while (values.Size() < kCount) {
        const double value = std::bit_cast<double>(random());
        if (std::isfinite(value)) values.Append() = value;
    }
    const std::string text = ValueToJson(values, nullptr, nullptr);
    const BindingStatus status = JsonToValue(text.c_str());
    ASSERT_TRUE(status.Ok()) << status.ErrorMessage();
    const BindingProperty& read = status.Value();
    ASSERT_EQ(read.Size(), kCount);
    size_t changed = 0;
    for (size_t i = 0; i < kCount; ++i) {
        const double written = values.Elements()[i].GetDouble();
        const double back = read.Elements()[i].GetDouble();
        if (std::bit_cast<uint64_t>(written) != std::bit_cast<uint64_t>(back) && ++changed <= 5) {
            ADD_FAILURE() << std::hexfloat << written << " read back as " << back;
        }
    }
    EXPECT_EQ(changed, 0u);
}

TEST(JsonReaderTest, ScalarsStringsAndContainers) {
    ExpectReads({
        {"true", "true", "bool:true"},
        {"false", "false", "bool:false"},
        {"plain string", "\"Summoner\"", "string:Summoner"},
        {"empty string", "\"\"", "string:"},
        {"simple escapes", R"("\"\\\/\b\f\n\r\t")", "string:\"\\/\b\f\n\r\t"},
        {"unicode escape", R"("caf\u00e9")", "string:caf\xC3\xA9"},
        {"surrogate pair", R"("\ud83d\ude00")", "string:\xF0\x9F\x98\x80"},
        {"escaped NUL ends the text", R"("ab\u0000cd")", "string:ab"},
        {"invalid UTF-8 passes unchanged", "\"\xFF\xFE\xC3\x28\"", "string:\xFF\xFE\xC3\x28"},
        {"overlong encoding passes unchanged", "\"\xC0\xAF\"", "string:\xC0\xAF"},
        {"empty array", "[]", "[]"},
        {"empty object", "{}", "{}"},
        {"null element stays as an empty element", "[null]", "[empty]"},
        {"nulls between values", "[1,null,2]", "[unsigned:1,empty,unsigned:2]"},
        {"members sorted by name", R"({"b":1,"a":2,"B":3})",
         "{B=unsigned:3,a=unsigned:2,b=unsigned:1}"},
        {"nested", R"({"games":[{"id":1},{"id":2}]})", "{games=[{id=unsigned:1},{id=unsigned:2}]}"},
        {"blanks around and between", " \r\n[ 1 ,\t2 ]\n ", "[unsigned:1,unsigned:2]"},
    });
}

TEST(JsonReaderTest, RepeatedKeysReuseTheirMember) {
    ExpectReads({
        {"later scalar replaces", R"({"a":1,"a":2})", "{a=unsigned:2}"},
        {"later array extends the collection", R"({"a":[1],"a":[2]})",
         "{a=[unsigned:1,unsigned:2]}"},
        {"later object extends the structure", R"({"a":{"x":1},"a":{"y":2}})",
         "{a={x=unsigned:1,y=unsigned:2}}"},
        {"inner repeated key inside a reused structure", R"({"a":{"x":1},"a":{"x":[3]}})",
         "{a={x=[unsigned:3]}}"},
        {"null keeps the earlier value", R"({"a":1,"a":null})", "{a=unsigned:1}"},
        {"null alone leaves an empty member", R"({"a":null})", "{a=empty}"},
        {"array replaces a scalar", R"({"a":1,"a":[2]})", "{a=[unsigned:2]}"},
        {"object replaces an array", R"({"a":[1],"a":{"y":2}})", "{a={y=unsigned:2}}"},
        {"scalar replaces an object", R"({"a":{"y":2},"a":"s"})", "{a=string:s}"},
        {"names equal up to an escaped NUL", R"({"k\u0000x":1,"k":2})", "{k=unsigned:2}"},
        {"three arrays under one name", R"({"a":[1],"a":[2],"a":[3,4]})",
         "{a=[unsigned:1,unsigned:2,unsigned:3,unsigned:4]}"},
        {"repeats inside a repeated structure", R"({"a":{"b":[1]},"a":{"b":[2],"b":[3]}})",
         "{a={b=[unsigned:1,unsigned:2,unsigned:3]}}"},
        {"a replacement inside a repeated structure lands on what came before it",
         R"({"a":{"x":[1]},"a":{"x":0,"x":[2]}})", "{a={x=[unsigned:2]}}"},
        {"a structure replaced, then given again", R"({"a":{"x":{"p":1}},"a":{"x":5,"x":{"q":2}}})",
         "{a={x={q=unsigned:2}}}"},
        {"a replacement three levels down", R"({"a":{"b":{"x":[1]}},"a":{"b":{"x":0,"x":[2]}}})",
         "{a={b={x=[unsigned:2]}}}"},
        {"a null before the array changes nothing", R"({"a":{"x":[1]},"a":{"x":null,"x":[2]}})",
         "{a={x=[unsigned:1,unsigned:2]}}"},
        {"a structure first met inside the repeat still extends",
         R"({"o":{"s":{"x":[1]}},"o":{"s":{},"s":{"x":[2]}}})",
         "{o={s={x=[unsigned:1,unsigned:2]}}}"},
        {"an array replaced by a structure, then by an array",
         R"({"a":{"x":[1]},"a":{"x":{"y":1},"x":[2]}})", "{a={x=[unsigned:2]}}"},
        {"an empty name repeated", R"({"":1,"":2})", "{=unsigned:2}"},
        {"an empty name repeated among many",
         R"({"":1,"b":1,"c":1,"d":1,"e":1,"f":1,"g":1,"h":1,"i":1,"":2})",
         "{=unsigned:2,b=unsigned:1,c=unsigned:1,d=unsigned:1,e=unsigned:1,f=unsigned:1,g=unsigned:"
         "1,h=unsigned:1,i=unsigned:1}"},
        {"many names, none repeated but the last",
         R"({"j":1,"b":1,"c":1,"d":1,"e":1,"f":1,"g":1,"h":1,"i":1,"j":null,"b":2})",
         "{b=unsigned:2,c=unsigned:1,d=unsigned:1,e=unsigned:1,f=unsigned:1,g=unsigned:1,h="
         "unsigned:1,i=unsigned:1,j=unsigned:1}"},
    });
}

// A document as written: objects keep every member, repeated names included.
struct WrittenValue {
    enum class Kind { Empty, Number, Array, Object } kind = Kind::Empty;
    unsigned number = 0;
    std::vector<WrittenValue> elements;
    std::vector<std::string> names;     // of the members, in the order written
    std::vector<WrittenValue> members;  // one for each name

    [[nodiscard]] std::string Json() const {
        std::string text;
        switch (kind) {
            case Kind::Empty:
                return "null";
            case Kind::Number:
                return std::to_string(number);
            case Kind::Array:
                for (const WrittenValue& element : elements) text += "," + element.Json();
                return "[" + text.substr(text.empty() ? 0 : 1) + "]";
            case Kind::Object:
                for (size_t i = 0; i < names.size(); ++i)
                    text += ",\"" + names[i] + "\":" + members[i].Json();
                return "{" + text.substr(text.empty() ? 0 : 1) + "}";
        }
        return text;
    }
};

// The reference for repeated names: each value assigned onto the earlier one
// in arrival order, member by member of a later object, by the rules the
// reader documents (an empty value keeps the earlier one, an object merges
// into an object, an array extends an array, anything else replaces).
void AssignInArrivalOrder(WrittenValue& earlier, const WrittenValue& later);

[[nodiscard]] WrittenValue& MemberOf(WrittenValue& object, const std::string& name) {
    for (size_t i = 0; i < object.names.size(); ++i) {
        if (object.names[i] == name) return object.members[i];
    }
    object.names.push_back(name);
    return object.members.emplace_back();
}

[[nodiscard]] WrittenValue Assigned(const WrittenValue& written) {
    WrittenValue value;
    value.kind = written.kind;
    value.number = written.number;
    for (const WrittenValue& element : written.elements)
        value.elements.push_back(Assigned(element));
    for (size_t i = 0; i < written.names.size(); ++i)
        AssignInArrivalOrder(MemberOf(value, written.names[i]), written.members[i]);
    return value;
}

void AssignInArrivalOrder(WrittenValue& earlier, const WrittenValue& later) {
    using Kind = WrittenValue::Kind;
    if (later.kind == Kind::Empty) return;
    if (later.kind == Kind::Object && earlier.kind == Kind::Object) {
        for (size_t i = 0; i < later.names.size(); ++i)
            AssignInArrivalOrder(MemberOf(earlier, later.names[i]), later.members[i]);
    } else if (later.kind == Kind::Array && earlier.kind == Kind::Array) {
        for (const WrittenValue& element : later.elements)
            earlier.elements.push_back(Assigned(element));
    } else {
        earlier = Assigned(later);
    }
}

// A random document over three names, so that names repeat at every depth.
[[nodiscard]] WrittenValue RandomDocument(std::mt19937& random, int depth) {
    WrittenValue value;
    const auto choice = static_cast<unsigned>(random() % (depth < 4 ? 6u : 2u));
    if (choice == 1) {
        value.kind = WrittenValue::Kind::Number;
        value.number = static_cast<unsigned>(random() % 10);
    } else if (choice >= 2) {
        value.kind = choice <= 3 ? WrittenValue::Kind::Object : WrittenValue::Kind::Array;
        for (size_t count = random() % 6; count > 0; --count) {
            if (value.kind == WrittenValue::Kind::Array) {
                value.elements.push_back(RandomDocument(random, depth + 1));
            } else {
                value.names.emplace_back(1, "abx"[random() % 3]);
                value.members.push_back(RandomDocument(random, depth + 1));
            }
        }
    }
    return value;
}

TEST(JsonReaderTest, RepeatedNamesReadAsAssigningEachValueInArrivalOrder) {
    std::mt19937 random(20261207);
    for (int document = 0; document < 5000; ++document) {
        const WrittenValue written = RandomDocument(random, 0);
        const std::string text = written.Json();
        const std::string assigned = Assigned(written).Json();
        BindingStatus read = JsonToValue(text.c_str());
        BindingStatus expected = JsonToValue(assigned.c_str());
        ASSERT_TRUE(read.Ok() && expected.Ok()) << text;
        ASSERT_EQ(read.Value(), expected.Value()) << text << " should read as " << assigned;
    }
}

struct ErrorCase {
    const char* description;
    std::string input;
    const char* text;
    unsigned offset;
};

std::string Message(const char* text, unsigned offset) {
    return "Error: "s + text + " at offset " + std::to_string(offset) + ".";
}

constexpr const char* kRootNotSingular = "The document root must not follow by other values.";
constexpr const char* kInvalidValue = "Invalid value.";
constexpr const char* kMissName = "Missing a name for object member.";
constexpr const char* kMissColon = "Missing a colon after a name of object member.";
constexpr const char* kMissCommaOrCurly = "Missing a comma or '}' after an object member.";
constexpr const char* kMissCommaOrSquare = "Missing a comma or ']' after an array element.";
constexpr const char* kBadHex = "Incorrect hex digit after \\u escape in string.";
constexpr const char* kBadSurrogate = "The surrogate pair in string is invalid.";
constexpr const char* kBadEscape = "Invalid escape character in string.";
constexpr const char* kMissQuote = "Missing a closing quotation mark in string.";
constexpr const char* kTooBig = "Number too big to be stored in double.";
constexpr const char* kMissFraction = "Miss fraction part in number.";
constexpr const char* kMissExponent = "Miss exponent in number.";
constexpr const char* kTerminated = "Terminate parsing due to Handler error.";

// Escape errors are reported at the escape's reverse solidus.
TEST(JsonReaderTest, MalformedTextFailsWithTheReadersTextAndOffset) {
    const ErrorCase cases[] = {
        {"second root value", "1 2", kRootNotSingular, 2},
        {"text after the root", "[1] x", kRootNotSingular, 4},
        {"trailing comma in array", "[1,]", kInvalidValue, 3},
        {"trailing comma in object", R"({"a":1,})", kMissName, 7},
        {"misspelt literal", "nul", kInvalidValue, 3},
        {"NaN literal", "NaN", kInvalidValue, 0},
        {"Infinity literal", "-Infinity", kInvalidValue, 1},
        {"comment", "[1] // note", kRootNotSingular, 4},
        {"single quotes", "['a']", kInvalidValue, 1},
        {"unquoted key", "{a:1}", kMissName, 1},
        {"missing colon", R"({"a" 1})", kMissColon, 5},
        {"missing comma in object", R"({"a":1 "b":2})", kMissCommaOrCurly, 7},
        {"missing comma in array", "[1 2]", kMissCommaOrSquare, 3},
        {"bad hex digit", R"("\u12G4")", kBadHex, 1},
        {"lone high surrogate", R"("\ud800")", kBadSurrogate, 1},
        {"high surrogate then a non-surrogate", R"("\ud800\u0041")", kBadSurrogate, 1},
        {"unknown escape", R"("\x")", kBadEscape, 1},
        {"raw control character in string", "\"a\x01\"", kBadEscape, 2},
        {"number too big", "1e400", kTooBig, 0},
        {"integer with too many digits", "[" + std::string(400, '9') + "]", kTooBig, 1},
        {"fraction without digits", "1.", kMissFraction, 2},
        {"exponent without digits", "1e+", kMissExponent, 3},
        {"leading plus", "+1", kInvalidValue, 0},
        {"leading zero", "01", kRootNotSingular, 1},
    };
    for (const ErrorCase& c : cases) {
        const BindingStatus status = JsonToValue(c.input.c_str());
        EXPECT_FALSE(status.Ok()) << c.description;
        EXPECT_EQ(status.ErrorMessage(), Message(c.text, c.offset)) << c.description;
        EXPECT_EQ(status.Value().Size(), 1u) << c.description << ": only the error member";
    }
}

TEST(JsonReaderTest, TruncatedDocumentsFailWhereTheTextEnds) {
    const ErrorCase cases[] = {
        {"open array", "[", kInvalidValue, 1},
        {"open array after an element", "[1,2", kMissCommaOrSquare, 4},
        {"open object", "{", kMissName, 1},
        {"key without colon", R"({"a")", kMissColon, 4},
        {"key without value", R"({"a":)", kInvalidValue, 5},
        {"member without close", R"({"a":1)", kMissCommaOrCurly, 6},
        {"open string", R"(["abc)", kMissQuote, 5},
        {"open escape", R"("ab\)", kBadEscape, 3},
        {"open unicode escape", R"("\u12)", kBadHex, 1},
        {"literal cut short", "tru", kInvalidValue, 3},
        {"deep and cut", R"({"a":[{"b":[1,{"c":)", kInvalidValue, 19},
    };
    for (const ErrorCase& c : cases) {
        const BindingStatus status = JsonToValue(c.input.c_str());
        EXPECT_EQ(status.ErrorMessage(), Message(c.text, c.offset)) << c.description;
    }
}

// A double overflowed by the reader's own arithmetic would be stored as an
// infinity, which no writer can write back as JSON; it fails as the numbers
// the reader rejects itself do, at the number's start.
TEST(JsonReaderTest, NumbersThatOverflowADoubleFailAsTooBig) {
    const ErrorCase cases[] = {
        {"just past the largest double", "1.8e308", kTooBig, 0},
        {"mantissa and exponent", "10e308", kTooBig, 0},
        {"negative", "-1.8e308", kTooBig, 0},
        {"inside an array", "[1, 1.8e308]", kTooBig, 4},
        {"as a member", R"({"x":2e308})", kTooBig, 5},
    };
    for (const ErrorCase& c : cases) {
        const BindingStatus status = JsonToValue(c.input.c_str());
        EXPECT_EQ(status.ErrorMessage(), Message(c.text, c.offset)) << c.description;
    }
}

TEST(JsonReaderTest, ReadingEndsAtTheFirstNul) {
    const std::string trailingAfterNul = "[1]\0[2]"s;
    const std::string nulInsideArray = "[1\0]"s;
    const std::string blanksThenNul = "  \0[1]"s;
    struct Case {
        const char* description;
        std::string input;
        std::string expected;  // Describe() or the error message
    };
    const Case cases[] = {
        {"text after a NUL is ignored", trailingAfterNul, "[unsigned:1]"},
        {"NUL inside an array ends it early", nulInsideArray, Message(kMissCommaOrSquare, 2)},
        {"only blanks before the NUL", blanksThenNul, "empty"},
    };
    for (const Case& c : cases) {
        for (const BindingStatus& status :
             {JsonToValue(c.input.c_str()), JsonToValue(c.input.data(), c.input.size())}) {
            EXPECT_EQ(status.Ok() ? Describe(status.Value()) : std::string(status.ErrorMessage()),
                      c.expected)
                << c.description;
        }
    }
}

TEST(JsonReaderTest, LengthFormNeverReadsPastItsEnd) {
    struct Case {
        const char* description;
        std::string text;
        size_t length;         // of `text` handed over, in an unterminated heap copy
        std::string expected;  // Describe() or the error message
    };
    const Case cases[] = {
        {"array cut before its bracket", "[1,2]", 4, Message(kMissCommaOrSquare, 4)},
        {"string cut before its quote", "\"abc\"", 4, Message(kMissQuote, 4)},
        {"number cut short", "123", 2, "unsigned:12"},
        {"literal at the very end", "{\"a\":tru", 8, Message(kInvalidValue, 8)},
    };
    for (const Case& c : cases) {
        // The sanitizer build catches any read past the copy's end.
        const std::string_view kept = std::string_view(c.text).substr(0, c.length);
        const std::vector<char> bytes(kept.begin(), kept.end());
        const BindingStatus status = JsonToValue(bytes.data(), bytes.size());
        EXPECT_EQ(status.Ok() ? Describe(status.Value()) : std::string(status.ErrorMessage()),
                  c.expected)
            << c.description;
    }
}

// Containers from the root down along first children.
size_t Depth(const BindingProperty& value) {
    size_t depth = 0;
    for (const BindingProperty* node = &value;;) {
        if (node->Kind() == BindingPropertyKind::Collection) {
            ++depth;
            if (node->Size() == 0) break;
            node = node->Elements().data();
        } else if (node->Kind() == BindingPropertyKind::Structure) {
            ++depth;
            if (node->Size() == 0) break;
            node = &node->Members()[0].Value();
        } else {
            break;
        }
    }
    return depth;
}

// Reading recurses once per level, and so do destroying and walking the
// value; the limit keeps all of them within a small thread's stack.
using testing::kSmallStackBytes;

TEST(JsonReaderTest, NestingStopsPastAThousandLevelsEvenOnASmallStack) {
    const std::string thousandArrays = std::string(1000, '[') + std::string(1000, ']');
    const std::string thousandMixed = [] {
        std::string text;
        for (int i = 0; i < 500; ++i) text += "[{\"k\":";
        text += "1";
        for (int i = 0; i < 500; ++i) text += "}]";
        return text;
    }();
    const std::string millionArrays(1'000'000, '[');
    const std::string objectPastTheLimit = std::string(1000, '[') + "{}" + std::string(1000, ']');

    std::vector<std::string> outcomes;
    std::vector<size_t> depths;
    ASSERT_TRUE(testing::RunOnSmallStack(kSmallStackBytes, [&] {
        for (const std::string* text :
             {&thousandArrays, &thousandMixed, &millionArrays, &objectPastTheLimit}) {
            const BindingStatus status = JsonToValue(text->c_str());
            outcomes.push_back(status.Ok() ? "ok" : std::string(status.ErrorMessage()));
            depths.push_back(status.Ok() ? Depth(status.Value()) : 0);
        }
    }));
    ASSERT_EQ(outcomes.size(), 4u);
    EXPECT_EQ(outcomes[0], "ok");
    EXPECT_EQ(depths[0], 1000u);
    EXPECT_EQ(outcomes[1], "ok");
    EXPECT_EQ(depths[1], 1000u);
    EXPECT_EQ(outcomes[2], Message(kTerminated, 1001)) << "stops right after the 1,001st '['";
    EXPECT_EQ(outcomes[3], Message(kTerminated, 1001));
}

TEST(JsonReaderTest, FailedReadsReturnEveryBlockAndPage) {
    const MemoryStats before = ReadMemoryStats();
    const size_t pagesBefore = internal::PageSource::Instance().Counters().pagesInUse;
    {
        const std::string deep = std::string(5000, '[');
        const std::string wide = [] {
            std::string text = "[";
            for (int i = 0; i < 20000; ++i) text += "\"s" + std::to_string(i) + "\",";
            return text + "{\"a\":[1,2,";
        }();
        for (const std::string* text : {&deep, &wide}) {
            const BindingStatus status = JsonToValue(text->c_str());
            EXPECT_FALSE(status.Ok());
        }
    }
    const MemoryStats after = ReadMemoryStats();
    EXPECT_EQ(after.allocations - before.allocations, after.frees - before.frees);
    EXPECT_EQ(after.bytesAllocated - before.bytesAllocated, after.bytesFreed - before.bytesFreed);
    EXPECT_EQ(internal::PageSource::Instance().Counters().pagesInUse, pagesBefore);
}

}  // namespace
}  // namespace Nimbel
