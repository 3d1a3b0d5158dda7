// The generic value: kinds, getters, coercions, walking, copy and move rules,
// aliasing within a tree, limits, memory returned, and use from two threads.
#include "binding/binding_property.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <iterator>
#include <limits>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "binding/binding_visitor.h"
#include "binding/internal/page_source.h"
#include "binding/property_arena.h"
#include "diagnostics/allocator.h"

namespace Nimbel {
namespace {

using Kind = BindingPropertyKind;

enum class Lane { Top, Jungle };

// Writes every visitor call as one token, so a walk compares as one text.
class TraceVisitor final : public BindingVisitor {
public:
    std::string trace;

    bool Empty() override { return Add("empty"); }
    bool Bool(bool value) override { return Add(value ? "bool(true)" : "bool(false)"); }
    bool Signed(int64_t value) override { return Add("signed(" + std::to_string(value) + ")"); }
    bool Unsigned(uint64_t value) override {
        return Add("unsigned(" + std::to_string(value) + ")");
    }
    bool Float(double value) override { return Add("float(" + std::to_string(value) + ")"); }
    bool String(std::string_view text) override { return Add("string(" + std::string(text) + ")"); }
    bool Blob(std::span<const uint8_t> bytes) override {
        return Add("blob(" + std::to_string(bytes.size()) + ")");
    }
    bool Enum(const BindingEnum& pair) override {
        return Add("enum(" + std::to_string(pair.value) + ")");
    }
    bool BeginCollection(size_t count) override { return Add("[" + std::to_string(count)); }
    bool BeginElement(size_t index) override { return Add("<" + std::to_string(index)); }
    bool EndElement(size_t index) override { return Add(std::to_string(index) + ">"); }
    bool EndCollection() override { return Add("]"); }
    bool BeginStructure(size_t count) override { return Add("{" + std::to_string(count)); }
    bool MemberName(std::string_view name) override { return Add("." + std::string(name)); }
    bool EndMember() override { return Add(";"); }
    bool EndStructure() override { return Add("}"); }

private:
    bool Add(const std::string& token) {
        trace += trace.empty() ? token : " " + token;
        return false;  // the walk must go on regardless
    }
};

std::string Trace(const BindingProperty& value) {
    TraceVisitor visitor;
    value.Visit(visitor);
    return visitor.trace;
}

BindingBytes Bytes(std::initializer_list<uint8_t> bytes) {
    return BindingBytes(bytes);
}

// A small tree with every kind, nested.
BindingProperty SampleTree() {
    BindingProperty tree;
    tree["name"] = "Ahri";
    tree["level"] = int64_t{18};
    tree["gold"] = uint64_t{12000};
    tree["ratio"] = 2.5;
    tree["won"] = true;
    tree["lane"] = BindingEnum{1, &StaticType::Name<Lane>()};
    tree["icon"] = Bytes({1, 2, 3});
    tree["items"].Append() = "boots";
    tree["items"].Append() = int64_t{3};
    tree["nothing"].Clear();
    return tree;
}

constexpr const char* kSampleTrace =
    "{9 .gold unsigned(12000) ; .icon blob(3) ; .items [2 <0 string(boots) 0> <1 signed(3) 1> ] "
    "; .lane enum(1) ; .level signed(18) ; .name string(Ahri) ; .nothing empty ; "
    ".ratio float(2.500000) ; .won bool(true) ; }";

TEST(BindingPropertyTest, FreshValueIsEmptyWithoutArenaAndReadsAsNothing) {
    const BindingProperty value;
    EXPECT_EQ(value.Kind(), Kind::Empty);
    EXPECT_EQ(value.KindName(), "empty");
    EXPECT_EQ(value.Size(), 0u);
    EXPECT_FALSE(value.ToBool());
    EXPECT_EQ(value.ToString(), "");
    EXPECT_EQ(value.Arena(), nullptr);
    EXPECT_TRUE(value.OwnsArena());
}

TEST(BindingPropertyTest, EachSourceProducesItsKindWithTheValueWidenedTo64Bits) {
    struct Case {
        const char* description;
        BindingProperty value;
        Kind kind;
        std::string text;
    };
    const Case cases[] = {
        {"bool", true, Kind::Bool, "true"},
        {"int16 sign-extended", int16_t{-2}, Kind::Signed, "-2"},
        {"int32 minimum", std::numeric_limits<int32_t>::min(), Kind::Signed, "-2147483648"},
        {"int64 minimum", std::numeric_limits<int64_t>::min(), Kind::Signed,
         "-9223372036854775808"},
        {"long long", 7LL, Kind::Signed, "7"},
        {"uint16 maximum", uint16_t{65535}, Kind::Unsigned, "65535"},
        {"uint32 5", uint32_t{5}, Kind::Unsigned, "5"},
        {"uint64 maximum", std::numeric_limits<uint64_t>::max(), Kind::Unsigned,
         "18446744073709551615"},
        {"double", 1.5, Kind::Float, "1.500000"},
        {"float widened", 0.25f, Kind::Float, "0.250000"},
        {"C string", "text", Kind::String, "text"},
        {"null C string", static_cast<const char*>(nullptr), Kind::String, ""},
        {"string by reference", std::string("ref"), Kind::String, "ref"},
        {"string view", std::string_view("view"), Kind::String, "view"},
        {"bytes", Bytes({0xFF}), Kind::Blob, "/w=="},
        {"enum pair", BindingEnum{3, &StaticType::Name<Lane>()}, Kind::Enum, "3"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.value.Kind(), c.kind) << c.description;
        EXPECT_EQ(c.value.ToString(), c.text) << c.description;
    }
}

TEST(BindingPropertyTest, TypedGettersReturnTheFallbackForEveryOtherKind) {
    const BindingEnum lane{1, &StaticType::Name<Lane>()};
    const BindingBytes icon = Bytes({9});
    const BindingBytes fallbackBytes = Bytes({7, 7});
    const BindingEnum fallbackEnum{-1, &StaticType::Name<int>()};
    const BindingProperty values[] = {BindingProperty(),
                                      BindingProperty(true),
                                      BindingProperty(int32_t{-5}),
                                      BindingProperty(uint32_t{5}),
                                      BindingProperty(2.0),
                                      BindingProperty("x"),
                                      BindingProperty(icon),
                                      BindingProperty(lane),
                                      SampleTree()["items"],
                                      SampleTree()};
    for (const BindingProperty& value : values) {
        const std::string kind(value.KindName());
        const Kind k = value.Kind();
        EXPECT_EQ(value.GetBool(/*fallback=*/false), k == Kind::Bool) << kind;
        EXPECT_EQ(value.GetSigned(42), k == Kind::Signed ? -5 : 42) << kind;
        EXPECT_EQ(value.GetUnsigned(42), k == Kind::Unsigned ? 5u : 42u) << kind;
        EXPECT_EQ(value.GetDouble(0.5), k == Kind::Float ? 2.0 : 0.5) << kind;
        EXPECT_EQ(value.GetString("fallback"), k == Kind::String ? "x" : "fallback") << kind;
        EXPECT_EQ(value.GetBytes(fallbackBytes), k == Kind::Blob ? icon : fallbackBytes) << kind;
        EXPECT_EQ(value.GetEnum(fallbackEnum), k == Kind::Enum ? lane : fallbackEnum) << kind;
    }
}

TEST(BindingPropertyTest, DefaultFallbacksAreTheSharedEmptyPayloads) {
    const BindingProperty value;
    EXPECT_EQ(&value.GetBytes(), &BindingProperty::EmptyBytes());
    const BindingEnum pair = value.GetEnum();
    EXPECT_EQ(pair.value, 0);
    EXPECT_EQ(pair.type, &StaticTypeId::None());
}

TEST(BindingPropertyTest, KindNamesCoverTheTenKindsAndNothingElse) {
    const std::string_view expected[] = {"empty",  "bool", "signed", "unsigned",   "float",
                                         "string", "blob", "enum",   "collection", "structure"};
    for (uint8_t i = 0; i < 10; ++i) {
        EXPECT_EQ(BindingProperty::KindName(static_cast<Kind>(i)), expected[i]) << int{i};
    }
    EXPECT_EQ(BindingProperty::KindName(static_cast<Kind>(10)), "");
    EXPECT_EQ(BindingProperty::KindName(static_cast<Kind>(255)), "");
}

TEST(BindingPropertyTest, SizeCountsBytesElementsOrMembersAndOneForScalars) {
    struct Case {
        const char* description;
        BindingProperty value;
        size_t size;
    };
    const Case cases[] = {
        {"empty", BindingProperty(), 0},
        {"bool", false, 1},
        {"signed", int64_t{0}, 1},
        {"float", 0.0, 1},
        {"enum", BindingEnum{}, 1},
        {"string in bytes", "\xC3\xA9t\xC3\xA9", 5},
        {"string cut at NUL", std::string_view("ab\0cd", 5), 2},
        {"blob", Bytes({1, 2, 3, 4}), 4},
        {"collection", SampleTree()["items"], 2},
        {"structure", SampleTree(), 9},
    };
    for (const Case& c : cases) EXPECT_EQ(c.value.Size(), c.size) << c.description;
}

TEST(BindingPropertyTest, ToBoolFollowsTheKindRules) {
    struct Case {
        const char* description;
        BindingProperty value;
        bool expected;
    };
    BindingProperty emptyCollection;
    emptyCollection.MakeCollection();
    BindingProperty emptyStructure;
    emptyStructure.MakeStructure();
    const Case cases[] = {
        {"empty", BindingProperty(), false},
        {"true", true, true},
        {"signed zero", int64_t{0}, false},
        {"signed minus one", int64_t{-1}, true},
        {"unsigned one", uint64_t{1}, true},
        {"float zero", 0.0, false},
        {"float negative zero", -0.0, false},
        {"float NaN", std::nan(""), true},
        {"text true", "true", true},
        {"text 1", "1", true},
        {"text TRUE", "TRUE", false},
        {"text True", "True", false},
        {"text yes", "yes", false},
        {"text 2", "2", false},
        {"text true with space", "true ", false},
        {"text 1 with NUL tail", std::string_view("1\0x", 3), true},
        {"empty text", "", false},
        {"empty blob", BindingBytes(), false},
        {"blob", Bytes({0}), true},
        {"enum zero", BindingEnum{0, &StaticType::Name<Lane>()}, false},
        {"enum one", BindingEnum{1, &StaticType::Name<Lane>()}, true},
        {"empty collection", emptyCollection, false},
        {"collection", SampleTree()["items"], true},
        {"empty structure", emptyStructure, false},
        {"structure", SampleTree(), true},
    };
    for (const Case& c : cases) EXPECT_EQ(c.value.ToBool(), c.expected) << c.description;
}

TEST(BindingPropertyTest, ToStringFollowsTheKindRules) {
    struct Case {
        const char* description;
        BindingProperty value;
        std::string expected;
    };
    const Case cases[] = {
        {"false", false, "false"},
        {"signed -12", int64_t{-12}, "-12"},
        {"double 1.5", 1.5, "1.500000"},
        {"double rounds to six places", 2.0 / 3.0, "0.666667"},
        {"large double keeps every digit", 1e20, "100000000000000000000.000000"},
        {"negative double", -0.5, "-0.500000"},
        {"enum 3", BindingEnum{3, &StaticType::Name<Lane>()}, "3"},
        {"negative enum", BindingEnum{-7, &StaticType::Name<Lane>()}, "-7"},
        {"blob, no fill", Bytes({'M', 'a', 'n'}), "TWFu"},
        {"blob, one fill", Bytes({'M', 'a'}), "TWE="},
        {"blob, two fills", Bytes({'M'}), "TQ=="},
        {"blob, high bytes", Bytes({0xFB, 0xFF, 0xBF}), "+/+/"},
        {"empty blob", BindingBytes(), ""},
        {"collection", SampleTree()["items"], ""},
        {"structure", SampleTree(), ""},
    };
    for (const Case& c : cases) EXPECT_EQ(c.value.ToString(), c.expected) << c.description;
}

TEST(BindingPropertyTest, WritingAnElementGrowsACollectionWithEmptyElements) {
    BindingProperty value;
    value[3] = int64_t{9};
    ASSERT_EQ(value.Kind(), Kind::Collection);
    ASSERT_EQ(value.Size(), 4u);
    for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(value.Elements()[i].IsEmpty()) << i;
    EXPECT_EQ(value[3].GetSigned(), 9);
    EXPECT_FALSE(value[3].OwnsArena());
    EXPECT_EQ(value[3].Arena(), value.Arena());
}

TEST(BindingPropertyTest, WritingAccessDiscardsAnotherKind) {
    struct Case {
        const char* description;
        std::function<void(BindingProperty&)> write;
        Kind kind;
        size_t size;
        size_t interned;  // strings left in the arena
    };
    const Case cases[] = {
        {"element of a string", [](BindingProperty& v) { v[1] = true; }, Kind::Collection, 2, 0},
        {"member of a collection", [](BindingProperty& v) { v["a"] = true; }, Kind::Structure, 1,
         1},
        {"append to a bool", [](BindingProperty& v) { v.Append() = true; }, Kind::Collection, 1, 0},
        {"MakeCollection of a structure", [](BindingProperty& v) { v.MakeCollection(); },
         Kind::Collection, 0, 0},
        {"MakeStructure of a blob", [](BindingProperty& v) { v.MakeStructure(); }, Kind::Structure,
         0, 0},
    };
    const BindingProperty sources[] = {BindingProperty("abc"), SampleTree()["items"],
                                       BindingProperty(false), SampleTree(),
                                       BindingProperty(Bytes({1}))};
    for (size_t i = 0; i < std::size(cases); ++i) {
        BindingProperty value = sources[i];
        cases[i].write(value);
        EXPECT_EQ(value.Kind(), cases[i].kind) << cases[i].description;
        EXPECT_EQ(value.Size(), cases[i].size) << cases[i].description;
        EXPECT_EQ(value.Arena()->InternedCount(), cases[i].interned)
            << cases[i].description << ": the discarded content released its strings";
    }
}

TEST(BindingPropertyTest, MakeContainerKeepsAContainerOfTheSameKind) {
    BindingProperty tree = SampleTree();
    tree.MakeStructure();
    EXPECT_EQ(Trace(tree), kSampleTrace);
    BindingProperty items = tree["items"];
    items.MakeCollection();
    EXPECT_EQ(items.Size(), 2u);
}

TEST(BindingPropertyTest, MembersAreWalkedInByteOrderWhateverTheInsertionOrder) {
    BindingProperty value;
    // Inserted out of order; "\xC3\xA9" sorts after ASCII as an unsigned byte.
    for (const char* name : {"b", "\xC3\xA9", "a", "B", "ab", "", "a"}) value[name] = true;
    std::string names;
    for (const BindingMember& member : value.Members()) {
        names += '|';
        names += member.Name();
    }
    EXPECT_EQ(names, "||B|a|ab|b|\xC3\xA9");
}

TEST(BindingPropertyTest, VisitCallsTheSixteenOperationsInWalkOrder) {
    EXPECT_EQ(Trace(SampleTree()), kSampleTrace);
    BindingProperty value;
    value[1]["b"] = int64_t{1};
    value[1]["a"].MakeCollection();
    EXPECT_EQ(Trace(value), "[2 <0 empty 0> <1 {2 .a [0 ] ; .b signed(1) ; } 1> ]");
}

TEST(BindingPropertyTest, ReadOnlyAccessMissesGiveTheSharedEmptyValueAndChangeNothing) {
    struct Case {
        const char* description;
        BindingProperty value;
        std::function<const BindingProperty&(const BindingProperty&)> read;
    };
    const Case cases[] = {
        {"index 0 of a structure", SampleTree(),
         [](const BindingProperty& v) -> const BindingProperty& { return v[0]; }},
        {"member of a collection", SampleTree()["items"],
         [](const BindingProperty& v) -> const BindingProperty& { return v["items"]; }},
        {"index past the end", SampleTree()["items"],
         [](const BindingProperty& v) -> const BindingProperty& { return v[2]; }},
        {"missing member", SampleTree(),
         [](const BindingProperty& v) -> const BindingProperty& { return v["missing"]; }},
        {"member of a string", BindingProperty("text"),
         [](const BindingProperty& v) -> const BindingProperty& { return v["text"]; }},
    };
    for (const Case& c : cases) {
        const std::string before = Trace(c.value);
        const size_t sizeBefore = c.value.Size();
        EXPECT_EQ(&c.read(c.value), &BindingProperty::EmptyValue()) << c.description;
        EXPECT_EQ(Trace(c.value), before) << c.description;
        EXPECT_EQ(c.value.Size(), sizeBefore) << c.description;
    }
    EXPECT_TRUE(BindingProperty::EmptyValue().IsEmpty());
}

TEST(BindingPropertyTest, MemberNamesAreCutAtTheFirstNul) {
    BindingProperty value;
    value[std::string_view("a\0b", 3)] = int64_t{1};
    value[std::string_view("a\0c", 3)] = int64_t{2};
    ASSERT_EQ(value.Size(), 1u);
    EXPECT_EQ(value.Members()[0].Name(), "a");
    EXPECT_EQ(value["a"].GetSigned(), 2);
    EXPECT_NE(value.FindMember(std::string_view("a\0zzz", 5)), nullptr);
    EXPECT_EQ(value.FindMember("b"), nullptr);
}

TEST(BindingPropertyTest, EqualStringsOfOneTreeShareOneInternedEntry) {
    BindingProperty tree;
    tree["first"] = "Teemo";
    tree["second"] = std::string("Teemo");
    const PropertyArena* arena = tree.Arena();
    ASSERT_NE(arena, nullptr);
    EXPECT_EQ(tree["first"].GetString().data(), tree["second"].GetString().data());
    EXPECT_EQ(arena->InternedCount(), 3u) << "two names and one shared text";

    tree["first"].Clear();
    EXPECT_EQ(arena->InternedCount(), 3u) << "the second value still refers to the text";
    tree["second"].Clear();
    EXPECT_EQ(arena->InternedCount(), 2u) << "the text left the table with its last reference";
    tree.Clear();
    EXPECT_EQ(arena->InternedCount(), 0u);
    EXPECT_EQ(tree.Arena(), arena) << "clearing keeps the arena";
}

TEST(BindingPropertyTest, EmptyStringsNeedNoArena) {
    BindingProperty value = "";
    EXPECT_EQ(value.Kind(), Kind::String);
    EXPECT_EQ(value.Arena(), nullptr);
    value = std::string_view("\0tail", 5);
    EXPECT_EQ(value.GetString("x"), "");
    EXPECT_EQ(value.Arena(), nullptr);
}

// Many tests take == as their yardstick, so each of its rules is pinned here:
// a case per kind, and for containers per part that could be left out of
// the comparison (kind, count, order, member names, nested values).
TEST(BindingPropertyTest, EqualityComparesKindsPayloadsOrderAndMemberNames) {
    const auto list = [](std::initializer_list<BindingProperty> elements) {
        BindingProperty value;
        value.MakeCollection();
        for (const BindingProperty& element : elements) value.Append() = element;
        return value;
    };
    const auto structure =
        [](std::initializer_list<std::pair<const char*, BindingProperty>> members) {
            BindingProperty value;
            value.MakeStructure();
            for (const auto& [name, member] : members) value[name] = member;
            return value;
        };
    const BindingEnum top{0, &StaticType::Name<Lane>()};
    const BindingEnum jungle{1, &StaticType::Name<Lane>()};
    const BindingEnum otherTypeZero{0, &StaticType::Name<Kind>()};
    const double nan = std::nan("");
    struct Case {
        const char* description;
        BindingProperty left;
        BindingProperty right;
        bool equal;
    };
    const Case cases[] = {
        {"two empties", BindingProperty(), BindingProperty(), true},
        {"empty and false", BindingProperty(), false, false},
        {"equal bools", true, true, true},
        {"different bools", true, false, false},
        {"equal signed", int64_t{-1}, int64_t{-1}, true},
        {"different signed", int64_t{-1}, int64_t{-2}, false},
        {"signed and unsigned of one number", int64_t{5}, uint64_t{5}, false},
        {"equal unsigned", UINT64_MAX, UINT64_MAX, true},
        {"different unsigned", uint64_t{1}, uint64_t{2}, false},
        {"float and signed of one number", 1.0, int64_t{1}, false},
        {"equal floats", 0.5, 0.5, true},
        {"different floats", 0.5, 0.25, false},
        {"zero and negative zero", 0.0, -0.0, true},
        {"two NaNs", nan, nan, true},
        {"NaN and a number", nan, 1.0, false},
        {"equal strings", "ahri", "ahri", true},
        {"different strings", "ahri", "anivia", false},
        {"a string and its prefix", "ahri", "ahr", false},
        {"the empty string and the empty value", "", BindingProperty(), false},
        {"equal blobs", Bytes({1, 2}), Bytes({1, 2}), true},
        {"blobs differing in a byte", Bytes({1, 2}), Bytes({1, 3}), false},
        {"blobs differing in length", Bytes({1, 2}), Bytes({1}), false},
        {"a blob and a string of its bytes", Bytes({'a'}), "a", false},
        {"equal enums", jungle, jungle, true},
        {"enums differing in value", top, jungle, false},
        {"enums of one value and two types", top, otherTypeZero, false},
        {"an enum and its number", jungle, int64_t{1}, false},
        {"equal collections", list({1, "x"}), list({1, "x"}), true},
        {"collections in another order", list({1, 2}), list({2, 1}), false},
        {"a collection and its prefix", list({1, 2}), list({1}), false},
        {"an empty collection and an empty structure", list({}), structure({}), false},
        {"collections differing deep inside", list({list({1})}), list({list({2})}), false},
        {"equal structures", structure({{"x", 1}}), structure({{"x", 1}}), true},
        {"one value under two names", structure({{"x", 1}}), structure({{"y", 1}}), false},
        {"the second name differs", structure({{"a", 1}, {"b", 2}}),
         structure({{"a", 1}, {"c", 2}}), false},
        {"one name with two values", structure({{"x", 1}}), structure({{"x", 2}}), false},
        {"a structure and one with a member more", structure({{"x", 1}}),
         structure({{"x", 1}, {"y", BindingProperty()}}), false},
        {"names differing deep inside", structure({{"o", structure({{"x", 1}})}}),
         structure({{"o", structure({{"y", 1}})}}), false},
        {"a tree and its copy", SampleTree(), BindingProperty(SampleTree()), true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.left == c.right, c.equal) << c.description;
        EXPECT_EQ(c.right == c.left, c.equal) << c.description << ", the other way round";
        EXPECT_TRUE(c.left == c.left) << c.description << ", itself";
    }
}

TEST(BindingPropertyTest, CopyIsDeepAndIndependentOfTheSource) {
    BindingProperty source = SampleTree();
    BindingProperty copy = source;
    EXPECT_NE(copy.Arena(), source.Arena());
    EXPECT_EQ(Trace(copy), kSampleTrace);
    EXPECT_NE(copy["name"].GetString().data(), source["name"].GetString().data());

    source["items"][0] = "changed";
    source["extra"] = true;
    EXPECT_EQ(Trace(copy), kSampleTrace);

    BindingProperty assigned = int64_t{5};
    assigned = copy;
    EXPECT_EQ(Trace(assigned), kSampleTrace);
}

TEST(BindingPropertyTest, MovingARootIntoARootSwapsWithoutCopying) {
    BindingProperty source = SampleTree();
    const PropertyArena* sourceArena = source.Arena();
    const char* nameText = source["name"].GetString().data();
    BindingProperty destination = "old content";
    const PropertyArena* destinationArena = destination.Arena();

    destination = std::move(source);
    EXPECT_EQ(destination.Arena(), sourceArena);
    EXPECT_EQ(destination["name"].GetString().data(), nameText) << "no string was copied";
    EXPECT_EQ(Trace(destination), kSampleTrace);
    // NOLINTNEXTLINE(bugprone-use-after-move): the moved-from state is under test
    EXPECT_TRUE(source.IsEmpty());
    EXPECT_EQ(source.Arena(), destinationArena) << "the source holds the former arena";
    EXPECT_EQ(destinationArena->InternedCount(), 0u) << "the former content was released";

    BindingProperty constructed(std::move(destination));
    EXPECT_EQ(constructed.Arena(), sourceArena);
    // NOLINTNEXTLINE(bugprone-use-after-move): the moved-from state is under test
    EXPECT_EQ(destination.Arena(), nullptr);
    EXPECT_TRUE(destination.IsEmpty());
}

TEST(BindingPropertyTest, MovingATemporaryIntoAMemberCopiesItIntoTheTreeArena) {
    BindingProperty tree;
    tree["kept"] = "value";
    BindingProperty temporary = SampleTree();
    const PropertyArena* temporaryArena = temporary.Arena();

    tree["player"] = std::move(temporary);
    EXPECT_EQ(tree["player"].Arena(), tree.Arena());
    EXPECT_EQ(tree["player"]["items"][0].Arena(), tree.Arena());
    EXPECT_EQ(Trace(tree["player"]), kSampleTrace);
    // NOLINTNEXTLINE(bugprone-use-after-move): the moved-from state is under test
    EXPECT_TRUE(temporary.IsEmpty());
    EXPECT_EQ(temporary.Arena(), temporaryArena) << "the temporary keeps its own arena";
    EXPECT_EQ(temporaryArena->InternedCount(), 0u);
}

TEST(BindingPropertyTest, MovingAMemberOutOfATreeCopiesItAndEmptiesTheMember) {
    BindingProperty tree;
    tree["player"] = SampleTree();
    BindingProperty taken = std::move(tree["player"]);
    EXPECT_TRUE(taken.OwnsArena());
    EXPECT_NE(taken.Arena(), tree.Arena());
    EXPECT_EQ(Trace(taken), kSampleTrace);
    EXPECT_TRUE(tree["player"].IsEmpty());
    EXPECT_EQ(tree.Size(), 1u) << "the member itself stays";
}

// Assignments whose source lives inside the destination's tree or holds it.
// Each must end with the stated walk of the root and leave no string behind
// (the sanitizer build also catches any use after free here).
TEST(BindingPropertyTest, AssignmentsWithinOneTreeAreSafe) {
    struct Case {
        const char* description;
        std::function<void(BindingProperty&)> assign;
        std::string trace;
    };
    const Case cases[] = {
        {"root = its own member", [](BindingProperty& t) { t = t["items"]; },
         "[2 <0 string(boots) 0> <1 signed(3) 1> ]"},
        {"root = move of its own member", [](BindingProperty& t) { t = std::move(t["items"]); },
         "[2 <0 string(boots) 0> <1 signed(3) 1> ]"},
        {"member = the root holding it",
         [](BindingProperty& t) {
             t = t["items"];
             t[1] = t;
         },
         "[2 <0 string(boots) 0> <1 [2 <0 string(boots) 0> <1 signed(3) 1> ] 1> ]"},
        {"member = move of the root holding it",
         [](BindingProperty& t) { t["items"][0] = std::move(t); }, "empty"},
        {"member = move of a sibling",
         [](BindingProperty& t) {
             t = t["items"];
             t[1] = std::move(t[0]);
         },
         "[2 <0 empty 0> <1 string(boots) 1> ]"},
        {"member = move of its own descendant",
         [](BindingProperty& t) {
             t = t["items"];
             t[0] = SampleTree();
             t[0] = std::move(t[0]["name"]);
         },
         "[2 <0 string(Ahri) 0> <1 signed(3) 1> ]"},
        {"self copy of a member",
         [](BindingProperty& t) {
             t = t["items"];
             BindingProperty& first = t[0];
             const BindingProperty& same = first;
             first = same;
         },
         "[2 <0 string(boots) 0> <1 signed(3) 1> ]"},
        {"self move of a member",
         [](BindingProperty& t) {
             t = t["items"];
             BindingProperty& first = t[0];
             BindingProperty& same = first;
             first = std::move(same);
         },
         "[2 <0 string(boots) 0> <1 signed(3) 1> ]"},
        {"root = view of its own text", [](BindingProperty& t) { t = t["name"].GetString(); },
         "string(Ahri)"},
        {"root = its own bytes", [](BindingProperty& t) { t = t["icon"].GetBytes(); }, "blob(3)"},
    };
    for (const Case& c : cases) {
        BindingProperty tree = SampleTree();
        c.assign(tree);
        EXPECT_EQ(Trace(tree), c.trace) << c.description;
        tree.Clear();
        EXPECT_EQ(tree.Arena()->InternedCount(), 0u) << c.description;
    }
}

TEST(BindingPropertyTest, CountsAboveTheLimitThrowTheLengthError) {
    BindingProperty value;
    value.MakeCollection();
    EXPECT_THROW(value.Reserve(BindingProperty::kMaxCount + 1), std::length_error);
    EXPECT_THROW(value.Reserve(SIZE_MAX), std::length_error);
    EXPECT_EQ(value.Size(), 0u);
    EXPECT_NO_THROW(value.Reserve(1000));
    EXPECT_EQ(value.Size(), 0u) << "reserving adds no element";
    BindingProperty scalar = true;
    EXPECT_NO_THROW(scalar.Reserve(10));
    EXPECT_EQ(scalar.Kind(), Kind::Bool) << "reserve acts on collections only";
}

TEST(BindingPropertyTest, IndicesAtOrAboveTheLimitThrowTheLengthErrorWithoutWrapping) {
    // The last index that fits is kMaxCount - 1; writing it would need gigabytes.
    struct Case {
        const char* description;
        size_t index;
    };
    const Case cases[] = {
        {"the limit itself", BindingProperty::kMaxCount},
        {"one above", BindingProperty::kMaxCount + 1},
        {"the top bit of a word", size_t{1} << (sizeof(size_t) * 8 - 1)},
        {"one below the largest index", SIZE_MAX - 1},
        {"the largest index, whose successor wraps to 0", SIZE_MAX},
    };
    for (const Case& c : cases) {
        BindingProperty collection;
        collection[size_t{1}] = "kept";
        EXPECT_THROW(static_cast<void>(collection[c.index]), std::length_error) << c.description;
        EXPECT_EQ(collection.Size(), 2u) << c.description;
        EXPECT_EQ(collection[size_t{1}].GetString(), "kept") << c.description;

        BindingProperty scalar = int64_t{7};
        EXPECT_THROW(static_cast<void>(scalar[c.index]), std::length_error) << c.description;
        EXPECT_EQ(scalar.GetSigned(), 7) << c.description << ": refused before the kind changes";
    }
}

TEST(BindingPropertyTest, ClearKeepsTheArenaAndOwnership) {
    BindingProperty tree = SampleTree();
    const PropertyArena* arena = tree.Arena();
    tree.Clear();
    EXPECT_TRUE(tree.IsEmpty());
    EXPECT_EQ(tree.Arena(), arena);
    EXPECT_TRUE(tree.OwnsArena());
    EXPECT_EQ(arena->PagesHeld(), 0u);
}

BindingProperty BigTree() {
    BindingProperty tree;
    for (int p = 0; p < 10; ++p) {
        BindingProperty& participant = tree["participants"].Append();
        for (int m = 0; m < 100; ++m) {
            participant["stat" + std::to_string(m)] = int64_t{m} * p;
        }
        participant["name"] = "player" + std::to_string(p);
        participant["icon"] = Bytes({1, 2, 3, 4, 5});
        for (int e = 0; e < 50; ++e) participant["events"].Append()["type"] = "KILL";
    }
    return tree;
}

TEST(BindingPropertyTest, DestroyingABigTreeReturnsPagesAndHeapToTheirStart) {
    const internal::PageSourceCounters pagesBefore = internal::PageSource::Instance().Counters();
    const MemoryStats heapBefore = ReadMemoryStats();
    {
        BindingProperty tree = BigTree();
        // NOLINTNEXTLINE(performance-unnecessary-copy-initialization): pages for a second tree
        const BindingProperty copy = tree;
        EXPECT_GT(internal::PageSource::Instance().Counters().pagesInUse, pagesBefore.pagesInUse);
        EXPECT_GT(tree.Arena()->PagesHeld(), 0u);
        EXPECT_GT(copy.Arena()->PagesHeld(), 0u);
    }
    const internal::PageSourceCounters pagesAfter = internal::PageSource::Instance().Counters();
    EXPECT_EQ(pagesAfter.pagesInUse, pagesBefore.pagesInUse);
    EXPECT_EQ(pagesAfter.regionsMapped, pagesBefore.regionsMapped);
    const MemoryStats heapAfter = ReadMemoryStats();
    EXPECT_GT(heapAfter.allocations, heapBefore.allocations);
    EXPECT_EQ(heapAfter.allocations - heapBefore.allocations, heapAfter.frees - heapBefore.frees);
    EXPECT_EQ(heapAfter.bytesAllocated - heapBefore.bytesAllocated,
              heapAfter.bytesFreed - heapBefore.bytesFreed);
}

TEST(BindingPropertyTest, ATreeCostsFarFewerHeapAllocationsThanNodes) {
    const MemoryStats before = ReadMemoryStats();
    const BindingProperty tree = BigTree();
    const uint64_t allocations = ReadMemoryStats().allocations - before.allocations;
    // About 10 * (100 + 2 + 1 + 50 * 2) nodes.
    EXPECT_LT(allocations, 2030u / 10) << allocations << " allocations";
}

// Each thread owns its trees; the page source is the one piece they share.
// scripts/check.sh runs it under ThreadSanitizer as well as in the normal build.
TEST(BindingPropertyTest, TreesOnTwoThreadsShareOnlyThePageSource) {
    const internal::PageSourceCounters before = internal::PageSource::Instance().Counters();
    const MemoryStats heapBefore = ReadMemoryStats();
    const auto work = [] {
        for (int round = 0; round < 20; ++round) {
            BindingProperty tree = BigTree();
            BindingProperty copy = tree;
            copy["participants"][3]["name"] = "changed";
            BindingProperty moved = std::move(copy);
            tree.Clear();
        }
    };
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i) threads.emplace_back(work);
    for (std::thread& thread : threads) thread.join();
    const internal::PageSourceCounters after = internal::PageSource::Instance().Counters();
    EXPECT_EQ(after.pagesInUse, before.pagesInUse);
    EXPECT_EQ(after.regionsMapped, before.regionsMapped);
    const MemoryStats heapAfter = ReadMemoryStats();
    EXPECT_EQ(heapAfter.allocations - heapBefore.allocations, heapAfter.frees - heapBefore.frees);
}

}  // namespace
}  // namespace Nimbel
