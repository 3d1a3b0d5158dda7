#include "api/function_name.h"

#include <gtest/gtest.h>

namespace Nimbel {
namespace {

TEST(FunctionNameTest, DerivesIdentifiersFromMethodWordAndPath) {
    struct Case {
        const char* word;
        const char* path;
        const char* expected;
    };
    const Case cases[] = {
        {"GET", "/kzo-match-history/v1/games/{gameId}", "GetKzoMatchHistoryV1GamesByGameId"},
        {"POST", "/kzo-match-history/v1/a_b/{+rest}", "PostKzoMatchHistoryV1ABByRest"},
        {"", "kzo-match-history", "KzoMatchHistory"},
        {"", "/kzo-match-history/v1/web-url", "KzoMatchHistoryV1WebUrl"},
        {"DELETE", "/", "Delete"},
        {"get", "/x", "GetX"},  // the walk upper-cases the first letter
        {"gET", "/x", "GetX"},  // the rest of the word is lower-cased
        {"", "a!b+c.d", "ABCD"},
        {"", "{id}", "ById"},
        {"", "x}y", "Xy"},                 // "}" keeps the flag as it was (clear after x)
        {"", "x/}y", "XY"},                // ...or set, after a separator
        {"", "ünï", "\xC3\xBCn\xC3\xAF"},  // non-ASCII bytes are never case-mapped
        {"", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MakeFunctionName(c.word, c.path), c.expected) << c.word << " " << c.path;
    }
}

}  // namespace
}  // namespace Nimbel
