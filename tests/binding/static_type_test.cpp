// Native type identities: one per type, stable hashes, the reserved no-type identity.
#include "binding/static_type.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "diagnostics/fnv1a.h"

namespace Nimbel {
namespace {

struct GameRecord {};
enum class GameMode { Classic, Aram };
using GameRecordAlias = GameRecord;

TEST(StaticTypeTest, IdentityIsOneObjectPerTypeAndAliasesShareIt) {
    EXPECT_EQ(&StaticType::Name<GameRecord>(), &StaticType::Name<GameRecord>());
    EXPECT_EQ(&StaticType::Name<GameRecordAlias>(), &StaticType::Name<GameRecord>());
    EXPECT_EQ(&StaticType::Name<std::string>(), &StaticType::Name<std::basic_string<char>>());
}

TEST(StaticTypeTest, DistinctTypesHaveDistinctHashesAndNoneIsReserved) {
    const std::vector<const StaticTypeId*> identities = {
        &StaticType::Name<GameRecord>(),
        &StaticType::Name<GameMode>(),
        &StaticType::Name<int>(),
        &StaticType::Name<const int>(),
        &StaticType::Name<int64_t>(),
        &StaticType::Name<std::string>(),
        &StaticType::Name<std::vector<GameRecord>>(),
    };
    for (size_t i = 0; i < identities.size(); ++i) {
        EXPECT_NE(identities[i]->hash, StaticTypeId::None().hash) << identities[i]->name;
        for (size_t j = i + 1; j < identities.size(); ++j) {
            EXPECT_NE(identities[i]->hash, identities[j]->hash)
                << identities[i]->name << " vs " << identities[j]->name;
        }
    }
}

TEST(StaticTypeTest, HashIsFnv1aOfTheDisplayedSignatureWhichNamesTheType) {
    struct Case {
        const char* description;
        const StaticTypeId& identity;
        const char* qualifiedName;
    };
    const Case cases[] = {
        {"record", StaticType::Name<GameRecord>(), "Nimbel::{anonymous}::GameRecord"},
        {"enumeration", StaticType::Name<GameMode>(), "Nimbel::{anonymous}::GameMode"},
        {"fundamental", StaticType::Name<double>(), "double"},
    };
    for (const Case& c : cases) {
        const std::string_view name = c.identity.name;
        EXPECT_NE(name.find(c.qualifiedName), std::string_view::npos) << c.description;
        EXPECT_EQ(c.identity.hash, Fnv1a(name)) << c.description;
    }
}

TEST(StaticTypeTest, NoneHasTheReservedHashAndTheHashAsItsName) {
    EXPECT_EQ(StaticTypeId::None().hash, StaticTypeId::kNoTypeHash);
    EXPECT_STREQ(StaticTypeId::None().name, "#00000000");
    EXPECT_FALSE(StaticTypeId::None() == StaticType::Name<void>());
}

TEST(StaticTypeTest, IdentitiesCompareByHashNotByAddress) {
    const StaticTypeId copy = StaticType::Name<GameRecord>();
    EXPECT_TRUE(copy == StaticType::Name<GameRecord>());
    EXPECT_FALSE(copy == StaticType::Name<GameMode>());
}

}  // namespace
}  // namespace Nimbel
