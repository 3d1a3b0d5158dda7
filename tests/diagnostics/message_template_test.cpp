#include "diagnostics/message_template.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "diagnostics/fnv1a.h"
#include "tests/diagnostics/log_test_support.h"

namespace Nimbel {
namespace {

using testing::TestFailure;
using Kind = NamedValue::Kind;
static_assert(!std::is_constructible_v<NamedValue, int*>, "would record a bool");
static_assert(std::is_constructible_v<NamedValue, const TestFailure&>);

std::vector<std::pair<std::string, NamedValue>> Entries(const NamedValues& values) {
    std::vector<std::pair<std::string, NamedValue>> entries;
    for (const NamedValues::Entry& entry : values) entries.emplace_back(entry.name, entry.value);
    return entries;
}

std::string Describe(const std::vector<std::pair<std::string, NamedValue>>& entries) {
    std::string text;
    for (const auto& [name, value] : entries) {
        text += name + "=" + std::to_string(static_cast<int>(value.kind())) + ":";
        switch (value.kind()) {
            case Kind::Bool:
                text += value.boolValue() ? "true" : "false";
                break;
            case Kind::Signed:
                text += std::to_string(value.signedValue());
                break;
            case Kind::Unsigned:
                text += std::to_string(value.unsignedValue());
                break;
            case Kind::Double:
                text += std::to_string(value.doubleValue());
                break;
            case Kind::Text:
                text += "'" + value.text() + "'";
                break;
        }
        text += " ";
    }
    return text;
}

struct PrepareCase {
    const char* description;
    const char* tmpl;
    std::vector<NamedValue> args;
    std::string expected;
    std::vector<std::pair<std::string, NamedValue>> values;
};

TEST(MessageTemplateTest, PrepareTemplate) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<PrepareCase> cases = {
        // Documented edge cases.
        {"three placeholders",
         "Error response for {method} {url}: {error}",
         {"GET", "/kzo-acs/v1/games/1", "timeout"},
         "Error response for %1 %2: %3",
         {{"method", "GET"}, {"url", "/kzo-acs/v1/games/1"}, {"error", "timeout"}}},
        {"doubled braces consume no argument", "{{x}}", {}, "{x}", {}},
        {"doubled braces then a placeholder takes argument 1",
         "{{x}} {a}",
         {1},
         "{x} %1",
         {{"a", 1}}},
        {"second placeholder with a conversion",
         "{name} has {count:5d}",
         {"box", 7},
         "%1 has %2$5d",
         {{"name", "box"}, {"count", 7}}},
        // Outside placeholders.
        {"closing braces, single and doubled", "a}b}}c", {}, "a}b}c", {}},
        {"doubled percent stays doubled", "100%% {n}", {1}, "100%% %1", {{"n", 1}}},
        {"conversion directive passes through and takes its argument",
         "%d items in {place}",
         {3, "box"},
         "%d items in %2",
         {{"place", "box"}}},
        {"conversion directive with flags and precision",
         "%-5.2f|{x}",
         {1.5, 2},
         "%-5.2f|%2",
         {{"x", 2}}},
        {"positioned conversion directive: the index continues after it",
         "%2$s {x}",
         {"a", "b", "c"},
         "%2$s %3",
         {{"x", "c"}}},
        {"bare %N passes through", "%1 {x}", {"a", "b"}, "%1 %2", {{"x", "b"}}},
        {"stars take arguments too", "%*d {x}", {4, 2, "c"}, "%*d %3", {{"x", "c"}}},
        {"conversion directive without its argument appends nothing", "[%d] {x}", {}, "[] ", {}},
        {"template ends inside a conversion directive", "100%", {1}, "100", {}},
        {"backslash outside a placeholder is copied", "a\\b", {}, "a\\b", {}},
        // Placeholders.
        {"hidden placeholder removes trailing whitespace",
         "Request failed \t{!id}",
         {42},
         "Request failed",
         {{"id", 42}}},
        {"hidden placeholder at the start", "{!id} next", {42}, " next", {{"id", 42}}},
        {"alternative for zero", "{count?none}", {0}, "none", {}},
        {"no alternative for non-zero", "{count?none}", {5u}, "%1", {{"count", 5u}}},
        {"alternative for an empty text", "{name?anonymous}", {""}, "anonymous", {}},
        {"alternative for false", "{ok?no}", {false}, "no", {}},
        {"no alternative for true", "{ok?no}", {true}, "%1", {{"ok", true}}},
        {"alternative for 0.0", "{r?zero}", {0.0}, "zero", {}},
        {"alternative for -0.0", "{r?zero}", {-0.0}, "zero", {}},
        {"NaN is not zero", "{r?zero}", {nan}, "%1", {{"r", nan}}},
        {"empty alternative prints nothing", "[{n?}]", {0}, "[]", {}},
        {"alternative wins over hidden", "a {!n?none}", {0}, "a none", {}},
        {"conversion text", "{x:.2f}", {1.5}, "%1$.2f", {{"x", 1.5}}},
        {"empty conversion text is none", "{x:}", {1}, "%1", {{"x", 1}}},
        {"conversion then alternative", "{x:d?zero}", {0}, "zero", {}},
        {"backslash escapes }", "{a\\}b}", {1}, "%1", {{"a}b", 1}}},
        {"backslash escapes ? and :", "{a\\?b\\:c}", {1}, "%1", {{"a?b:c", 1}}},
        {"backslash escapes !", "{a\\!}", {1}, "%1", {{"a!", 1}}},
        {"opening brace inside is ignored", "{a{b}", {1}, "%1", {{"ab", 1}}},
        {"empty name records nothing", "{}", {1}, "%1", {}},
        {"placeholders beyond the arguments are dropped", "{a} {b}", {1}, "%1 ", {{"a", 1}}},
        {"the same name again replaces in place",
         "{a} {b} {a}",
         {1, 2, 3},
         "%1 %2 %3",
         {{"a", 3}, {"b", 2}}},
        {"unclosed placeholder is dropped", "abc {name", {1}, "abc ", {}},
        // Typed placeholders.
        {"typed bool", "{#flag}", {true}, "%1", {{"flag_bool", true}}},
        {"typed signed", "{#n}", {-3}, "%1", {{"n_int", -3}}},
        {"typed unsigned", "{#n}", {3u}, "%1", {{"n_int", 3u}}},
        {"typed double", "{#r}", {1.5}, "%1", {{"r_float", 1.5}}},
        {"typed text", "{#s}", {"x"}, "%1", {{"s_str", "x"}}},
        {"typed, already _time", "{#start_time}", {5}, "%1", {{"start_time", 5}}},
        {"typed, already _int", "{#n_int}", {5}, "%1", {{"n_int", 5}}},
        {"typed, already _long", "{#n_long}", {5}, "%1", {{"n_long", 5}}},
        {"typed, already _ip", "{#peer_ip}", {"1.2.3.4"}, "%1", {{"peer_ip", "1.2.3.4"}}},
        {"typed, already _bool for another kind", "{#ok_bool}", {5}, "%1", {{"ok_bool", 5}}},
        {"typed, already _float for another kind", "{#r_float}", {5}, "%1", {{"r_float", 5}}},
        {"typed, already _str for another kind", "{#a_b_str}", {5}, "%1", {{"a_b_str", 5}}},
        {"typed, other suffix after the last _", "{#my_count}", {5}, "%1", {{"my_count_int", 5}}},
        {"typed, suffix not after an _", "{#nint}", {5}, "%1", {{"nint_int", 5}}},
        {"typed, empty name gets the suffix", "{#}", {5}, "%1", {{"_int", 5}}},
        {"typed with alternative", "{#n?none}", {0}, "none", {}},
        // A bare %N directly followed by a digit or "$" is made explicit.
        {"signed then a digit", "{n}0", {5}, "%1$lld0", {{"n", 5}}},
        {"unsigned then a digit", "{n}0", {5u}, "%1$llu0", {{"n", 5u}}},
        {"bool then a digit", "{b}1", {true}, "%1$d1", {{"b", true}}},
        {"double then a digit", "{d}1", {1.5}, "%1$g1", {{"d", 1.5}}},
        {"text then a digit", "{t}1", {"x"}, "%1$s1", {{"t", "x"}}},
        {"then a dollar", "{n}$", {5}, "%1$lld$", {{"n", 5}}},
        {"then an alternative starting with a digit", "{a}{b?0}", {1, 0}, "%1$lld0", {{"a", 1}}},
        {"then a hidden placeholder and a digit",
         "{n} {!h}5",
         {1, 2},
         "%1$lld5",
         {{"n", 1}, {"h", 2}}},
        {"then a letter stays bare", "{n}x", {5}, "%1x", {{"n", 5}}},
        {"with a conversion stays as given", "{n:d}0", {5}, "%1$d0", {{"n", 5}}},
    };
    for (const PrepareCase& c : cases) {
        std::string out;
        NamedValues values;
        PrepareTemplate(c.tmpl, c.args.data(), c.args.size(), out, values);
        EXPECT_EQ(out, c.expected) << c.description << "\n  template: \"" << c.tmpl << "\"";
        EXPECT_EQ(Describe(Entries(values)), Describe(c.values)) << c.description;
        // Describe prints doubles rounded: compare the values exactly too
        // (NaN compares unequal to itself, so it is checked by kind only).
        const auto entries = Entries(values);
        ASSERT_EQ(entries.size(), c.values.size()) << c.description;
        for (size_t i = 0; i < entries.size(); ++i) {
            if (entries[i].second.kind() == Kind::Double &&
                std::isnan(entries[i].second.doubleValue())) {
                EXPECT_TRUE(std::isnan(c.values[i].second.doubleValue())) << c.description;
            } else {
                EXPECT_EQ(entries[i].second, c.values[i].second) << c.description;
            }
        }
    }
}

TEST(MessageTemplateTest, PrepareAppendsAndLeavesTheCallersTextAlone) {
    std::string out = "Prefix: ";
    NamedValues values;
    values.Set("earlier", 1);
    const NamedValue args[] = {42};
    PrepareTemplate("{!id}", args, 1, out, values);
    EXPECT_EQ(out, "Prefix: ") << "the hidden placeholder trims only what this call appended";
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values.begin()->name, "earlier");
    ASSERT_NE(values.Find("id"), nullptr);
    EXPECT_EQ(values.Find("id")->signedValue(), 42);
}

TEST(MessageTemplateTest, FormatTemplate) {
    const TemplateMessage error =
        FormatTemplate("Error response for {method} {url}: {error}", "GET",
                       std::string("/kzo-acs/v1/delta"), std::string_view("timeout"));
    EXPECT_EQ(error.text, "Error response for GET /kzo-acs/v1/delta: timeout");
    EXPECT_EQ(Describe(Entries(error.values)),
              Describe({{"method", "GET"}, {"url", "/kzo-acs/v1/delta"}, {"error", "timeout"}}));

    const struct {
        const char* description;
        TemplateMessage message;
        std::string expected;
    } cases[] = {
        {"second placeholder with a width", FormatTemplate("{name} has {count:5d} items", "box", 7),
         "box has     7 items"},
        {"a digit after a placeholder stays literal", FormatTemplate("{n}0 items", 5), "50 items"},
        {"a text before a digit", FormatTemplate("{t}1", "v"), "v1"},
        {"unsigned 64-bit", FormatTemplate("{n}", UINT64_MAX), "18446744073709551615"},
        {"unsigned 64-bit before a digit", FormatTemplate("{n}9", UINT64_MAX),
         "184467440737095516159"},
        {"signed 32-bit before a digit", FormatTemplate("{n}9", -5), "-59"},
        {"bool", FormatTemplate("{ok}", true), "1"},
        {"conversion text", FormatTemplate("{r:.2f}", 3.14159), "3.14"},
        {"hidden", FormatTemplate("Game {gameId} not found {!reason}", int64_t{42}, "gone"),
         "Game 42 not found"},
        {"alternative", FormatTemplate("{summoner?unknown} played", ""), "unknown played"},
        {"typed", FormatTemplate("{#gameId} {#ok}", int64_t{42}, false), "42 0"},
        {"record", FormatTemplate("Call failed: {failure}", TestFailure{500, "boom"}),
         "Call failed: Failure 500: boom"},
        {"percent signs", FormatTemplate("{p}%% done, 100%%", 50), "50% done, 100%"},
        {"conversion directive in the template", FormatTemplate("%-4d|{x}", 7, "y"), "7   |y"},
        {"no arguments", FormatTemplate("{{literal}}"), "{literal}"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.message.text, c.expected) << c.description;

    const TemplateMessage typed = FormatTemplate("{#gameId} {#ok}", int64_t{42}, false);
    EXPECT_EQ(Describe(Entries(typed.values)),
              Describe({{"gameId_int", int64_t{42}}, {"ok_bool", false}}));
    const TemplateMessage record = FormatTemplate("{failure}", TestFailure{500, "boom"});
    ASSERT_NE(record.values.Find("failure"), nullptr);
    EXPECT_EQ(record.values.Find("failure")->text(), "Failure 500: boom");
}

TEST(MessageTemplateTest, FormatTemplateCutsAt4095Characters) {
    const std::string longText(5000, 'x');
    const TemplateMessage message = FormatTemplate("{text}", longText);
    EXPECT_EQ(message.text.size(), 4095u);
    ASSERT_NE(message.values.Find("text"), nullptr);
    EXPECT_EQ(message.values.Find("text")->text().size(), 5000u) << "the value is not cut";
}

TEST(MessageTemplateTest, NamedValueKindsAndFalsiness) {
    const struct {
        const char* description;
        NamedValue value;
        Kind kind;
        bool falsy;
    } cases[] = {
        {"bool false", false, Kind::Bool, true},
        {"bool true", true, Kind::Bool, false},
        {"char is signed", 'a', Kind::Signed, false},
        {"int8_t", int8_t{-1}, Kind::Signed, false},
        {"int zero", 0, Kind::Signed, true},
        {"int64 min", INT64_MIN, Kind::Signed, false},
        {"uint8_t", uint8_t{0}, Kind::Unsigned, true},
        {"uint64 max", UINT64_MAX, Kind::Unsigned, false},
        {"size_t", size_t{0}, Kind::Unsigned, true},
        {"float", 0.5f, Kind::Double, false},
        {"double -0.0", -0.0, Kind::Double, true},
        {"denormal is not zero", std::numeric_limits<double>::denorm_min(), Kind::Double, false},
        {"literal text", "x", Kind::Text, false},
        {"null text is empty", static_cast<const char*>(nullptr), Kind::Text, true},
        {"std::string", std::string(), Kind::Text, true},
        {"std::string_view", std::string_view("v"), Kind::Text, false},
        {"record", TestFailure{1, "m"}, Kind::Text, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.value.kind(), c.kind) << c.description;
        EXPECT_EQ(c.value.IsFalsy(), c.falsy) << c.description;
    }
    EXPECT_EQ(NamedValue(uint8_t{200}).unsignedValue(), 200u);
    EXPECT_EQ(NamedValue(int8_t{-1}).signedValue(), -1);
    EXPECT_NE(NamedValue(1), NamedValue(1u)) << "kinds differ";
    EXPECT_NE(NamedValue(true), NamedValue(1));
}

TEST(MessageTemplateTest, NamedValuesKeepInsertionOrderAndReplaceInPlace) {
    NamedValues values;
    EXPECT_TRUE(values.empty());
    EXPECT_EQ(values.Find("missing"), nullptr) << "an empty table finds nothing";
    values.Set("url", "/a");
    values.Set("method", "GET");
    values.Set("error", "e1");
    values.Set("url", "/b");
    EXPECT_EQ(Describe(Entries(values)),
              Describe({{"url", "/b"}, {"method", "GET"}, {"error", "e1"}}));
    EXPECT_EQ(values.size(), 3u);
    EXPECT_EQ(values.Find("method")->text(), "GET");
    EXPECT_EQ(values.Find("METHOD"), nullptr);
    EXPECT_EQ(values.Find("metho"), nullptr);
    EXPECT_EQ(values.begin()->hash, Fnv1a("url"));
}

TEST(MessageTemplateTest, NamedValuesTellCollidingNamesApart) {
    // Two names with the same 32-bit FNV-1a hash.
    ASSERT_EQ(Fnv1a("name139599"), Fnv1a("name322382"));
    NamedValues values;
    values.Set("name139599", 1);
    EXPECT_EQ(values.Find("name322382"), nullptr);
    values.Set("name322382", 2);
    values.Set("name139599", 3);
    ASSERT_EQ(values.size(), 2u);
    EXPECT_EQ(values.Find("name139599")->signedValue(), 3);
    EXPECT_EQ(values.Find("name322382")->signedValue(), 2);
}

TEST(MessageTemplateTest, NamedValuesGrowAndFindEveryName) {
    NamedValues values;
    for (int i = 0; i < 1000; ++i) values.Set("field" + std::to_string(i), i);
    ASSERT_EQ(values.size(), 1000u);
    int expected = 0;
    for (const NamedValues::Entry& entry : values) {
        EXPECT_EQ(entry.name, "field" + std::to_string(expected));
        ++expected;
    }
    for (int i = 0; i < 1000; ++i) {
        const NamedValue* value = values.Find("field" + std::to_string(i));
        ASSERT_NE(value, nullptr) << i;
        EXPECT_EQ(value->signedValue(), i);
    }
    EXPECT_EQ(values.Find("field1000"), nullptr);
    const NamedValues copy = values;
    EXPECT_EQ(copy, values);
    EXPECT_EQ(copy.Find("field999")->signedValue(), 999) << "a copy finds in its own entries";
}

}  // namespace
}  // namespace Nimbel
