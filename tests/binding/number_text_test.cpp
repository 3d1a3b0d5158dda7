#include "binding/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

#include "tests/codecs/comma_decimal_locale.h"

namespace Nimbel {
namespace {

constexpr NumberTarget kTarget{"count", "int32"};

std::string Expected(const char* pattern, const char* text) {
    std::string message = pattern;
    message.replace(message.find("%s"), 2, text);
    return message;
}

TEST(NumberTextTest, SignedTextsWithBaseDetectionBoundsAndMessages) {
    struct Case {
        const char* text;
        int64_t value;
        const char* error;  // pattern with %s for the text; null when accepted
    };
    const char* range = "Value %s for 'count' of type int32 is out of range";
    const char* format = "Value %s for 'count' of type int32 is in an incorrect format";
    const Case cases[] = {
        {"42", 42, nullptr},       {"0x10", 16, nullptr},
        {"0X1f", 31, nullptr},     {"010", 8, nullptr},
        {"-12", -12, nullptr},     {"+7", 7, nullptr},
        {" 5", 5, nullptr},                            // leading blanks are skipped
        {"", 0, nullptr},                              // the empty text is zero
        {"5 ", 0, format},                             // trailing blanks are left over
        {" ", 0, format},                              // no digits at all
        {"abc", 0, format},        {"09", 0, format},  // 9 is no octal digit
        {"1.5", 0, format},        {"2147483647", 2147483647, nullptr},
        {"2147483648", 0, range},  {"-2147483648", -2147483648LL, nullptr},
        {"-2147483649", 0, range}, {"99999999999999999999", 0, range},  // beyond 64 bits
    };
    for (const Case& c : cases) {
        BindingStatus status;
        const int64_t value = TextToSigned(status, c.text, kTarget, -2147483648LL, 2147483647);
        if (c.error == nullptr) {
            EXPECT_TRUE(status.Ok()) << c.text << ": " << status.ErrorMessage();
            EXPECT_EQ(value, c.value) << c.text;
        } else {
            EXPECT_FALSE(status.Ok()) << c.text;
            EXPECT_EQ(status.ErrorMessage(), Expected(c.error, c.text)) << c.text;
        }
    }
}

TEST(NumberTextTest, UnsignedTextsRefuseEveryNegativeSign) {
    const NumberTarget target{"id", "uint64"};
    struct Case {
        const char* text;
        bool ok;
        uint64_t value;
    };
    const Case cases[] = {
        {"18446744073709551615", true, std::numeric_limits<uint64_t>::max()},
        {"18446744073709551616", false, 0},
        {"-1", false, 0},
        {" -1", false, 0},   // the C library would wrap this to 2^64-1
        {"\t-1", false, 0},  // after every blank the C library skips
        {"\n-1", false, 0},
        {"\v-1", false, 0},
        {"\f-1", false, 0},
        {"\r-1", false, 0},
        {" \t -1", false, 0},
        {"-0", false, 0},
        {"0x10", true, 16},
        {"", true, 0},
    };
    for (const Case& c : cases) {
        BindingStatus status;
        const uint64_t value =
            TextToUnsigned(status, c.text, target, std::numeric_limits<uint64_t>::max());
        EXPECT_EQ(status.Ok(), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
        if (!c.ok) {
            EXPECT_EQ(status.ErrorMessage(),
                      std::string("Value ") + c.text + " for 'id' of type uint64 is out of range");
        }
    }
    BindingStatus narrow;
    EXPECT_EQ(TextToUnsigned(narrow, "256", {"b", "uint8"}, 255), 0u);
    EXPECT_EQ(narrow.ErrorMessage(), "Value 256 for 'b' of type uint8 is out of range");
}

TEST(NumberTextTest, DoubleTextsWithBoundsAndRangeErrors) {
    const NumberTarget target{"x", "float"};
    const double floatMax = 3.4028234663852886e38;
    struct Case {
        const char* text;
        bool ok;
        double value;
    };
    const Case cases[] = {
        {"1.5", true, 1.5},   {"-2e3", true, -2000.0}, {"0x1p4", true, 16.0}, {"", true, 0.0},
        {"1e39", false, 0.0}, {"1e400", false, 0.0},   {"1.5x", false, 0.0},  {"inf", false, 0.0},
    };
    for (const Case& c : cases) {
        BindingStatus status;
        const double value = TextToDouble(status, c.text, target, -floatMax, floatMax);
        EXPECT_EQ(status.Ok(), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
    BindingStatus nan;
    EXPECT_TRUE(std::isnan(TextToDouble(nan, "nan", target, -floatMax, floatMax)));
    EXPECT_TRUE(nan.Ok()) << "NaN is not beyond the bounds";
}

// A host process may set any locale; the C library would then take "1.5" for
// 1 followed by ".5" and accept "1,5" instead.
TEST(NumberTextTest, TextsReadAsInTheCLocaleUnderACommaDecimalLocale) {
    const testing::CommaDecimalLocale locale;
    if (!locale.Active()) GTEST_SKIP() << testing::kNoCommaDecimalLocale;
    ASSERT_EQ(std::strtod("1.5", nullptr), 1.0) << "the locale must change what strtod reads";

    const NumberTarget target{"x", "double"};
    const double max = std::numeric_limits<double>::max();
    struct Case {
        const char* description;
        const char* text;
        const char* error;  // pattern with %s for the text; null when accepted
        double value;
    };
    const char* format = "Value %s for 'x' of type double is in an incorrect format";
    const Case cases[] = {
        {"decimal point", "1.5", nullptr, 1.5},
        {"blanks, sign and exponent", " \t-2.5e3", nullptr, -2500.0},
        {"point first", ".25", nullptr, 0.25},
        {"hexadecimal fraction", "0x1.8p1", nullptr, 3.0},
        {"comma is no decimal point", "1,5", format, 0.0},
        {"grouped thousands", "1.000,5", format, 0.0},
    };
    for (const Case& c : cases) {
        BindingStatus status;
        const double value = TextToDouble(status, c.text, target, -max, max);
        if (c.error == nullptr) {
            EXPECT_TRUE(status.Ok()) << c.description << ": " << status.ErrorMessage();
            EXPECT_EQ(value, c.value) << c.description;
        } else {
            EXPECT_EQ(status.ErrorMessage(), Expected(c.error, c.text)) << c.description;
        }
    }
    BindingStatus integers;
    EXPECT_EQ(TextToSigned(integers, " -0x10", kTarget, -2147483648LL, 2147483647), -16);
    EXPECT_EQ(TextToUnsigned(integers, "010", kTarget, 255), 8u);
    EXPECT_TRUE(integers.Ok()) << integers.ErrorMessage();
}

}  // namespace
}  // namespace Nimbel
