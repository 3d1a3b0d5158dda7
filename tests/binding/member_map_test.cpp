// Structure members: name order and lookup whatever order names arrive in and
// however reads and additions interleave, references that survive ordered
// reads, interning, and the cost of building large structures through the
// binding layer's paths (direct insertion, copies, core value records, native
// maps).
#include "binding/internal/member_map.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <new>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "binding/binding_status.h"
#include "binding/binding_type_registry.h"
#include "binding/core_value.h"
#include "binding/native_to_value.h"
#include "binding/property_arena.h"
#include "tests/binding/fnv_colliding_keys.h"
#include "tests/binding/member_order_cost.h"

namespace Nimbel {
namespace {

using testing::ExpectCostIndependentOfNameOrder;
using testing::MemberNames;
using testing::NameOrder;

[[nodiscard]] std::vector<std::string> NamesOf(const BindingProperty& structure) {
    std::vector<std::string> names;
    for (const BindingMember& member : structure.Members()) names.emplace_back(member.Name());
    return names;
}

[[nodiscard]] std::vector<std::string> Numbered(size_t count, NameOrder order) {
    return MemberNames(count, order);
}

// Each batch is added, then the structure is read in order: the members must
// be every name so far, sorted byte-wise, each found under its name and
// holding the value last written to it.
TEST(MemberMapTest, MembersComeSortedAndAreFoundWhateverOrderNamesArriveIn) {
    struct Case {
        const char* description;
        std::vector<std::vector<std::string>> batches;
    };
    const std::vector<std::string> twenty = Numbered(20, NameOrder::Descending);
    const std::vector<std::string> tail(twenty.begin(), twenty.begin() + 10);
    const std::vector<std::string> head(twenty.begin() + 10, twenty.end());
    const Case cases[] = {
        {"few, reversed", {{"c", "b", "a"}}},
        {"bytes compared unsigned, empty name first",
         {{"b", "\xC3\xA9", "a", "B", "ab", "", "\x7F"}}},
        {"repeated names", {{"x", "a", "x", "m", "a", "x"}}},
        {"names cut at their first NUL",
         {{std::string("b\0z", 3), "a", std::string("b\0y", 3), "b"}}},
        {"ascending past the linear search", {Numbered(40, NameOrder::Ascending)}},
        {"descending past the linear search", {Numbered(40, NameOrder::Descending)}},
        {"shuffled", {Numbered(300, NameOrder::Shuffled)}},
        {"ends alternating", {{"k1", "k9", "k2", "k8", "k3", "k7", "k4", "k6", "k5"}}},
        {"read, then a few before every name", {head, {"a", "c", "b"}}},
        {"read, then many before every name", {head, tail}},
        {"read, then many among the names",
         {Numbered(50, NameOrder::Shuffled),
          {"k000000025a", "a", "z", "k000000001"},
          Numbered(120, NameOrder::Shuffled)}},
        {"read, then names that were there", {{"b", "a"}, {"a", "b", "a"}}},
    };
    for (const Case& c : cases) {
        BindingProperty structure;
        structure.MakeStructure();
        std::set<std::string> expected;
        int64_t written = 0;
        std::unordered_map<std::string, int64_t> last;
        for (const std::vector<std::string>& batch : c.batches) {
            for (const std::string& name : batch) {
                structure[name] = ++written;
                const std::string cut = name.substr(0, name.find('\0'));
                expected.insert(cut);
                last[cut] = written;
            }
            EXPECT_EQ(NamesOf(structure),
                      std::vector<std::string>(expected.begin(), expected.end()))
                << c.description;
            for (const auto& [name, value] : last) {
                const BindingProperty* member = std::as_const(structure).FindMember(name);
                ASSERT_NE(member, nullptr) << c.description << ": " << name;
                EXPECT_EQ(member->GetSigned(), value) << c.description << ": " << name;
            }
            EXPECT_EQ(std::as_const(structure).FindMember("absent"), nullptr) << c.description;
        }
    }
}

// A member stays where it is when the structure is read in order, walked,
// compared or copied; only a new member may move its siblings.
TEST(MemberMapTest, ReferencesToAMemberSurviveOrderedReadsOfItsStructure) {
    BindingProperty tree;
    for (const std::string& name : Numbered(30, NameOrder::Descending)) tree[name] = true;
    BindingProperty& member = tree["k000000015"];
    const BindingProperty* const before = &member;
    const BindingProperty copy = tree;
    EXPECT_TRUE(copy == tree);
    EXPECT_EQ(NamesOf(tree).front(), "k000000001");
    EXPECT_EQ(&member, before);
    EXPECT_EQ(tree.FindMember("k000000015"), before);

    // The member is written after the copy read its structure in order.
    BindingProperty small;
    small["c"] = int64_t{1};
    small["a"] = int64_t{2};
    BindingProperty& b = small["b"];
    b = small;
    EXPECT_EQ(NamesOf(small), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(NamesOf(small["b"]), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(small["b"]["a"].GetSigned(), 2);
    EXPECT_TRUE(small["b"]["b"].IsEmpty());
}

// The copy's names are already interned in the tree, so each one is searched
// for in a map that has just made room for all of them.
TEST(MemberMapTest, ALargeStructureCopiedWithinItsTreeEqualsItsSource) {
    BindingProperty tree;
    for (const std::string& name : Numbered(40, NameOrder::Shuffled)) tree["a"][name] = name;
    tree["b"] = std::as_const(tree)["a"];
    EXPECT_TRUE(std::as_const(tree)["b"] == std::as_const(tree)["a"]);
    for (const std::string& name : Numbered(40, NameOrder::Descending)) tree["b"][name] = true;
    EXPECT_EQ(tree["b"].Size(), 40u);
}

TEST(MemberMapTest, EachMemberHoldsOneReferenceToItsInternedName) {
    BindingProperty tree;
    for (const std::string& name : Numbered(20, NameOrder::Shuffled)) {
        tree["left"][name] = true;
        tree["right"][name] = true;
        tree["left"][name] = false;  // found again: no second reference
    }
    const PropertyArena* arena = tree.Arena();
    EXPECT_EQ(arena->InternedCount(), 22u) << "twenty shared names, left and right";
    const auto left = tree["left"].Members();
    const auto right = tree["right"].Members();
    ASSERT_EQ(left.size(), right.size());
    for (size_t i = 0; i < left.size(); ++i) {
        EXPECT_EQ(&left[i].InternedName(), &right[i].InternedName()) << left[i].Name();
        EXPECT_EQ(left[i].InternedName().References(), 2u) << left[i].Name();
    }
    tree["left"].Clear();
    EXPECT_EQ(tree["right"].Members()[0].InternedName().References(), 1u);
    tree.Clear();
    EXPECT_EQ(arena->InternedCount(), 0u);
}

// ---- Cost of building large structures --------------------------------------

// The storage of 2^27 members or more (members, order and index) passes 4 GiB
// where a member takes 20 bytes: a 32-bit build must refuse it, not allocate
// a block of the wrapped size and write past it. Where it fits in a size_t the
// row is not run: it would take gigabytes.
TEST(MemberMapTest, ReservingMoreThanTheAddressSpaceHoldsIsRefusedAndLeavesTheMap) {
    struct Case {
        const char* description;
        size_t count;
    };
    const Case cases[] = {
        {"the limit", BindingProperty::kMaxCount},
        {"2^27, the growth after 2^26", size_t{1} << 27},
        {"2^27 - 1", (size_t{1} << 27) - 1},
    };
    PropertyArena* arena = PropertyArena::Create();
    for (const Case& c : cases) {
        const uint64_t slots = std::bit_ceil(uint64_t{c.count} * 2);
        const uint64_t bytes = uint64_t{c.count} * sizeof(BindingMember) +
                               (uint64_t{c.count} + slots) * sizeof(uint32_t);
        if (bytes <= SIZE_MAX) continue;
        internal::MemberMap map(*arena);
        static_cast<void>(map.FindOrInsert("kept"));
        EXPECT_THROW(map.Reserve(c.count), std::bad_alloc) << c.description;
        EXPECT_EQ(map.Size(), 1u) << c.description;
        EXPECT_NE(map.Find("kept"), nullptr) << c.description;
        static_cast<void>(map.FindOrInsert("added"));
        EXPECT_EQ(map.Size(), 2u) << c.description << ": the map still grows";
    }
    PropertyArena::Destroy(arena);
}

TEST(MemberMapTest, InsertingByNameCostsTheSameWhateverTheNameOrder) {
    ExpectCostIndependentOfNameOrder("insertion", [](const std::vector<std::string>& names) {
        BindingProperty structure;
        for (const std::string& name : names) structure[name] = uint64_t{1};
        return structure;
    });
}

TEST(MemberMapTest, CopyingCostsTheSameWhateverTheNameOrderOfTheSource) {
    ExpectCostIndependentOfNameOrder("copy", [](const std::vector<std::string>& names) {
        BindingProperty source;
        for (const std::string& name : names) source[name] = uint64_t{1};
        return BindingProperty(source);  // a new arena: only the copy is counted
    });
}

TEST(MemberMapTest, CoreValueRecordsCostTheSameWhateverTheEntryOrder) {
    ExpectCostIndependentOfNameOrder("core value", [](const std::vector<std::string>& names) {
        std::vector<CoreStructEntry> entries(names.size());
        for (size_t i = 0; i < names.size(); ++i) {
            entries[i].name = names[i].c_str();
            CoreValueSetUnsigned(entries[i].value, 1);
        }
        CoreValue record{};
        record.kind = kCoreValueStructure;
        record.a = reinterpret_cast<uintptr_t>(entries.data());
        record.b = static_cast<KzoWord>(entries.size());
        BindingProperty structure;
        EXPECT_TRUE(CoreValueToProperty(nullptr, structure, record, "<result>"));
        return structure;
    });
}

TEST(MemberMapTest, NativeMapsCostTheSameWhateverTheKeyOrder) {
    ExpectCostIndependentOfNameOrder("native map", [](const std::vector<std::string>& names) {
        std::unordered_map<std::string, int32_t> map;
        map.reserve(names.size());
        for (const std::string& name : names) map.emplace(name, 1);
        const BindingTypeRegistry registry;
        BindingStatus status;
        NativeToValue(status, map, registry);
        EXPECT_TRUE(status.Ok());
        return BindingProperty(std::move(status.Value()));
    });
}

// Names of one FNV-1a hash are cheap to build (see fnv_colliding_keys.h).
// Were home slots taken from that hash, every name would probe past all those
// indexed before it, n * n / 2 steps for n names: thousands of times what
// random names cost here. The index is built at the first search, so the
// names are added first and then searched for as text and as interned names.
TEST(MemberMapTest, NamesOfOneFnvHashCostWhatRandomNamesCostToFind) {
    const std::vector<std::string>& colliding = testing::FnvCollidingKeys();
    ASSERT_EQ(colliding.size(), size_t{1} << testing::kCollidingStages);
    struct Case {
        const char* description;
        std::vector<std::string> names;
    };
    const Case cases[] = {
        {"random names", testing::RandomKeys(colliding.size(), testing::kCollidingKeyBytes)},
        {"names of one FNV-1a hash", colliding},
    };
    uint64_t steps[std::size(cases)] = {};
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        BindingProperty structure;
        for (const std::string& name : c.names) structure[name] = int64_t{1};
        const uint64_t added = structure.Arena()->MemberSteps();
        for (const std::string& name : c.names) {
            const BindingProperty* member = std::as_const(structure).FindMember(name);
            ASSERT_NE(member, nullptr) << c.description << ": " << name;
            EXPECT_EQ(member->GetSigned(), 1) << c.description << ": " << name;
        }
        for (const std::string& name : c.names) structure[name] = int64_t{2};
        EXPECT_EQ(structure.Size(), c.names.size()) << c.description;
        steps[i] = structure.Arena()->MemberSteps() - added;
    }
    RecordProperty("collidingSteps", std::to_string(steps[1]));
    RecordProperty("randomSteps", std::to_string(steps[0]));
    EXPECT_LE(steps[1], 3 * steps[0])
        << "colliding names " << steps[1] << " steps against random names " << steps[0];
}

}  // namespace
}  // namespace Nimbel
