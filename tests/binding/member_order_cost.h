// What building one large structure costs for each order in which its names
// can arrive, counted in the member steps of its arena (name comparisons,
// index probes, member moves) rather than timed, so that the bound holds on
// any machine: a structure whose names arrive in reverse must cost about what
// one whose names arrive in order costs, and any order at most n log n.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "binding/binding_property.h"
#include "binding/property_arena.h"

namespace Nimbel::testing {

/// Members of the large structures: 200,000, a tenth of that where the address
/// sanitizer or a build without optimisation makes every step far slower.
#if defined(__SANITIZE_ADDRESS__) || !defined(__OPTIMIZE__)
inline constexpr size_t kManyMembers = 20000;
#else
inline constexpr size_t kManyMembers = 200000;
#endif

enum class NameOrder { Ascending, Descending, Shuffled };

/// "k000000001", "k000000002"... (`count` names) in the given order.
[[nodiscard]] inline std::vector<std::string> MemberNames(size_t count, NameOrder order) {
    std::vector<std::string> names;
    names.reserve(count);
    for (size_t i = 1; i <= count; ++i) {
        std::string digits = std::to_string(i);
        names.push_back("k" + std::string(9 - digits.size(), '0') + digits);
    }
    if (order == NameOrder::Descending) std::reverse(names.begin(), names.end());
    if (order == NameOrder::Shuffled) std::shuffle(names.begin(), names.end(), std::mt19937(2026));
    return names;
}

/// Builds a root structure with one member per name, through the path tested.
using StructureBuilder = std::function<BindingProperty(const std::vector<std::string>& names)>;

/// Steps counted by the arena of `structure` once it has been read in name
/// order; fails the test unless the members are exactly the names, in order.
[[nodiscard]] inline uint64_t StepsToBuildAndOrder(const BindingProperty& structure, size_t count,
                                                   const char* description) {
    const auto members = structure.Members();
    EXPECT_EQ(members.size(), count) << description;
    if (members.size() != count || count == 0) return 0;
    bool sorted = true;
    for (size_t i = 1; i < count && sorted; ++i) sorted = members[i - 1].Name() < members[i].Name();
    EXPECT_TRUE(sorted) << description << ": members out of name order";
    EXPECT_EQ(members[0].Name(), "k000000001") << description;
    EXPECT_NE(structure.FindMember(members[count - 1].Name()), nullptr) << description;
    return structure.Arena()->MemberSteps();
}

/// Builds `count` members in ascending, descending and shuffled name order:
/// descending may cost at most twice what ascending costs, and no order more
/// than 3 n log2 n steps. A search-and-shift insertion costs about n * n / 2
/// moves for the reversed names, thousands of times over either bound.
inline void ExpectCostIndependentOfNameOrder(const char* path, const StructureBuilder& build,
                                             size_t count = kManyMembers) {
    struct Case {
        const char* description;
        NameOrder order;
    };
    const Case cases[] = {
        {"ascending", NameOrder::Ascending},
        {"descending", NameOrder::Descending},
        {"shuffled", NameOrder::Shuffled},
    };
    const double bound = 3.0 * static_cast<double>(count) * std::log2(static_cast<double>(count));
    uint64_t steps[3] = {};
    for (size_t i = 0; i < std::size(cases); ++i) {
        const std::string description = std::string(path) + ", " + cases[i].description;
        const BindingProperty structure = build(MemberNames(count, cases[i].order));
        steps[i] = StepsToBuildAndOrder(structure, count, description.c_str());
        EXPECT_LE(static_cast<double>(steps[i]), bound) << description;
    }
    EXPECT_LE(steps[1], 2 * steps[0])
        << path << ": descending " << steps[1] << " steps against ascending " << steps[0];
}

}  // namespace Nimbel::testing
