#include "binding/core_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <string>

#include "binding/binding_status.h"
#include "diagnostics/allocator.h"

namespace Nimbel {
namespace {

enum class Outcome : int32_t { Succeeded = 4, Failed = 5 };

class FakeEnumNames final : public EnumNameLookup {
public:
    std::optional<std::string_view> EnumeratorName(const StaticTypeId& type,
                                                   int32_t value) const override {
        if (type == StaticType::Name<Outcome>() && value == 5) return "Failed";
        return std::nullopt;
    }
};

// Releases a record at the end of a test, so leaks show in the sanitizer run.
struct OwnedCoreValue {
    CoreValue value{};
    ~OwnedCoreValue() { CoreValueRelease(value); }
};

BindingProperty RoundTrip(const BindingProperty& source, const EnumNameLookup* names = nullptr) {
    OwnedCoreValue core;
    PropertyToCoreValue(core.value, source, names);
    BindingProperty back;
    EXPECT_TRUE(CoreValueToProperty(nullptr, back, core.value, "<result>"));
    return back;
}

TEST(CoreValueTest, SixtyFourBitNumbersSplitLowWordAThenHighWordB) {
    CoreValue value{};
    CoreValueSetSigned(value, -2);
    EXPECT_EQ(value.kind, 2u);
    EXPECT_EQ(value.a, 0xFFFFFFFEu);
    EXPECT_EQ(value.b, 0xFFFFFFFFu);
    CoreValueSetUnsigned(value, 0x123456789ABCDEF0ull);
    EXPECT_EQ(value.a, 0x9ABCDEF0u);
    EXPECT_EQ(value.b, 0x12345678u);
    CoreValueSetDouble(value, 1.5); // 0x3FF8000000000000
    EXPECT_EQ(value.a, 0u);
    EXPECT_EQ(value.b, 0x3FF80000u);
    CoreValueRelease(value);
}

TEST(CoreValueTest, ValuesOfEveryKindSurviveARoundTrip) {
    BindingProperty tree;
    tree["bool"] = true;
    tree["signed"] = int64_t{-9'000'000'000};
    tree["unsigned"] = uint64_t{18'446'744'073'709'551'615u};
    tree["float"] = -0.25;
    tree["nan"] = std::nan("");
    tree["string"] = "text with ünïcode";
    tree["blob"] = BindingBytes{0, 1, 255};
    static_cast<void>(tree["empty"]);
    tree["list"][2] = "third";
    tree["nested"]["deeper"]["x"] = 1;
    EXPECT_TRUE(RoundTrip(tree) == tree);
}

TEST(CoreValueTest, BorrowedAndOwnedTextsReadAlikeAndOnlyOwnedOnesAreFreed) {
    const char* text = "same";
    CoreValue borrowed{kCoreValueStringBorrowed, reinterpret_cast<KzoWord>(text), 0};
    OwnedCoreValue owned;
    CoreValueSetOwnedString(owned.value, text);
    BindingProperty a;
    BindingProperty b;
    ASSERT_TRUE(CoreValueToProperty(nullptr, a, borrowed, "<result>"));
    ASSERT_TRUE(CoreValueToProperty(nullptr, b, owned.value, "<result>"));
    EXPECT_EQ(a.GetString(), "same");
    EXPECT_TRUE(a == b);
    EXPECT_EQ(owned.value.b, 4u);

    const MemoryStats before = ReadMemoryStats();
    CoreValueRelease(borrowed);
    EXPECT_EQ(ReadMemoryStats().frees, before.frees) << "a borrowed text is not the record's";
    EXPECT_EQ(borrowed.kind, 0u);
}

TEST(CoreValueTest, StructureEntriesComeInNameOrderWithOwnedNames) {
    BindingProperty tree;
    tree["b"] = 2;
    tree["a"] = 1;
    OwnedCoreValue core;
    PropertyToCoreValue(core.value, tree, nullptr);
    ASSERT_EQ(core.value.kind, 10u);
    ASSERT_EQ(core.value.b, 2u);
    const auto* entries = reinterpret_cast<const CoreStructEntry*>(core.value.a);
    EXPECT_STREQ(entries[0].name, "a");
    EXPECT_STREQ(entries[1].name, "b");
    EXPECT_EQ(entries[0].ownsName, 1);
    EXPECT_EQ(entries[1].ownsName, 1);
}

TEST(CoreValueTest, EnumsBecomeTheirNamesOnlyWhenTheRegistryKnowsThem) {
    const FakeEnumNames names;
    struct Case {
        const char* description;
        BindingEnum pair;
        const EnumNameLookup* lookup;
        KzoWord kind;
    };
    const Case cases[] = {
        {"named", {5, &StaticType::Name<Outcome>()}, &names, kCoreValueStringOwned},
        {"no registry", {5, &StaticType::Name<Outcome>()}, nullptr, kCoreValueSigned},
        {"no enumerator with that value", {-7, &StaticType::Name<Outcome>()}, &names, kCoreValueSigned},
    };
    for (const Case& c : cases) {
        OwnedCoreValue core;
        PropertyToCoreValue(core.value, BindingProperty(c.pair), c.lookup);
        EXPECT_EQ(core.value.kind, c.kind) << c.description;
        if (c.kind == kCoreValueStringOwned) {
            EXPECT_STREQ(reinterpret_cast<const char*>(core.value.a), "Failed");
        } else {
            EXPECT_EQ(static_cast<int64_t>(CoreValueBits(core.value)), c.pair.value) << c.description;
        }
    }
}

TEST(CoreValueTest, AnUnknownKindFailsInTheResultRecordAfterEarlierElements) {
    CoreValue elements[3] = {};
    CoreValueSetSigned(elements[0], 1);
    CoreValueSetSigned(elements[1], 2);
    elements[2].kind = 11;
    const CoreValue collection{kCoreValueCollection, reinterpret_cast<KzoWord>(elements), 3};

    alignas(KzoWord) CoreResponse result{};
    CoreValueSetBool(result.value, true);
    BindingProperty target;
    EXPECT_FALSE(CoreValueToProperty(&result, target, collection, "<result>"));
    ASSERT_NE(result.errorText, nullptr);
    EXPECT_STREQ(result.errorText,
                 "Couldn't assign value to '<result>' of type object because the input is of an "
                 "incompatible type ''.");
    EXPECT_EQ(result.ownsErrorText, 1);
    EXPECT_EQ(result.value.kind, 0u) << "the record's value is released";
    EXPECT_EQ(target.Size(), 3u);
    EXPECT_EQ(target[size_t{0}].GetSigned(), 1);
    EXPECT_EQ(target[size_t{1}].GetSigned(), 2);
    CoreResultReleaseError(result);
}

TEST(CoreValueTest, NullPointersReadAsEmptyInsteadOfCrashing) {
    struct Case {
        const char* description;
        CoreValue value;
        BindingPropertyKind kind;
    };
    const Case cases[] = {
        {"borrowed text", {kCoreValueStringBorrowed, 0, 0}, BindingPropertyKind::String},
        {"owned text", {kCoreValueStringOwned, 0, 5}, BindingPropertyKind::String},
        {"blob", {kCoreValueBlobBorrowed, 0, 9}, BindingPropertyKind::Blob},
        {"collection", {kCoreValueCollection, 0, 0}, BindingPropertyKind::Collection},
        {"collection with a count", {kCoreValueCollection, 0, 4}, BindingPropertyKind::Collection},
        {"structure", {kCoreValueStructure, 0, 0}, BindingPropertyKind::Structure},
    };
    for (const Case& c : cases) {
        BindingProperty target;
        EXPECT_TRUE(CoreValueToProperty(nullptr, target, c.value, "<result>")) << c.description;
        EXPECT_EQ(target.Kind(), c.kind) << c.description;
        EXPECT_EQ(target.Size(), 0u) << c.description;
    }
}

TEST(CoreValueTest, ReleaseFreesOnlyOwnedNamesAndCountersReturnToTheirStart) {
    const MemoryStats before = ReadMemoryStats();
    {
        auto* entries = static_cast<CoreStructEntry*>(Allocate(2 * sizeof(CoreStructEntry)));
        std::memset(entries, 0, 2 * sizeof(CoreStructEntry));
        entries[0].name = "static name"; // not owned: freeing it would crash
        CoreValueSetOwnedString(entries[0].value, "owned");
        entries[1].name = "another";
        CoreValueSetUnsigned(entries[1].value, 7);
        CoreValue structure{};
        CoreValueSetStructure(structure, entries, 2);
        CoreValueRelease(structure);
    }
    {
        BindingProperty tree;
        tree["list"][3]["name"] = "value";
        tree["bytes"] = BindingBytes(100, 7);
        OwnedCoreValue core;
        PropertyToCoreValue(core.value, tree, nullptr);
    }
    const MemoryStats after = ReadMemoryStats();
    EXPECT_EQ(after.allocations - before.allocations, after.frees - before.frees);
    EXPECT_EQ(after.bytesAllocated - before.bytesAllocated, after.bytesFreed - before.bytesFreed);
}

TEST(CoreValueTest, NestingBeyondTheLimitIsRefusedWithoutExhaustingTheStack) {
    constexpr int kLevels = 100'000;
    std::vector<CoreValue> chain(kLevels);
    for (int i = 0; i + 1 < kLevels; ++i) {
        chain[i] = CoreValue{kCoreValueCollection, reinterpret_cast<KzoWord>(&chain[i + 1]), 1};
    }
    BindingProperty target;
    alignas(KzoWord) CoreResponse result{};
    EXPECT_FALSE(CoreValueToProperty(&result, target, chain[0], "<result>"));
    ASSERT_NE(result.errorText, nullptr);
    EXPECT_STREQ(result.errorText,
                 "Couldn't assign value to '<result>' because the input is nested deeper than "
                 "1000 levels.");
    CoreResultReleaseError(result);

    BindingProperty shallow;
    EXPECT_TRUE(CoreValueToProperty(nullptr, shallow, chain[kLevels - 1000], "<result>"));
}

} // namespace
} // namespace Nimbel
