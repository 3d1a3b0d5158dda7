#include "api/route_template.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <regex>
#include <string>
#include <vector>

#include "api/url_decode.h"
#include "tests/codecs/small_stack.h"

namespace Nimbel {
namespace {

TEST(RouteTemplateTest, CompilesTemplatesToPatternsAndParameters) {
    using P = RouteParameter;
    struct Case {
        const char* pathTemplate;
        const char* pattern;
        std::vector<RouteParameter> parameters;
    };
    const Case cases[] = {
        {"/kzo-match-history/v1/games/{gameId}",
         "/kzo-match-history/v1/games/([^/]*)",
         {P{ParamKind::Simple, "gameId"}}},
        {"/files/{+path}", "/files/(.*)", {P{ParamKind::Reserved, "path"}}},
        {"/a.b/{#frag}", "/a\\.b/#(.*)", {P{ParamKind::Fragment, "frag"}}},
        {"/^$.*+?()[]|\\", "/\\^\\$\\.\\*\\+\\?\\(\\)\\[\\]\\|\\\\", {}},
        {"/x/{a}/{+b}",
         "/x/([^/]*)/(.*)",
         {P{ParamKind::Simple, "a"}, P{ParamKind::Reserved, "b"}}},
        {"/{a+b}", "/([^/]*)", {P{ParamKind::Simple, "a+b"}}},     // "+" only counts first
        {"/{ab{cd}", "/([^/]*)", {P{ParamKind::Simple, "abcd"}}},  // "{" keeps the name
        {"/{+a{b}", "/([^/]*)", {P{ParamKind::Simple, "ab"}}},     // ...but resets the kind
        {"/a}/{b}", "/a/([^/]*)", {P{ParamKind::Simple, "b"}}},    // a stray "}" is ignored
        {"/{open", "/", {}},                                       // unclosed: dropped
        {"/{}", "/([^/]*)", {P{ParamKind::Simple, ""}}},
    };
    for (const Case& c : cases) {
        const TemplatePattern result = TemplateToPattern(c.pathTemplate);
        EXPECT_EQ(result.pattern, c.pattern) << c.pathTemplate;
        EXPECT_EQ(result.parameters, c.parameters) << c.pathTemplate;
        EXPECT_EQ(RouteMatcher(c.pathTemplate).Parameters(), c.parameters) << c.pathTemplate;
    }
}

TEST(RouteTemplateTest, MatchesWholePathsAndCapturesRawText) {
    struct Case {
        const char* pathTemplate;
        const char* path;
        bool matches;
        std::vector<std::string> captures;
    };
    const Case cases[] = {
        {"/kzo-match-history/v1/games/{gameId}", "/kzo-match-history/v1/games/123", true, {"123"}},
        {"/games/{gameId}", "/games/a%2Fb", true, {"a%2Fb"}},  // decoded only after matching
        {"/games/{gameId}", "/games/a/b", false, {}},
        {"/games/{gameId}", "/games/", true, {""}},
        {"/games/{gameId}", "/games", false, {}},
        {"/games/{gameId}", "/GAMES/1", false, {}},
        {"/files/{+path}", "/files/a/b/c", true, {"a/b/c"}},
        {"/a/{+x}/{y}", "/a/1/2/3", true, {"1/2", "3"}},  // the first capture is greedy
        {"/a/{x}{y}", "/a/12", true, {"12", ""}},
        {"/f/{#frag}", "/f/#top", true, {"top"}},
        {"/f/{#frag}", "/f/top", false, {}},
        {"/literal", "/literal", true, {}},
        {"/literal", "/literal/", false, {}},  // a request's trailing "/" is not removed
        {"/lit}eral", "/lit}eral", true, {}},  // without "{" the template is literal, "}" and all
        {"/r/{+rest}", "/r/a\nb", false, {}},  // "." stops at line terminators...
        {"/r/{+rest}", "/r/a\rb", false, {}},  // ...of both kinds
        {"/r/{#frag}", "/r/#a\rb", false, {}},
        {"/s/{seg}", "/s/a\nb", true, {"a\nb"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.pathTemplate) + " <- " + c.path);
        std::vector<std::string_view> captures;
        ASSERT_EQ(RouteMatcher(c.pathTemplate).Match(c.path, captures), c.matches);
        if (c.matches) {
            EXPECT_EQ(std::vector<std::string>(captures.begin(), captures.end()), c.captures);
        }
    }
}

// The matcher must capture exactly what a greedy ECMAScript full match of the
// template's pattern captures, on every template and path.
TEST(RouteTemplateTest, AgreesWithStdRegexOnGeneratedTemplatesAndPaths) {
    std::mt19937 random(20261206);
    const std::vector<std::string> templatePieces = {"/",   "a",    "ab",   "-",    ".",
                                                     "{x}", "{+y}", "{#z}", "/v1/", "#"};
    const std::string pathAlphabet = "/ab-.#";
    auto pick = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };

    int matched = 0;
    for (int t = 0; t < 400; ++t) {
        std::string pathTemplate;
        const size_t pieces = 1 + pick(6);
        for (size_t i = 0; i < pieces; ++i)
            pathTemplate += templatePieces[pick(templatePieces.size())];
        const TemplatePattern pattern = TemplateToPattern(pathTemplate);
        if (pathTemplate.find('{') == std::string::npos) continue;
        const std::regex regex(pattern.pattern, std::regex::ECMAScript | std::regex::optimize);
        const RouteMatcher matcher(pathTemplate);
        for (int p = 0; p < 60; ++p) {
            std::string path;
            const size_t length = pick(12);
            for (size_t i = 0; i < length; ++i) path += pathAlphabet[pick(pathAlphabet.size())];
            std::smatch expected;
            const bool regexMatched = std::regex_match(path, expected, regex);
            std::vector<std::string_view> captures;
            ASSERT_EQ(matcher.Match(path, captures), regexMatched)
                << pathTemplate << " <- " << path;
            if (!regexMatched) continue;
            ++matched;
            ASSERT_EQ(captures.size() + 1, expected.size()) << pathTemplate;
            for (size_t i = 0; i < captures.size(); ++i) {
                ASSERT_EQ(std::string(captures[i]), expected[i + 1].str())
                    << pathTemplate << " <- " << path << " capture " << i;
            }
        }
    }
    EXPECT_GT(matched, 500) << "the generator must produce matching paths too";
}

TEST(RouteTemplateTest, MillionCharacterPathsMatchOnASmallStack) {
    const std::string longSegment(1'000'000, 'a');
    struct Case {
        const char* pathTemplate;
        std::string path;
        bool matches;
        size_t firstCaptureLength;
    };
    const Case cases[] = {
        {"/a/b/{x}", "/a/b/" + longSegment, true, 1'000'000},
        {"/files/{+path}", "/files/" + longSegment + "/" + longSegment, true, 2'000'001},
        {"/a/{x}/tail", "/a/" + longSegment + "/nope", false, 0},
        {"/a/{+x}/{y}", "/a/" + longSegment + "/b", true, 1'000'000},
    };
    std::vector<int> results;
    ASSERT_TRUE(testing::RunOnSmallStack(testing::kSmallStackBytes, [&] {
        for (const Case& c : cases) {
            std::vector<std::string_view> captures;
            const bool matched = RouteMatcher(c.pathTemplate).Match(c.path, captures);
            results.push_back(matched == c.matches &&
                              (!matched || captures[0].size() == c.firstCaptureLength));
        }
    }));
    EXPECT_EQ(results, std::vector<int>(std::size(cases), 1));
}

// Every edge of the three hex digit ranges and the character just outside
// each, as the high and as the low digit. A character that is no hex digit
// counts as 16: high, it drops out ((16 * 16) & 0xFF is 0); low, it sets 0x10.
TEST(UrlDecodeTest, DecodesEveryHexDigitClassEdgeInBothPlaces) {
    struct Case {
        const char* description;
        const char* input;
        std::string expected;
    };
    const Case cases[] = {
        {"low 0", "%20", "\x20"},
        {"low 9", "%29", "\x29"},
        {"low a", "%2a", "\x2A"},
        {"low f", "%2f", "\x2F"},
        {"low A", "%2A", "\x2A"},
        {"low F", "%2F", "\x2F"},
        {"low / (before 0)", "%2/", "\x30"},
        {"low : (after 9)", "%2:", "\x30"},
        {"low ` (before a)", "%2`", "\x30"},
        {"low g (after f)", "%2g", "\x30"},
        {"low @ (before A)", "%2@", "\x30"},
        {"low G (after F)", "%2G", "\x30"},
        {"high 0", "%01", "\x01"},
        {"high 9", "%91", "\x91"},
        {"high a", "%a1", "\xA1"},
        {"high f", "%f1", "\xF1"},
        {"high A", "%A1", "\xA1"},
        {"high F", "%F1", "\xF1"},
        {"high / (before 0)", "%/1", "\x01"},
        {"high : (after 9)", "%:1", "\x01"},
        {"high ` (before a)", "%`1", "\x01"},
        {"high g (after f)", "%g1", "\x01"},
        {"high @ (before A)", "%@1", "\x01"},
        {"high G (after F)", "%G1", "\x01"},
        {"lower-case hex decodes a slash", "a%2fb", "a/b"},
        {"a whole byte of lower-case digits", "%ff", "\xFF"},
        {"a whole byte of upper-case digits", "%FF", "\xFF"},
    };
    for (const Case& c : cases) EXPECT_EQ(UrlDecode(c.input), c.expected) << c.description;
}

TEST(UrlDecodeTest, DecodesPlusPercentAndMalformedEscapes) {
    struct Case {
        const char* input;
        std::string expected;
    };
    const Case cases[] = {
        {"x+y", "x y"},
        {"%41", "A"},
        {"%4a%4A", "JJ"},
        {"a%2Fb", "a/b"},
        {"%4", "4"},  // too short: the "%" is dropped
        {"%", ""},
        {"ab%", "ab"},
        {"%zz", "\x10"},  // non-hex digits count as 16: (16*16)&0xFF | 16
        {"%g1", std::string(1, '\x01')},
        {"%1g", "\x10"},
        {"%00x", std::string("\0x", 2)},
        {"plain", "plain"},
    };
    for (const Case& c : cases) EXPECT_EQ(UrlDecode(c.input), c.expected) << c.input;
}

}  // namespace
}  // namespace Nimbel
