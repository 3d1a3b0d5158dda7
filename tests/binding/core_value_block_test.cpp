// Records written as one block: the same records as PropertyToCoreValue
// writes, kind for kind, count for count, text for text and flag for flag, in
// one allocation that CoreValueReleaseBlock frees whole.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "binding/core_value.h"
#include "binding/static_type.h"
#include "diagnostics/allocator.h"
#include "tests/binding/core_record_compare.h"

namespace Nimbel {
namespace {

using testing::ExpectSameRecord;

enum class Outcome : int32_t { Succeeded = 4, Failed = 5 };

class FailedIsNamed final : public EnumNameLookup {
public:
    std::optional<std::string_view> EnumeratorName(const StaticTypeId& type,
                                                   int32_t value) const override {
        if (type == StaticType::Name<Outcome>() && value == 5) return "Failed";
        return std::nullopt;
    }
};

[[nodiscard]] BindingProperty NestedTree() {
    BindingProperty tree;
    tree["zeta"] = "last";
    tree["alpha"]["list"][2] = uint64_t{7};
    tree["alpha"]["list"][0] = "x";
    tree["alpha"]["none"].MakeCollection();
    tree["alpha"]["nothing"].MakeStructure();
    tree["blob"] = BindingBytes{1, 2, 3};
    tree["empty blob"] = BindingBytes{};
    tree["empty text"] = "";
    tree["outcome"] = BindingEnum{5, &StaticType::Name<Outcome>()};
    tree["other outcome"] = BindingEnum{4, &StaticType::Name<Outcome>()};
    tree["number"] = -1.5;
    tree["flag"] = true;
    static_cast<void>(tree["gap"]);  // a member left empty
    return tree;
}

TEST(CoreValueBlockTest, RecordsMatchThoseWrittenOnePieceAtATimeInOneAllocation) {
    const FailedIsNamed names;
    struct Case {
        const char* description;
        std::function<BindingProperty()> make;
        uint64_t allocations;
    };
    const Case cases[] = {
        {"empty", [] { return BindingProperty(); }, 0},
        {"bool", [] { return BindingProperty(true); }, 0},
        {"signed", [] { return BindingProperty(int64_t{-3}); }, 0},
        {"text", [] { return BindingProperty("text"); }, 1},
        {"empty text", [] { return BindingProperty(""); }, 1},
        {"blob",
         [] {
             return BindingProperty(BindingBytes{9, 8});
         },
         1},
        {"empty blob", [] { return BindingProperty(BindingBytes{}); }, 0},
        {"named enum",
         [] {
             return BindingProperty(BindingEnum{5, &StaticType::Name<Outcome>()});
         },
         1},
        {"unnamed enum",
         [] {
             return BindingProperty(BindingEnum{4, &StaticType::Name<Outcome>()});
         },
         0},
        {"empty collection",
         [] {
             BindingProperty v;
             v.MakeCollection();
             return v;
         },
         0},
        {"empty structure",
         [] {
             BindingProperty v;
             v.MakeStructure();
             return v;
         },
         0},
        {"nested tree", NestedTree, 1},
    };
    for (const Case& c : cases) {
        const BindingProperty source = c.make();
        CoreValue plain{};
        PropertyToCoreValue(plain, source, &names);
        const MemoryStats before = ReadMemoryStats();
        CoreValue block{};
        PropertyToCoreValueBlock(block, source, &names);
        const MemoryStats written = ReadMemoryStats();
        EXPECT_EQ(written.allocations - before.allocations, c.allocations) << c.description;
        ExpectSameRecord(block, plain, c.description);
        CoreValueReleaseBlock(block);
        const MemoryStats released = ReadMemoryStats();
        EXPECT_EQ(released.bytesFreed - before.bytesFreed,
                  written.bytesAllocated - before.bytesAllocated)
            << c.description << ": the release frees the whole block";
        EXPECT_EQ(block.kind, 0u) << c.description;
        CoreValueRelease(plain);
    }
}

TEST(CoreValueBlockTest, ArraysInTheBlockStartOnWordBoundaries) {
    BindingProperty tree;
    tree["a"] = "odd";  // a text of four bytes with its NUL, then arrays follow
    tree["b"][0] = "x";
    tree["c"]["d"] = 1u;
    CoreValue block{};
    PropertyToCoreValueBlock(block, tree, nullptr);
    EXPECT_EQ(block.a % alignof(KzoWord), 0u);
    const auto* entries = reinterpret_cast<const CoreStructEntry*>(block.a);
    for (KzoWord i = 1; i < block.b; ++i) {
        const CoreValue value = entries[i].value;
        EXPECT_EQ(value.a % alignof(KzoWord), 0u) << entries[i].name;
    }
    CoreValueReleaseBlock(block);
}

}  // namespace
}  // namespace Nimbel
