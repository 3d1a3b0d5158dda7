// Structures as the three readers build them: what a large one costs whatever
// order its keys arrive in, and the repeated-key rules on structures large
// enough to be searched through their index.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "codecs/json_reader.h"
#include "codecs/message_pack_reader.h"
#include "codecs/yaml_reader.h"
#include "tests/binding/member_order_cost.h"
#include "tests/codecs/value_text.h"

namespace Nimbel {
namespace {

using testing::ExpectCostIndependentOfNameOrder;

[[nodiscard]] BindingProperty TakeValue(BindingStatus status) {
    EXPECT_TRUE(status.Ok()) << status.ErrorMessage();
    return BindingProperty(std::move(status.Value()));
}

[[nodiscard]] std::string JsonObject(const std::vector<std::string>& names) {
    std::string text = "{";
    for (const std::string& name : names) {
        if (text.size() > 1) text += ',';
        text += '"' + name + "\":1";
    }
    return text + '}';
}

// A map 32 of fixstr keys, each valued the positive fixint 1.
[[nodiscard]] std::vector<uint8_t> MessagePackMap(const std::vector<std::string>& names) {
    const auto count = static_cast<uint32_t>(names.size());
    std::vector<uint8_t> bytes = {0xDF, static_cast<uint8_t>(count >> 24),
                                  static_cast<uint8_t>(count >> 16),
                                  static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count)};
    for (const std::string& name : names) {
        bytes.push_back(static_cast<uint8_t>(0xA0 | name.size()));
        bytes.insert(bytes.end(), name.begin(), name.end());
        bytes.push_back(0x01);
    }
    return bytes;
}

TEST(StructureReadingTest, JsonObjectsCostTheSameWhateverTheKeyOrder) {
    ExpectCostIndependentOfNameOrder("JSON", [](const std::vector<std::string>& names) {
        return TakeValue(JsonToValue(JsonObject(names).c_str()));
    });
}

TEST(StructureReadingTest, MessagePackMapsCostTheSameWhateverTheKeyOrder) {
    ExpectCostIndependentOfNameOrder("MessagePack", [](const std::vector<std::string>& names) {
        const std::vector<uint8_t> bytes = MessagePackMap(names);
        size_t consumed = 0;
        BindingProperty value = TakeValue(MessagePackToValue(bytes.data(), bytes.size(), consumed));
        EXPECT_EQ(consumed, bytes.size());
        return value;
    });
}

TEST(StructureReadingTest, YamlMappingsCostTheSameWhateverTheKeyOrder) {
    ExpectCostIndependentOfNameOrder("YAML", [](const std::vector<std::string>& names) {
        std::string text;
        for (const std::string& name : names) text += name + ": 1\n";
        return TakeValue(YamlToValue(text.c_str(), text.size()));
    });
}

// Twenty-three keys arrive in reverse before the repeats, so every repeat is
// found through the structure's index rather than by a walk over few members.
TEST(StructureReadingTest, RepeatedKeysFollowEachReadersRulesInLargeStructures) {
    std::string filler;
    std::string fillerText;
    for (char name = 'w'; name >= 'd'; --name) filler += std::string("\"") + name + "\":0,";
    for (char name = 'd'; name <= 'w'; ++name) {
        fillerText += std::string(name == 'd' ? "" : ",") + name + ":u0";
    }
    struct Case {
        const char* description;
        std::string json;
        std::string expected;
    };
    const Case cases[] = {
        {"a later scalar replaces", "{" + filler + R"("c":1,"b":1,"a":1,"b":2})",
         "{a:u1,b:u2,c:u1," + fillerText + "}"},
        {"a later null leaves the member", "{" + filler + R"("c":1,"b":[1],"a":1,"b":null})",
         "{a:u1,b:[u1],c:u1," + fillerText + "}"},
        {"a later collection extends", "{" + filler + R"("c":[1],"b":1,"a":1,"c":[2,3]})",
         "{a:u1,b:u1,c:[u1,u2,u3]," + fillerText + "}"},
        {"a later structure merges", "{" + filler + R"("c":{"y":1},"b":1,"a":1,"c":{"x":2,"y":3}})",
         "{a:u1,b:u1,c:{x:u2,y:u3}," + fillerText + "}"},
    };
    for (const Case& c : cases) {
        const BindingStatus status = JsonToValue(c.json.c_str());
        ASSERT_TRUE(status.Ok()) << c.description << ": " << status.ErrorMessage();
        EXPECT_EQ(testing::ValueText(status.Value()), c.expected) << c.description;
    }
}

}  // namespace
}  // namespace Nimbel
