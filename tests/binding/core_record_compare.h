// Field-by-field comparison of two core value records, for tests of the
// conversions that write the same records in different ways.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>

#include "abi/core_abi.h"

namespace Nimbel::testing {

[[nodiscard]] inline std::string_view TextAt(KzoWord word) {
    const char* text = reinterpret_cast<const char*>(word);
    return text != nullptr ? std::string_view(text) : std::string_view("<null>");
}

/// Compares two records field by field; `where` names the node in failures.
inline void ExpectSameRecord(const CoreValue& block, const CoreValue& plain,
                             const std::string& where) {
    ASSERT_EQ(+block.kind, +plain.kind) << where;
    ASSERT_EQ(+block.b, +plain.b) << where;
    switch (plain.kind) {
        case kCoreValueStringOwned:
            EXPECT_EQ(TextAt(block.a), TextAt(plain.a)) << where;
            return;
        case kCoreValueBlobOwned:
            EXPECT_EQ(block.a == 0, plain.a == 0) << where;
            if (plain.b != 0 && block.a != 0) {
                EXPECT_EQ(std::memcmp(reinterpret_cast<const void*>(block.a),
                                      reinterpret_cast<const void*>(plain.a), plain.b),
                          0)
                    << where;
            }
            return;
        case kCoreValueCollection: {
            EXPECT_EQ(block.a == 0, plain.a == 0) << where;
            const auto* blockElements = reinterpret_cast<const CoreValue*>(block.a);
            const auto* plainElements = reinterpret_cast<const CoreValue*>(plain.a);
            for (KzoWord i = 0; i < plain.b && block.a != 0; ++i) {
                ExpectSameRecord(blockElements[i], plainElements[i],
                                 where + "[" + std::to_string(i) + "]");
            }
            return;
        }
        case kCoreValueStructure: {
            EXPECT_EQ(block.a == 0, plain.a == 0) << where;
            const auto* blockEntries = reinterpret_cast<const CoreStructEntry*>(block.a);
            const auto* plainEntries = reinterpret_cast<const CoreStructEntry*>(plain.a);
            for (KzoWord i = 0; i < plain.b && block.a != 0; ++i) {
                const CoreStructEntry b = blockEntries[i];
                const CoreStructEntry p = plainEntries[i];
                EXPECT_EQ(std::string_view(b.name), std::string_view(p.name)) << where;
                EXPECT_EQ(+b.ownsName, +p.ownsName) << where;
                ExpectSameRecord(b.value, p.value, where + "." + p.name);
            }
            return;
        }
        default:
            EXPECT_EQ(+block.a, +plain.a) << where;
            return;
    }
}

}  // namespace Nimbel::testing
