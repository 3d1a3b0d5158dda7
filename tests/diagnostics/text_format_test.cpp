#include "diagnostics/text_format.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tests/codecs/comma_decimal_locale.h"
#include "tests/diagnostics/log_test_support.h"

namespace Nimbel {
namespace {

using testing::TestFailure;

// A record that messages print through ToFormatText, standing in for
// ApiVersion.
struct TestVersion {
    int major;
    int minor;
    int patch;
};
std::string ToFormatText(const TestVersion& version) {
    return std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
           std::to_string(version.patch);
}

static_assert(FormatTextRecord<TestFailure>);
static_assert(std::is_convertible_v<const TestVersion&, FormatArg>);
static_assert(!std::is_constructible_v<FormatArg, int*>, "would print as bool");
static_assert(!std::is_constructible_v<FormatArg, const void*>, "would print as bool");
static_assert(std::is_constructible_v<FormatArg, char*>);

// Formats into a heap buffer of exactly `capacity` bytes, so that any write
// beyond it is caught by AddressSanitizer, and checks the NUL.
std::string FormatInto(const char* format, const std::vector<FormatArg>& args,
                       size_t capacity = 4096) {
    const auto buffer = std::make_unique<char[]>(capacity);
    const size_t written = Format(buffer.get(), capacity, format, args.data(), args.size());
    EXPECT_LT(written, capacity) << format;
    EXPECT_EQ(buffer[written], '\0') << format;
    return std::string(buffer.get(), written);
}

struct FormatCase {
    const char* description;
    const char* format;
    std::vector<FormatArg> args;
    std::string expected;
};

void RunTable(const std::vector<FormatCase>& cases) {
    for (const FormatCase& c : cases) {
        EXPECT_EQ(FormatInto(c.format, c.args), c.expected)
            << c.description << "\n  format: \"" << c.format << "\"";
    }
}

TEST(TextFormatTest, DocumentedEdgeCases) {
    const TestVersion plugin{18, 0, 0};
    const TestVersion core{17, 2, 1};
    RunTable({
        {"texts and versions in order",
         "%1 which supports plugin API %2 is not compatible with core's plugin API %3",
         {"kzo-match-history", plugin, core},
         "kzo-match-history which supports plugin API 18.0.0 is not compatible with core's "
         "plugin API 17.2.1"},
        {"positions swap", "%2 %1", {"first", "second"}, "second first"},
        {"%3 of two writes nothing from there on",
         "%2 %1 %3",
         {"first", "second"},
         "second first "},
        {"%3 of two, text after it", "a %3", {"first", "second"}, "a "},
        {"%1$x on a signed 64-bit argument is hexadecimal", "%1$x", {int64_t{255}}, "ff"},
        {"%1$X on a signed 64-bit argument", "%1$X", {int64_t{0xBEEF}}, "BEEF"},
        {"%1$f on a signed argument falls back to d", "%1$f", {int64_t{-42}}, "-42"},
        {"%1$f on a signed 32-bit argument", "%1$f", {7}, "7"},
        {"doubled percent", "100%% sure", {}, "100% sure"},
        {"doubled percent with arguments", "%1%%", {50}, "50%"},
        {"%1d with one argument is %1 then d", "%1d", {7}, "7d"},
        {"%1d without argument is width 1 and stops", "x%1dy", {}, "x"},
    });
}

TEST(TextFormatTest, PositionsAndTheSequence) {
    RunTable({
        {"sequence in order", "%d-%d-%d", {1, 2, 3}, "1-2-3"},
        {"an explicit position does not advance the sequence", "%2$d %d %d", {10, 20}, "20 10 20"},
        {"a bare %N does not advance the sequence", "%2 %d", {10, 20}, "20 10"},
        {"one argument used twice", "%1$s and %1$s", {"same"}, "same and same"},
        {"a number above the count is a width", "%10d|", {5}, "         5|"},
        {"a number above the count with two arguments", "%3d", {1, 2}, "  1"},
        {"%N$ above the count: width N, conversion $ (default) then the rest",
         "a%3$db",
         {1},
         "a  1db"},
        {"position with flags, width and precision", "%2$-6.2f|", {0, 3.14159}, "3.14  |"},
        {"bare %N takes the default conversion", "%1 %2 %3", {'A', 2.5, "t"}, "A 2.5 t"},
        {"two-digit bare position", "%12", {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, "twelve"}, "twelve"},
        {"two-digit number above the count is a width", "%12|", {"x"}, "           x"},
    });
}

TEST(TextFormatTest, FlagsWidthsAndPrecisions) {
    RunTable({
        {"zero flag", "%05d", {42}, "00042"},
        {"left-justify", "%-5d|", {42}, "42   |"},
        {"plus", "%+d", {42}, "+42"},
        {"space", "% d", {42}, " 42"},
        {"alternate hex", "%#x", {255}, "0xff"},
        {"alternate octal", "%#o", {8}, "010"},
        {"integer precision", "%5.3d", {7}, "  007"},
        {"dot alone is precision 0", "%.d|", {0}, "|"},
        {"a single - before precision digits is skipped", "%.-3d", {7}, "007"},
        {"text precision", "%.2s", {"abcdef"}, "ab"},
        {"text width", "%6s|", {"abc"}, "   abc|"},
        {"zero flag is dropped for texts", "%05s", {"abc"}, "  abc"},
        {"alternate flag is dropped for d", "%#d", {7}, "7"},
        {"repeated flags", "%--5d|", {7}, "7    |"},
        {"precision on %c is dropped", "%.0c", {'Z'}, "Z"},
        {"double precision", "%.3f", {2.0}, "2.000"},
        {"double alternate g keeps zeros", "%#g", {1.5}, "1.50000"},
    });
}

TEST(TextFormatTest, ConversionsAllowedPerKind) {
    RunTable({
        {"char: default c", "%1", {'A'}, "A"},
        {"char: d", "%1$d", {'A'}, "65"},
        {"char: x", "%1$x", {'A'}, "41"},
        {"char: i", "%1$i", {'A'}, "65"},
        {"char: o", "%1$o", {'A'}, "101"},
        {"char: u", "%1$u", {'A'}, "65"},
        {"char: X", "%1$X", {'j'}, "6A"},
        {"char: s not allowed, c", "%1$s", {'A'}, "A"},
        {"char: negative with x is 32-bit", "%x", {static_cast<signed char>(-1)}, "ffffffff"},
        {"int8_t is the character kind", "%1$d", {int8_t{-2}}, "-2"},
        {"uint8_t is unsigned 32-bit", "%1", {uint8_t{200}}, "200"},
        {"int16_t is signed 32-bit", "%1", {int16_t{-5}}, "-5"},
        {"uint16_t is unsigned 32-bit", "%1", {uint16_t{65535}}, "65535"},
        {"int32: default d", "%1", {-7}, "-7"},
        {"int32: u", "%1$u", {-1}, "4294967295"},
        {"int32: c", "%1$c", {66}, "B"},
        {"int32: i", "%1$i", {-8}, "-8"},
        {"int32: o", "%1$o", {8}, "10"},
        {"int32: x", "%1$x", {254}, "fe"},
        {"int32: X", "%1$X", {254}, "FE"},
        {"int32: f not allowed, d", "%1$f", {-3}, "-3"},
        {"uint32: default u", "%1", {UINT32_MAX}, "4294967295"},
        {"uint32: d", "%1$d", {UINT32_MAX}, "-1"},
        {"uint32: c", "%1$c", {67u}, "C"},
        {"uint32: i", "%1$i", {UINT32_MAX}, "-1"},
        {"uint32: o", "%1$o", {9u}, "11"},
        {"uint32: x", "%1$x", {171u}, "ab"},
        {"uint32: X", "%1$X", {171u}, "AB"},
        {"uint32: s not allowed, u", "%1$s", {5u}, "5"},
        {"int64: default lld", "%1", {INT64_MIN}, "-9223372036854775808"},
        {"uint64: default llu", "%1", {UINT64_MAX}, "18446744073709551615"},
        {"size_t is an unsigned word",
         "%1",
         {SIZE_MAX},
         sizeof(size_t) == 8 ? "18446744073709551615" : "4294967295"},
        {"long long", "%1", {-1LL << 40}, "-1099511627776"},
        {"bool true is 1", "%1", {true}, "1"},
        {"bool false with s is d", "%1$s", {false}, "0"},
        {"double: default g", "%1", {1.5}, "1.5"},
        {"double: e", "%1$e", {1234.5}, "1.234500e+03"},
        {"double: a", "%a", {1.0}, "0x1p+0"},
        {"double: f", "%1$f", {1.5}, "1.500000"},
        {"double: G", "%1$G", {1e-10}, "1E-10"},
        {"double: A", "%1$A", {1.0}, "0X1P+0"},
        {"double: E", "%1$E", {1234.5}, "1.234500E+03"},
        {"double: F", "%1$F", {1.5}, "1.500000"},
        {"double: d not allowed, g", "%1$d", {1.5}, "1.5"},
        {"float is double", "%1", {0.25f}, "0.25"},
        {"long double narrowed to double", "%1", {2.5L}, "2.5"},
        {"text: default s", "%1", {"abc"}, "abc"},
        {"text: d not allowed, s", "%1$d", {"abc"}, "abc"},
        {"null text is empty", "[%1]", {static_cast<const char*>(nullptr)}, "[]"},
        {"%n is never executed on integers", "%n", {5}, "5"},
        {"%p is not allowed", "%p", {5}, "5"},
        {"%n on a text", "%n", {"abc"}, "abc"},
    });
}

TEST(TextFormatTest, TextKindsHonourTheirLength) {
    const std::string owned = std::string("ab\0cd", 5);
    const char raw[] = {'a', 'b', 'c', 'd', 'e', 'f'};
    const std::string_view view(raw, 3);  // not NUL-terminated
    RunTable({
        {"owned text", "%1", {std::string("x")}, "x"},
        {"view reads only its characters", "%1", {view}, "abc"},
        {"view with width", "%5s|", {view}, "  abc|"},
        {"view with left width", "%-5s|", {view}, "abc  |"},
        {"view with shorter precision", "%.2s", {view}, "ab"},
        {"view with longer precision", "%.10s", {view}, "abc"},
        {"empty view", "[%1]", {std::string_view()}, "[]"},
        {"owned text stops at an embedded NUL, as %s does", "%1", {owned}, "ab"},
    });
}

TEST(TextFormatTest, RecordsAreWrittenAsText) {
    const TestFailure failure{404, "Not found"};
    RunTable({
        {"bare", "Call failed: %1", {failure}, "Call failed: Failure 404: Not found"},
        {"with s and width", "[%1$24s]", {failure}, "[  Failure 404: Not found]"},
        {"with precision", "%.7s", {failure}, "Failure"},
        {"d is not allowed: s", "%1$d", {failure}, "Failure 404: Not found"},
        {"record cannot give a width", "x%*s", {failure, "t"}, "x"},
    });
    EXPECT_EQ(FormatMessage("%1 (%2)", failure, TestVersion{1, 2, 3}),
              "Failure 404: Not found (1.2.3)");
}

TEST(TextFormatTest, LengthModifiersMatchTheValuePassed) {
    const int64_t above32 = (int64_t{1} << 32) + 1;
    RunTable({
        {"no length on 64-bit: 32-bit conversion", "%1$d", {above32}, "1"},
        {"l is 32-bit, as on the platform", "%ld", {above32}, "1"},
        {"z is 32-bit", "%zd", {above32}, "1"},
        {"t is 32-bit", "%td", {above32}, "1"},
        {"L on an integer is 32-bit", "%Ld", {above32}, "1"},
        {"ll is 64-bit", "%lld", {above32}, "4294967297"},
        {"j is 64-bit", "%jd", {above32}, "4294967297"},
        {"llx on 64-bit", "%1$llx", {int64_t{0x1234567890AB}}, "1234567890ab"},
        {"x on 64-bit keeps the low 32 bits", "%1$x", {int64_t{0x1234567890AB}}, "567890ab"},
        {"x on -1 64-bit", "%1$x", {int64_t{-1}}, "ffffffff"},
        {"llx on 32-bit -1 is sign-extended", "%llx", {-1}, "ffffffffffffffff"},
        {"lu on uint64 max", "%lu", {UINT64_MAX}, "4294967295"},
        {"llu on uint64 max", "%llu", {UINT64_MAX}, "18446744073709551615"},
        {"lld on uint64 max", "%lld", {UINT64_MAX}, "-1"},
        {"hhd narrows", "%hhd", {300}, "44"},
        {"hd narrows", "%hd", {70000}, "4464"},
        {"hu narrows", "%hu", {-1}, "65535"},
        {"lc on a char", "%lc", {'A'}, "A"},
        {"llc on a char", "%llc", {'A'}, "A"},
        {"Lf on a double", "%Lf", {2.5}, "2.500000"},
        {"lf on a double", "%lf", {2.5}, "2.500000"},
        {"hh on a double", "%hhg", {2.5}, "2.5"},
        {"ls on a narrow text", "%ls", {"abc"}, "abc"},
        {"lls on a text", "%lls", {"abc"}, "abc"},
        {"jd on uint32", "%jd", {UINT32_MAX}, "4294967295"},
    });
}

TEST(TextFormatTest, StarWidthsAndPrecisions) {
    RunTable({
        {"star width", "%*d|", {5, 42}, "   42|"},
        {"star width with -", "%-*d|", {5, 42}, "42   |"},
        {"negative star width left-justifies", "%*d|", {-5, 42}, "42   |"},
        {"star precision", "%.*f", {2, 3.14159}, "3.14"},
        {"negative star precision is none", "%.*f", {-1, 1.5}, "1.500000"},
        {"star width and precision", "%*.*f|", {8, 2, 3.14159}, "    3.14|"},
        {"positioned star width", "%1$*2$d|", {42, 6}, "    42|"},
        {"positioned star precision", "%2$.*1$f", {3, 2.5}, "2.500"},
        {"a star advances the sequence", "%*d %d", {3, 1, 2}, "  1 2"},
        {"a positioned star does not", "%*2$d %d", {7, 4}, "   7 4"},
        {"bool as a width", "%*d|", {true, 5}, "5|"},
        {"uint64 width is read as 32 bits", "%*d|", {(uint64_t{1} << 32) + 3, 7}, "  7|"},
        {"char width", "%*d|", {'\3', 7}, "  7|"},
        {"star width on a text", "%*s|", {4, "ab"}, "  ab|"},
        {"star precision on a view", "%.*s|", {1, std::string_view("ab")}, "a|"},
    });
}

TEST(TextFormatTest, StopRulesKeepTheTextSoFar) {
    RunTable({
        {"sequence beyond the count", "x%d %dy", {5}, "x5 "},
        {"no arguments", "x%dy", {}, "x"},
        {"star from a double", "x%*dy", {1.5, 3}, "x"},
        {"star from a text", "x%*dy", {"3", 3}, "x"},
        {"star position beyond the count", "x%*3$dy", {1, 2}, "x"},
        {"star sequence beyond the count", "x%*dy", {1}, "x"},
        {"star precision position beyond the count", "x%.*9$dy", {1, 2}, "x"},
        {"text ends after %", "x%", {1}, "x"},
        {"text ends inside the conversion directive", "x%-0", {1}, "x"},
        {"text ends after a length", "x%ll", {1}, "x"},
        {"text ends after %N$", "x%1$", {1}, "x"},
    });
}

TEST(TextFormatTest, DirectiveTextHoldsAtMostSixtyCharacters) {
    // "%" and a flag repeated, then "d": the position does not count.
    const std::string sixty = "%" + std::string(58, '0') + "d";
    const std::string sixtyOne = "%" + std::string(59, '0') + "d";
    ASSERT_EQ(sixty.size(), 60u);
    EXPECT_EQ(FormatInto(("a" + sixty + "b").c_str(), {7}), "a7b");
    EXPECT_EQ(FormatInto(("a%1$" + sixty.substr(1) + "b").c_str(), {7}), "a7b");
    EXPECT_EQ(FormatInto(("a" + sixtyOne + "b").c_str(), {7}), "a");
    const std::string longWidth = "%" + std::string(60, '9') + "d";
    EXPECT_EQ(FormatInto(("a" + longWidth).c_str(), {7}), "a");
}

struct CutCase {
    const char* description;
    const char* format;
    std::vector<FormatArg> args;
    size_t capacity;
    std::string expected;
};

TEST(TextFormatTest, CutsAtTheCapacity) {
    const std::vector<CutCase> cases = {
        {"capacity 1 holds only the NUL", "abc", {}, 1, ""},
        {"plain text", "abcdef", {}, 4, "abc"},
        {"exact fit", "abc", {}, 4, "abc"},
        {"inside a conversion", "ab%1 tail", {"xyz"}, 4, "abx"},
        {"conversion fills the room exactly", "%1 tail", {12345}, 6, "12345"},
        {"percent sign at the edge", "ab%%", {}, 3, "ab"},
        {"two-byte UTF-8 not split in text", "abc\xC3\xA9", {}, 5, "abc"},
        {"two-byte UTF-8 fits", "abc\xC3\xA9", {}, 6, "abc\xC3\xA9"},
        {"three-byte UTF-8 not split", "a\xE2\x82\xAC", {}, 3, "a"},
        {"three-byte UTF-8 not split, two of three", "a\xE2\x82\xAC", {}, 4, "a"},
        {"four-byte UTF-8 not split", "\xF0\x9F\x98\x80z", {}, 4, ""},
        {"UTF-8 in an argument not split", "%1", {"a\xC3\xA9"}, 3, "a"},
        {"huge width stays within the room", "%2000000000d", {7}, 16, std::string(15, ' ')},
        {"huge left width", "%-2000000000d|", {7}, 16, "7" + std::string(14, ' ')},
        {"huge integer precision", "%.2000000000d", {7}, 16, std::string(15, '0')},
        {"huge double precision", "%.2000000000f", {1.0}, 16, "1.0000000000000"},
        {"huge text width", "%2000000000s", {"t"}, 8, std::string(7, ' ')},
        {"most negative star width", "%*d|", {INT32_MIN, 7}, 8, "7" + std::string(6, ' ')},
        // Both huge: the padding before the number keeps its size.
        {"width beyond a huge integer precision pads",
         "%1000000300.1000000000d",
         {7},
         8,
         std::string(7, ' ')},
        {"width within a huge integer precision does not pad",
         "%1408.1000000000d",
         {7},
         8,
         std::string(7, '0')},
        {"width within a huge f precision does not pad", "%1408.1000000000f", {0.5}, 8, "0.50000"},
        {"g drops its zeros: a large width still pads",
         "%1500.2000000000g",
         {0.5},
         8,
         std::string(7, ' ')},
        {"g with # keeps its zeros: no padding", "%#1500.2000000000g", {0.5}, 8, "0.50000"},
    };
    for (const CutCase& c : cases) {
        EXPECT_EQ(FormatInto(c.format, c.args, c.capacity), c.expected) << c.description;
    }
}

TEST(TextFormatTest, ZeroCapacityWritesNothing) {
    char byte = 'k';
    EXPECT_EQ(Format(&byte, 0, "abc", nullptr, 0), 0u);
    EXPECT_EQ(byte, 'k');
    EXPECT_EQ(Format(nullptr, 0, "abc", nullptr, 0), 0u);
}

TEST(TextFormatTest, NullFormatAndArgumentsAreEmpty) {
    char buffer[8] = "xxxxxxx";
    EXPECT_EQ(Format(buffer, sizeof buffer, nullptr, nullptr, 0), 0u);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(Format(buffer, sizeof buffer, "a%1b", nullptr, 3), 1u) << "null args count as none";
    EXPECT_STREQ(buffer, "a");
}

// A kind that records the conversion directive its writer receives.
char g_seenDirective[FormatDirective::kMaxTextLength + 1];
int SpyWrite(char* out, size_t room, const FormatDirective& directive,
             const FormatValue&) noexcept {
    std::memcpy(g_seenDirective, directive.text, sizeof g_seenDirective);
    return std::snprintf(out, room, "#");
}
int32_t SpyRead(const FormatValue&) noexcept {
    return 3;
}
constexpr FormatKind kSpyKind{&SpyWrite, &SpyRead, true, "ucdioxX", "ll"};

TEST(TextFormatTest, WriterReceivesTheDirectiveWithoutPosition) {
    const struct {
        const char* format;
        const char* expected;
    } cases[] = {
        {"%1", "%llu"},  // bare: length text and default conversion
        {"%1$x", "%x"},  // explicit: kept, no length text
        {"%1$f", "%u"},  // not allowed: replaced by the default
        {"%1$-08.3lx", "%-08.3lx"},
        {"%*1$.*1$d", "%*.*d"},  // star positions removed
        {"%d", "%d"},
        {"%jn", "%ju"},
    };
    const FormatArg spy(kSpyKind, FormatValue{});
    for (const auto& c : cases) {
        g_seenDirective[0] = '\0';
        EXPECT_EQ(FormatInto(c.format, {spy}), "#") << c.format;
        EXPECT_STREQ(g_seenDirective, c.expected) << c.format;
    }
}

TEST(TextFormatTest, ArgumentKinds) {
    const struct {
        const char* description;
        FormatArg arg;
        const FormatKind* expected;
    } cases[] = {
        {"char", 'a', &kFormatChar8},
        {"signed char", static_cast<signed char>(1), &kFormatChar8},
        {"int8_t", int8_t{1}, &kFormatChar8},
        {"uint8_t", uint8_t{1}, &kFormatUnsigned32},
        {"int16_t", int16_t{1}, &kFormatSigned32},
        {"uint16_t", uint16_t{1}, &kFormatUnsigned32},
        {"int32_t", int32_t{1}, &kFormatSigned32},
        {"uint32_t", uint32_t{1}, &kFormatUnsigned32},
        {"bool", true, &kFormatSigned32},
        {"long", 1L, sizeof(long) == 8 ? &kFormatSigned64 : &kFormatSigned32},
        {"long long", 1LL, &kFormatSigned64},
        {"int64_t", int64_t{1}, &kFormatSigned64},
        {"unsigned long", 1UL, sizeof(long) == 8 ? &kFormatUnsigned64 : &kFormatUnsigned32},
        {"unsigned long long", 1ULL, &kFormatUnsigned64},
        {"uint64_t", uint64_t{1}, &kFormatUnsigned64},
        {"size_t", size_t{1}, sizeof(size_t) == 8 ? &kFormatUnsigned64 : &kFormatUnsigned32},
        {"float", 1.0f, &kFormatDouble},
        {"double", 1.0, &kFormatDouble},
        {"const char*", "t", &kFormatCText},
        {"std::string_view", std::string_view("t"), &kFormatTextView},
    };
    for (const auto& c : cases) EXPECT_EQ(&c.arg.kind(), c.expected) << c.description;
    const std::string owned = "t";
    EXPECT_EQ(&FormatArg(owned).kind(), &kFormatOwnedText);
    const TestVersion version{1, 0, 0};
    EXPECT_EQ(&FormatArg(version).kind(), &kFormatRecord<TestVersion>);
}

TEST(TextFormatTest, FormatMessage) {
    EXPECT_EQ(FormatMessage("no arguments, 100%%"), "no arguments, 100%");
    EXPECT_EQ(FormatMessage("Game %1 not found", uint64_t{4200000000}),
              "Game 4200000000 not found");
    const std::string name = "kzo-match-history";
    EXPECT_EQ(FormatMessage("%1: subscribed to '%2'", name, std::string_view("OnJsonApiEvent")),
              "kzo-match-history: subscribed to 'OnJsonApiEvent'");
    const std::string longText(5000, 'x');
    const std::string cut = FormatMessage("%1", longText);
    EXPECT_EQ(cut.size(), 4095u);
    EXPECT_EQ(cut, longText.substr(0, 4095));
}

TEST(TextFormatTest, NumbersPrintAsInTheCLocaleUnderACommaDecimalLocale) {
    struct Case {
        const char* description;
        std::string (*format)();
        const char* expected;
    };
    const Case cases[] = {
        {"a double placeholder", [] { return FormatMessage("%1", 1.5); }, "1.5"},
        {"a fixed directive", [] { return FormatMessage("%.2f|%2", 2.25, 3); }, "2.25|3"},
        {"an exponent directive", [] { return FormatMessage("%e", 1.5e10); }, "1.500000e+10"},
        {"an integer directive", [] { return FormatMessage("%d", 1234567); }, "1234567"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.format(), c.expected) << c.description << " (C locale)";

    const testing::CommaDecimalLocale locale;
    if (!locale.Active()) GTEST_SKIP() << testing::kNoCommaDecimalLocale;
    char printed[16];
    std::snprintf(printed, sizeof printed, "%.1f", 1.5);
    ASSERT_STREQ(printed, "1,5") << "the locale must change what printf writes";
    for (const Case& c : cases) EXPECT_EQ(c.format(), c.expected) << c.description;
}

}  // namespace
}  // namespace Nimbel
