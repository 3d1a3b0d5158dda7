#include "plugin/api_version.h"

#include <gtest/gtest.h>

namespace Nimbel {
namespace {

TEST(ApiVersionTest, CoreCompatibilityAgainstTheFrameworkVersion) {
    struct Case {
        const char* description;
        ApiVersion core;
        bool compatible;
    };
    const Case cases[] = {
        {"same version", {18, 0, 0, {}, {}}, true},
        {"newer patch", {18, 0, 7, {}, {}}, true},
        {"newer minor", {18, 5, 0, {}, {}}, true},
        {"newer minor with lower patch", {18, 1, 0, {}, {}}, true},
        {"older major", {17, 9, 9, {}, {}}, false},
        {"newer major", {19, 0, 0, {}, {}}, false},
        {"texts take no part", {18, 0, 0, "beta", "42"}, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsCoreCompatible(c.core, PluginApiVersion()), c.compatible) << c.description;
    }
}

TEST(ApiVersionTest, OlderPatchOfTheSameMinorIsRefused) {
    const ApiVersion plugin{18, 2, 5, {}, {}};
    EXPECT_FALSE(IsCoreCompatible({18, 2, 4, {}, {}}, plugin));
    EXPECT_TRUE(IsCoreCompatible({18, 2, 5, {}, {}}, plugin));
    EXPECT_FALSE(IsCoreCompatible({18, 1, 9, {}, {}}, plugin));
}

TEST(ApiVersionTest, TextFormAddsPreReleaseAndBuildOnlyWhenPresent) {
    struct Case {
        ApiVersion version;
        const char* text;
    };
    const Case cases[] = {
        {{18, 0, 0, {}, {}}, "18.0.0"},
        {{4294967295u, 1, 2, {}, {}}, "4294967295.1.2"},
        {{1, 2, 3, "rc.1", {}}, "1.2.3-rc.1"},
        {{1, 2, 3, {}, "abc"}, "1.2.3+abc"},
        {{1, 2, 3, "rc.1", "abc"}, "1.2.3-rc.1+abc"},
    };
    for (const Case& c : cases) EXPECT_EQ(c.version.ToText(), c.text);
}

}  // namespace
}  // namespace Nimbel
