// Value-to-native conversion: every kind's rules at their exact bounds, the
// base detection and format of number texts, float truncation and NaN,
// enumerators by name, number and text in every width, base64, vectors and
// maps with empty elements, records with required, missing and null members,
// registration order, and the behaviour after a failure.
#include "binding/value_to_native.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "binding/internal/builtin_type_switch.h"
#include "binding/native_to_value.h"
#include "conversion_test_support.h"

namespace Nimbel {
namespace {

using namespace conversion_test;
using K = BindingTypeKind;

std::string OutOfRange(const std::string& value, const std::string& type) {
    return "Value " + value + " for 'n' of type " + type + " is out of range";
}
std::string BadFormat(const std::string& value, const std::string& type) {
    return "Value " + value + " for 'n' of type " + type + " is in an incorrect format";
}
std::string InvalidType(const std::string& type, const std::string& kind) {
    return "Couldn't assign value to 'n' of type " + type +
           " because the input is of an invalid type " + kind + ".";
}
const std::string kRequired = "A value for 'n' is required.";

// "=" and the converted number, or the failure message. A failure must leave
// the target at 0.
template <class Int>
std::string IntegerOutcome(const BindingProperty& input) {
    Int target = 7;
    BindingStatus status;
    ValueToNative(status, target, input, "n", Registry());
    if (!status.Ok()) {
        if (target != 0) return "target kept after: " + std::string(status.ErrorMessage());
        return std::string(status.ErrorMessage());
    }
    if constexpr (std::is_signed_v<Int>) {
        return "=" + std::to_string(int64_t{target});
    } else {
        return "=" + std::to_string(uint64_t{target});
    }
}

std::string IntegerOutcome(BindingTypeKind kind, const BindingProperty& input) {
    std::string outcome = "not an integer kind";
    static_cast<void>(internal::VisitBuiltinType(kind, [&](auto type) {
        using T = typename decltype(type)::type;
        if constexpr (std::is_integral_v<T> && !std::is_same_v<T, bool>) {
            outcome = IntegerOutcome<T>(input);
        }
    }));
    return outcome;
}

struct IntegerCase {
    const char* description;
    BindingTypeKind target;
    BindingProperty input;
    std::string expected;
};

void RunIntegerCases(const std::vector<IntegerCase>& cases) {
    for (const IntegerCase& c : cases) {
        EXPECT_EQ(IntegerOutcome(c.target, c.input), c.expected) << c.description;
    }
}

TEST(ValueToNativeTest, IntegerBoundsOfEveryWidth) {
    constexpr int64_t kInt64Min = std::numeric_limits<int64_t>::min();
    constexpr int64_t kInt64Max = std::numeric_limits<int64_t>::max();
    constexpr uint64_t kUInt64Max = std::numeric_limits<uint64_t>::max();
    RunIntegerCases({
        {"int8 minimum", K::Int8, Signed(-128), "=-128"},
        {"int8 maximum", K::Int8, Signed(127), "=127"},
        {"int8 below", K::Int8, Signed(-129), OutOfRange("-129", "int8")},
        {"int8 above", K::Int8, Signed(128), OutOfRange("128", "int8")},
        {"int8 unsigned maximum", K::Int8, Unsigned(127), "=127"},
        {"int8 unsigned above", K::Int8, Unsigned(128), OutOfRange("128", "int8")},
        {"uint8 minimum", K::UInt8, Signed(0), "=0"},
        {"uint8 maximum", K::UInt8, Signed(255), "=255"},
        {"uint8 negative", K::UInt8, Signed(-1), OutOfRange("-1", "uint8")},
        {"uint8 above", K::UInt8, Signed(256), OutOfRange("256", "uint8")},
        {"uint8 signed 300", K::UInt8, Signed(300), OutOfRange("300", "uint8")},
        {"uint8 unsigned above", K::UInt8, Unsigned(256), OutOfRange("256", "uint8")},
        {"int16 minimum", K::Int16, Signed(-32768), "=-32768"},
        {"int16 maximum", K::Int16, Signed(32767), "=32767"},
        {"int16 below", K::Int16, Signed(-32769), OutOfRange("-32769", "int16")},
        {"int16 above", K::Int16, Unsigned(32768), OutOfRange("32768", "int16")},
        {"uint16 maximum", K::UInt16, Unsigned(65535), "=65535"},
        {"uint16 above", K::UInt16, Signed(65536), OutOfRange("65536", "uint16")},
        {"uint16 negative", K::UInt16, Signed(-1), OutOfRange("-1", "uint16")},
        {"int32 minimum", K::Int32, Signed(-2147483648LL), "=-2147483648"},
        {"int32 maximum", K::Int32, Signed(2147483647), "=2147483647"},
        {"int32 below", K::Int32, Signed(-2147483649LL), OutOfRange("-2147483649", "int32")},
        {"int32 above", K::Int32, Unsigned(2147483648u), OutOfRange("2147483648", "int32")},
        {"uint32 maximum", K::UInt32, Unsigned(4294967295u), "=4294967295"},
        {"uint32 above", K::UInt32, Signed(4294967296LL), OutOfRange("4294967296", "uint32")},
        {"uint32 negative", K::UInt32, Signed(-1), OutOfRange("-1", "uint32")},
        {"int64 minimum", K::Int64, Signed(kInt64Min), "=-9223372036854775808"},
        {"int64 maximum", K::Int64, Signed(kInt64Max), "=9223372036854775807"},
        {"int64 unsigned maximum", K::Int64, Unsigned(9223372036854775807u),
         "=9223372036854775807"},
        {"int64 unsigned 2^63", K::Int64, Unsigned(9223372036854775808u),
         OutOfRange("9223372036854775808", "int64")},
        {"uint64 maximum", K::UInt64, Unsigned(kUInt64Max), "=18446744073709551615"},
        {"uint64 signed maximum", K::UInt64, Signed(kInt64Max), "=9223372036854775807"},
        {"uint64 negative", K::UInt64, Signed(-1), OutOfRange("-1", "uint64")},
    });
}

TEST(ValueToNativeTest, FloatsIntoIntegersTruncateWithinTheBoundsAndNaNGivesZero) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    RunIntegerCases({
        {"truncates toward zero", K::Int32, Float(2.9), "=2"},
        {"truncates negative toward zero", K::Int32, Float(-2.9), "=-2"},
        {"beyond uint8", K::UInt8, Float(300.5), OutOfRange("300.5", "uint8")},
        {"fraction past the maximum", K::UInt8, Float(255.5), OutOfRange("255.5", "uint8")},
        {"fraction below the minimum", K::Int8, Float(-128.5), OutOfRange("-128.5", "int8")},
        {"negative fraction into unsigned", K::UInt32, Float(-0.5), OutOfRange("-0.5", "uint32")},
        {"negative zero into unsigned", K::UInt8, Float(-0.0), "=0"},
        {"int32 maximum as a double", K::Int32, Float(2147483647.0), "=2147483647"},
        {"int16 maximum as a double", K::Int16, Float(32767.0), "=32767"},
        // 2^63 passes a test against the maximum taken as a double; it must not reach the cast.
        {"int64 at 2^63", K::Int64, Float(9223372036854775808.0),
         OutOfRange("9.22337e+18", "int64")},
        {"int64 largest double below 2^63", K::Int64, Float(9223372036854774784.0),
         "=9223372036854774784"},
        {"int64 minimum as a double", K::Int64, Float(-9223372036854775808.0),
         "=-9223372036854775808"},
        {"uint64 at 2^64", K::UInt64, Float(18446744073709551616.0),
         OutOfRange("1.84467e+19", "uint64")},
        {"uint64 largest double below 2^64", K::UInt64, Float(18446744073709549568.0),
         "=18446744073709549568"},
        {"NaN into int32", K::Int32, Float(nan), "=0"},
        {"NaN into int64", K::Int64, Float(nan), "=0"},
        {"NaN into uint64", K::UInt64, Float(nan), "=0"},
        {"NaN into uint8", K::UInt8, Float(nan), "=0"},
        {"infinity", K::Int32, Float(infinity), OutOfRange("inf", "int32")},
        {"minus infinity", K::UInt64, Float(-infinity), OutOfRange("-inf", "uint64")},
    });
}

TEST(ValueToNativeTest, EveryIntegerWidthDetectsTheBaseOfNumberTexts) {
    struct Case {
        const char* text;
        const char* expected;
    };
    const Case cases[] = {
        {"42", "=42"}, {"0x10", "=16"}, {"0X1f", "=31"}, {"010", "=8"}, {" 5", "=5"}, {"", "=0"},
    };
    for (const K kind :
         {K::Int8, K::UInt8, K::Int16, K::UInt16, K::Int32, K::UInt32, K::Int64, K::UInt64}) {
        for (const Case& c : cases) {
            EXPECT_EQ(IntegerOutcome(kind, Text(c.text)), c.expected)
                << BindingTypeKindText(kind) << " from '" << c.text << "'";
        }
    }
}

TEST(ValueToNativeTest, NumberTextsOutOfRangeOrMalformed) {
    RunIntegerCases({
        {"trailing blank", K::Int32, Text("5 "), BadFormat("5 ", "int32")},
        {"blank only", K::Int32, Text(" "), BadFormat(" ", "int32")},
        {"word", K::Int16, Text("abc"), BadFormat("abc", "int16")},
        {"decimal point", K::UInt16, Text("1.5"), BadFormat("1.5", "uint16")},
        {"above uint8", K::UInt8, Text("256"), OutOfRange("256", "uint8")},
        {"hex above uint8", K::UInt8, Text("0x100"), OutOfRange("0x100", "uint8")},
        {"below int8", K::Int8, Text("-129"), OutOfRange("-129", "int8")},
        {"negative hex", K::Int64, Text("-0x10"), "=-16"},
        {"minus into uint64", K::UInt64, Text("-1"), OutOfRange("-1", "uint64")},
        {"beyond 64 bits", K::Int64, Text("9223372036854775808"),
         OutOfRange("9223372036854775808", "int64")},
        {"uint64 maximum", K::UInt64, Text("18446744073709551615"), "=18446744073709551615"},
    });
}

TEST(ValueToNativeTest, IntegersFromEnumsAndOtherKinds) {
    RunIntegerCases({
        {"enum value", K::Int32, EnumOf<Lane>(3), "=3"},
        {"negative enum into unsigned", K::UInt8, EnumOf<Lane>(-1), OutOfRange("-1", "uint8")},
        {"enum beyond int8", K::Int8, EnumOf<Lane>(300), OutOfRange("300", "int8")},
        {"empty", K::Int32, BindingProperty(), kRequired},
        {"bool", K::Int32, BindingProperty(true), InvalidType("int32", "bool")},
        {"blob", K::UInt8, Blob({1}), InvalidType("uint8", "blob")},
        {"collection", K::UInt16, List({Signed(1)}), InvalidType("uint16", "collection")},
        {"structure", K::Int64, Struct({{"a", Signed(1)}}), InvalidType("int64", "structure")},
    });
}

TEST(ValueToNativeTest, FloatingTargets) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* description;
        BindingTypeKind target;
        BindingProperty input;
        double value;       // when accepted
        std::string error;  // empty when accepted
    };
    const Case cases[] = {
        {"double beyond float", K::Float, Float(1e39), 0, OutOfRange("1e+39", "float")},
        {"same into double", K::Double, Float(1e39), 1e39, ""},
        {"float maximum", K::Float, Float(3.4028234663852886e38), 3.4028234663852886e38, ""},
        {"below float minimum", K::Float, Float(-3.5e38), 0, OutOfRange("-3.5e+38", "float")},
        {"infinity into double", K::Double, Float(std::numeric_limits<double>::infinity()), 0,
         OutOfRange("inf", "double")},
        {"NaN into float", K::Float, Float(nan), nan, ""},
        {"NaN into double", K::Double, Float(nan), nan, ""},
        {"signed", K::Double, Signed(-3), -3, ""},
        {"unsigned never out of range", K::Float, Unsigned(18446744073709551615u),
         18446744073709551616.0, ""},
        {"enum", K::Double, EnumOf<Lane>(2), 2, ""},
        {"text", K::Double, Text("1.5"), 1.5, ""},
        {"empty text", K::Float, Text(""), 0, ""},
        {"text beyond float", K::Float, Text("1e39"), 0, OutOfRange("1e39", "float")},
        {"text beyond double", K::Double, Text("1e999"), 0, OutOfRange("1e999", "double")},
        {"text with leftovers", K::Double, Text("1.5x"), 0, BadFormat("1.5x", "double")},
        {"empty", K::Double, BindingProperty(), 0, kRequired},
        {"bool", K::Float, BindingProperty(false), 0, InvalidType("float", "bool")},
        {"structure", K::Double, Struct({}), 0, InvalidType("double", "structure")},
    };
    for (const Case& c : cases) {
        BindingStatus status;
        double value = 7;
        if (c.target == K::Float) {
            float target = 7;
            ValueToNative(status, target, c.input, "n", Registry());
            value = target;
        } else {
            ValueToNative(status, value, c.input, "n", Registry());
        }
        if (c.error.empty()) {
            ASSERT_TRUE(status.Ok()) << c.description << ": " << status.ErrorMessage();
            if (std::isnan(c.value)) {
                EXPECT_TRUE(std::isnan(value)) << c.description;
            } else {
                EXPECT_EQ(value, c.value) << c.description;
            }
        } else {
            EXPECT_EQ(status.ErrorMessage(), c.error) << c.description;
            EXPECT_EQ(value, 0) << c.description;
        }
    }
}

TEST(ValueToNativeTest, BoolTargets) {
    const std::string format =
        "Value %s for 'n' of type bool is in an incorrect format. "
        "Options are \"true\", \"false\", \"1\", \"0\".";
    const auto badBool = [&](const std::string& text) {
        std::string message = format;
        return message.replace(message.find("%s"), 2, text);
    };
    const auto invalid = [](const std::string& kind) {
        return "Couldn't assign value to 'n' of type bool because the input is of an invalid "
               "type " +
               kind + ".";
    };
    struct Case {
        const char* description;
        BindingProperty input;
        std::string expected;  // "=true", "=false" or the message
    };
    const Case cases[] = {
        {"bool true", BindingProperty(true), "=true"},
        {"bool false", BindingProperty(false), "=false"},
        {"text true", Text("true"), "=true"},
        {"text 1", Text("1"), "=true"},
        {"text false", Text("false"), "=false"},
        {"text 0", Text("0"), "=false"},
        {"capitals", Text("TRUE"), badBool("TRUE")},
        {"other word", Text("yes"), badBool("yes")},
        {"padded", Text(" true"), badBool(" true")},
        {"empty text", Text(""), badBool("")},
        {"unsigned 1", Unsigned(1), invalid("unsigned")},
        {"signed 0", Signed(0), invalid("signed")},
        {"float", Float(1), invalid("float")},
        {"enum", EnumOf<Lane>(1), invalid("enum")},
        {"empty", BindingProperty(), kRequired},
    };
    for (const Case& c : cases) {
        BindingStatus status;
        bool target = true;
        ValueToNative(status, target, c.input, "n", Registry());
        const std::string outcome =
            status.Ok() ? (target ? "=true" : "=false") : std::string(status.ErrorMessage());
        EXPECT_EQ(outcome, c.expected) << c.description;
        if (!status.Ok()) {
            EXPECT_FALSE(target) << c.description;
        }
    }
}

TEST(ValueToNativeTest, TextTargets) {
    struct Case {
        const char* description;
        BindingProperty input;
        std::string expected;  // "=" and the text, or the message
    };
    const Case cases[] = {
        {"text", Text("Ahri"), "=Ahri"},
        {"empty text", Text(""), "="},
        {"enumerator named through the registry", EnumOf<Lane>(2), "=JUNGLE"},
        {"enum value without a name", EnumOf<Lane>(7),
         "7 is not a valid enumeration value for 'n'."},
        {"enum of an unregistered type", EnumOf<int>(1),
         "1 is not a valid enumeration value for 'n'."},
        {"signed", Signed(5), "Couldn't assign value to 'n' because the input is not a string."},
        {"bool", BindingProperty(true),
         "Couldn't assign value to 'n' because the input is not a string."},
        {"empty", BindingProperty(), kRequired},
    };
    for (const Case& c : cases) {
        BindingStatus status;
        std::string target = "previous";
        ValueToNative(status, target, c.input, "n", Registry());
        const std::string outcome = status.Ok() ? "=" + target : std::string(status.ErrorMessage());
        EXPECT_EQ(outcome, c.expected) << c.description;
        if (!status.Ok()) {
            EXPECT_EQ(target, "") << c.description;
        }
    }
}

TEST(ValueToNativeTest, BlobTargetsTakeBytesOrBase64) {
    const std::string invalid =
        "Couldn't assign string value to 'n' of type blob because the "
        "input has invalid base64 characters.";
    const std::string notBlob =
        "Couldn't assign value to 'n' of type blob because the input is not a blob.";
    struct Case {
        const char* description;
        BindingProperty input;
        std::string expected;  // "=" and the bytes as text, or the message
    };
    const Case cases[] = {
        {"blob", Blob({'h', 'i'}), "=hi"},
        {"full groups", Text("aGVsbG8h"), "=hello!"},
        {"one fill character", Text("aGk="), "=hi"},
        {"two fill characters", Text("aA=="), "=h"},
        {"last group of three", Text("aGk"), "=hi"},
        {"last group of two", Text("aA"), "=h"},
        {"lone last character", Text("aGVsbG8hZ"), "=hello!"},
        {"stops at the first fill", Text("aGk=aGk="), "=hi"},
        {"plus and slash", Text("+/+/"), "=\xFB\xFF\xBF"},
        {"first and last of each class", Text("AZaz09+/"), "=\x01\x96\xB3\xD3\xDF\xBF"},
        {"empty text", Text(""), "="},
        {"blank", Text("aG k"), invalid},
        {"dash", Text("aG-k"), invalid},
        {"byte above 127", Text("aG\xC3\xA9"), invalid},
        {"before A", Text("aG@k"), invalid},
        {"after Z", Text("aG[k"), invalid},
        {"before a", Text("aG`k"), invalid},
        {"after z", Text("aG{k"), invalid},
        {"before 0", Text("aG.k"), invalid},  // '/' lies between '.' and '0'
        {"after 9", Text("aG:k"), invalid},
        {"before plus", Text("aG*k"), invalid},
        {"after plus", Text("aG,k"), invalid},
        {"fill character's neighbours", Text("aG<>"), invalid},
        {"signed", Signed(1), notBlob},
        {"collection", List({}), notBlob},
        {"empty", BindingProperty(), kRequired},
    };
    for (const Case& c : cases) {
        BindingStatus status;
        BindingBytes target = {9, 9};
        ValueToNative(status, target, c.input, "n", Registry());
        const std::string outcome = status.Ok() ? "=" + std::string(target.begin(), target.end())
                                                : std::string(status.ErrorMessage());
        EXPECT_EQ(outcome, c.expected) << c.description;
        if (!status.Ok()) {
            EXPECT_TRUE(target.empty()) << c.description;
        }
    }
}

// Converts into an enumeration of each width; "=" and the stored number, or the message.
template <class E>
std::string EnumOutcome(const BindingProperty& input) {
    auto target = static_cast<E>(5);
    BindingStatus status;
    ValueToNative(status, target, input, "n", Registry());
    if (!status.Ok()) return std::string(status.ErrorMessage());
    return "=" + std::to_string(static_cast<int64_t>(target));
}

TEST(ValueToNativeTest, EnumeratorsByNameNumberOrNumberText) {
    const auto notValid = [](const std::string& input, const std::string& type) {
        return input + " is not a valid " + type + " enumeration value for 'n'.";
    };
    const auto invalid = [](const std::string& kind) {
        return "Couldn't assign value to 'n' of enum type because the input is of an invalid "
               "type " +
               kind + ".";
    };
    const auto outOfRange = [](const std::string& number) { return OutOfRange(number, kLaneName); };
    struct Case {
        const char* description;
        BindingProperty input;
        std::string expected;
    };
    const Case cases[] = {
        {"name", Text("JUNGLE"), "=2"},
        {"name of a negative value", Text("MINUS"), "=-1"},
        {"signed number", Signed(3), "=3"},
        {"unsigned number", Unsigned(1), "=1"},
        {"number text", Text("3"), "=3"},
        {"hexadecimal number text", Text("0x2"), "=2"},
        {"negative number text", Text("-1"), "=-1"},
        {"enum of another type", EnumOf<Width1>(1), "=1"},
        {"lowest 32-bit number", Signed(-2147483648LL), notValid("-2147483648", kLaneName)},
        {"highest 32-bit number", Signed(2147483647), notValid("2147483647", kLaneName)},
        {"highest 32-bit number, unsigned", Unsigned(2147483647u),
         notValid("2147483647", kLaneName)},
        {"signed below 32 bits", Signed(-2147483649LL), outOfRange("-2147483649")},
        {"signed above 32 bits", Signed(2147483648LL), outOfRange("2147483648")},
        {"signed 2 to the 32nd plus 1 is not 1", Signed(4294967297LL), outOfRange("4294967297")},
        {"signed 2 to the 32nd minus 1 is not -1", Signed(4294967295LL), outOfRange("4294967295")},
        {"unsigned above 32 bits", Unsigned(2147483648u), outOfRange("2147483648")},
        {"unsigned 2 to the 32nd plus 1 is not 1", Unsigned(0x100000001u),
         outOfRange("4294967297")},
        {"unsigned 2 to the 32nd minus 1 is not -1", Unsigned(0xFFFFFFFFu),
         outOfRange("4294967295")},
        {"unsigned maximum", Unsigned(UINT64_MAX), outOfRange("18446744073709551615")},
        {"name in other case", Text("jungle"), notValid("jungle", kLaneName)},
        {"unknown name", Text("MID"), notValid("MID", kLaneName)},
        {"unknown number", Signed(7), notValid("7", kLaneName)},
        {"unknown number text", Text("7"), notValid("7", kLaneName)},
        {"number text beyond 32 bits", Text("4294967297"), notValid("4294967297", kLaneName)},
        {"malformed text", Text("2x"), notValid("2x", kLaneName)},
        {"enum value no enumerator has", EnumOf<Lane>(0), notValid("0", kLaneName)},
        {"bool", BindingProperty(true), invalid("bool")},
        {"float", Float(2), invalid("float")},
        {"blob", Blob({2}), invalid("blob")},
        {"structure", Struct({}), invalid("structure")},
        {"empty", BindingProperty(), kRequired},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EnumOutcome<Lane>(c.input), c.expected) << c.description;
    }
}

TEST(ValueToNativeTest, EnumeratorsAreStoredInTheirNativeWidth) {
    struct Case {
        const char* description;
        std::string (*convert)(const BindingProperty&);
        BindingProperty input;
        std::string expected;
    };
    const Case cases[] = {
        {"1 byte", &EnumOutcome<Width1>, Text("MINUS"), "=-1"},
        {"2 bytes", &EnumOutcome<Width2>, Signed(-1), "=-1"},
        {"4 bytes", &EnumOutcome<Width4>, Text("-1"), "=-1"},
        {"8 bytes sign-extended", &EnumOutcome<Width8>, Text("MINUS"), "=-1"},
        {"8 bytes positive", &EnumOutcome<Width8>, Unsigned(1), "=1"},
        {"1 byte refusal names its type", &EnumOutcome<Width1>, Signed(2),
         "2 is not a valid KzoTestWidth1 enumeration value for 'n'."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.convert(c.input), c.expected) << c.description;
    }
}

TEST(ValueToNativeTest, UnregisteredEnumerationAcceptsNoValue) {
    enum class Unknown : int32_t { One = 1 };
    BindingStatus status;
    Unknown target = Unknown::One;
    ValueToNative(status, target, Signed(1), "n", Registry());
    EXPECT_EQ(status.ErrorMessage(), "1 is not a valid enum enumeration value for 'n'.");
    EXPECT_EQ(static_cast<int32_t>(target), 0);
}

TEST(ValueToNativeTest, PropertyTargetsCopyEveryKind) {
    const BindingProperty inputs[] = {
        BindingProperty(),
        Signed(-1),
        Unsigned(2),
        Float(1.5),
        Text("x"),
        Blob({1, 2}),
        EnumOf<Lane>(2),
        List({Signed(1), BindingProperty()}),
        Struct({{"b", Signed(1)}, {"a", List({Text("y")})}}),
    };
    for (const BindingProperty& input : inputs) {
        BindingStatus status;
        BindingProperty target = Text("previous");
        ValueToNative(status, target, input, "n", Registry());
        EXPECT_TRUE(status.Ok()) << Describe(input);
        EXPECT_EQ(Describe(target), Describe(input));
    }
}

TEST(ValueToNativeTest, VectorsKeepTheirDefaultForEmptyElements) {
    const std::string notCollection =
        "Couldn't assign value to 'n' of type vector because the input not a collection.";
    struct Case {
        const char* description;
        BindingProperty input;
        std::string expected;  // "=" and the elements, or the message
    };
    const Case cases[] = {
        {"numbers", List({Signed(1), Text("2"), Float(3.5)}), "=1,2,3,"},
        {"empty element stays zero", List({Signed(1), BindingProperty(), Signed(3)}), "=1,0,3,"},
        {"empty collection", List({}), "="},
        {"element names the vector", List({Signed(1), Signed(300)}), OutOfRange("300", "uint8")},
        {"text", Text("1,2"), notCollection},
        {"structure", Struct({}), notCollection},
        {"empty", BindingProperty(), notCollection},
    };
    for (const Case& c : cases) {
        BindingStatus status;
        std::vector<uint8_t> target = {9, 9, 9, 9};
        ValueToNative(status, target, c.input, "n", Registry());
        std::string outcome = "=";
        for (const uint8_t element : target) outcome += std::to_string(element) + ",";
        if (!status.Ok()) outcome = std::string(status.ErrorMessage());
        EXPECT_EQ(outcome, c.expected) << c.description;
        if (!status.Ok() && c.input.Kind() != BindingPropertyKind::Collection) {
            EXPECT_TRUE(target.empty()) << c.description;
        }
    }
}

TEST(ValueToNativeTest, VectorOfBoolRequiresAValueWhereOthersWantACollection) {
    struct Case {
        const char* description;
        BindingProperty input;
        std::string expected;
    };
    const Case cases[] = {
        {"empty", BindingProperty(), kRequired},
        {"signed", Signed(1),
         "Couldn't assign value to 'n' of type vector because the input not a collection."},
        {"elements", List({BindingProperty(true), BindingProperty(), Text("1"), Text("0")}),
         "=1010"},
    };
    for (const Case& c : cases) {
        BindingStatus status;
        std::vector<bool> target = {true};
        ValueToNative(status, target, c.input, "n", Registry());
        std::string outcome = "=";
        for (const bool element : target) outcome += element ? "1" : "0";
        if (!status.Ok()) outcome = std::string(status.ErrorMessage());
        EXPECT_EQ(outcome, c.expected) << c.description;
    }
}

TEST(ValueToNativeTest, MapsDropEmptyMembers) {
    const std::string notStructure =
        "Couldn't assign value to 'n' of type map because the input not a structure.";
    struct Case {
        const char* description;
        BindingProperty input;
        std::string expected;  // "=" and key:value in key order, or the message
    };
    const Case cases[] = {
        {"members", Struct({{"0-10", Float(1.5)}, {"10-20", Signed(2)}}), "=0-10:1.5,10-20:2,"},
        {"empty member makes no entry", Struct({{"a", BindingProperty()}, {"b", Text("3")}}),
         "=b:3,"},
        {"empty structure", Struct({}), "="},
        {"value names the map", Struct({{"a", Text("x")}}), BadFormat("x", "double")},
        {"collection", List({Float(1)}), notStructure},
        {"empty", BindingProperty(), notStructure},
    };
    for (const Case& c : cases) {
        BindingStatus status;
        std::unordered_map<std::string, double> target = {{"old", 1}};
        ValueToNative(status, target, c.input, "n", Registry());
        std::string outcome = "=";
        for (const auto& [key, value] :
             std::map<std::string, double>(target.begin(), target.end())) {
            char number[32];
            std::snprintf(number, sizeof number, "%g", value);
            outcome += key + ":" + number + ",";
        }
        if (!status.Ok()) outcome = std::string(status.ErrorMessage());
        EXPECT_EQ(outcome, c.expected) << c.description;
        if (!status.Ok()) {
            EXPECT_TRUE(target.empty()) << c.description;
        }
    }
}

TEST(ValueToNativeTest, RecordMembersRequiredMissingAndNull) {
    const std::string required =
        "Couldn't assign value to 'session' of type KzoTestSession "
        "because the input structure doesn't have required field "
        "'accountId'.";
    struct Case {
        const char* description;
        BindingProperty input;
        std::string error;         // empty when accepted
        std::string expectedName;  // the name field afterwards
        uint64_t expectedSummoner;
    };
    const Case cases[] = {
        {"missing member keeps the field", Struct({{"accountId", Unsigned(1)}}), "", "before", 77},
        {"null member keeps the field",
         Struct({{"accountId", Unsigned(1)}, {"summonerId", BindingProperty()}}), "", "before", 77},
        {"present members convert",
         Struct({{"accountId", Unsigned(1)}, {"summonerId", Text("5")}, {"name", Text("x")}}), "",
         "x", 5},
        {"unknown members are ignored", Struct({{"accountId", Unsigned(1)}, {"bogus", Text("")}}),
         "", "before", 77},
        {"missing required member", Struct({{"summonerId", Signed(5)}}), required, "before", 5},
        {"null required member", Struct({{"accountId", BindingProperty()}}), required, "before",
         77},
        {"failing field names itself", Struct({{"accountId", Text("abc")}}),
         "Value abc for 'accountId' of type uint64 is in an incorrect format", "before", 77},
        {"first failure stops", Struct({{"summonerId", Text("x")}, {"name", Signed(1)}}),
         "Value x for 'summonerId' of type uint64 is in an incorrect format", "before", 0},
        {"enum member by name", Struct({{"accountId", Unsigned(1)}, {"state", Text("BOTTOM")}}), "",
         "before", 77},
        {"not a structure", Signed(5),
         "Couldn't assign value to 'session' of type KzoTestSession because the input not a "
         "structure.",
         "before", 77},
        {"empty", BindingProperty(), "A value for 'session' is required.", "before", 77},
    };
    for (const Case& c : cases) {
        Session target{Lane::Top, 77, 0, "before"};
        BindingStatus status;
        ValueToNative(status, target, c.input, "session", Registry());
        EXPECT_EQ(status.ErrorMessage(), c.error) << c.description;
        EXPECT_EQ(target.name, c.expectedName) << c.description;
        EXPECT_EQ(target.summonerId, c.expectedSummoner) << c.description;
    }
}

TEST(ValueToNativeTest, RecordFieldsOfEveryKindFromOneStructure) {
    const BindingProperty input = Struct({
        {"flag", Text("true")},
        {"i8", Signed(-8)},
        {"u64", Text("0x10")},
        {"f32", Float(0.5)},
        {"text", Text("t")},
        {"any", List({Signed(1)})},
        {"bytes", Text("aGk=")},
        {"lane", Signed(3)},
        {"position", Struct({{"x", Signed(1)}, {"y", Signed(-2)}})},
        {"numbers", List({Signed(4), BindingProperty(), Signed(6)})},
        {"flags", List({Text("1"), BindingProperty()})},
        {"texts", List({Text("a")})},
        {"positions", List({Struct({{"x", Signed(3)}}), BindingProperty()})},
        {"lanes", List({Text("TOP"), Signed(2)})},
        {"grid", List({List({Struct({{"y", Signed(9)}})})})},
        {"deltas", Struct({{"0-10", Float(1.25)}, {"10-20", BindingProperty()}})},
        {"frames", Struct({{"1", Struct({{"x", Signed(5)}})}})},
    });
    Everything target;
    BindingStatus status;
    ValueToNative(status, target, input, "game", Registry());
    ASSERT_TRUE(status.Ok()) << status.ErrorMessage();
    EXPECT_TRUE(target.flag);
    EXPECT_EQ(target.i8, -8);
    EXPECT_EQ(target.u64, 16u);
    EXPECT_EQ(target.f32, 0.5f);
    EXPECT_EQ(target.text, "t");
    EXPECT_EQ(Describe(target.any), "[1]");
    EXPECT_EQ(std::string(target.bytes.begin(), target.bytes.end()), "hi");
    EXPECT_EQ(target.lane, Lane::Bottom);
    EXPECT_EQ(target.position.x, 1);
    EXPECT_EQ(target.position.y, -2);
    EXPECT_EQ(target.numbers, (std::vector<int32_t>{4, 0, 6}));
    EXPECT_EQ(target.flags, (std::vector<bool>{true, false}));
    EXPECT_EQ(target.texts, std::vector<std::string>{"a"});
    ASSERT_EQ(target.positions.size(), 2u);
    EXPECT_EQ(target.positions[0].x, 3);
    EXPECT_EQ(target.positions[1].x, 0);
    EXPECT_EQ(target.lanes, (std::vector<Lane>{Lane::Top, Lane::Jungle}));
    ASSERT_EQ(target.grid.size(), 1u);
    ASSERT_EQ(target.grid[0].size(), 1u);
    EXPECT_EQ(target.grid[0][0].y, 9);
    EXPECT_EQ(target.deltas, (std::unordered_map<std::string, double>{{"0-10", 1.25}}));
    ASSERT_EQ(target.frames.count("1"), 1u);
    EXPECT_EQ(target.frames.at("1").x, 5);
}

TEST(ValueToNativeTest, FieldMessagesNameTheFieldForEveryDispatchPath) {
    struct Case {
        const char* description;
        BindingProperty input;
        std::string expected;
    };
    const Case cases[] = {
        {"text where a vector is", Struct({{"numbers", Text("1")}}),
         "Couldn't assign value to 'numbers' of type vector because the input not a collection."},
        {"vector of records element", Struct({{"positions", List({Signed(1)})}}),
         "Couldn't assign value to 'positions' of type KzoTestPosition because the input not a "
         "structure."},
        {"vector of enumerators element", Struct({{"lanes", List({Text("MID")})}}),
         "MID is not a valid KzoTestLane enumeration value for 'lanes'."},
        {"nested record", Struct({{"position", Text("1,2")}}),
         "Couldn't assign value to 'position' of type KzoTestPosition because the input not a "
         "structure."},
        {"nested record's own field", Struct({{"position", Struct({{"x", Signed(40000)}})}}),
         "Value 40000 for 'x' of type int16 is out of range"},
        {"blob through its converter", Struct({{"bytes", Text("a b")}}),
         "Couldn't assign string value to 'bytes' of type blob because the input has invalid "
         "base64 characters."},
        {"map of records", Struct({{"frames", Struct({{"1", Signed(1)}})}}),
         "Couldn't assign value to 'frames' of type KzoTestPosition because the input not a "
         "structure."},
        {"map given a collection", Struct({{"deltas", List({})}}),
         "Couldn't assign value to 'deltas' of type map because the input not a structure."},
        {"vector of vectors", Struct({{"grid", List({Signed(1)})}}),
         "Couldn't assign value to 'grid' of type vector because the input not a collection."},
    };
    for (const Case& c : cases) {
        Everything target;
        BindingStatus status;
        ValueToNative(status, target, c.input, "game", Registry());
        EXPECT_EQ(status.ErrorMessage(), c.expected) << c.description;
    }
}

struct Inner {
    int32_t value = 0;
};
struct Outer {
    Inner inner;
    std::vector<Inner> inners;
    int32_t after = 0;
};
struct Unregistered {
    int32_t value = 0;
};

TEST(ValueToNativeTest, NestedRecordsRegisteredTooLateAreUnregistered) {
    BindingTypeRegistry registry;
    BindingTypeBuilder<Outer>(registry, "Outer")
        .Field("inner", &Outer::inner)
        .Field("inners", &Outer::inners)
        .Field("after", &Outer::after)
        .Finish();
    BindingTypeBuilder<Inner>(registry, "Inner").Field("value", &Inner::value).Finish();
    const std::string unregistered =
        "because the input is an unregistered structure or not a "
        "structure at all.";
    struct Case {
        const char* description;
        BindingProperty input;
        std::string expected;
    };
    const Case cases[] = {
        {"nested record", Struct({{"inner", Struct({{"value", Signed(1)}})}}),
         "Couldn't assign value to 'inner' " + unregistered},
        {"vector element", Struct({{"inners", List({Struct({})})}}),
         "Couldn't assign value to 'inners' " + unregistered},
        {"empty vector needs no element description", Struct({{"inners", List({})}}), ""},
    };
    for (const Case& c : cases) {
        Outer target;
        BindingStatus status;
        ValueToNative(status, target, c.input, "outer", registry);
        EXPECT_EQ(status.ErrorMessage(), c.expected) << c.description;
    }
    // Registered now, the type converts when asked for directly.
    Inner inner;
    BindingStatus status;
    ValueToNative(status, inner, Struct({{"value", Signed(4)}}), "inner", registry);
    EXPECT_EQ(inner.value, 4);

    Unregistered unknown;
    ValueToNative(status, unknown, Struct({}), "n", registry);
    EXPECT_EQ(status.ErrorMessage(), "Couldn't assign value to 'n' " + unregistered);
}

// Fields named f0, f1, ... plus two named "dup", each an int32 slot of Wide.
struct Wide {
    std::array<int32_t, 140> slots{};
};

void RegisterWide(BindingTypeRegistry& registry, size_t fieldCount) {
    BindingTypeBuilderBase builder(registry, "Wide", sizeof(Wide), StaticType::Name<Wide>(),
                                   K::Struct);
    for (size_t i = 0; i < fieldCount; ++i) {
        BindingFieldDescription field;
        field.name = i + 2 < fieldCount ? "f" + std::to_string(i) : "dup";
        field.position = i * sizeof(int32_t);
        field.type.kind = K::Int32;
        field.flags = i == 1 ? uint32_t{FieldRequired} : 0u;
        builder.AddField(std::move(field));
    }
    builder.Finish();
}

TEST(ValueToNativeTest, SmallAndLargeRecordsFindTheirMembersAlike) {
    // Up to 128 fields the members are matched in one walk; beyond, one by one.
    for (const size_t fieldCount : {size_t{20}, size_t{140}}) {
        BindingTypeRegistry registry;
        RegisterWide(registry, fieldCount);
        struct Case {
            const char* description;
            BindingProperty input;
            std::string error;
            std::vector<std::pair<size_t, int32_t>> expected;  // slot, value
        };
        const Case cases[] = {
            {"members in and out of name order",
             Struct({{"f1", Signed(1)},
                     {"f10", Signed(10)},
                     {"f0", Signed(7)},
                     {"aaa", Signed(5)},
                     {"zzz", Signed(5)}}),
             "",
             {{0, 7}, {1, 1}, {10, 10}, {11, 3}}},
            {"a member serves every field of its name",
             Struct({{"f1", Signed(1)}, {"dup", Signed(4)}}),
             "",
             {{fieldCount - 2, 4}, {fieldCount - 1, 4}}},
            {"required member missing",
             Struct({{"f0", Signed(2)}}),
             "Couldn't assign value to 'wide' of type Wide because the input structure doesn't "
             "have required field 'f1'.",
             {{0, 2}}},
        };
        for (const Case& c : cases) {
            Wide wide;
            wide.slots[11] = 3;
            BindingStatus status;
            ValueToNative(status, wide, c.input, "wide", registry);
            EXPECT_EQ(status.ErrorMessage(), c.error) << fieldCount << ": " << c.description;
            for (const auto& [slot, value] : c.expected) {
                EXPECT_EQ(wide.slots[slot], value) << fieldCount << ": " << c.description;
            }
        }
    }
}

TEST(ValueToNativeTest, AFailedStatusZeroesTargetsAndLeavesRecordsAlone) {
    BindingStatus status;
    status.SetError("first");
    int32_t number = 5;
    std::string text = "t";
    std::vector<int32_t> numbers = {1};
    std::unordered_map<std::string, double> deltas = {{"a", 1}};
    Lane lane = Lane::Bottom;
    BindingProperty any = Signed(1);
    Session session{Lane::Jungle, 9, 9, "kept"};
    ValueToNative(status, number, Signed(1), "n", Registry());
    ValueToNative(status, text, Text("x"), "n", Registry());
    ValueToNative(status, numbers, List({Signed(1)}), "n", Registry());
    ValueToNative(status, deltas, Struct({}), "n", Registry());
    ValueToNative(status, lane, Signed(1), "n", Registry());
    ValueToNative(status, any, Signed(2), "n", Registry());
    ValueToNative(status, session, BindingProperty(), "n", Registry());
    EXPECT_EQ(status.ErrorMessage(), "first");
    EXPECT_EQ(number, 0);
    EXPECT_EQ(text, "");
    EXPECT_TRUE(numbers.empty());
    EXPECT_TRUE(deltas.empty());
    EXPECT_EQ(static_cast<int32_t>(lane), 0);
    EXPECT_TRUE(any.IsEmpty());
    EXPECT_EQ(session.name, "kept");
    EXPECT_EQ(session.summonerId, 9u);
}

}  // namespace
}  // namespace Nimbel
