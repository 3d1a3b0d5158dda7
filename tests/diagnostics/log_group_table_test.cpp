#include "diagnostics/log_group_table.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

namespace Nimbel {
namespace {

TEST(LogGroupTableTest, RegistersNewNamesOnNextBitsAndReturnsExistingOnes) {
    struct Case {
        const char* description;
        const char* code;
        uint64_t expected;
    };
    // In order: each row sees the registrations of the rows before it.
    const Case cases[] = {
        {"predefined DBG", "DBG", LogGroups::DBG},
        {"predefined TST", "TST", LogGroups::TST},
        {"first new name takes bit 8", "LOC", 1ull << 8},
        {"name compared by its first three characters", "LOCAL", 1ull << 8},
        {"second new name takes bit 9", "NEW", 1ull << 9},
        {"shorter name is its own group", "NE", 1ull << 10},
        {"empty name refused", "", 0},
        {"null name refused", nullptr, 0},
        {"refusals took no bit", "ANY", 1ull << 11},
    };
    LogGroupTable table;
    for (const Case& c : cases) {
        EXPECT_EQ(table.Register(c.code), c.expected) << c.description;
    }
}

TEST(LogGroupTableTest, RefusesTheSixtyFifthNameButStillFindsKnownOnes) {
    LogGroupTable table;
    for (uint32_t bit = kPredefinedLogGroupCount; bit < kLogGroupCapacity; ++bit) {
        const std::string code = "G" + std::to_string(bit);
        ASSERT_EQ(table.Register(code.c_str()), 1ull << bit) << code;
    }
    EXPECT_EQ(table.Register("ZZZ"), 0u) << "all 64 bits are taken";
    EXPECT_EQ(table.Register("G63"), 1ull << 63) << "a known name still resolves";
    EXPECT_EQ(table.Register("NET"), LogGroups::NET);
}

TEST(LogGroupTableTest, TextListsCodesLowestFirstAndCutsToCapacity) {
    LogGroupTable table;
    const uint64_t loc = table.Register("LOC");
    struct Case {
        const char* description;
        uint64_t mask;
        size_t capacity;
        std::string expected;
    };
    const Case cases[] = {
        {"bits 1 and 3", LogGroups::GEN | LogGroups::PRF, 64, "GEN;PRF"},
        {"empty mask", 0, 64, ""},
        {"registered and unregistered bits", LogGroups::DBG | loc | (1ull << 40), 64,
         "DBG;LOC;???"},
        {"cut after the separator", LogGroups::GEN | LogGroups::PRF, 5, "GEN;"},
    };
    for (const Case& c : cases) {
        std::string buffer(c.capacity, '\x7f');
        const size_t length = table.ToText(c.mask, buffer.data(), c.capacity);
        EXPECT_EQ(buffer.substr(0, buffer.find('\0')), c.expected) << c.description;
        EXPECT_EQ(length, c.expected.size()) << c.description;
    }
}

TEST(LogGroupTableTest, ConcurrentRegistrationGivesEachNameOneBit) {
    LogGroupTable table;
    constexpr int kThreads = 4;
    const std::vector<std::string> names = {"AAA", "BBB", "CCC", "DDD", "EEE", "FFF"};
    std::vector<std::vector<uint64_t>> seen(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (const std::string& name : names) seen[t].push_back(table.Register(name.c_str()));
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 1; t < kThreads; ++t) EXPECT_EQ(seen[t], seen[0]) << "thread " << t;
    EXPECT_EQ(std::set<uint64_t>(seen[0].begin(), seen[0].end()).size(), names.size());
    EXPECT_EQ(table.Register("NXT"), 1ull << (kPredefinedLogGroupCount + names.size()));
}

TEST(LogGroupTableTest, ProcessTableKnowsThePredefinedGroups) {
    EXPECT_EQ(GroupFromName("XTR"), LogGroups::XTR);
    char text[16];
    GroupsToText(text, sizeof text, LogGroups::MEM | LogGroups::NET);
    EXPECT_STREQ(text, "MEM;NET");
}

}  // namespace
}  // namespace Nimbel
