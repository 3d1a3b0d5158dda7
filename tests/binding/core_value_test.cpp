#include "binding/core_value.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "binding/binding_status.h"
#include "binding/owned_core_value.h"
#include "diagnostics/allocator.h"
#include "tests/codecs/small_stack.h"

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

BindingProperty RoundTrip(const BindingProperty& source, const EnumNameLookup* names = nullptr) {
    OwnedCoreValue core;
    PropertyToCoreValue(core.Get(), source, names);
    BindingProperty back;
    EXPECT_TRUE(CoreValueToProperty(nullptr, back, core.Get(), "<result>"));
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
    CoreValueSetDouble(value, 1.5);  // 0x3FF8000000000000
    EXPECT_EQ(value.a, 0u);
    EXPECT_EQ(value.b, 0x3FF80000u);
    CoreValueRelease(value);
}

// Word A holds the low 32 bits and word B the high 32 bits, whatever else a
// machine word wider than 32 bits carries above them.
TEST(CoreValueTest, SixtyFourBitNumbersReadBackFromTheLow32BitsOfWordsAAndB) {
    constexpr KzoWord kGarbage = ~KzoWord{0xFFFFFFFFu};  // every bit above bit 31
    struct Case {
        const char* description;
        CoreValue value;
        BindingProperty expected;
    };
    const Case cases[] = {
        {"signed, clean words", {kCoreValueSigned, 5, 0}, int64_t{5}},
        {"signed, garbage above A", {kCoreValueSigned, kGarbage | 5u, 0}, int64_t{5}},
        {"signed, garbage above B", {kCoreValueSigned, 5, kGarbage}, int64_t{5}},
        {"signed -1, garbage above both",
         {kCoreValueSigned, kGarbage | 0xFFFFFFFFu, kGarbage | 0xFFFFFFFFu},
         int64_t{-1}},
        {"signed, A's bit 31 is not a sign",
         {kCoreValueSigned, 0x80000000u, 0},
         int64_t{0x80000000}},
        {"signed lowest",
         {kCoreValueSigned, kGarbage, kGarbage | 0x80000000u},
         std::numeric_limits<int64_t>::lowest()},
        {"unsigned, garbage above A", {kCoreValueUnsigned, kGarbage | 5u, 0}, uint64_t{5}},
        {"unsigned, garbage above B",
         {kCoreValueUnsigned, 0x9ABCDEF0u, kGarbage | 0x12345678u},
         uint64_t{0x123456789ABCDEF0u}},
        {"unsigned maximum",
         {kCoreValueUnsigned, 0xFFFFFFFFu, 0xFFFFFFFFu},
         std::numeric_limits<uint64_t>::max()},
        {"double 1.5, garbage above A", {kCoreValueDouble, kGarbage, 0x3FF80000u}, 1.5},
        {"double 1.5, garbage above B", {kCoreValueDouble, 0, kGarbage | 0x3FF80000u}, 1.5},
        {"double with a low word", {kCoreValueDouble, kGarbage | 1u, 0x3FF00000u}, 1.0 + 0x1p-52},
        {"bool reads A's low byte alone", {kCoreValueBool, 0x100u, 1}, false},
        {"bool true", {kCoreValueBool, kGarbage | 1u, 0}, true},
        {"bool true from any bit of the low byte", {kCoreValueBool, 0x80u, 0}, true},
        {"bool true from the low byte's second bit", {kCoreValueBool, 2, 0}, true},
    };
    for (const Case& c : cases) {
        BindingProperty target;
        ASSERT_TRUE(CoreValueToProperty(nullptr, target, c.value, "<result>")) << c.description;
        EXPECT_TRUE(target == c.expected) << c.description << ": " << target.ToString()
                                          << " instead of " << c.expected.ToString();
    }
}

// The writing side of each kind on its own: a round trip alone would not
// notice a kind written as another that reads back alike (an owned string
// as a borrowed one, which would leak).
TEST(CoreValueTest, EachKindIsWrittenAsItsOwnRecord) {
    BindingProperty list;
    list[size_t{2}] = 1;
    BindingProperty structure;
    structure["a"] = 1;
    struct Case {
        const char* description;
        BindingProperty value;
        KzoWord kind;
        KzoWord b;  // the high word, length or count
    };
    const Case cases[] = {
        {"empty", BindingProperty(), kCoreValueEmpty, 0},
        {"bool", true, kCoreValueBool, 0},
        {"signed", int64_t{-2}, kCoreValueSigned, 0xFFFFFFFFu},
        {"unsigned", uint64_t{1} << 32, kCoreValueUnsigned, 1},
        {"float", 2.0, kCoreValueDouble, 0x40000000u},
        {"string, owned", "abc", kCoreValueStringOwned, 3},
        {"empty string, owned", "", kCoreValueStringOwned, 0},
        {"blob, owned", BindingBytes{1, 2}, kCoreValueBlobOwned, 2},
        {"enum without a registry", BindingEnum{-3, &StaticType::Name<Outcome>()}, kCoreValueSigned,
         0xFFFFFFFFu},
        {"collection", list, kCoreValueCollection, 3},
        {"structure", structure, kCoreValueStructure, 1},
    };
    for (const Case& c : cases) {
        OwnedCoreValue core;
        PropertyToCoreValue(core.Get(), c.value, nullptr);
        EXPECT_EQ(core.Get().kind, c.kind) << c.description;
        EXPECT_EQ(core.Get().b, c.b) << c.description;
        if (c.kind == kCoreValueBool) {
            EXPECT_EQ(core.Get().a, 1u) << c.description;
        }
        if (c.kind == kCoreValueStringOwned) {
            EXPECT_STREQ(reinterpret_cast<const char*>(core.Get().a), c.value.GetString().data())
                << c.description;
        }
    }
}

// The reading side of the kinds a round trip never makes: borrowed texts and
// blobs, and owned ones filled by someone else.
TEST(CoreValueTest, BorrowedAndOwnedTextsAndBlobsReadAlike) {
    const char text[] = "text";
    const uint8_t bytes[] = {0, 255, 7};
    const auto word = [](const void* pointer) { return reinterpret_cast<KzoWord>(pointer); };
    struct Case {
        const char* description;
        CoreValue value;
        BindingProperty expected;
    };
    const Case cases[] = {
        {"borrowed text, B not read", {kCoreValueStringBorrowed, word(text), 99}, "text"},
        {"owned text, read to its NUL", {kCoreValueStringOwned, word(text), 2}, "text"},
        {"borrowed blob", {kCoreValueBlobBorrowed, word(bytes), 3}, BindingBytes{0, 255, 7}},
        {"owned blob, B bytes of it", {kCoreValueBlobOwned, word(bytes), 2}, BindingBytes{0, 255}},
        {"blob of no bytes", {kCoreValueBlobBorrowed, word(bytes), 0}, BindingBytes{}},
    };
    for (const Case& c : cases) {
        BindingProperty target;
        ASSERT_TRUE(CoreValueToProperty(nullptr, target, c.value, "<result>")) << c.description;
        EXPECT_TRUE(target == c.expected) << c.description;
    }
}

TEST(CoreValueTest, KindNamesCoverTheElevenKindsAndNothingElse) {
    const std::pair<KzoWord, const char*> cases[] = {
        {kCoreValueEmpty, ""},
        {kCoreValueBool, "bool"},
        {kCoreValueSigned, "signed"},
        {kCoreValueUnsigned, "unsigned"},
        {kCoreValueDouble, "float"},
        {kCoreValueStringBorrowed, "string"},
        {kCoreValueStringOwned, "string"},
        {kCoreValueBlobBorrowed, "blob"},
        {kCoreValueBlobOwned, "blob"},
        {kCoreValueCollection, "collection"},
        {kCoreValueStructure, "structure"},
        {11, ""},
        {~KzoWord{0}, ""},
    };
    for (const auto& [kind, name] : cases) EXPECT_EQ(CoreValueKindName(kind), name) << kind;
}

// Each setter releases what the record held, whichever owned kind that was;
// the counters show every block given back.
TEST(CoreValueTest, EverySetterReleasesTheRecordFirst) {
    using Setter = void (*)(CoreValue&);
    const std::pair<const char*, Setter> setters[] = {
        {"bool", [](CoreValue& v) { CoreValueSetBool(v, true); }},
        {"signed", [](CoreValue& v) { CoreValueSetSigned(v, -1); }},
        {"unsigned", [](CoreValue& v) { CoreValueSetUnsigned(v, 1); }},
        {"double", [](CoreValue& v) { CoreValueSetDouble(v, 0.5); }},
        {"owned string", [](CoreValue& v) { CoreValueSetOwnedString(v, "new"); }},
        {"owned blob",
         [](CoreValue& v) {
             const uint8_t byte = 1;
             CoreValueSetOwnedBlob(v, &byte, 1);
         }},
        {"collection", [](CoreValue& v) { CoreValueSetCollection(v, nullptr, 0); }},
        {"structure", [](CoreValue& v) { CoreValueSetStructure(v, nullptr, 0); }},
    };
    BindingProperty tree;
    tree["list"][size_t{1}] = "x";
    const std::pair<const char*, BindingProperty> held[] = {
        {"an owned string", "old"},
        {"an owned blob", BindingBytes{1, 2, 3}},
        {"a collection", tree["list"]},
        {"a structure", tree},
    };
    for (const auto& [heldName, value] : held) {
        for (const auto& [setterName, set] : setters) {
            const MemoryStats before = ReadMemoryStats();
            {
                OwnedCoreValue core;
                PropertyToCoreValue(core.Get(), value, nullptr);
                set(core.Get());
            }
            const MemoryStats after = ReadMemoryStats();
            EXPECT_EQ(after.allocations - before.allocations, after.frees - before.frees)
                << setterName << " over " << heldName;
        }
    }
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

// A 64-bit number crosses as two 32-bit halves in words of either size: every
// bit of the extremes arrives, none above bit 31 of a word is set, and the
// same number comes back. Doubles are compared by their bits, so a NaN's
// payload and sign, a zero's sign and a denormal are each seen.
TEST(CoreValueTest, SixtyFourBitExtremesCrossInTwoHalvesAndComeBackBitForBit) {
    const auto bitsOf = [](double value) {
        uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        return bits;
    };
    const auto doubleOf = [](uint64_t bits) {
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    };
    struct Case {
        const char* description;
        BindingProperty value;
        KzoWord kind;
        uint64_t bits;
    };
    const Case cases[] = {
        {"int64 lowest", std::numeric_limits<int64_t>::lowest(), kCoreValueSigned,
         0x8000000000000000u},
        {"int64 highest", std::numeric_limits<int64_t>::max(), kCoreValueSigned,
         0x7FFFFFFFFFFFFFFFu},
        {"int64 -1", int64_t{-1}, kCoreValueSigned, 0xFFFFFFFFFFFFFFFFu},
        {"int64 -2^32", int64_t{-0x100000000}, kCoreValueSigned, 0xFFFFFFFF00000000u},
        {"int64 2^31, not a sign in word A", int64_t{0x80000000}, kCoreValueSigned, 0x80000000u},
        {"uint64 highest", std::numeric_limits<uint64_t>::max(), kCoreValueUnsigned,
         0xFFFFFFFFFFFFFFFFu},
        {"uint64 2^32", uint64_t{0x100000000}, kCoreValueUnsigned, 0x100000000u},
        {"uint64 2^32 - 1", uint64_t{0xFFFFFFFF}, kCoreValueUnsigned, 0xFFFFFFFFu},
        {"uint64 2^63", uint64_t{0x8000000000000000}, kCoreValueUnsigned, 0x8000000000000000u},
        {"double highest", std::numeric_limits<double>::max(), kCoreValueDouble,
         0x7FEFFFFFFFFFFFFFu},
        {"double lowest", std::numeric_limits<double>::lowest(), kCoreValueDouble,
         0xFFEFFFFFFFFFFFFFu},
        {"double smallest normal", std::numeric_limits<double>::min(), kCoreValueDouble,
         0x0010000000000000u},
        {"double largest denormal", doubleOf(0x000FFFFFFFFFFFFFu), kCoreValueDouble,
         0x000FFFFFFFFFFFFFu},
        {"double smallest denormal", std::numeric_limits<double>::denorm_min(), kCoreValueDouble,
         0x1u},
        {"double negative denormal", -std::numeric_limits<double>::denorm_min(), kCoreValueDouble,
         0x8000000000000001u},
        {"double negative zero", -0.0, kCoreValueDouble, 0x8000000000000000u},
        {"double infinity", std::numeric_limits<double>::infinity(), kCoreValueDouble,
         0x7FF0000000000000u},
        {"double negative infinity", -std::numeric_limits<double>::infinity(), kCoreValueDouble,
         0xFFF0000000000000u},
        {"double quiet NaN with a payload", doubleOf(0x7FF8000000000001u), kCoreValueDouble,
         0x7FF8000000000001u},
        {"double negative quiet NaN with a high payload", doubleOf(0xFFFC0000DEADBEEFu),
         kCoreValueDouble, 0xFFFC0000DEADBEEFu},
    };
    for (const Case& c : cases) {
        OwnedCoreValue core;
        PropertyToCoreValue(core.Get(), c.value, nullptr);
        EXPECT_EQ(core.Get().kind, c.kind) << c.description;
        EXPECT_EQ(uint64_t{core.Get().a}, c.bits & 0xFFFFFFFFu) << c.description << ": word A";
        EXPECT_EQ(uint64_t{core.Get().b}, c.bits >> 32) << c.description << ": word B";

        BindingProperty back;
        ASSERT_TRUE(CoreValueToProperty(nullptr, back, core.Get(), "<result>")) << c.description;
        EXPECT_EQ(back.Kind(), c.value.Kind()) << c.description;
        if (c.kind == kCoreValueSigned) {
            EXPECT_EQ(static_cast<uint64_t>(back.GetSigned()), c.bits) << c.description;
        } else if (c.kind == kCoreValueUnsigned) {
            EXPECT_EQ(back.GetUnsigned(), c.bits) << c.description;
        } else {
            EXPECT_EQ(bitsOf(back.GetDouble()), c.bits) << c.description;
        }
    }
}

TEST(CoreValueTest, BorrowedAndOwnedTextsReadAlikeAndOnlyOwnedOnesAreFreed) {
    const char* text = "same";
    CoreValue borrowed{kCoreValueStringBorrowed, reinterpret_cast<KzoWord>(text), 0};
    OwnedCoreValue owned;
    CoreValueSetOwnedString(owned.Get(), text);
    BindingProperty a;
    BindingProperty b;
    ASSERT_TRUE(CoreValueToProperty(nullptr, a, borrowed, "<result>"));
    ASSERT_TRUE(CoreValueToProperty(nullptr, b, owned.Get(), "<result>"));
    EXPECT_EQ(a.GetString(), "same");
    EXPECT_TRUE(a == b);
    EXPECT_EQ(owned.Get().b, 4u);

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
    PropertyToCoreValue(core.Get(), tree, nullptr);
    ASSERT_EQ(core.Get().kind, 10u);
    ASSERT_EQ(core.Get().b, 2u);
    const auto* entries = reinterpret_cast<const CoreStructEntry*>(core.Get().a);
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
        {"no enumerator with that value",
         {-7, &StaticType::Name<Outcome>()},
         &names,
         kCoreValueSigned},
    };
    for (const Case& c : cases) {
        OwnedCoreValue core;
        PropertyToCoreValue(core.Get(), BindingProperty(c.pair), c.lookup);
        EXPECT_EQ(core.Get().kind, c.kind) << c.description;
        if (c.kind == kCoreValueStringOwned) {
            EXPECT_STREQ(reinterpret_cast<const char*>(core.Get().a), "Failed");
        } else {
            EXPECT_EQ(static_cast<int64_t>(CoreValueBits(core.Get())), c.pair.value)
                << c.description;
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

TEST(CoreValueTest, NullTextsAndEmptyNullArraysReadAsEmpty) {
    struct Case {
        const char* description;
        CoreValue value;
        BindingPropertyKind kind;
    };
    const Case cases[] = {
        {"borrowed text", {kCoreValueStringBorrowed, 0, 0}, BindingPropertyKind::String},
        {"owned text, whose length is not read",
         {kCoreValueStringOwned, 0, 5},
         BindingPropertyKind::String},
        {"borrowed blob", {kCoreValueBlobBorrowed, 0, 0}, BindingPropertyKind::Blob},
        {"owned blob", {kCoreValueBlobOwned, 0, 0}, BindingPropertyKind::Blob},
        {"collection", {kCoreValueCollection, 0, 0}, BindingPropertyKind::Collection},
        {"structure", {kCoreValueStructure, 0, 0}, BindingPropertyKind::Structure},
    };
    for (const Case& c : cases) {
        BindingProperty target;
        EXPECT_TRUE(CoreValueToProperty(nullptr, target, c.value, "<result>")) << c.description;
        EXPECT_EQ(target.Kind(), c.kind) << c.description;
        EXPECT_EQ(target.Size(), 0u) << c.description;
    }
}

std::string TooLarge(const char* kind, const std::string& count, const std::string& limit) {
    return std::string("Couldn't assign value to 'payload' because the input ") + kind +
           " has a count of " + count + ", more than the limit of " + limit + ".";
}

std::string NullArray(const char* kind, const std::string& count) {
    return std::string("Couldn't assign value to 'payload' because the input ") + kind +
           " has a count of " + count + " but a null pointer.";
}

// Converts `value` named "payload"; "ok" or the message of the result record.
std::string Outcome(const CoreValue& value) {
    BindingProperty target;
    alignas(KzoWord) CoreResponse result{};
    if (CoreValueToProperty(&result, target, value, "payload")) return "ok";
    std::string message = result.errorText != nullptr ? result.errorText : "(no message)";
    CoreResultReleaseError(result);
    return message;
}

TEST(CoreValueTest, CountsBeyondTheLimitAndNullArraysWithCountsAreRefusedBeforeAnyElementIsRead) {
    // The arrays below hold one record of an invalid kind: a conversion that
    // read an element would fail with the incompatible-type message instead.
    CoreValue invalidElement{11, 0, 0};
    CoreStructEntry invalidEntry{};
    invalidEntry.name = "x";
    invalidEntry.value = invalidElement;
    const KzoWord elements = reinterpret_cast<KzoWord>(&invalidElement);
    const KzoWord entries = reinterpret_cast<KzoWord>(&invalidEntry);
    const KzoWord bytes = reinterpret_cast<KzoWord>("abc");
    constexpr KzoWord kLimit = BindingProperty::kMaxCount;
    const std::string limit = std::to_string(kLimit);
    const std::string blobLimit = std::to_string(BindingBytes().max_size());
    const std::string largest = std::to_string(SIZE_MAX);

    struct Case {
        const char* description;
        CoreValue value;
        std::string expected;
    };
    const Case cases[] = {
        {"collection of 300,000,000",
         {kCoreValueCollection, elements, 300'000'000},
         TooLarge("collection", "300000000", limit)},
        {"collection one above the limit",
         {kCoreValueCollection, elements, kLimit + 1},
         TooLarge("collection", std::to_string(kLimit + 1), limit)},
        {"collection of the largest count",
         {kCoreValueCollection, elements, SIZE_MAX},
         TooLarge("collection", largest, limit)},
        {"structure of 300,000,000",
         {kCoreValueStructure, entries, 300'000'000},
         TooLarge("structure", "300000000", limit)},
        {"structure one above the limit",
         {kCoreValueStructure, entries, kLimit + 1},
         TooLarge("structure", std::to_string(kLimit + 1), limit)},
        {"blob beyond any byte array",
         {kCoreValueBlobBorrowed, bytes, SIZE_MAX},
         TooLarge("blob", largest, blobLimit)},
        {"collection with a count and no array",
         {kCoreValueCollection, 0, 4},
         NullArray("collection", "4")},
        {"collection of the limit and no array",
         {kCoreValueCollection, 0, kLimit},
         NullArray("collection", limit)},
        {"structure with a count and no array",
         {kCoreValueStructure, 0, 1},
         NullArray("structure", "1")},
        {"structure of the limit and no array",
         {kCoreValueStructure, 0, kLimit},
         NullArray("structure", limit)},
        {"borrowed blob with a count and no bytes",
         {kCoreValueBlobBorrowed, 0, 9},
         NullArray("blob", "9")},
        {"owned blob with a count and no bytes",
         {kCoreValueBlobOwned, 0, 9},
         NullArray("blob", "9")},
        {"the array is read once the count is sound",
         {kCoreValueCollection, elements, 1},
         "Couldn't assign value to 'payload' of type object because the input is of an "
         "incompatible type ''."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Outcome(c.value), c.expected) << c.description;

        // The same record deep inside a tree: a structure holding a collection holding it.
        CoreValue inner[2] = {};
        CoreValueSetSigned(inner[0], 1);
        inner[1] = c.value;
        CoreStructEntry member{};
        member.name = "list";
        member.value = CoreValue{kCoreValueCollection, reinterpret_cast<KzoWord>(inner), 2};
        const CoreValue outer{kCoreValueStructure, reinterpret_cast<KzoWord>(&member), 1};
        EXPECT_EQ(Outcome(outer), c.expected) << c.description << ", nested";
    }
}

TEST(CoreValueTest, ReleaseFreesOnlyOwnedNamesAndCountersReturnToTheirStart) {
    const MemoryStats before = ReadMemoryStats();
    {
        auto* entries = static_cast<CoreStructEntry*>(Allocate(2 * sizeof(CoreStructEntry)));
        std::memset(entries, 0, 2 * sizeof(CoreStructEntry));
        entries[0].name = "static name";  // not owned: freeing it would crash
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
        PropertyToCoreValue(core.Get(), tree, nullptr);
    }
    const MemoryStats after = ReadMemoryStats();
    EXPECT_EQ(after.allocations - before.allocations, after.frees - before.frees);
    EXPECT_EQ(after.bytesAllocated - before.bytesAllocated, after.bytesFreed - before.bytesFreed);
}

// A chain of `containers` collections or structures (alternating from a
// collection when `mixed`), each holding the next, around the empty value.
struct CoreChain {
    std::vector<CoreValue> links;
    std::vector<CoreStructEntry> entries;

    CoreChain(size_t containers, bool mixed) : links(containers + 1), entries(containers) {
        for (size_t i = 0; i < containers; ++i) {
            if (mixed && i % 2 == 1) {
                entries[i].name = "k";
                links[i] =
                    CoreValue{kCoreValueStructure, reinterpret_cast<KzoWord>(&entries[i]), 1};
            } else {
                links[i] =
                    CoreValue{kCoreValueCollection, reinterpret_cast<KzoWord>(&links[i + 1]), 1};
            }
        }
        // An entry holds a copy of the next link, which is final only now.
        for (size_t i = 0; i < containers; ++i) {
            if (mixed && i % 2 == 1) entries[i].value = links[i + 1];
        }
    }
    [[nodiscard]] const CoreValue& Root() const { return links.front(); }
};

size_t Depth(const BindingProperty& value) {
    size_t depth = 0;
    for (const BindingProperty* node = &value;;) {
        if (node->Kind() == BindingPropertyKind::Collection) {
            node = &(*node)[size_t{0}];
        } else if (node->Kind() == BindingPropertyKind::Structure) {
            node = &node->Members()[0].Value();
        } else {
            return depth;
        }
        ++depth;
    }
}

TEST(CoreValueTest, NestingPastAThousandContainersIsRefusedEvenOnASmallStack) {
    const std::string tooDeep =
        "Couldn't assign value to 'payload' because the input is nested deeper than 1000 levels.";
    struct Case {
        const char* description;
        size_t containers;
        bool mixed;
        std::string expected;
        bool emptyInnermost = false;  ///< the innermost container holds nothing
    };
    const std::vector<Case> cases = {
        {"1,000 collections", 1000, false, "ok"},
        {"1,000 collections and structures", 1000, true, "ok"},
        {"1,001 collections", 1001, false, tooDeep},
        {"1,001 collections and structures", 1001, true, tooDeep},
        {"1,000 collections around an empty one", 1001, false, tooDeep, /*emptyInnermost=*/true},
        {"999 collections around an empty one", 1000, false, "ok", /*emptyInnermost=*/true},
        {"100,000 collections", 100'000, false, tooDeep},
        {"100,000 collections and structures", 100'000, true, tooDeep},
    };
    std::vector<std::string> outcomes;
    std::vector<size_t> depths;
    ASSERT_TRUE(testing::RunOnSmallStack(testing::kSmallStackBytes, [&] {
        for (const Case& c : cases) {
            CoreChain chain(c.containers, c.mixed);
            if (c.emptyInnermost) chain.links[c.containers - 1].b = 0;
            outcomes.push_back(Outcome(chain.Root()));
            BindingProperty value;
            depths.push_back(
                CoreValueToProperty(nullptr, value, chain.Root(), "payload") ? Depth(value) : 0);
        }
    }));
    ASSERT_EQ(outcomes.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(outcomes[i], cases[i].expected) << cases[i].description;
        EXPECT_EQ(depths[i], cases[i].expected == "ok" ? cases[i].containers : 0u)
            << cases[i].description;
    }
}

// The deepest trees that input can shape go through every recursive walk of
// a value and a record that the plug-in makes of them on a small stack:
// conversion both ways, copy, release and destruction. (Comparison is for
// tests alone and runs on the test's own stack.)
TEST(CoreValueTest, TreesAsDeepAsTheLimitRoundTripOnASmallStack) {
    BindingProperty expected;
    BindingProperty* node = &expected;
    for (size_t level = 0; level < kMaxCoreValueDepth; ++level) {
        node = level % 2 == 0 ? &(*node)[size_t{0}] : &(*node)["k"];
    }
    *node = "leaf";
    BindingProperty back;
    bool converted = false;
    MemoryStats before{};
    MemoryStats after{};
    ASSERT_TRUE(testing::RunOnSmallStack(testing::kSmallStackBytes, [&] {
        const auto roundTrip = [&expected](BindingProperty& target) {
            // NOLINTNEXTLINE(performance-unnecessary-copy-initialization): a walk under test
            const BindingProperty copy = expected;
            OwnedCoreValue core;
            PropertyToCoreValue(core.Get(), copy, nullptr);
            return CoreValueToProperty(nullptr, target, core.Get(), "<result>");
        };
        before = ReadMemoryStats();
        {
            BindingProperty convertedBack;
            static_cast<void>(roundTrip(convertedBack));
            const BindingProperty copied = convertedBack;
        }
        after = ReadMemoryStats();
        converted = roundTrip(back);
    }));
    EXPECT_TRUE(converted);
    EXPECT_EQ(after.allocations - before.allocations, after.frees - before.frees);
    EXPECT_EQ(after.bytesAllocated - before.bytesAllocated, after.bytesFreed - before.bytesFreed);
    EXPECT_TRUE(back == expected);
}

}  // namespace
}  // namespace Nimbel
