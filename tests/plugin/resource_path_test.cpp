#include "plugin/resource_path.h"

#include <gtest/gtest.h>

namespace Nimbel {
namespace {

TEST(ResourcePathTest, EventNamesKeepThreePiecesOrFiveForTheConfiguration) {
    struct Case {
        const char* path;
        const char* eventName;
    };
    const Case cases[] = {
        {"/kzo-login/v1/session", "OnJsonApiEvent_kzo-login_v1_session"},
        {"/kzo-login/v1/session/invoke", "OnJsonApiEvent_kzo-login_v1_session"},
        {"/kzo-platform-config/v1/namespaces/NewMatchHistory",
         "OnJsonApiEvent_kzo-platform-config_v1_namespaces_NewMatchHistory"},
        {"/kzo-platform-config/v1/namespaces/NewMatchHistory/Enabled/x",
         "OnJsonApiEvent_kzo-platform-config_v1_namespaces_NewMatchHistory_Enabled"},
        {"/kzo-platform-config-x/v1/namespaces/NewMatchHistory",
         "OnJsonApiEvent_kzo-platform-config-x_v1_namespaces"},  // the first piece, exactly
        {"/KZO-platform-config/v1/namespaces/NewMatchHistory",
         "OnJsonApiEvent_KZO-platform-config_v1_namespaces"},
        {"/x/kzo-platform-config/v1/namespaces/NewMatchHistory",
         "OnJsonApiEvent_x_kzo-platform-config_v1"},
        {"kzo-login//v1///session/",
         "OnJsonApiEvent_kzo-login_v1_session"},  // empty pieces dropped
        {"/a", "OnJsonApiEvent_a"},
        {"", "OnJsonApiEvent"},
    };
    for (const Case& c : cases) EXPECT_EQ(EventNameForPath(c.path), c.eventName) << c.path;
}

TEST(ResourcePathTest, WildcardsTakeOneSegmentWithoutBacktracking) {
    struct Case {
        const char* pattern;
        const char* path;
        bool matches;
    };
    const Case cases[] = {
        {"/a/*", "/a/x", true},
        {"/a/*", "/a/xyz", true},
        {"/a/*", "/a/x.y-z_1 %C3\xC3\xA9", true},  // a star takes every byte but "/"
        {"/a/*", "/b/x", false},
        {"/a/*", "/a/", false},
        {"/a/*", "/a/x/y", false},
        {"/a/*/b", "/a/x/b", true},
        {"/a/*/b", "/a//b", true},  // before a "/" the star may take nothing
        {"/a/*x", "/a/yx", false},  // greedy: the star takes the "x" the pattern wanted
        {"/a/**", "/a/x", false},  // the first star takes the last character; the second finds none
        {"/a/b", "/a/b", true},
        {"/a/b", "/a/bc", false},
        {"*", "", false},
        {"", "", true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(WildcardPathMatches(c.pattern, c.path), c.matches)
            << c.pattern << " ~ " << c.path;
    }
}

}  // namespace
}  // namespace Nimbel
