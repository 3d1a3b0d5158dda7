// Native values written straight into core value records: the same records,
// field for field, as converting to the generic value and from it, for every
// native kind, for map keys that name one member, for records that go
// through the generic value (FieldSkipEmpty), and the refusal of records of
// unregistered types, which leaves the record empty for the caller to
// convert the slow way.
#include "binding/native_to_core_value.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "binding/binding_type_builder.h"
#include "binding/native_to_value.h"
#include "conversion_test_support.h"
#include "diagnostics/allocator.h"
#include "tests/binding/core_record_compare.h"

namespace Nimbel {
namespace {

using namespace conversion_test;

struct Sparse {
    int32_t kept = 0;
    std::string skipped;
};

struct Unregistered {
    int32_t value = 0;
};

const BindingTypeRegistry& Registry() {
    static const BindingTypeRegistry* registry = [] {
        static BindingTypeRegistry instance;
        RegisterTestTypes(instance);
        BindingTypeBuilder<Sparse>(instance, "KzoTestSparse")
            .Field("kept", &Sparse::kept)
            .Field("skipped", &Sparse::skipped, {.flags = FieldSkipEmpty})
            .Finish();
        return &instance;
    }();
    return *registry;
}

Everything FilledEverything() {
    Everything e;
    e.flag = true;
    e.i8 = -8;
    e.u8 = 200;
    e.i16 = -16;
    e.u16 = 60000;
    e.i32 = -32;
    e.u32 = 4000000000u;
    e.i64 = -64;
    e.u64 = 18000000000000000000u;
    e.f32 = 1.5f;
    e.f64 = -0.25;
    e.text = std::string("cut\0here", 8);
    e.any["b"] = int64_t{1};
    e.any["a"][1] = "x";
    e.bytes = {1, 2, 3};
    e.lane = Lane::Jungle;
    e.position = {3, -4};
    e.numbers = {1, -2};
    e.flags = {true, false, true};
    e.texts = {"", "two"};
    e.positions = {{1, 2}, {3, 4}};
    e.lanes = {Lane::Bottom, static_cast<Lane>(42)};
    e.grid = {{{5, 6}}, {}};
    e.deltas = {{"b", 2.0}, {"a", 1.0}, {"c\0x", 3.0}, {"c\0y", 4.0}};
    for (int i = 0; i < 40; ++i) e.frames[std::to_string(i)] = Position{int16_t(i), 0};
    return e;
}

// The records of `source` both ways; both released at the end. A direct
// write makes one allocation, its block; one through the generic value frees
// its temporaries again and keeps only the block.
template <class T>
void ExpectSameRecordsBothWays(const T& source, const EnumNameLookup* enumNames,
                               const char* description, bool writtenDirectly = true) {
    BindingStatus converted;
    NativeToValue(converted, source, Registry());
    ASSERT_TRUE(converted.Ok()) << description;
    CoreValue expected{};
    PropertyToCoreValue(expected, converted.Value(), enumNames);
    const MemoryStats before = ReadMemoryStats();
    CoreValue direct{};
    ASSERT_TRUE(NativeToCoreValueBlock(direct, source, Registry(), enumNames)) << description;
    const MemoryStats after = ReadMemoryStats();
    const uint64_t kept = (after.allocations - before.allocations) - (after.frees - before.frees);
    EXPECT_LE(kept, 1u) << description << ": one block, and nothing kept beside it";
    if (writtenDirectly) {
        EXPECT_LE(after.allocations - before.allocations, 1u) << description;
    }
    testing::ExpectSameRecord(direct, expected, description);
    CoreValueReleaseBlock(direct);
    CoreValueRelease(expected);
}

TEST(NativeToCoreValueTest, RecordsAreThoseOfTheGenericValueForEveryKind) {
    const Everything filled = FilledEverything();
    const Everything fresh;
    for (const EnumNameLookup* names : {static_cast<const EnumNameLookup*>(nullptr),
                                        static_cast<const EnumNameLookup*>(&Registry())}) {
        const char* naming = names != nullptr ? "enumerators named" : "enumerators as numbers";
        ExpectSameRecordsBothWays(filled, names, naming);
        ExpectSameRecordsBothWays(fresh, names, naming);
        ExpectSameRecordsBothWays(std::vector<Everything>{filled, fresh}, names, naming);
        ExpectSameRecordsBothWays(Lane::Minus, names, naming);
        ExpectSameRecordsBothWays(std::string("text"), names, naming);
        ExpectSameRecordsBothWays(int16_t{-3}, names, naming);
        ExpectSameRecordsBothWays(std::vector<bool>{}, names, naming);
        ExpectSameRecordsBothWays(BindingProperty(), names, naming);
    }
}

TEST(NativeToCoreValueTest, RecordsWithFieldsLeftOutGoThroughTheGenericValueAlike) {
    struct Case {
        const char* description;
        Sparse record;
    };
    const Case cases[] = {{"skipped field empty", {7, ""}}, {"skipped field set", {7, "here"}}};
    for (const Case& c : cases) {
        ExpectSameRecordsBothWays(c.record, nullptr, c.description, false);
        ExpectSameRecordsBothWays(std::vector<Sparse>{c.record, c.record}, nullptr, c.description,
                                  false);
    }
}

TEST(NativeToCoreValueTest, UnregisteredRecordsAreNotWrittenAndLeaveNothingAllocated) {
    const MemoryStats before = ReadMemoryStats();
    CoreValue target{};
    EXPECT_FALSE(NativeToCoreValueBlock(target, Unregistered{1}, Registry(), nullptr));
    EXPECT_FALSE(
        NativeToCoreValueBlock(target, std::vector<Unregistered>{{1}}, Registry(), nullptr));
    EXPECT_EQ(target.kind, 0u);
    const MemoryStats after = ReadMemoryStats();
    EXPECT_EQ(after.bytesAllocated - before.bytesAllocated, after.bytesFreed - before.bytesFreed);
}

}  // namespace
}  // namespace Nimbel
