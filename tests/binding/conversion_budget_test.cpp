// The write budget of value-to-native conversions: default records made for
// empty elements and empty structures count against what the input allows,
// across every vector and map of one conversion, and are refused before any
// is made.
#include "binding/conversion_budget.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "binding/binding_type_builder.h"
#include "binding/value_to_native.h"

namespace Nimbel {
namespace {

#define KZO_TWELVE(X) X(0) X(1) X(2) X(3) X(4) X(5) X(6) X(7) X(8) X(9) X(10) X(11)

/// A record of 12 numbers: 13 nodes.
struct Narrow {
#define KZO_NARROW_FIELD(i) int32_t n##i = 0;
    KZO_TWELVE(KZO_NARROW_FIELD)
#undef KZO_NARROW_FIELD
};

/// A record of 12 narrow records: 1 + 12 * 13 = 157 nodes.
struct Wide {
#define KZO_WIDE_FIELD(i) Narrow w##i;
    KZO_TWELVE(KZO_WIDE_FIELD)
#undef KZO_WIDE_FIELD
};

struct Holder {
    std::vector<Wide> first;
    std::vector<Wide> second;
    std::unordered_map<std::string, Wide> byName;
};

constexpr uint64_t kWideNodes = 157;

const BindingTypeRegistry& Registry() {
    static const BindingTypeRegistry* registry = [] {
        static BindingTypeRegistry instance;
        BindingTypeBuilder<Narrow> narrow(instance, "KzoTestNarrow");
#define KZO_NARROW_FIELD(i) narrow.Field("n" #i, &Narrow::n##i);
        KZO_TWELVE(KZO_NARROW_FIELD)
#undef KZO_NARROW_FIELD
        narrow.Finish();
        BindingTypeBuilder<Wide> wide(instance, "KzoTestWide");
#define KZO_WIDE_FIELD(i) wide.Field("w" #i, &Wide::w##i);
        KZO_TWELVE(KZO_WIDE_FIELD)
#undef KZO_WIDE_FIELD
        wide.Finish();
        BindingTypeBuilder<Holder>(instance, "KzoTestHolder")
            .Field("first", &Holder::first)
            .Field("second", &Holder::second)
            .Field("byName", &Holder::byName)
            .Finish();
        return &instance;
    }();
    return *registry;
}

#undef KZO_TWELVE

/// A collection of `count` copies of `element`.
BindingProperty ListOf(size_t count, const BindingProperty& element) {
    BindingProperty list;
    list.MakeCollection();
    list.Reserve(count);
    for (size_t i = 0; i < count; ++i) list.Append() = element;
    return list;
}

BindingProperty EmptyStructure() {
    BindingProperty structure;
    structure.MakeStructure();
    return structure;
}

/// A wide record with every number given: as many nodes read as it stands for.
BindingProperty FullWide() {
    BindingProperty wide;
    for (int w = 0; w < 12; ++w) {
        for (int n = 0; n < 12; ++n) wide["w" + std::to_string(w)]["n" + std::to_string(n)] = n;
    }
    return wide;
}

std::string Refusal(const char* name, uint64_t limit, uint64_t read) {
    return std::string("Couldn't assign value to '") + name +
           "' because the conversion would write more than " + std::to_string(limit) +
           " nodes from the " + std::to_string(read) + " nodes of its input.";
}

TEST(ConversionBudgetTest, ADefaultRecordCountsOneNodePerFieldNestedRecordsWhole) {
    EXPECT_EQ(internal::DefaultRecordNodes(Registry().FindNativeType<Narrow>()), 13u);
    EXPECT_EQ(internal::DefaultRecordNodes(Registry().FindNativeType<Wide>()), kWideNodes);
    EXPECT_EQ(internal::DefaultRecordNodes(Registry().FindNativeType<Holder>()), 4u)
        << "vectors and maps stand for one node until they have elements";
    EXPECT_EQ(internal::DefaultRecordNodes(nullptr), 1u);
}

TEST(ConversionBudgetTest, VectorsOfRecordsAreRefusedBeyondTheBudgetBeforeAnyRecordIsMade) {
    // 6,000 default records are 942,000 nodes, within the free million;
    // 10,000 are 1,570,000, more than 10 times the 10,001 nodes read; 6,500
    // records given in full are 1,020,500 nodes written for as many read.
    const BindingProperty full = FullWide();
    BindingProperty oneNumber;
    oneNumber["w0"]["n0"] = 1;
    BindingProperty oneMember = oneNumber;  // 14 nodes: w0 in full
    BindingProperty twoMembers;             // 27 nodes: w0 and w1 in full
    for (int n = 0; n < 12; ++n) {
        oneMember["w0"]["n" + std::to_string(n)] = n;
        twoMembers["w0"]["n" + std::to_string(n)] = n;
        twoMembers["w1"]["n" + std::to_string(n)] = n;
    }
    struct Case {
        const char* description;
        BindingProperty input;
        std::string expected;  // "" when accepted
    };
    const Case cases[] = {
        {"6,000 nulls", ListOf(6000, BindingProperty()), ""},
        {"10,000 nulls", ListOf(10'000, BindingProperty()), Refusal("n", 1'000'000, 10'001)},
        {"10,000 empty structures", ListOf(10'000, EmptyStructure()),
         Refusal("n", 1'000'000, 10'001)},
        {"7,000 records of one number each", ListOf(7000, oneNumber),
         Refusal("n", 1'000'000, 21'001)},
        {"6,500 records given in full, as many nodes read as written", ListOf(6500, full), ""},
        {"7,000 records of two members: 1,099,000 written, 5.8 per node read",
         ListOf(7000, twoMembers), ""},
        {"10,000 records of one member: 1,570,000 written, 11.2 per node read",
         ListOf(10'000, oneMember), Refusal("n", 1'400'010, 140'001)},
    };
    for (const Case& c : cases) {
        std::vector<Wide> target;
        BindingStatus status;
        ValueToNative(status, target, c.input, "n", Registry());
        EXPECT_EQ(status.ErrorMessage(), c.expected) << c.description;
        if (c.expected.empty()) {
            EXPECT_EQ(target.size(), c.input.Size()) << c.description;
        } else {
            EXPECT_EQ(target.capacity(), 0u) << c.description << ": no default record was made";
        }
    }
}

TEST(ConversionBudgetTest, OneConversionSharesOneBudgetAcrossItsVectorsAndMaps) {
    const BindingProperty nulls = ListOf(4000, BindingProperty());  // 628,000 nodes each
    BindingProperty members;
    for (int i = 0; i < 4000; ++i) members["m" + std::to_string(i)] = EmptyStructure();

    struct Case {
        const char* description;
        BindingProperty input;
        std::string expected;
    };
    std::vector<Case> cases;
    cases.push_back({"one vector", {}, ""});
    cases.back().input["first"] = nulls;
    cases.push_back({"two vectors", {}, Refusal("second", 1'000'000, 8003)});
    cases.back().input["first"] = nulls;
    cases.back().input["second"] = nulls;
    cases.push_back({"a map of empty structures", {}, ""});
    cases.back().input["byName"] = members;
    cases.push_back({"a vector, then a map", {}, Refusal("byName", 1'000'000, 8003)});
    cases.back().input["byName"] = members;
    cases.back().input["first"] = nulls;
    for (const Case& c : cases) {
        Holder holder;
        BindingStatus status;
        ValueToNative(status, holder, c.input, "<result>", Registry());
        EXPECT_EQ(status.ErrorMessage(), c.expected) << c.description;
    }

    // Each conversion has a budget of its own: the third one here is refused
    // only if the first two left their counts behind.
    for (int round = 0; round < 3; ++round) {
        std::vector<Wide> target;
        BindingStatus status;
        ValueToNative(status, target, ListOf(6000, BindingProperty()), "n", Registry());
        EXPECT_TRUE(status.Ok()) << "round " << round << ": " << status.ErrorMessage();
    }
}

TEST(ConversionBudgetTest, MapsOfRecordsAreRefusedBeyondTheBudget) {
    BindingProperty members;
    for (int i = 0; i < 10'000; ++i) members["m" + std::to_string(i)] = EmptyStructure();
    std::unordered_map<std::string, Wide> target;
    BindingStatus status;
    ValueToNative(status, target, members, "n", Registry());
    EXPECT_EQ(status.ErrorMessage(), Refusal("n", 1'000'000, 10'001));
    EXPECT_TRUE(target.empty());
}

}  // namespace
}  // namespace Nimbel
