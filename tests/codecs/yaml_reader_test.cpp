// YAML reading: scalar resolution (word lists, numbers at their exact bounds,
// tags), keys, repeated keys, anchors and aliases as paths, every message with
// its line and column, the nesting limit on a small stack and the budget for
// nodes made by alias copies.
#include "codecs/yaml_reader.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <string>

#include "tests/codecs/comma_decimal_locale.h"
#include "tests/codecs/small_stack.h"
#include "tests/codecs/value_text.h"

namespace Nimbel {
namespace {

using testing::ValueText;

BindingStatus Read(const std::string& text) {
    return YamlToValue(text.data(), text.size());
}

std::string Repeat(std::string_view piece, size_t count) {
    std::string text;
    text.reserve(piece.size() * count);
    for (size_t i = 0; i < count; ++i) text += piece;
    return text;
}

// The highest resident set size of this process so far.
long PeakResidentKilobytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// `levels` nested flow sequences around `inner`.
std::string NestedSequences(size_t levels, std::string_view inner) {
    return Repeat("[", levels) + std::string(inner) + Repeat("]", levels);
}

struct ValueCase {
    const char* description;
    std::string input;
    const char* expected;
};

void ExpectValues(const ValueCase* begin, const ValueCase* end) {
    for (const ValueCase* c = begin; c != end; ++c) {
        const BindingStatus status = Read(c->input);
        EXPECT_TRUE(status.Ok()) << c->description << ": " << status.ErrorMessage();
        EXPECT_EQ(ValueText(status.Value()), c->expected) << c->description;
    }
}

struct FailureCase {
    const char* description;
    std::string input;
    std::string message;
};

void ExpectFailures(const FailureCase* begin, const FailureCase* end) {
    for (const FailureCase* c = begin; c != end; ++c) {
        const BindingStatus status = Read(c->input);
        EXPECT_FALSE(status.Ok()) << c->description;
        EXPECT_EQ(status.ErrorMessage(), c->message) << c->description;
        EXPECT_EQ(status.Value().Size(), 1u) << c->description << ": only the error remains";
    }
}

TEST(YamlReaderTest, ResolvesPlainScalarsByWordListsAndNumbers) {
    const ValueCase cases[] = {
        {"empty text", "", "~"},
        {"only a comment", "# nothing here\n", "~"},
        {"empty document", "---\n", "~"},
        {"mixed mapping", "a: 1\nb: 1.5\nc: -2\nd: yes\ne: ~\nf: '1'\n",
         "{a:u1,b:f1.5,c:s-2,d:true,e:~,f:\"1\"}"},
        {"null words", "- ~\n- null\n- Null\n- NULL\n-\n- nULL\n", "[~,~,~,~,~,\"nULL\"]"},
        {"true words", "[true, True, TRUE, y, Y, yes, Yes, YES, on, On, ON, tRUE]",
         "[true,true,true,true,true,true,true,true,true,true,true,\"tRUE\"]"},
        {"false words", "[false, False, FALSE, n, N, no, No, NO, off, Off, OFF, oFF]",
         "[false,false,false,false,false,false,false,false,false,false,false,\"oFF\"]"},
        {"exponent gives an integer", "x: 1e3", "{x:u1000}"},
        {"hexadecimal", "x: 0x1A", "{x:u26}"},
        {"integral fraction", "x: 2.0", "{x:u2}"},
        {"hexadecimal float", "x: 0x1p3", "{x:u8}"},
        {"leading plus", "x: +5", "{x:u5}"},
        {"leading zeros are decimal", "x: 007", "{x:u7}"},
        {"negative zero is unsigned", "x: -0", "{x:u0}"},
        {"negative hexadecimal", "x: -0x10", "{x:s-16}"},
        {"fraction", "x: -0.25", "{x:f-0.25}"},
        {"leading point", "x: .5", "{x:f0.5}"},
        {"negative leading point", "x: -.25", "{x:f-0.25}"},
        {"leading point with an exponent", "x: .5e1", "{x:u5}"},
        {"trailing point", "x: 5.", "{x:u5}"},
        {"upper-case exponent with a sign", "x: 25E-1", "{x:f2.5}"},
        {"exponent with a plus sign", "x: 1e+2", "{x:u100}"},
        {"upper-case hexadecimal prefix", "x: 0X1a", "{x:u26}"},
        {"signs and points alone stay text", "[., -, +, -.]", "[\".\",\"-\",\"+\",\"-.\"]"},
        {"nan stays text", "x: nan", "{x:\"nan\"}"},
        {"inf stays text", "[inf, .inf, -Infinity]", "[\"inf\",\".inf\",\"-Infinity\"]"},
        {"digits with a suffix stay text", "[1_000, 12px, 0x]", "[\"1_000\",\"12px\",\"0x\"]"},
        {"largest unsigned exactly", "18446744073709551615", "u18446744073709551615"},
        {"integers beyond 2^53 exactly", "9007199254740993", "u9007199254740993"},
        {"largest hexadecimal exactly", "0xFFFFFFFFFFFFFFFF", "u18446744073709551615"},
        {"smallest signed exactly", "-9223372036854775808", "s-9223372036854775808"},
        {"beyond unsigned stays float", "18446744073709551616", "f18446744073709551616"},
        {"beyond signed stays float", "-9223372036854775809", "f-9223372036854775808"},
        {"integral exponent within range", "1e19", "u10000000000000000000"},
        {"integral exponent beyond range stays float", "[1e30, -1e30]", "[f1e+30,f-1e+30]"},
        {"quoted texts are never resolved", "['yes', \"12\", '', '~']",
         "[\"yes\",\"12\",\"\",\"~\"]"},
        {"literal block keeps its line break", "|\n  12\n", "\"12\\x0a\""},
        {"stripped literal block resolves", "|-\n  12\n", "u12"},
        {"folded block resolves", ">-\n  true\n", "true"},
        {"text keeps all its bytes", "x: caf\xc3\xa9 au lait", "{x:\"caf\\xc3\\xa9 au lait\"}"},
    };
    ExpectValues(std::begin(cases), std::end(cases));
}

// The host process may have set a locale whose decimal point is a comma.
TEST(YamlReaderTest, ResolvesNumbersAsInTheCLocaleUnderACommaDecimalLocale) {
    const testing::CommaDecimalLocale locale;
    if (!locale.Active()) GTEST_SKIP() << testing::kNoCommaDecimalLocale;
    const ValueCase cases[] = {
        {"plain fraction", "x: 1.5", "{x:f1.5}"},
        {"plain exponent with a point", "x: -2.5e-1", "{x:f-0.25}"},
        {"plain point first", "x: .5", "{x:f0.5}"},
        {"plain hexadecimal fraction", "x: 0x1.8p1", "{x:u3}"},
        {"comma stays text", "x: 1,5", "{x:\"1,5\"}"},
        {"float tag", "!!float 2.25", "f2.25"},
        {"int tag", "!!int 0x10", "u16"},
    };
    ExpectValues(std::begin(cases), std::end(cases));
}

TEST(YamlReaderTest, TagsDecideTheKind) {
    const ValueCase cases[] = {
        {"str keeps digits", "!!str 12", "\"12\""},
        {"str keeps a null word", "!!str ~", "\"~\""},
        {"int detects hexadecimal", "!!int 0x10", "u16"},
        {"int detects octal", "!!int 010", "u8"},
        {"int negative", "!!int -3", "s-3"},
        {"int of a quoted text", "!!int \"42\"", "u42"},
        {"int of the empty text", "!!int ''", "u0"},
        {"float of an integer", "!!float 1", "f1"},
        {"float of a leading point", "!!float .5", "f0.5"},
        {"int with a plus sign", "!!int +5", "u5"},
        {"float nan", "!!float nan", "fnan"},
        {"bool true word", "!!bool yes", "true"},
        {"bool false word", "!!bool OFF", "false"},
        {"bool of every true word",
         "[!!bool true, !!bool True, !!bool TRUE, !!bool y, !!bool Y, !!bool yes, !!bool Yes, "
         "!!bool YES, !!bool on, !!bool On, !!bool ON]",
         "[true,true,true,true,true,true,true,true,true,true,true]"},
        {"bool of every false word",
         "[!!bool false, !!bool False, !!bool FALSE, !!bool n, !!bool N, !!bool no, !!bool No, "
         "!!bool NO, !!bool off, !!bool Off, !!bool OFF]",
         "[false,false,false,false,false,false,false,false,false,false,false]"},
        {"bool of a word in other capitals is empty", "[!!bool tRUE, !!bool oFF]", "[~,~]"},
        {"bool of no bool word is empty", "!!bool maybe", "~"},
        {"bool of no bool word empties a repeated key", "a: 1\na: !!bool maybe", "{a:~}"},
    };
    ExpectValues(std::begin(cases), std::end(cases));
}

TEST(YamlReaderTest, BuildsContainersAndTakesKeysAsWritten) {
    const ValueCase cases[] = {
        {"flow nesting", "[1, [2, {a: b}]]", "[u1,[u2,{a:\"b\"}]]"},
        {"block sequence", "- a\n- b\n", "[\"a\",\"b\"]"},
        {"block mappings", "a:\n  b:\n    c: 1\n", "{a:{b:{c:u1}}}"},
        {"members sorted by name", "b: 1\na: 2\n", "{a:u2,b:u1}"},
        {"keys are not resolved", "1: a\n~: b\ntrue: c\n", "{1:\"a\",true:\"c\",~:\"b\"}"},
        {"str-tagged key", "!!str k: v", "{k:\"v\"}"},
        {"empty key holds its value", "'': 1\nb: 2\n", "{:u1,b:u2}"},
        {"empty plain key", "? \n: v\n", "{:\"v\"}"},
        {"missing value is empty", "{a, b: 1}", "{a:~,b:u1}"},
        {"repeated key: sequences append", "a: [1]\na: [2]\n", "{a:[u1,u2]}"},
        {"repeated key: later scalar replaces", "a: 1\na: 2\n", "{a:u2}"},
        {"repeated key: null empties", "a: [1]\na: ~\n", "{a:~}"},
        {"repeated key: scalar replaces a mapping", "a: {x: 1}\na: 5\nb: 6\n", "{a:u5,b:u6}"},
        {"repeated key: sequence replaces a scalar", "a: 1\na: [2]\n", "{a:[u2]}"},
        {"key with a NUL names the text before it", "\"k\\0x\": 1", "{k:u1}"},
    };
    ExpectValues(std::begin(cases), std::end(cases));
}

TEST(YamlReaderTest, AliasesCopyWhatTheirAnchorNamesNow) {
    const ValueCase cases[] = {
        {"mapping", "base: &b {x: 1}\ncopy: *b\n", "{base:{x:u1},copy:{x:u1}}"},
        {"scalar", "a: &s hello\nb: *s\n", "{a:\"hello\",b:\"hello\"}"},
        {"anchored key gives its text", "m: {&k key: v}\nother: *k\n",
         "{m:{key:\"v\"},other:\"key\"}"},
        {"anchored key gives its text inside its own mapping", "&a foo: 1\nbar: *a\n",
         "{bar:\"foo\",foo:u1}"},
        {"anchored key as its own value", "m: {&k key: *k}", "{m:{key:\"key\"}}"},
        {"anchored key in a nested mapping", "m:\n  &k key: 1\n  n: [*k]\n",
         "{m:{key:u1,n:[\"key\"]}}"},
        {"element", "a: [&e 5, 6]\nb: *e\n", "{a:[u5,u6],b:u5}"},
        {"anchored node found after its collection grew",
         "list:\n - &first {n: 1}\n - {n: 2}\n - {n: 3}\ncopy: *first\n",
         "{copy:{n:u1},list:[{n:u1},{n:u2},{n:u3}]}"},
        {"anchored node found after members were inserted before it", "z: &z {n: 1}\na: 0\nb: *z\n",
         "{a:u0,b:{n:u1},z:{n:u1}}"},
        {"aliases inside a sequence", "a: &x 1\nb: [*x, *x]\n", "{a:u1,b:[u1,u1]}"},
        {"anchored root", "&r [1]", "[u1]"},
        {"repeated key given its own alias", "a: &x {b: 1}\na: *x\n", "{a:{b:u1}}"},
        {"repeated key given an alias of its member", "a: {b: &y 1}\na: *y\n", "{a:u1}"},
    };
    ExpectValues(std::begin(cases), std::end(cases));
}

TEST(YamlReaderTest, RefusesWithMessagesNamingLineAndColumn) {
    const FailureCase cases[] = {
        {"second document", "--- 1\n--- 2\n", "Multi-document YAML is not supported."},
        {"second document after an empty one", "---\n---\n",
         "Multi-document YAML is not supported."},
        {"int-tagged key", "!!int 1: a",
         "Invalid mapping key. Only string scalar keys are allowed. At line: 1 col: 1"},
        {"sequence as key", "x: 1\n[1]: a", "Unexpected start of sequence. At line: 2 col: 1"},
        {"mapping as key", "? {a: 1}\n: b", "Unexpected start of mapping. At line: 1 col: 3"},
        {"repeated key with two mappings", "a: {x: 1}\na: {y: 2}",
         "Unexpected start of mapping. At line: 2 col: 4"},
        {"repeated key with a mapping then a sequence", "a: {x: 1}\na: [1]",
         "Unexpected start of sequence. At line: 2 col: 4"},
        {"alias of its own open sequence", "a: &x [*x]",
         "Cannot deserialize cyclic aliases. Alias \"x\". At line: 1 col: 8"},
        {"alias of an open mapping whose key has an anchor too", "&m {&k key: v, x: *m}",
         "Cannot deserialize cyclic aliases. Alias \"m\". At line: 1 col: 19"},
        {"alias whose path now leads to an open node", "a: &x 1\na: [*x]",
         "Cannot deserialize cyclic aliases. Alias \"x\". At line: 2 col: 5"},
        {"undefined alias", "a: *nope", "Undefined alias encountered: \"nope\". At line: 1 col: 4"},
        {"anchor defined twice", "a: &d 1\nb: &d 1",
         "Duplicate occurrence of anchor \"d\". At line: 2 col: 4"},
        {"key anchor defined twice", "&d a: 1\n&d b: 2",
         "Duplicate occurrence of anchor \"d\". At line: 2 col: 1"},
        {"alias as key", "a: &k x\n*k : y",
         "Invalid mapping key. Aliases are not allowed as keys. Alias \"k\". At line: 2 col: 1"},
        {"unsupported tag", "!!foo bar", "Unsupported YAML tag 'tag:yaml.org,2002:foo'."},
        {"local tag", "x: !local 1", "Unsupported YAML tag '!local'."},
        {"int that is no number", "!!int abc",
         "Value abc for 'yaml' of type uint64_t is in an incorrect format"},
        {"negative int that is no number", "!!int -abc",
         "Value -abc for 'yaml' of type int64_t is in an incorrect format"},
        {"int beyond 64 bits", "!!int 18446744073709551616",
         "Value 18446744073709551616 for 'yaml' of type uint64_t is out of range"},
        {"float that is no number", "!!float abc",
         "Value abc for 'yaml' of type double is in an incorrect format"},
        {"float beyond double", "!!float 1e999",
         "Value 1e999 for 'yaml' of type double is out of range"},
        {"unclosed flow sequence", "[1, 2",
         "YAML parser error: did not find expected ',' or ']'. At line: 1 col: 0"},
        {"invalid UTF-8", "a: \xff",
         "YAML parser error: invalid leading UTF-8 octet. At line: 0 col: 0"},
        {"failure after a parser-detectable error wins", "a: *nope\n[",
         "Undefined alias encountered: \"nope\". At line: 1 col: 4"},
    };
    ExpectFailures(std::begin(cases), std::end(cases));
}

TEST(YamlReaderTest, AcceptsExactlyAThousandLevelsOfNesting) {
    std::string blockAtLimit;
    for (size_t level = 0; level < 1000; ++level) blockAtLimit += std::string(level, ' ') + "a:\n";
    blockAtLimit += std::string(1000, ' ') + "7\n";
    const ValueCase accepted[] = {
        {"flow sequences", NestedSequences(1000, "7"), nullptr},
        {"flow mappings", Repeat("{a: ", 1000) + "7" + Repeat("}", 1000), nullptr},
        {"block mappings", blockAtLimit, nullptr},
    };
    for (const ValueCase& c : accepted) {
        const BindingStatus status = Read(c.input);
        ASSERT_TRUE(status.Ok()) << c.description << ": " << status.ErrorMessage();
        const BindingProperty* node = &status.Value();
        size_t depth = 0;
        for (; node->Kind() != BindingPropertyKind::Unsigned; ++depth) {
            node = node->Kind() == BindingPropertyKind::Collection ? &(*node)[0]
                                                                   : &node->Members()[0].Value();
        }
        EXPECT_EQ(depth, 1000u) << c.description;
    }

    const FailureCase refused[] = {
        {"flow sequences", NestedSequences(1001, "7"),
         "Nesting deeper than 1000 levels is not supported. At line: 1 col: 1001"},
        {"flow mappings", Repeat("{a: ", 1001) + "7" + Repeat("}", 1001),
         "Nesting deeper than 1000 levels is not supported. At line: 1 col: 4001"},
        {"empty sequence one level too deep", NestedSequences(1001, ""),
         "Nesting deeper than 1000 levels is not supported. At line: 1 col: 1001"},
    };
    ExpectFailures(std::begin(refused), std::end(refused));
}

TEST(YamlReaderTest, CountsTheDepthThatAnAliasCopies) {
    // The anchored value is 500 levels deep; the alias sits inside the root
    // mapping and `open` sequences.
    const auto document = [](size_t open) {
        return "a: &x " + NestedSequences(500, "1") + "\nb: " + NestedSequences(open, "*x") + "\n";
    };
    EXPECT_TRUE(Read(document(499)).Ok());
    const BindingStatus status = Read(document(500));
    EXPECT_EQ(status.ErrorMessage(),
              "Nesting deeper than 1000 levels is not supported. At line: 2 col: 504");
}

TEST(YamlReaderTest, RefusesAMillionLevelsOnASmallStackWithoutParsingThemAll) {
    const std::string text = Repeat("[", 1000000);
    std::string message;
    const bool ran = testing::RunOnSmallStack(testing::kSmallStackBytes, [&] {
        const BindingStatus status = YamlToValue(text.data(), text.size());
        message = std::string(status.ErrorMessage());
    });
    ASSERT_TRUE(ran);
    EXPECT_EQ(message, "Nesting deeper than 1000 levels is not supported. At line: 1 col: 1001");
}

TEST(YamlReaderTest, BoundsTheNodesThatAliasCopiesCreate) {
    // `a` anchors a sequence of 99 scalars, so every alias of it copies 100
    // nodes. The document writes 104 nodes besides the filler and the aliases
    // (root mapping, keys a and b with their sequences, the 99 scalars).
    const auto copies = [](size_t aliases, size_t filler) {
        std::string text = "a: &x [" + Repeat("0,", 98) + "0]\n";
        if (filler > 0) text += "f: [" + Repeat("0,", filler - 1) + "0]\n";
        text += "b: [" + Repeat("*x, ", aliases - 1) + "*x]\n";
        return text;
    };
    struct Case {
        const char* description;
        std::string input;
        std::string message;  // empty when accepted
    };
    const Case cases[] = {
        {"100,000 copied nodes", copies(1000, 0), ""},
        {"one alias more", copies(1001, 0),
         "Cannot deserialize aliases that expand to too many nodes. Alias \"x\". At line: 2 col: "
         "4005"},
        {"past 100,000 in a document of over a tenth as many nodes", copies(1500, 20000), ""},
        {"past ten times the nodes written", copies(2500, 20000),
         "Cannot deserialize aliases that expand to too many nodes. Alias \"x\". At line: 3 col: "
         "8941"},
    };
    for (const Case& c : cases) {
        const BindingStatus status = Read(c.input);
        EXPECT_EQ(status.ErrorMessage(), c.message) << c.description;
    }
}

TEST(YamlReaderTest, AnchorsDeepInATreeShareTheirPaths) {
    // 10,000 anchors 999 levels down: copying each path whole would take
    // about 500 MB; the alias at the end still finds the first anchored node.
    std::string text = "a: " + Repeat("[", 999);
    for (size_t i = 0; i < 10000; ++i) {
        text += "&n" + std::to_string(i) + " " + std::to_string(i) + ",";
    }
    text += "0" + Repeat("]", 999) + "\nb: *n0\n";
    const long peakBefore = PeakResidentKilobytes();
    const BindingStatus status = Read(text);
    ASSERT_TRUE(status.Ok()) << status.ErrorMessage();
    EXPECT_EQ(status.Value()["b"].GetUnsigned(99), 0u);
    EXPECT_LT(PeakResidentKilobytes() - peakBefore, 256 * 1024) << "kilobytes";
}

TEST(YamlReaderTest, RefusesTheBillionLaughsBeforeCopyingThem) {
    const std::string text =
        "a: &a [\"lol\",\"lol\",\"lol\",\"lol\",\"lol\",\"lol\",\"lol\",\"lol\",\"lol\"]\n"
        "b: &b [*a,*a,*a,*a,*a,*a,*a,*a,*a]\n"
        "c: &c [*b,*b,*b,*b,*b,*b,*b,*b,*b]\n"
        "d: &d [*c,*c,*c,*c,*c,*c,*c,*c,*c]\n"
        "e: &e [*d,*d,*d,*d,*d,*d,*d,*d,*d]\n"
        "f: &f [*e,*e,*e,*e,*e,*e,*e,*e,*e]\n"
        "g: &g [*f,*f,*f,*f,*f,*f,*f,*f,*f]\n"
        "h: &h [*g,*g,*g,*g,*g,*g,*g,*g,*g]\n"
        "i: &i [*h,*h,*h,*h,*h,*h,*h,*h,*h]\n";
    const BindingStatus status = Read(text);
    EXPECT_EQ(status.ErrorMessage(),
              "Cannot deserialize aliases that expand to too many nodes. Alias \"e\". At line: 6 "
              "col: 8");
}

}  // namespace
}  // namespace Nimbel
